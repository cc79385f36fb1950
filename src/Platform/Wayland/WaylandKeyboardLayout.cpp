#include "Platform/Wayland/WaylandKeyboardLayout.h"

#include <QFile>
#include <QMap>

#include <xkbcommon/xkbcommon.h>

#include "Platform/Wayland/WaylandSeatKeymap.h"
#include "Platform/XkbKeyText.h"

namespace {
const QString kKeyboardFile = QStringLiteral("/etc/default/keyboard");

// NAME=value lines of a shell variables file; quotes around a value are dropped.
QMap<QString, QString> shellVariables(const QString& text) {
    QMap<QString, QString> variables;
    for (const QString& raw : text.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (line.startsWith(QLatin1Char('#')) || equals <= 0) continue;
        QString value = line.mid(equals + 1).trimmed();
        if (value.size() >= 2 &&
            (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\'')) &&
            value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        variables.insert(line.left(equals).trimmed(), value);
    }
    return variables;
}

QString readText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
}  // namespace

WaylandKeyboardLayout::WaylandKeyboardLayout()
    : m_context(xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES)) {
    if (m_context) m_seat = std::make_unique<WaylandSeatKeymap>(m_context);
}

WaylandKeyboardLayout::~WaylandKeyboardLayout() {
    m_seat.reset();
    if (m_fallback) xkb_keymap_unref(m_fallback);
    if (m_context) xkb_context_unref(m_context);
}

std::optional<QString> WaylandKeyboardLayout::text(GlobalShortcuts::Key key) const {
    if (!m_context) return std::nullopt;
    xkb_keymap* keymap = m_seat ? m_seat->current() : nullptr;
    return XkbKeyText::text(keymap ? keymap : fallback(), key);
}

xkb_keymap* WaylandKeyboardLayout::fallback() const {
    if (!m_fallback)
        m_fallback = compile(m_context, defaultNames(QProcessEnvironment::systemEnvironment(),
                                                     readText(kKeyboardFile)));
    return m_fallback;
}

WaylandKeyboardLayout::Names WaylandKeyboardLayout::defaultNames(
    const QProcessEnvironment& environment, const QString& keyboardFile) {
    const auto file = shellVariables(keyboardFile);
    const auto either = [&](const char* variable, const char* fileVariable) {
        const QString own = environment.value(QLatin1String(variable));
        return own.isEmpty() ? file.value(QLatin1String(fileVariable)) : own;
    };
    Names names;
    names.rules = environment.value(QStringLiteral("XKB_DEFAULT_RULES"));
    names.model = either("XKB_DEFAULT_MODEL", "XKBMODEL");
    names.options = either("XKB_DEFAULT_OPTIONS", "XKBOPTIONS");
    if (const QString layout = environment.value(QStringLiteral("XKB_DEFAULT_LAYOUT"));
        !layout.isEmpty()) {
        names.layout = layout;
        names.variant = environment.value(QStringLiteral("XKB_DEFAULT_VARIANT"));
    } else {
        names.layout = file.value(QStringLiteral("XKBLAYOUT"));
        names.variant = file.value(QStringLiteral("XKBVARIANT"));
    }
    return names;
}

xkb_keymap* WaylandKeyboardLayout::compile(xkb_context* context, const Names& names) {
    if (!context) return nullptr;
    const QByteArray rules = names.rules.toUtf8(), model = names.model.toUtf8(),
                     layout = names.layout.toUtf8(), variant = names.variant.toUtf8(),
                     options = names.options.toUtf8();
    const xkb_rule_names rmlvo{rules.constData(), model.constData(), layout.constData(),
                               variant.constData(), options.constData()};
    if (xkb_keymap* keymap =
            xkb_keymap_new_from_names(context, &rmlvo, XKB_KEYMAP_COMPILE_NO_FLAGS))
        return keymap;
    const xkb_rule_names defaults{};
    return xkb_keymap_new_from_names(context, &defaults, XKB_KEYMAP_COMPILE_NO_FLAGS);
}
