#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "Design/TessikColor.h"
#include "GlobalShortcuts/RecorderControl.h"
#include "Settings/PathLabel.h"
#include "Settings/Preferences.h"
#include "Settings/RecorderField.h"
#include "Settings/SegmentedPicker.h"
#include "Settings/SettingsHeader.h"
#include "Settings/SettingsStyle.h"
#include "Settings/SettingsView.h"
#include "Settings/SettingsWindowController.h"
#include "Settings/ShortcutRecorderRow.h"
#include "Settings/ToggleSwitch.h"
#include "support/CountingFolderAccess.h"
#include "support/FakeLoginItems.h"
#include "support/ShortcutFakes.h"

using namespace GlobalShortcuts;

namespace {

const Shortcut kDefault(Key::two, EventModifier::command | EventModifier::shift);

// The shortcut row inside a shown, active window.
class ShortcutRowTest : public ShortcutModuleFixture {
protected:
    void SetUp() override {
        ShortcutModuleFixture::SetUp();
        m_name = Name(QStringLiteral("captureArea"), kDefault);
    }
    ShortcutRecorderRow& show(const Name& name) {
        m_row = new ShortcutRecorderRow(QStringLiteral("Capture zone"), name, &m_window);
        m_window.show();
        m_window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&m_window));
        return *m_row;
    }
    RecorderControl& control() { return *m_row->recorderField()->control(); }
    QColor statusColor() { return m_row->statusLabel()->palette().color(QPalette::WindowText); }

    Name m_name;
    QWidget m_window;
    ShortcutRecorderRow* m_row = nullptr;
};

TEST_F(ShortcutRowTest, TheResetButtonShowsOnlyWhileTheShortcutDiffersFromTheDefault) {
    ShortcutRecorderRow& row = show(m_name);
    EXPECT_TRUE(row.resetButton()->isHidden());
    EXPECT_EQ(row.statusLabel()->text(),
              QStringLiteral("Cliquez sur Modifier pour enregistrer un nouveau raccourci."));
    setShortcut(Shortcut(Key::k, EventModifier::command), m_name);
    EXPECT_FALSE(row.resetButton()->isHidden());
    EXPECT_EQ(row.resetButton()->toolTip(), QStringLiteral("Revenir au raccourci d'origine"));
    // A cleared shortcut differs from the default too.
    setShortcut(std::nullopt, m_name);
    EXPECT_FALSE(row.resetButton()->isHidden());
    EXPECT_EQ(row.statusLabel()->text(),
              QStringLiteral("Aucun raccourci. Cliquez sur Modifier pour en définir un."));
    row.resetButton()->click();
    EXPECT_EQ(getShortcut(m_name), kDefault);
    EXPECT_TRUE(row.resetButton()->isHidden());
    EXPECT_EQ(control().text(), QStringLiteral("Ctrl+Maj+2"));
}

TEST_F(ShortcutRowTest, ANameWithoutDefaultOrShortcutOffersNoReset) {
    ShortcutRecorderRow& row = show(Name(QStringLiteral("nothing")));
    EXPECT_TRUE(row.resetButton()->isHidden());
    EXPECT_EQ(row.statusLabel()->text(),
              QStringLiteral("Aucun raccourci. Cliquez sur Modifier pour en définir un."));
    EXPECT_EQ(row.shortcut(), std::nullopt);
}

