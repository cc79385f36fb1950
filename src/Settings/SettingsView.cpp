#include "Settings/SettingsView.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>

#include "Base/Localization.h"
#include "Design/TessikColor.h"
#include "Export/ExportAction.h"
#include "Settings/DesktopCommand.h"
#include "Settings/FormGroup.h"
#include "Settings/PathLabel.h"
#include "Settings/Preferences.h"
#include "Settings/SectionTitle.h"
#include "Settings/SegmentedPicker.h"
#include "Settings/SettingsHeader.h"
#include "Settings/SettingsStyle.h"
#include "Settings/ShortcutRecorderRow.h"
#include "Settings/ToggleSwitch.h"

namespace {

QPushButton* smallButton(const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setProperty("settingsButton", true);
    button->setFont(SettingsStyle::smallControlFont());
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

// A row with its title on the leading side and `value` on the trailing side.
QWidget* labelledRow(const QString& title, QWidget* value, QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(12);
    line->addWidget(
        SettingsStyle::label(title, SettingsStyle::bodyFont(), SettingsStyle::primaryText(), row));
    line->addWidget(value, 1, Qt::AlignRight | Qt::AlignVCenter);
    value->setParent(row);
    return row;
}

QWidget* section(const QString& title, FormGroup* group, QWidget* parent) {
    auto* box = new QWidget(parent);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    auto* heading = new SectionTitle(title, box);
    heading->setContentsMargins(4, 0, 0, 0);
    column->addWidget(heading);
    column->addWidget(group);
    return box;
}

void openAutostartFolder() {
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    QDesktopServices::openUrl(QUrl::fromLocalFile(config + QStringLiteral("/autostart")));
}

}  // namespace

SettingsView::SettingsView(Preferences& preferences, const GlobalShortcuts::Name& shortcutName,
                           Hooks hooks, QWidget* parent)
    : QWidget(parent),
      m_preferences(preferences),
      m_shortcutName(shortcutName),
      m_hooks(std::move(hooks)) {
    if (!m_hooks.chooseFolder) m_hooks.chooseFolder = &SettingsView::runFolderChooser;
    if (!m_hooks.openLoginItemsSettings) m_hooks.openLoginItemsSettings = &openAutostartFolder;
    if (!m_hooks.openFolder)
        m_hooks.openFolder = [](const QString& folder) {
            QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
        };
    setObjectName(QStringLiteral("settingsView"));
    setStyleSheet(SettingsStyle::styleSheet());
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, SettingsStyle::background());
    palette.setColor(QPalette::WindowText, SettingsStyle::primaryText());
    palette.setColor(QPalette::Highlight, tessikAccent());
    setPalette(palette);
    setAutoFillBackground(true);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->setSizeConstraint(QLayout::SetFixedSize);
    auto* header = new SettingsHeader(this);
    header->setFixedWidth(SettingsStyle::windowWidth);
    column->addWidget(header);
    column->addWidget(makeForm());

    connect(&m_preferences, &Preferences::saveDirectoryChanged, this,
            &SettingsView::showSaveDirectory);
    connect(&m_preferences, &Preferences::defaultActionChanged, this,
            &SettingsView::showDefaultAction);
    connect(&m_preferences, &Preferences::launchAtLoginChanged, this,
            &SettingsView::showLaunchAtLogin);
    connect(&m_preferences, &Preferences::launchAtLoginErrorChanged, this,
            &SettingsView::showLaunchAtLogin);
    showSaveDirectory();
    showDefaultAction();
    showLaunchAtLogin();
}

QWidget* SettingsView::makeForm() {
    auto* form = new QWidget(this);
    form->setFixedWidth(SettingsStyle::windowWidth);
    auto* column = new QVBoxLayout(form);
    column->setContentsMargins(SettingsStyle::formMargin, 18, SettingsStyle::formMargin, 22);
    column->setSpacing(18);
    column->addWidget(shortcutSection());
    column->addWidget(savingSection());
    column->addWidget(generalSection());
    return form;
}

QWidget* SettingsView::shortcutSection() {
    auto* group = new FormGroup(this);
    m_shortcutRow = new ShortcutRecorderRow(
        localized("Capture zone"), m_shortcutName, group, m_hooks.desktopShortcuts,
        DesktopCommand::captureArea(QCoreApplication::applicationFilePath()));
    group->addRow(m_shortcutRow);
    return section(localized("Raccourci"), group, this);
}

QWidget* SettingsView::savingSection() {
    auto* group = new FormGroup(this);
    auto* folderValue = new QWidget(group);
    auto* folderLine = new QHBoxLayout(folderValue);
    folderLine->setContentsMargins(0, 0, 0, 0);
    folderLine->setSpacing(8);
    m_folder = new PathLabel(folderValue);
    m_folder->setObjectName(QStringLiteral("saveDirectoryPath"));
    m_folder->setFont(SettingsStyle::bodyFont());
    m_folder->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QPalette palette = m_folder->palette();
    palette.setColor(QPalette::WindowText, SettingsStyle::secondaryText());
    m_folder->setPalette(palette);
    folderLine->addWidget(m_folder, 1);
    m_choose = smallButton(localized("Choisir…"), folderValue);
    folderLine->addWidget(m_choose);
    connect(m_choose, &QPushButton::clicked, this, &SettingsView::chooseFolder);
    m_open = smallButton(localized("Ouvrir"), folderValue);
    m_open->setToolTip(localized("Ouvrir le dossier dans le gestionnaire de fichiers"));
    folderLine->addWidget(m_open);
    connect(m_open, &QPushButton::clicked, this, &SettingsView::openFolder);
    group->addRow(labelledRow(localized("Dossier"), folderValue, group));

    m_actionPicker = new SegmentedPicker({localized("Copier"), localized("Enregistrer")}, group);
    connect(m_actionPicker, &SegmentedPicker::currentIndexChanged, this, [this](int index) {
        m_preferences.setDefaultAction(index == 1 ? ExportAction::save : ExportAction::copy);
    });
    group->addRow(labelledRow(localized("Action par défaut"), m_actionPicker, group));

    auto* hint =
        SettingsStyle::label(localized("Appliquée au double-clic dans la sélection et à la touche "
                                       "Entrée. Ctrl+C et Ctrl+S restent explicites."),
                             SettingsStyle::captionFont(), SettingsStyle::secondaryText(), group);
    hint->setWordWrap(true);
    group->addRow(hint);
    return section(localized("Enregistrement"), group, this);
}

