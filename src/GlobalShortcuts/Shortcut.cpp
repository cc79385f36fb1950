#include "GlobalShortcuts/Shortcut.h"

#include <cmath>

#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>

#include "GlobalShortcuts/GlobalShortcuts.h"

namespace GlobalShortcuts {

namespace {
const QString kKeyCodeKey = QStringLiteral("carbonKeyCode");
const QString kModifiersKey = QStringLiteral("carbonModifiers");
// The coded form is some forty bytes; a stored value far longer is damage, not worth parsing.
constexpr qsizetype kMaximumCodedSize = 1024;

// An integral JSON number within 64 bits; 19.5, "19" and true are not.
std::optional<qint64> integer(const QJsonValue& value) {
    const QVariant v = value.toVariant();
    if (v.typeId() == QMetaType::LongLong) return v.toLongLong();
    if (v.typeId() != QMetaType::Double) return std::nullopt;
    const double d = v.toDouble();
    if (!std::isfinite(d) || d != std::trunc(d) || d < -0x1p63 || d >= 0x1p63) return std::nullopt;
    return qint64(d);
}
}  // namespace

Shortcut::Shortcut(qint64 keyCode, qint64 modifiers)
    : carbonKeyCode(keyCode), carbonModifiers(normalizedCarbonModifiers(modifiers)) {
}

Shortcut::Shortcut(Key key, EventModifierFlags modifiers)
    : carbonKeyCode(key.rawValue), carbonModifiers(GlobalShortcuts::carbonModifiers(modifiers)) {
}

Shortcut Shortcut::unnormalized(qint64 keyCode, qint64 modifiers) {
    Shortcut s;
    s.carbonKeyCode = keyCode;
    s.carbonModifiers = modifiers;
    return s;
}

std::optional<Shortcut> Shortcut::forName(const Name& name) {
    return getShortcut(name);
}

std::optional<Shortcut> Shortcut::fromEvent(const QKeyEvent& event) {
    if (event.type() != QEvent::KeyPress && event.type() != QEvent::KeyRelease) return std::nullopt;
    const auto key = keyForXKeycode(event.nativeScanCode());
    if (!key) return std::nullopt;
    return Shortcut(*key, eventFlags(event.modifiers()));
}

QByteArray Shortcut::encoded() const {
    // Written by hand so the member order is fixed whatever the JSON writer does.
    return QByteArray("{\"carbonKeyCode\":") + QByteArray::number(carbonKeyCode) +
           ",\"carbonModifiers\":" + QByteArray::number(carbonModifiers) + "}";
}

std::optional<Shortcut> Shortcut::decoded(const QByteArray& json) {
    if (json.size() > kMaximumCodedSize) return std::nullopt;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) return std::nullopt;
    const QJsonObject object = doc.object();
    const auto keyCode = integer(object.value(kKeyCodeKey));
    const auto modifiers = integer(object.value(kModifiersKey));
    if (!keyCode || !modifiers) return std::nullopt;
    return unnormalized(*keyCode, *modifiers);
}

bool Shortcut::isWellFormed() const {
    return evdevCode(key()).has_value() && carbonModifiers >= 0 && carbonModifiers <= 0xFFFFFFFFll;
}

}  // namespace GlobalShortcuts
