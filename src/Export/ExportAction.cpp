#include "Export/ExportAction.h"

#include "Base/Localization.h"

QString rawValue(ExportAction action) {
    return action == ExportAction::copy ? QStringLiteral("copy") : QStringLiteral("save");
}

std::optional<ExportAction> exportAction(const QString& raw) {
    if (raw == QLatin1String("copy")) return ExportAction::copy;
    if (raw == QLatin1String("save")) return ExportAction::save;
    return std::nullopt;
}

const QList<ExportAction>& allExportActions() {
    static const QList<ExportAction> all{ExportAction::copy, ExportAction::save};
    return all;
}

QString confirmation(ExportAction action) {
    return action == ExportAction::copy ? localized("Copié dans le presse-papiers")
                                        : localized("Enregistré");
}
