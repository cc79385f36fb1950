#include "GlobalShortcuts/SpecialKey.h"

#include "GlobalShortcuts/ShortcutText.h"
#include "GlobalShortcuts/StringTable.h"

namespace GlobalShortcuts {

namespace {
// In case order; the function keys and the keypad digits follow one another.
constexpr qint64 kCodes[specialKeyCount] = {
    36,  51,  117, 119, 53, 114, 115, 49,  48,     116,    121,    126,    124, 125, 123,
    122, 120, 99,  118, 96, 97,  98,  100, 101,    109,    103,    111,    105, 107, 113,
    106, 64,  79,  80,  90, 82,  83,  84,  85,     86,     87,     88,     89,  91,  92,
    71,  65,  75,  76,  81, 78,  67,  69,  0x1015, 0x1016, 0x1017, 0x1018, 110,
};
constexpr char16_t kKeycap = 0x20E3;

// 1 to 24 for the function keys, 0 for the others.
int functionNumber(SpecialKey k) {
    if (k >= SpecialKey::f1 && k <= SpecialKey::f20) return int(k) - int(SpecialKey::f1) + 1;
    if (k >= SpecialKey::f21 && k <= SpecialKey::f24) return int(k) - int(SpecialKey::f21) + 21;
    return 0;
}
bool isKeypad(SpecialKey k) {
    return k >= SpecialKey::keypad0 && k <= SpecialKey::keypadPlus;
}

QString keycap(QChar c) {
    return QString(c) + QChar(kKeycap);
}
}  // namespace

const std::map<qint64, SpecialKey>& keyToSpecialKeyMapping() {
    static const std::map<qint64, SpecialKey> mapping = [] {
        std::map<qint64, SpecialKey> m;
        for (int i = 0; i < specialKeyCount; ++i) m.emplace(kCodes[i], SpecialKey(i));
        return m;
    }();
    return mapping;
}

std::optional<SpecialKey> specialKey(qint64 keyCode) {
    const auto& m = keyToSpecialKeyMapping();
    const auto it = m.find(keyCode);
    if (it == m.end()) return std::nullopt;
    return it->second;
}

QString presentableDescription(SpecialKey key) {
    if (const int n = functionNumber(key)) return QStringLiteral("F%1").arg(n);
    if (key >= SpecialKey::keypad0 && key <= SpecialKey::keypad9)
        return keycap(QChar(u'0' + (int(key) - int(SpecialKey::keypad0))));
    switch (key) {
        case SpecialKey::returnKey:
            return QString(QChar(0x21A9));
        case SpecialKey::deleteKey:
            return QString(QChar(0x232B));
        case SpecialKey::deleteForward:
            return QString(QChar(0x2326));
        case SpecialKey::end:
            return QString(QChar(0x2198));
        case SpecialKey::escape:
            return QString(QChar(0x238B));
        case SpecialKey::help:
            return QStringLiteral("?") + QChar(0x20DD);
        case SpecialKey::home:
            return QString(QChar(0x2196));
        case SpecialKey::space: {
            return capitalized(localizedString(QStringLiteral("space_key")));
        }
        case SpecialKey::tab:
            return QString(QChar(0x21E5));
        case SpecialKey::pageUp:
            return QString(QChar(0x21DE));
        case SpecialKey::pageDown:
            return QString(QChar(0x21DF));
        case SpecialKey::upArrow:
            return QString(QChar(0x2191));
        case SpecialKey::rightArrow:
            return QString(QChar(0x2192));
        case SpecialKey::downArrow:
            return QString(QChar(0x2193));
        case SpecialKey::leftArrow:
            return QString(QChar(0x2190));
        case SpecialKey::keypadClear:
            return keycap(QChar(0x2612));
        case SpecialKey::keypadDecimal:
            return keycap(u'.');
        case SpecialKey::keypadDivide:
            return keycap(u'/');
        case SpecialKey::keypadEnter:
            return keycap(QChar(0x21A9));
        case SpecialKey::keypadEquals:
            return keycap(u'=');
        case SpecialKey::keypadMinus:
            return keycap(u'-');
        case SpecialKey::keypadMultiply:
            return keycap(u'*');
        case SpecialKey::keypadPlus:
            return keycap(u'+');
        case SpecialKey::contextualMenu:
            return QStringLiteral("Menu");
        default:
            return {};
    }
}

std::optional<QString> appKitMenuItemKeyEquivalent(SpecialKey key) {
    if (isKeypad(key)) return std::nullopt;
    if (const int n = functionNumber(key)) return QString(QChar(0xF704 + n - 1));
    if (key == SpecialKey::space) return QStringLiteral(" ");
    // The platform's menu function key.
    if (key == SpecialKey::contextualMenu) return QString(QChar(0xF735));
    return presentableDescription(key);
}

}  // namespace GlobalShortcuts
