#include "Platform/X11/DesktopBindings.h"

#include <QFile>
#include <QKeySequence>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include "GlobalShortcuts/Key.h"
#include "GlobalShortcuts/Modifiers.h"

using GlobalShortcuts::Key;
using GlobalShortcuts::SystemHotKey;
namespace Carbon = GlobalShortcuts::CarbonModifier;

namespace {
struct KeyName {
    Key key;
    const char* keysym;  // X keysym name, as GNOME writes it
    int qtKey;           // Qt key, as KDE writes it
};

const QList<KeyName>& keyNames() {
    static const QList<KeyName> names = [] {
        QList<KeyName> n;
        const Key letters[] = {Key::a, Key::b, Key::c, Key::d, Key::e, Key::f, Key::g,
                               Key::h, Key::i, Key::j, Key::k, Key::l, Key::m, Key::n,
                               Key::o, Key::p, Key::q, Key::r, Key::s, Key::t, Key::u,
                               Key::v, Key::w, Key::x, Key::y, Key::z};
        static const char* const letterNames[] = {"a", "b", "c", "d", "e", "f", "g", "h", "i",
                                                  "j", "k", "l", "m", "n", "o", "p", "q", "r",
                                                  "s", "t", "u", "v", "w", "x", "y", "z"};
        for (int i = 0; i < 26; ++i) n.append({letters[i], letterNames[i], Qt::Key_A + i});
        const Key digits[] = {Key::zero, Key::one, Key::two,   Key::three, Key::four,
                              Key::five, Key::six, Key::seven, Key::eight, Key::nine};
        static const char* const digitNames[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
        for (int i = 0; i < 10; ++i) n.append({digits[i], digitNames[i], Qt::Key_0 + i});
        const Key functions[] = {Key::f1,  Key::f2,  Key::f3,  Key::f4,  Key::f5,
                                 Key::f6,  Key::f7,  Key::f8,  Key::f9,  Key::f10,
                                 Key::f11, Key::f12, Key::f13, Key::f14, Key::f15,
                                 Key::f16, Key::f17, Key::f18, Key::f19, Key::f20};
        static const char* const functionNames[] = {"F1",  "F2",  "F3",  "F4",  "F5",  "F6",  "F7",
                                                    "F8",  "F9",  "F10", "F11", "F12", "F13", "F14",
                                                    "F15", "F16", "F17", "F18", "F19", "F20"};
        for (int i = 0; i < 20; ++i) n.append({functions[i], functionNames[i], Qt::Key_F1 + i});
        n += QList<KeyName>{
            {Key::returnKey, "Return", Qt::Key_Return},
            {Key::tab, "Tab", Qt::Key_Tab},
            {Key::space, "space", Qt::Key_Space},
            {Key::deleteKey, "BackSpace", Qt::Key_Backspace},
            {Key::deleteForward, "Delete", Qt::Key_Delete},
            {Key::escape, "Escape", Qt::Key_Escape},
            {Key::home, "Home", Qt::Key_Home},
            {Key::end, "End", Qt::Key_End},
            {Key::pageUp, "Page_Up", Qt::Key_PageUp},
            {Key::pageUp, "Prior", Qt::Key_PageUp},
            {Key::pageDown, "Page_Down", Qt::Key_PageDown},
            {Key::pageDown, "Next", Qt::Key_PageDown},
            {Key::upArrow, "Up", Qt::Key_Up},
            {Key::downArrow, "Down", Qt::Key_Down},
            {Key::leftArrow, "Left", Qt::Key_Left},
            {Key::rightArrow, "Right", Qt::Key_Right},
            {Key::help, "Insert", Qt::Key_Insert},
            {Key::minus, "minus", Qt::Key_Minus},
            {Key::equal, "equal", Qt::Key_Equal},
            {Key::comma, "comma", Qt::Key_Comma},
            {Key::period, "period", Qt::Key_Period},
            {Key::slash, "slash", Qt::Key_Slash},
            {Key::semicolon, "semicolon", Qt::Key_Semicolon},
            {Key::quote, "apostrophe", Qt::Key_Apostrophe},
            {Key::backtick, "grave", Qt::Key_QuoteLeft},
            {Key::backslash, "backslash", Qt::Key_Backslash},
            {Key::leftBracket, "bracketleft", Qt::Key_BracketLeft},
            {Key::rightBracket, "bracketright", Qt::Key_BracketRight},
            {Key::mute, "XF86AudioMute", Qt::Key_VolumeMute},
            {Key::volumeUp, "XF86AudioRaiseVolume", Qt::Key_VolumeUp},
            {Key::volumeDown, "XF86AudioLowerVolume", Qt::Key_VolumeDown},
            {Key::keypadEnter, "KP_Enter", Qt::Key_Enter},
            {Key::printScreen, "Print", Qt::Key_Print},
            {Key::scrollLock, "Scroll_Lock", Qt::Key_ScrollLock},
            {Key::pause, "Pause", Qt::Key_Pause},
            {Key::contextualMenu, "Menu", Qt::Key_Menu},
            {Key::f21, "F21", Qt::Key_F21},
            {Key::f22, "F22", Qt::Key_F22},
            {Key::f23, "F23", Qt::Key_F23},
            {Key::f24, "F24", Qt::Key_F24},
        };
        return n;
    }();
    return names;
}

std::optional<Key> keyForKeysymName(const QString& name) {
    for (const KeyName& k : keyNames())
        if (QString::fromLatin1(k.keysym).compare(
                name, k.keysym[1] ? Qt::CaseSensitive : Qt::CaseInsensitive) == 0)
            return k.key;
    return std::nullopt;
}

std::optional<Key> keyForQtKey(int qtKey) {
    for (const KeyName& k : keyNames())
        if (k.qtKey == qtKey) return k.key;
    return std::nullopt;
}

std::optional<qint64> gnomeModifier(const QString& name) {
    const QString n = name.toLower();
    if (n == "primary" || n == "control" || n == "ctrl" || n == "ctl") return Carbon::command;
    if (n == "shift") return Carbon::shift;
    if (n == "alt" || n == "mod1") return Carbon::option;
    if (n == "super" || n == "mod4") return Carbon::control;
    return std::nullopt;
}

QString run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(1500) || process.exitCode() != 0) return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

const char* const kGnomeSchemas[] = {"org.gnome.desktop.wm.keybindings",
                                     "org.gnome.shell.keybindings", "org.gnome.mutter.keybindings",
                                     "org.gnome.settings-daemon.plugins.media-keys"};
}  // namespace