QWidget* SettingsView::generalSection() {
    auto* group = new FormGroup(this);
    m_launchToggle = new ToggleSwitch(group);
    m_launchToggle->setAccessibleName(localized("Lancer Tessik au démarrage"));
    connect(m_launchToggle, &ToggleSwitch::clicked, this,
            [this](bool on) { m_preferences.setLaunchAtLogin(on); });
    group->addRow(labelledRow(localized("Lancer Tessik au démarrage"), m_launchToggle, group));

    m_approvalHint = new QWidget(group);
    auto* approval = new QHBoxLayout(m_approvalHint);
    approval->setContentsMargins(0, 0, 0, 0);
    approval->setSpacing(8);
    approval->addWidget(SettingsStyle::label(localized("Votre bureau attend votre approbation."),
                                             SettingsStyle::captionFont(),
                                             SettingsStyle::secondaryText(), m_approvalHint));
    approval->addStretch(1);
    QPushButton* open = smallButton(localized("Ouvrir les paramètres"), m_approvalHint);
    connect(open, &QPushButton::clicked, this, [this] { m_hooks.openLoginItemsSettings(); });
    approval->addWidget(open);
    group->addRow(m_approvalHint);

    m_error =
        SettingsStyle::label({}, SettingsStyle::captionFont(), SettingsStyle::errorText(), group);
    m_error->setWordWrap(true);
    m_error->setObjectName(QStringLiteral("launchAtLoginError"));
    group->addRow(m_error);
    return section(localized("Général"), group, this);
}

QString SettingsView::chooserTitle() {
    return localized("Dossier d'enregistrement des captures");
}

std::optional<QString> SettingsView::runFolderChooser(QWidget* parent, const QString& start) {
    QFileDialog chooser(parent, chooserTitle(), start);
    chooser.setObjectName(QStringLiteral("saveDirectoryChooser"));
    chooser.setFileMode(QFileDialog::Directory);
    chooser.setOption(QFileDialog::ShowDirsOnly);
    // Qt's own dialog: the same on every desktop, and one a test can drive.
    chooser.setOption(QFileDialog::DontUseNativeDialog);
    chooser.setLabelText(QFileDialog::Accept, localized("Choisir"));
    chooser.setAcceptMode(QFileDialog::AcceptOpen);
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty())
        return std::nullopt;
    return chooser.selectedFiles().constFirst();
}

QString SettingsView::chooserStart(const QString& saveDirectory) {
    QString path = saveDirectory.isEmpty() ? QString() : QDir::cleanPath(saveDirectory);
    // Up to, not including, the root: a folder whose every parent is gone starts at home.
    while (QDir::isAbsolutePath(path) && !QDir(path).isRoot()) {
        if (QFileInfo(path).isDir()) return path;
        path = QFileInfo(path).path();
    }
    return QDir::homePath();
}

void SettingsView::openFolder() {
    // The folder is made by the first save; opening it before then makes it now, so the file
    // manager shows where captures will go.
    const QString folder = m_preferences.saveDirectory();
    QDir().mkpath(folder);
    m_hooks.openFolder(chooserStart(folder));
}

void SettingsView::chooseFolder() {
    const auto chosen = m_hooks.chooseFolder(window(), chooserStart(m_preferences.saveDirectory()));
    if (chosen && !chosen->isEmpty()) m_preferences.setSaveDirectory(QDir::cleanPath(*chosen));
}

void SettingsView::showSaveDirectory() {
    m_folder->setPath(m_preferences.saveDirectory());
}

void SettingsView::showDefaultAction() {
    m_actionPicker->setCurrentIndex(m_preferences.defaultAction() == ExportAction::save ? 1 : 0);
}

void SettingsView::showLaunchAtLogin() {
    m_launchToggle->setChecked(m_preferences.launchAtLogin());
    m_approvalHint->setVisible(m_preferences.loginItemStatus() ==
                               LoginItems::Status::requiresApproval);
    const auto error = m_preferences.launchAtLoginError();
    m_error->setText(error.value_or(QString()));
    m_error->setVisible(error.has_value());
}

void SettingsView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // A change made in the desktop's own settings shows each time the window comes up.
    m_preferences.refreshLaunchAtLogin();
    showLaunchAtLogin();
}

void SettingsView::mousePressEvent(QMouseEvent* event) {
    // The window moves when dragged by its background (header included).
    if (event->button() == Qt::LeftButton && window()->windowHandle()) {
        window()->windowHandle()->startSystemMove();
        return;
    }
    QWidget::mousePressEvent(event);
}
