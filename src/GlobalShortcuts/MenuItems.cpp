#include "GlobalShortcuts/MenuItems.h"

#include <utility>

#include <QAction>
#include <QMenu>
#include <QPointer>

#include "GlobalShortcuts/GlobalShortcuts.h"

namespace GlobalShortcuts {

namespace {
constexpr std::pair<char16_t, Qt::Key> kSpecialKeys[] = {
    {0x21A9, Qt::Key_Return}, {0x232B, Qt::Key_Backspace}, {0x2326, Qt::Key_Delete},
    {0x2198, Qt::Key_End},    {0x238B, Qt::Key_Escape},    {0x2196, Qt::Key_Home},
    {0x21E5, Qt::Key_Tab},    {0x21DE, Qt::Key_PageUp},    {0x21DF, Qt::Key_PageDown},
    {0x2191, Qt::Key_Up},     {0x2192, Qt::Key_Right},     {0x2193, Qt::Key_Down},
    {0x2190, Qt::Key_Left},   {u' ', Qt::Key_Space},
};
const QString kHelp = QStringLiteral("?") + QChar(0x20DD);
constexpr char16_t kF1 = 0xF704;
constexpr int kFunctionKeys = 24;
constexpr char16_t kMenuKey = 0xF735;

constexpr std::pair<Qt::KeyboardModifier, EventModifierFlags> kModifiers[] = {
    {Qt::ControlModifier, EventModifier::command},
    {Qt::ShiftModifier, EventModifier::shift},
    {Qt::AltModifier, EventModifier::option},
    {Qt::MetaModifier, EventModifier::control},
};

std::optional<Qt::Key> qtKey(const QString& key) {
    if (key == kHelp) return Qt::Key_Help;
    if (key.size() != 1) return std::nullopt;
    const char16_t c = key.at(0).unicode();
    if (c >= kF1 && c < kF1 + kFunctionKeys) return Qt::Key(Qt::Key_F1 + (c - kF1));
    if (c == kMenuKey) return Qt::Key_Menu;
    for (const auto& [glyph, qt] : kSpecialKeys)
        if (glyph == c) return qt;
    return Qt::Key(key.at(0).toUpper().unicode());
}

QString keyText(int qt) {
    if (qt == Qt::Key_Help) return kHelp;
    if (qt >= Qt::Key_F1 && qt < Qt::Key_F1 + kFunctionKeys)
        return QString(QChar(kF1 + (qt - Qt::Key_F1)));
    if (qt == Qt::Key_Menu) return QString(QChar(kMenuKey));
    for (const auto& [glyph, key] : kSpecialKeys)
        if (key == qt) return QString(QChar(glyph));
    if (qt <= 0 || qt > 0xFFFF) return {};
    return QString(QChar(qt)).toLower();
}

QAction* search(const QMenu* menu, const QString& key, EventModifierFlags modifiers) {
    for (QAction* item : menu->actions()) {
        if (keyEquivalentMatches(keyEquivalent(*item), key, modifiers)) return item;
        if (const QMenu* submenu = item->menu())
            if (QAction* found = search(submenu, key, modifiers)) return found;
    }
    return nullptr;
}

// Owns a menu item's observation of the change notification; lives as long as the item.
class MenuItemBinding final : public QObject {
public:
    MenuItemBinding(QAction* item, Name name) : QObject(item), m_name(std::move(name)) {
        setObjectName(QStringLiteral("GlobalShortcuts.MenuItemBinding"));
        QPointer<QAction> target(item);
        m_token = Notifications::observe(
            shortcutByNameDidChange, [this, target](const QVariantMap& info) {
                if (info.value(QStringLiteral("name")).value<Name>().rawValue != m_name.rawValue)
                    return;
                // After the notification's other observers, as a queued refresh.
                QMetaObject::invokeMethod(
                    this,
                    [this, target] {
                        if (target) setShortcut(target, getShortcut(m_name));
                    },
                    Qt::QueuedConnection);
            });
    }
    ~MenuItemBinding() override { Notifications::remove(m_token); }

private:
    Name m_name;
    Notifications::Token m_token = 0;
};

void detachBinding(QAction* item) {
    const QObjectList children = item->children();
    for (QObject* child : children)
        if (child->objectName() == QStringLiteral("GlobalShortcuts.MenuItemBinding")) delete child;
}
}  // namespace

bool keyEquivalentMatches(MenuKeyEquivalent item, const QString& shortcutKey,
                          EventModifierFlags shortcutModifiers) {
    if ((shortcutModifiers & EventModifier::shift) && item.key.toLower() != item.key) {
        item.key = item.key.toLower();
        item.modifiers |= EventModifier::shift;
    }
    return !shortcutKey.isEmpty() && item.key == shortcutKey && item.modifiers == shortcutModifiers;
}

MenuKeyEquivalent keyEquivalent(const QAction& item) {
    const QKeySequence sequence = item.shortcut();
    if (sequence.isEmpty()) return {};
    const QKeyCombination combination = sequence[0];
    MenuKeyEquivalent equivalent{keyText(combination.key()), 0};
    for (const auto& [qt, flag] : kModifiers)
        if (combination.keyboardModifiers() & qt) equivalent.modifiers |= flag;
    return equivalent;
}

QKeySequence keySequence(const MenuKeyEquivalent& equivalent) {
    const auto key = qtKey(equivalent.key);
    if (!key) return {};
    Qt::KeyboardModifiers modifiers;
    for (const auto& [qt, flag] : kModifiers)
        if (equivalent.modifiers & flag) modifiers |= qt;
    return QKeySequence(QKeyCombination(modifiers, *key));
}

QAction* Shortcut::menuItemWithMatchingShortcut(const QMenu* menu) const {
    if (!menu) return nullptr;
    return search(menu, nsMenuItemKeyEquivalent().value_or(QString()), modifiers());
}

void setShortcut(QAction* item, const std::optional<Shortcut>& shortcut) {
    if (!item) return;
    // The same combination the shortcut's text is made of, so the menu reads like the settings;
    // keys without a menu key equivalent (the keypad) leave the item empty.
    const auto combination =
        shortcut && shortcut->nsMenuItemKeyEquivalent() ? shortcut->keyCombination() : std::nullopt;
    item->setShortcut(combination ? QKeySequence(*combination) : QKeySequence());
}

void setShortcutFor(QAction* item, const std::optional<Name>& name) {
    if (!item) return;
    detachBinding(item);
    if (!name) return setShortcut(item, std::nullopt);
    setShortcut(item, getShortcut(*name));
    new MenuItemBinding(item, *name);
}

}  // namespace GlobalShortcuts