TEST_F(ShortcutRowTest, TheControlRecordsOnlyAfterModifier) {
    ShortcutRecorderRow& row = show(m_name);
    QCoreApplication::processEvents();
    QTest::mouseClick(&control(), Qt::LeftButton);
    control().setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    EXPECT_FALSE(control().isRecording());
    EXPECT_FALSE(row.isRecording());

    row.editButton()->click();
    // Focus is handed over on the next turn of the event loop.
    EXPECT_FALSE(control().isRecording());
    QCoreApplication::processEvents();
    EXPECT_TRUE(control().isRecording());
    EXPECT_TRUE(row.isRecording());
    EXPECT_FALSE(row.editButton()->isEnabled());
    EXPECT_EQ(statusColor(), tessikAccent());
    EXPECT_EQ(row.statusLabel()->text(),
              QStringLiteral("Pressez la combinaison souhaitée. Échap pour annuler, Suppr pour "
                             "supprimer le raccourci."));

    // Escape ends it; the control refuses focus again until the next press.
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, *xKeycode(Key::escape), 0,
                     0);
    QApplication::sendEvent(&control(), &escape);
    EXPECT_FALSE(row.isRecording());
    EXPECT_TRUE(row.editButton()->isEnabled());
    EXPECT_EQ(statusColor(), SettingsStyle::secondaryText());
    EXPECT_TRUE(control().refusesFirstResponder());
    QTest::mouseClick(&control(), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_FALSE(control().isRecording());
    EXPECT_EQ(row.focusRequests(), 1);
    EXPECT_EQ(row.recorderField()->coordinator().lastHandledRequest, 1);
}

TEST_F(ShortcutRowTest, ARecordingNotificationWithoutABooleanMeansNotRecording) {
    ShortcutRecorderRow& row = show(m_name);
    const QVariantMap infos[] = {{}, {{"isActive", "yes"}}, {{"isActive", 1}}};
    for (const QVariantMap& info : infos) {
        Notifications::post(recorderActiveStatusDidChange, {{"isActive", true}});
        ASSERT_TRUE(row.isRecording());
        Notifications::post(recorderActiveStatusDidChange, info);
        EXPECT_FALSE(row.isRecording()) << info.keys().join(",").toStdString();
    }
}

TEST(PathDisplay, AbbreviatesTheHomeFolderAndEndsWithASeparator) {
    struct Case {
        const char* path;
        const char* home;
        const char* shown;
    };
    const Case cases[] = {
        {"/home/ana/Pictures/Tessik", "/home/ana", "~/Pictures/Tessik/"},
        {"/home/ana/", "/home/ana", "~/"},
        {"/srv/captures", "/home/ana", "/srv/captures/"},
        // Only the home folder itself with its separator, not a longer name.
        {"/home/anabelle/x", "/home/ana", "/home/anabelle/x/"},
        // Inside another path the home folder is not the user's home: left as it is.
        {"/mnt/home/ana/x", "/home/ana", "/mnt/home/ana/x/"},
        {"/data/x", "/", "/data/x/"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PathLabel::abbreviated(c.path, c.home), QString::fromUtf8(c.shown)) << c.path;
}

// The view over a preferences store on a temporary settings file.
class SettingsViewTest : public ShortcutModuleFixture {
protected:
    void SetUp() override {
        ShortcutModuleFixture::SetUp();
        m_name = Name(QStringLiteral("captureArea"), kDefault);
        m_defaults = std::make_unique<DefaultsStore>(m_tmp.filePath("Tessik.conf"));
        m_prefs = std::make_unique<Preferences>(*m_defaults, m_loginItems, m_access);
        m_hooks.chooseFolder = [this](QWidget*, const QString& start) {
            m_chooserStarts << start;
            return m_chosen;
        };
        m_hooks.openLoginItemsSettings = [this] { ++m_openedLoginSettings; };
        m_hooks.openFolder = [this](const QString& folder) { m_openedFolders << folder; };
    }
    SettingsView& view() {
        if (!m_view) m_view = std::make_unique<SettingsView>(*m_prefs, m_name, m_hooks);
        return *m_view;
    }
    QString folder(const QString& name) {
        const QString path = m_tmp.filePath(name);
        QDir().mkpath(path);
        return path;
    }

    QTemporaryDir m_tmp;
    Name m_name;
    std::shared_ptr<FakeLoginItems> m_loginItems = std::make_shared<FakeLoginItems>();
    std::shared_ptr<CountingFolderAccess> m_access = std::make_shared<CountingFolderAccess>();
    std::unique_ptr<DefaultsStore> m_defaults;
    std::unique_ptr<Preferences> m_prefs;
    SettingsView::Hooks m_hooks;
    QStringList m_chooserStarts;
    std::optional<QString> m_chosen;
    int m_openedLoginSettings = 0;
    QStringList m_openedFolders;
    std::unique_ptr<SettingsView> m_view;
};

TEST_F(SettingsViewTest, TheFolderShowsAbbreviatedWithItsFullPathAsToolTip) {
    const QString home = QDir::homePath();
    m_prefs->setSaveDirectory(home + "/Pictures/Tessik");
    PathLabel& label = *view().folderLabel();
    EXPECT_EQ(label.fullText(), QStringLiteral("~/Pictures/Tessik/"));
    EXPECT_EQ(label.toolTip(), home + "/Pictures/Tessik/");
    // A change made elsewhere shows at once.
    const QString outside = folder("captures");
    m_prefs->setSaveDirectory(outside);
    EXPECT_EQ(label.fullText(), outside + "/");
    // A long path loses its beginning.
    const QString deep = folder("un/dossier/très/profondément/rangé/quelque/part/loin/captures");
    m_prefs->setSaveDirectory(deep);
    label.resize(160, label.height());
    EXPECT_TRUE(label.text().startsWith(QChar(0x2026))) << label.text().toStdString();
    EXPECT_TRUE(label.text().endsWith(QStringLiteral("captures/"))) << label.text().toStdString();
    EXPECT_LE(label.fontMetrics().horizontalAdvance(label.text()), 160);
}

TEST_F(SettingsViewTest, AShortFolderShowsWhole) {
    SettingsWindowController controller(*m_prefs, m_name, m_defaults.get(), m_hooks);
    controller.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(controller.window()));
    for (const QString& path :
         {QStringLiteral("/data/shots"), QStringLiteral("/tmp"), QStringLiteral("/data/shots")}) {
        m_prefs->setSaveDirectory(path);
        PathLabel* label = controller.view()->folderLabel();
        // The layout gives the label its natural width over a few turns of the event loop.
        EXPECT_TRUE(QTest::qWaitFor([label] {
            return label->width() ==
                   qMax(label->sizeHint().width(), label->minimumSizeHint().width());
        }));
        EXPECT_EQ(label->text(), path + "/");
    }
}

