#pragma once

#include <map>

#include <gtest/gtest.h>
#include <set>

#include <QHash>
#include <QMap>

#include "GlobalShortcuts/GlobalShortcuts.h"
#include "GlobalShortcuts/HotKeyBackend.h"
#include "GlobalShortcuts/HotKeyRegistry.h"
#include "GlobalShortcuts/KeyboardLayout.h"
#include "GlobalShortcuts/ShortcutStore.h"
#include "GlobalShortcuts/StringTable.h"

// An in-memory user-defaults store; a Boolean reads back as text, as in the settings file.
class MemoryShortcutStore final : public GlobalShortcuts::ShortcutStore {
public:
    QMap<QString, QVariant> entries;

    std::optional<QString> string(const QString& key) const override {
        if (!entries.contains(key)) return std::nullopt;
        return entries.value(key).toString();
    }
    bool contains(const QString& key) const override { return entries.contains(key); }
    void setString(const QString& key, const QString& value) override { entries[key] = value; }
    void setBoolean(const QString& key, bool value) override { entries[key] = value; }
    void remove(const QString& key) override { entries.remove(key); }
    QStringList keys() const override { return entries.keys(); }
};

// A hot-key service that grants or refuses on demand and lets tests press keys.
class FakeHotKeyBackend final : public GlobalShortcuts::HotKeyBackend {
public:
    struct Registration {
        quint32 keyCode, modifiers, signature, id;
    };
    std::map<Reference, Registration> live;
    std::map<std::pair<quint32, quint32>, int> refusals;  // (key code, modifiers) -> status
    EventHandler handler;
    bool canInstall = true;
    int installs = 0;
    bool hotKeyEvents = false;
    bool rawKeyEvents = false;
    int registerCalls = 0;
    std::optional<QList<GlobalShortcuts::SystemHotKey>> system =
        QList<GlobalShortcuts::SystemHotKey>{};

    std::expected<Reference, int> registerHotKey(quint32 keyCode, quint32 modifiers,
                                                 quint32 signature, quint32 id) override {
        ++registerCalls;
        if (const auto it = refusals.find({keyCode, modifiers}); it != refusals.end())
            return std::unexpected(it->second);
        live[next] = {keyCode, modifiers, signature, id};
        return next++;
    }
    void unregisterHotKey(Reference reference) override { live.erase(reference); }
    bool installEventHandler(EventHandler h) override {
        if (!canInstall) return false;
        ++installs;
        handler = std::move(h);
        return true;
    }
    void setHotKeyEventsEnabled(bool on) override { hotKeyEvents = on; }
    void setRawKeyEventsEnabled(bool on) override { rawKeyEvents = on; }
    std::optional<QList<GlobalShortcuts::SystemHotKey>> systemHotKeys() override { return system; }

    // Presses (or releases) the combination as the platform would: one hot-key event per live
    // registration of it, while hot-key events are on.
    int press(const GlobalShortcuts::Shortcut& s, bool down = true) {
        using GlobalShortcuts::HotKeyEvent;
        if (!hotKeyEvents || !handler) return 0;
        int delivered = 0;
        const auto snapshot = live;
        for (const auto& [ref, r] : snapshot) {
            if (r.keyCode != quint32(s.carbonKeyCode) || r.modifiers != quint32(s.carbonModifiers))
                continue;
            HotKeyEvent e;
            e.kind = down ? HotKeyEvent::hotKeyPressed : HotKeyEvent::hotKeyReleased;
            e.signature = r.signature;
            e.id = r.id;
            if (handler(e) == GlobalShortcuts::noErr) ++delivered;
        }
        return delivered;
    }
    std::set<quint32> liveIds() const {
        std::set<quint32> ids;
        for (const auto& [ref, r] : live) ids.insert(r.id);
        return ids;
    }

private:
    Reference next = 100;
};

// A keyboard layout given as a table of key -> text.
class FakeKeyboardLayout final : public GlobalShortcuts::KeyboardLayout {
public:
    bool available = true;
    QHash<qint64, QString> texts;
    std::optional<QString> text(GlobalShortcuts::Key key) const override {
        if (!available || !texts.contains(key.rawValue)) return std::nullopt;
        return texts.value(key.rawValue);
    }
    static std::unique_ptr<FakeKeyboardLayout> us();
    static std::unique_ptr<FakeKeyboardLayout> french();
};

inline std::unique_ptr<FakeKeyboardLayout> FakeKeyboardLayout::us() {
    using GlobalShortcuts::Key;
    auto layout = std::make_unique<FakeKeyboardLayout>();
    const std::pair<Key, const char*> keys[] = {
        {Key::a, "a"}, {Key::b, "b"},   {Key::s, "s"},   {Key::c, "c"},     {Key::z, "z"},
        {Key::q, "q"}, {Key::two, "2"}, {Key::one, "1"}, {Key::comma, ","}, {Key::minus, "-"},
        {Key::k, "k"}, {Key::isoSection, "<"}};
    for (const auto& [key, text] : keys)
        layout->texts.insert(key.rawValue, QString::fromUtf8(text));
    return layout;
}

inline std::unique_ptr<FakeKeyboardLayout> FakeKeyboardLayout::french() {
    using GlobalShortcuts::Key;
    auto layout = std::make_unique<FakeKeyboardLayout>();
    const std::pair<Key, const char*> keys[] = {
        {Key::a, "q"}, {Key::q, "a"}, {Key::two, "é"}, {Key::one, "&"}, {Key::s, "s"}};
    for (const auto& [key, text] : keys)
        layout->texts.insert(key.rawValue, QString::fromUtf8(text));
    return layout;
}

// Fresh module state around each test: memory store, fake backend, US layout.
class ShortcutModuleFixture : public ::testing::Test {
protected:
    void SetUp() override {
        GlobalShortcuts::resetModuleStateForTesting();
        auto store = std::make_unique<MemoryShortcutStore>();
        m_store = store.get();
        GlobalShortcuts::setStore(std::move(store));
        auto backend = std::make_unique<FakeHotKeyBackend>();
        m_backend = backend.get();
        GlobalShortcuts::HotKeyRegistry::setBackend(std::move(backend));
        auto layout = FakeKeyboardLayout::us();
        m_layout = layout.get();
        GlobalShortcuts::setKeyboardLayout(std::move(layout));
        GlobalShortcuts::setStringTable({{QStringLiteral("space_key"), QStringLiteral("espace")}});
        m_token = GlobalShortcuts::Notifications::observe(
            GlobalShortcuts::shortcutByNameDidChange, [this](const QVariantMap& info) {
                m_posted << info.value("name").value<GlobalShortcuts::Name>().rawValue;
            });
    }
    void TearDown() override {
        GlobalShortcuts::Notifications::remove(m_token);
        GlobalShortcuts::resetModuleStateForTesting();
        GlobalShortcuts::HotKeyRegistry::setBackend(nullptr);
        GlobalShortcuts::setKeyboardLayout(nullptr);
        GlobalShortcuts::setStore(std::make_unique<MemoryShortcutStore>());
    }

    MemoryShortcutStore* m_store = nullptr;
    FakeHotKeyBackend* m_backend = nullptr;
    FakeKeyboardLayout* m_layout = nullptr;
    QStringList m_posted;
    GlobalShortcuts::Notifications::Token m_token = 0;
};
