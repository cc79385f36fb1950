// The stored shortcut: whatever the settings file holds under a name with a default, the name
// reads as a shortcut a hot key can be made of, unless the user cleared it; damage gives the
// default back, stored again in the coded form. A value that decodes survives a round trip.

#include <cstdint>

#include <QApplication>
#include <QMap>

#include "FuzzCheck.h"
#include "GlobalShortcuts/GlobalShortcuts.h"
#include "GlobalShortcuts/HotKeyRegistry.h"
#include "GlobalShortcuts/ShortcutStore.h"

using namespace GlobalShortcuts;

namespace {
const QString kEntry = QStringLiteral("GlobalShortcuts_fuzz");
const Shortcut kDefault(Key::two, EventModifier::command | EventModifier::shift);

class MemoryStore final : public ShortcutStore {
public:
    QMap<QString, QString> entries;
    std::optional<QString> string(const QString& key) const override {
        if (!entries.contains(key)) return std::nullopt;
        return entries.value(key);
    }
    bool contains(const QString& key) const override { return entries.contains(key); }
    void setString(const QString& key, const QString& value) override { entries[key] = value; }
    void setBoolean(const QString& key, bool value) override {
        entries[key] = value ? QStringLiteral("true") : QStringLiteral("false");
    }
    void remove(const QString& key) override { entries.remove(key); }
    QStringList keys() const override { return entries.keys(); }
};

class GrantingBackend final : public HotKeyBackend {
public:
    std::expected<Reference, int> registerHotKey(quint32, quint32, quint32, quint32) override {
        return ++m_next;
    }
    void unregisterHotKey(Reference) override {}
    bool installEventHandler(EventHandler) override { return true; }
    void setHotKeyEventsEnabled(bool) override {}
    void setRawKeyEventsEnabled(bool) override {}
    std::optional<QList<SystemHotKey>> systemHotKeys() override { return QList<SystemHotKey>{}; }

private:
    Reference m_next = 0;
};

MemoryStore* g_store = nullptr;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(*argc, *argv);
    // Damage is expected here; its warnings would only drown the run's output.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    auto store = std::make_unique<MemoryStore>();
    g_store = store.get();
    setStore(std::move(store));
    HotKeyRegistry::setBackend(std::make_unique<GrantingBackend>());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto decoded = Shortcut::decoded(bytes);
    if (decoded) {
        FUZZ_CHECK(Shortcut::decoded(decoded->encoded()) == decoded);
        (void)decoded->presentableDescription();
    }

    const QString text = QString::fromUtf8(bytes);
    resetModuleStateForTesting();
    g_store->entries = {{kEntry, text}};
    const Name name(QStringLiteral("fuzz"), kDefault);
    const auto read = getShortcut(name);
    const auto stored = Shortcut::decoded(text.toUtf8());
    if (text == QStringLiteral("false")) {
        FUZZ_CHECK(!read);
    } else if (stored && stored->isWellFormed()) {
        FUZZ_CHECK(read == stored);
        FUZZ_CHECK(g_store->entries.value(kEntry) == text);
    } else {
        FUZZ_CHECK(read == kDefault);
        FUZZ_CHECK(g_store->entries.value(kEntry).toUtf8() == kDefault.encoded());
    }
    FUZZ_CHECK(!read || read->isWellFormed());
    return 0;
}