TEST_F(SettingsViewTest, ShortcutsReadTheLinuxWayWithoutModifierSigns) {
    QStringList texts;
    for (const QLabel* label : view().findChildren<QLabel*>()) texts << label->text();
    for (const QWidget* widget : view().findChildren<QWidget*>()) texts << widget->toolTip();
    for (const QPushButton* button : view().findChildren<QPushButton*>()) texts << button->text();
    texts << view().shortcutRow()->findChild<RecorderControl*>()->text();
    EXPECT_TRUE(
        texts.contains(QStringLiteral("Appliquée au double-clic dans la sélection et à la "
                                      "touche Entrée. Ctrl+C et Ctrl+S restent "
                                      "explicites.")));
    EXPECT_TRUE(texts.contains(QStringLiteral("Ctrl+Maj+2")));
    for (const QString& text : texts)
        for (const QChar sign : {QChar(0x2318), QChar(0x2325), QChar(0x2303), QChar(0x21E7)})
            EXPECT_FALSE(text.contains(sign)) << text.toStdString();
}

TEST_F(SettingsViewTest, OuvrirOpensTheSaveFolderMadeIfNeeded) {
    const QString missing = m_tmp.filePath("pas encore/captures");
    m_prefs->setSaveDirectory(missing);
    EXPECT_EQ(view().openButton()->text(), QStringLiteral("Ouvrir"));
    view().openButton()->click();
    EXPECT_EQ(m_openedFolders, QStringList{missing});
    EXPECT_TRUE(QFileInfo(missing).isDir());
}

