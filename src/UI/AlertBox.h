#pragma once

#include <QMessageBox>

// Tessik's modal message boxes. A message box sizes itself to its text, and a short text gives
// a box so narrow that the window manager cuts its title ("Captu…essik"): these are at least as
// wide as their title needs, beside the title bar's buttons, and wide enough to read a folder
// path on one line.
namespace AlertBox {
// Widens the box as needed; call once its title and texts are set.
void fitTitle(QMessageBox& box);
// Lets Ctrl+C copy the box's message and informative text, one per line, also where the main
// menu's "Copier" would take the key (it copies from the focused widget, here the button).
void keepCopyKey(QMessageBox& box);
// The width `fitTitle` gives at least.
int minimumWidth(const QMessageBox& box);
// Shows a box with one OK button above every other window and waits until it is dismissed.
void run(QMessageBox::Icon icon, const QString& message, const QString& informativeText);
}  // namespace AlertBox
