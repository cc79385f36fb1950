#include <QHelpEvent>
#include <QKeySequence>
#include <QToolTip>

#include "Annotation/AnnotationToolbar.h"
#include "Base/Localization.h"

namespace {

using Item = AnnotationToolbar::Item;

// "Copier (Ctrl+C)": the key in the notation the menus and settings use.
QString withKey(const QString& name, QKeyCombination key) {
    return localized("%1 (%2)").arg(name, QKeySequence(key).toString(QKeySequence::NativeText));
}

QString toolName(Annotation::Kind kind) {
    switch (kind) {
        case Annotation::Kind::arrow:
            return localized("Flèche");
        case Annotation::Kind::rectangle:
            return localized("Rectangle");
        case Annotation::Kind::highlighter:
            return localized("Surligneur");
        case Annotation::Kind::text:
            return localized("Texte");
        case Annotation::Kind::pixelate:
            return localized("Pixellisation");
        case Annotation::Kind::freehand:
            return localized("Dessin à main levée");
    }
    return {};
}

QString colorName(AnnotationColor color) {
    switch (color) {
        case AnnotationColor::accent:
            return localized("Orange");
        case AnnotationColor::yellow:
            return localized("Jaune");
        case AnnotationColor::green:
            return localized("Vert");
        case AnnotationColor::blue:
            return localized("Bleu");
        case AnnotationColor::cream:
            return localized("Crème");
    }
    return {};
}

QString thicknessName(Thickness thickness) {
    switch (thickness) {
        case Thickness::thin:
            return localized("Trait fin");
        case Thickness::medium:
            return localized("Trait moyen");
        case Thickness::thick:
            return localized("Trait épais");
    }
    return {};
}

}  // namespace

QString AnnotationToolbar::toolTip(const Item& item) {
    switch (item.type) {
        case Item::Type::select:
            return localized("Sélection");
        case Item::Type::tool:
            return toolName(item.kind);
        case Item::Type::color:
            return colorName(item.color);
        case Item::Type::thickness:
            return thicknessName(item.thickness);
        case Item::Type::undo:
            return withKey(localized("Annuler"), Qt::CTRL | Qt::Key_Z);
        case Item::Type::redo:
            return withKey(localized("Rétablir"), Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
        case Item::Type::exportAction:
            return item.action == ExportAction::copy
                       ? withKey(localized("Copier"), Qt::CTRL | Qt::Key_C)
                       : withKey(localized("Enregistrer"), Qt::CTRL | Qt::Key_S);
    }
    return {};
}

bool AnnotationToolbar::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip) return QWidget::event(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const std::optional<Item> hit = item(toBarSpace(QPointF(help->pos())));
    if (hit)
        QToolTip::showText(help->globalPos(), toolTip(*hit), this);
    else
        QToolTip::hideText();
    return true;
}