TEST(SettingsChooserStart, TheNearestExistingFolderElseHome) {
    QTemporaryDir tmp;
    const QString existing = tmp.path();
    EXPECT_EQ(SettingsView::chooserStart(existing), existing);
    EXPECT_EQ(SettingsView::chooserStart(existing + "/gone/deeper"), existing);
    EXPECT_EQ(SettingsView::chooserStart(existing + "/gone/"), existing);
    EXPECT_EQ(SettingsView::chooserStart(QStringLiteral("/nonexistent-tessik/a/b")),
              QDir::homePath());
    EXPECT_EQ(SettingsView::chooserStart(QString()), QDir::homePath());
    EXPECT_EQ(SettingsView::chooserStart(QStringLiteral("relative/path")), QDir::homePath());
}

TEST_F(SettingsViewTest, TheWindowClosesOnEscapeAndCtrlW) {
    SettingsWindowController controller(*m_prefs, m_name, m_defaults.get(), m_hooks);
    struct Press {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        bool closes;
    };
    const Press presses[] = {{Qt::Key_Escape, Qt::NoModifier, true},
                             {Qt::Key_W, Qt::ControlModifier, true},
                             {Qt::Key_W, Qt::NoModifier, false},
                             {Qt::Key_Escape, Qt::ShiftModifier, false}};
    for (const Press& p : presses) {
        controller.show();
        QWidget* window = controller.window();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        // Sent to a control inside, as the key arrives; the control passes it on.
        QPushButton* choose = controller.view()->chooseButton();
        QTest::keyClick(choose, p.key, p.modifiers);
        EXPECT_EQ(window->isVisible(), !p.closes) << p.key << " " << int(p.modifiers);
    }
}

TEST_F(SettingsViewTest, ThePickerShowsKeyboardFocusOnEitherSegment) {
    SettingsWindowController controller(*m_prefs, m_name, m_defaults.get(), m_hooks);
    controller.show();
    QWidget* window = controller.window();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    SegmentedPicker& picker = *controller.view()->actionPicker();
    const QList<QAbstractButton*> segments = picker.findChildren<QAbstractButton*>();
    ASSERT_EQ(segments.size(), 2);
    for (QAbstractButton* segment : segments) {
        segment->clearFocus();
        const QImage unfocused = segment->grab().toImage();
        segment->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(segment->hasFocus());
        EXPECT_NE(segment->grab().toImage(), unfocused) << segment->text().toStdString();
    }
}

TEST_F(SettingsViewTest, ChoosingAFolderStartsInTheCurrentOneAndCancellingChangesNothing) {
    m_prefs->setSaveDirectory(folder("current"));
    const QString before = m_prefs->saveDirectory();
    view().chooseButton()->click();
    EXPECT_EQ(m_chooserStarts, QStringList{before});
    EXPECT_EQ(m_prefs->saveDirectory(), before);
    m_chosen = folder("elsewhere");
    view().chooseButton()->click();
    EXPECT_EQ(m_prefs->saveDirectory(), *m_chosen);
    EXPECT_EQ(m_defaults->string("saveDirectory"), *m_chosen);
    EXPECT_EQ(view().folderLabel()->toolTip(), *m_chosen + "/");
}

TEST_F(SettingsViewTest, ThePickerAndTheStoreFollowEachOther) {
    SegmentedPicker& picker = *view().actionPicker();
    EXPECT_EQ(picker.choices(), (QStringList{"Copier", "Enregistrer"}));
    EXPECT_EQ(picker.currentIndex(), 0);
    picker.pick(1);
    EXPECT_EQ(m_prefs->defaultAction(), ExportAction::save);
    EXPECT_EQ(m_defaults->string("defaultAction"), QStringLiteral("save"));
    m_prefs->setDefaultAction(ExportAction::copy);
    EXPECT_EQ(picker.currentIndex(), 0);
}

