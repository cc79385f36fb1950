#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

#include "GlobalShortcuts/RecorderControl.h"
#include "Settings/DesktopCommand.h"
#include "Settings/DesktopShortcuts.h"
#include "Settings/RecorderField.h"
#include "Settings/ShortcutRecorderRow.h"
#include "support/ShortcutFakes.h"

using namespace GlobalShortcuts;

namespace {
const Shortcut kDefault(Key::two, EventModifier::command | EventModifier::shift);
const QString kCommand = QStringLiteral("tessik --capture-area");

class FakeDesktopShortcuts final : public DesktopShortcuts {
public:
    Binding mode = Binding::portal;
    QHash<QString, QString> triggers;
    void describe(const QString&, const QString&) override {}
    Binding binding() const override { return mode; }
    std::optional<QString> triggerDescription(const QString& name) const override {
        if (!triggers.contains(name)) return std::nullopt;
        return triggers.value(name);
    }
    void say(Binding m, QHash<QString, QString> t = {}) {
        mode = m;
        triggers = std::move(t);
        emit changed();
    }
};

class WaylandShortcutRowTest : public ShortcutModuleFixture {
protected:
    void SetUp() override {
        ShortcutModuleFixture::SetUp();
        m_name = Name(QStringLiteral("captureArea"), kDefault);
        m_row = std::make_unique<ShortcutRecorderRow>(QStringLiteral("Capture zone"), m_name,
                                                      nullptr, &m_desktop, kCommand);
    }
    RecorderControl& field() { return *m_row->recorderField()->control(); }

    Name m_name;
    FakeDesktopShortcuts m_desktop;
    std::unique_ptr<ShortcutRecorderRow> m_row;
};
}  // namespace

TEST_F(WaylandShortcutRowTest, ThePortalsTriggerShowsInTheFieldWhileAShortcutIsStored) {
    EXPECT_EQ(field().text(), kDefault.nativeText());
    m_desktop.say(DesktopShortcuts::Binding::portal, {{"captureArea", "Ctrl+Shift+2"}});
    EXPECT_EQ(field().text(), "Ctrl+Shift+2");
    EXPECT_TRUE(m_row->editButton()->isEnabled());
    EXPECT_TRUE(field().isEnabled());
    EXPECT_TRUE(m_row->copyButton()->isHidden());
    EXPECT_EQ(m_row->statusLabel()->text(),
              QStringLiteral("Cliquez sur Modifier pour enregistrer un nouveau raccourci."));
    // Another name's trigger is not this one's.
    m_desktop.say(DesktopShortcuts::Binding::portal, {{"other", "F1"}});
    EXPECT_EQ(field().text(), kDefault.nativeText());
    // A cleared shortcut shows nothing, whatever the desktop still holds.
    m_desktop.say(DesktopShortcuts::Binding::portal, {{"captureArea", "Ctrl+Shift+2"}});
    setShortcut(std::nullopt, m_name);
    EXPECT_EQ(field().text(), QString());
    reset({m_name});
    EXPECT_EQ(field().text(), "Ctrl+Shift+2");
}

TEST_F(WaylandShortcutRowTest, WithoutThePortalTheRowGivesTheCommandAndCopiesIt) {
    setShortcut(Shortcut(Key::k, EventModifier::command), m_name);
    m_desktop.say(DesktopShortcuts::Binding::desktopSettings, {{"captureArea", "F1"}});
    EXPECT_FALSE(field().isEnabled());
    EXPECT_FALSE(m_row->editButton()->isEnabled());
    EXPECT_TRUE(m_row->resetButton()->isHidden());
    EXPECT_FALSE(m_row->copyButton()->isHidden());
    EXPECT_EQ(m_row->copyButton()->text(), QStringLiteral("Copier la commande"));
    EXPECT_EQ(m_row->statusLabel()->text(),
              QString::fromUtf8("Ce bureau gère lui-même les raccourcis globaux : dans ses "
                                "paramètres de clavier, associez le raccourci de votre choix à la "
                                "commande tessik --capture-area"));
    EXPECT_NE(field().text(), "F1");
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    m_row->copyButton()->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), kCommand);
    // The portal turns up after all (a slow desktop): recording comes back.
    m_desktop.say(DesktopShortcuts::Binding::portal);
    EXPECT_TRUE(field().isEnabled());
    EXPECT_TRUE(m_row->editButton()->isEnabled());
    EXPECT_FALSE(m_row->resetButton()->isHidden());
    EXPECT_TRUE(m_row->copyButton()->isHidden());
}

TEST(DesktopCommand, NamesTessikByNameOnlyWhenPathFindsThisVeryProgram) {
    QTemporaryDir dir;
    const auto make = [&](const QString& name) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        return path;
    };
    const QString installed = make("tessik");
    const QString other = make("other-tessik");
    const QString spaced = make("my build's tessik");
    const QString plain = make("tessik-plain");
    struct Case {
        QString application;
        QString found;  // what PATH gives for "tessik"
        QString command;
    };
    const Case cases[] = {
        {installed, installed, "tessik --capture-area"},
        {installed, QString(), installed + " --capture-area"},
        {plain, other, plain + " --capture-area"},
        {spaced, installed, "'" + dir.path() + "/my build'\\''s tessik' --capture-area"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DesktopCommand::captureArea(
                      c.application,
                      [&](const QString& name) { return name == "tessik" ? c.found : QString(); }),
                  c.command)
            << c.application.toStdString();
}
