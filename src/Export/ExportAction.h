#pragma once

#include <optional>

#include <QList>
#include <QString>

// The two ways a finished selection is delivered.
enum class ExportAction { copy, save };

QString rawValue(ExportAction action);
// Exactly "copy" or "save"; anything else gives nothing.
std::optional<ExportAction> exportAction(const QString& raw);
const QList<ExportAction>& allExportActions();
// The toast text confirming the action.
QString confirmation(ExportAction action);