TEST_F(SettingsViewTest, TheLaunchToggleRegistersAndShowsFailuresInRed) {
    ToggleSwitch& toggle = *view().launchToggle();
    EXPECT_FALSE(toggle.isChecked());
    EXPECT_TRUE(view().errorLabel()->isHidden());
    toggle.click();
    EXPECT_EQ(m_loginItems->registerCalls, 1);
    EXPECT_TRUE(m_prefs->launchAtLogin());

    m_loginItems->failWith = QStringLiteral("Le dossier de démarrage est en lecture seule.");
    toggle.click();
    EXPECT_EQ(m_loginItems->unregisterCalls, 1);
    // Back in line with the desktop, which still starts Tessik.
    EXPECT_TRUE(toggle.isChecked());
    EXPECT_FALSE(view().errorLabel()->isHidden());
    EXPECT_EQ(view().errorLabel()->text(), *m_loginItems->failWith);
    EXPECT_EQ(view().errorLabel()->palette().color(QPalette::WindowText),
              SettingsStyle::errorText());
}

TEST_F(SettingsViewTest, ShowingTheViewFollowsTheDesktopsLoginStatusWithoutRegistering) {
    m_loginItems->current = LoginItems::Status::enabled;
    m_prefs = std::make_unique<Preferences>(*m_defaults, m_loginItems, m_access);
    EXPECT_TRUE(view().launchToggle()->isChecked());
    // Switched off in the desktop's own settings, then the window comes up again.
    m_loginItems->current = LoginItems::Status::requiresApproval;
    view().show();
    EXPECT_FALSE(view().launchToggle()->isChecked());
    EXPECT_EQ(m_loginItems->registerCalls + m_loginItems->unregisterCalls, 0);
    EXPECT_FALSE(view().approvalHint()->isHidden());
    EXPECT_TRUE(view().errorLabel()->isHidden());
    view().approvalHint()->findChild<QPushButton*>()->click();
    EXPECT_EQ(m_openedLoginSettings, 1);
}

TEST_F(SettingsViewTest, TheWindowIsBuiltOnceFixedAndHiddenOnClose) {
    SettingsWindowController controller(*m_prefs, m_name, m_defaults.get(), m_hooks);
    EXPECT_EQ(controller.window(), nullptr);
    controller.show();
    QWidget* window = controller.window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Réglages Tessik"));
    EXPECT_EQ(window->width(), 480);
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_GT(window->height(), SettingsHeader::height + 200);
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(m_defaults->data(SettingsWindowController::frameAutosaveName()).has_value());
    controller.show();
    EXPECT_EQ(controller.window(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->findChildren<SettingsView*>().size(), 1);
}

TEST(SettingsHeaderText, VersionPillReadsTheReleaseOfTheApplicationVersion) {
    const QString saved = QCoreApplication::applicationVersion();
    for (auto [version, pill] : {std::pair{"2.3", "v2.3"},
                                 {"", "v0.1"},
                                 {"0.2.0~git138.g273eec0d.dirty", "v0.2.0"}}) {
        QCoreApplication::setApplicationVersion(QString::fromUtf8(version));
        EXPECT_EQ(SettingsHeader::versionText(), QString::fromUtf8(pill)) << version;
    }
    QCoreApplication::setApplicationVersion(saved);
}

}  // namespace

TEST_F(SettingsViewTest, NoTextNamesAnotherOperatingSystemEvenInHiddenRows) {
    m_loginItems->current = LoginItems::Status::requiresApproval;
    m_prefs = std::make_unique<Preferences>(*m_defaults, m_loginItems, m_access);
    QStringList texts;
    for (const QLabel* label : view().findChildren<QLabel*>()) texts << label->text();
    for (const QAbstractButton* button : view().findChildren<QAbstractButton*>())
        texts << button->text() << button->toolTip();
    EXPECT_TRUE(texts.contains(QStringLiteral("Votre bureau attend votre approbation.")));
    for (const QString& text : texts)
        for (const char* word : {"macOS", "Mac ", "Réglages Système", "Finder"})
            EXPECT_FALSE(text.contains(QString::fromUtf8(word))) << text.toStdString();
}
