#include <QTextBoundaryFinder>

#include "GlobalShortcuts/KeyboardLayout.h"
#include "GlobalShortcuts/Shortcut.h"
#include "GlobalShortcuts/ShortcutText.h"
#include "GlobalShortcuts/SpecialKey.h"

namespace GlobalShortcuts {

namespace {
std::unique_ptr<KeyboardLayout>& layoutSlot() {
    static std::unique_ptr<KeyboardLayout> layout;
    return layout;
}

int graphemeCount(const QString& text) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (finder.toNextBoundary() > 0) ++count;
    return count;
}
}  // namespace

void setKeyboardLayout(std::unique_ptr<KeyboardLayout> layout) {
    layoutSlot() = std::move(layout);
}
const KeyboardLayout* keyboardLayout() {
    return layoutSlot().get();
}

QString capitalized(const QString& text) {
    QString result;
    bool startOfWord = true;
    for (const QChar c : text) {
        result += startOfWord ? c.toUpper() : c.toLower();
        startOfWord = c.isSpace();
    }
    return result;
}

std::optional<QString> Shortcut::keyToCharacter() const {
    const KeyboardLayout* layout = keyboardLayout();
    if (!layout || specialKey(carbonKeyCode)) return std::nullopt;
    // Key codes are 16-bit on the platform that defined them; anything wider is damaged.
    if (carbonKeyCode < 0 || carbonKeyCode > 0xFFFF) return std::nullopt;
    const auto text = layout->text(key());
    if (!text || graphemeCount(*text) != 1) return std::nullopt;
    return text;
}

QString Shortcut::presentableDescription() const {
    QString text = symbolicRepresentation(modifiers());
    if (const auto special = specialKey(carbonKeyCode))
        return text + GlobalShortcuts::presentableDescription(*special);
    return text + capitalized(keyToCharacter().value_or(QString(QChar::ReplacementCharacter)));
}

std::optional<QString> Shortcut::nsMenuItemKeyEquivalent() const {
    if (const auto special = specialKey(carbonKeyCode))
        return appKitMenuItemKeyEquivalent(*special);
    return keyToCharacter();
}

}  // namespace GlobalShortcuts