namespace DesktopBindings {

std::optional<SystemHotKey> parseGnomeAccelerator(const QString& accelerator) {
    static const QRegularExpression pattern(QStringLiteral("^((?:<[A-Za-z0-9]+>)*)(.+)$"));
    const auto match = pattern.match(accelerator.trimmed());
    if (!match.hasMatch()) return std::nullopt;
    qint64 modifiers = 0;
    static const QRegularExpression modifierPattern(QStringLiteral("<([A-Za-z0-9]+)>"));
    for (auto it = modifierPattern.globalMatch(match.captured(1)); it.hasNext();) {
        const auto modifier = gnomeModifier(it.next().captured(1));
        if (!modifier) return std::nullopt;
        modifiers |= *modifier;
    }
    const auto key = keyForKeysymName(match.captured(2));
    if (!key) return std::nullopt;
    return SystemHotKey{true, key->rawValue, modifiers};
}

QList<SystemHotKey> parseGsettings(const QString& output) {
    QList<SystemHotKey> hotKeys;
    static const QRegularExpression quoted(QStringLiteral("'([^']*)'"));
    for (const QString& line : output.split('\n')) {
        // "SCHEMA KEY VALUE": only the value holds accelerators.
        const QString value = line.section(' ', 2);
        for (auto it = quoted.globalMatch(value); it.hasNext();)
            if (const auto hotKey = parseGnomeAccelerator(it.next().captured(1)))
                hotKeys.append(*hotKey);
    }
    return hotKeys;
}

std::optional<SystemHotKey> parseKdeShortcut(const QString& shortcut) {
    const QKeySequence sequence =
        QKeySequence::fromString(shortcut.trimmed(), QKeySequence::PortableText);
    // A chord of several steps is not a global hot key.
    if (sequence.count() != 1) return std::nullopt;
    const QKeyCombination combination = sequence[0];
    const auto key = keyForQtKey(combination.key());
    if (!key) return std::nullopt;
    const Qt::KeyboardModifiers m = combination.keyboardModifiers();
    if (m & Qt::KeypadModifier) return std::nullopt;
    qint64 modifiers = 0;
    if (m & Qt::ControlModifier) modifiers |= Carbon::command;
    if (m & Qt::ShiftModifier) modifiers |= Carbon::shift;
    if (m & Qt::AltModifier) modifiers |= Carbon::option;
    if (m & Qt::MetaModifier) modifiers |= Carbon::control;
    return SystemHotKey{true, key->rawValue, modifiers};
}

QList<SystemHotKey> parseKglobalshortcutsrc(const QString& contents) {
    QList<SystemHotKey> hotKeys;
    for (const QString& raw : contents.split('\n')) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith('[') || line.startsWith('#')) continue;
        const qsizetype equals = line.indexOf('=');
        if (equals <= 0 || line.startsWith(QStringLiteral("_k_friendly_name"))) continue;
        // "action=active,default,description"; several shortcuts are separated by a literal \t.
        const QString active = line.mid(equals + 1).section(',', 0, 0);
        if (active.isEmpty() || active == QStringLiteral("none")) continue;
        for (const QString& one : active.split(QStringLiteral("\\t"), Qt::SkipEmptyParts))
            if (const auto hotKey = parseKdeShortcut(one)) hotKeys.append(*hotKey);
    }
    return hotKeys;
}

std::optional<QList<SystemHotKey>> current() {
    const QString desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP").toUpper();
    if (desktop.contains(QStringLiteral("KDE"))) {
        const QString path = QStandardPaths::locate(QStandardPaths::GenericConfigLocation,
                                                    QStringLiteral("kglobalshortcutsrc"));
        QFile file(path);
        if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) return std::nullopt;
        return parseKglobalshortcutsrc(QString::fromUtf8(file.readAll()));
    }
    if (desktop.contains(QStringLiteral("GNOME")) || desktop.contains(QStringLiteral("UNITY"))) {
        if (QStandardPaths::findExecutable(QStringLiteral("gsettings")).isEmpty())
            return std::nullopt;
        QString output;
        for (const char* schema : kGnomeSchemas)
            output += run(QStringLiteral("gsettings"),
                          {QStringLiteral("list-recursively"), QString::fromLatin1(schema)});
        return parseGsettings(output);
    }
    return QList<SystemHotKey>{};
}

}  // namespace DesktopBindings
