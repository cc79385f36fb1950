#include "Settings/ShortcutRecorderRow.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "Base/Localization.h"
#include "Design/TessikColor.h"
#include "GlobalShortcuts/GlobalShortcuts.h"
#include "GlobalShortcuts/RecorderControl.h"
#include "Settings/DesktopShortcuts.h"
#include "Settings/RecorderField.h"
#include "Settings/SettingsStyle.h"

namespace {
QPushButton* smallButton(const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setProperty("settingsButton", true);
    button->setFont(SettingsStyle::smallControlFont());
    button->setCursor(Qt::PointingHandCursor);
    return button;
}
}  // namespace

ShortcutRecorderRow::ShortcutRecorderRow(const QString& title, const GlobalShortcuts::Name& name,
                                         QWidget* parent, DesktopShortcuts* desktop,
                                         QString command)
    : QWidget(parent),
      m_title(title),
      m_name(name),
      m_desktop(desktop),
      m_command(std::move(command)) {
    setObjectName(QStringLiteral("shortcutRecorderRow"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    auto* line = new QHBoxLayout;
    line->setSpacing(8);
    auto* titleLabel = new QLabel(title, this);
    titleLabel->setFont(SettingsStyle::bodyFont());
    line->addWidget(titleLabel);
    line->addSpacing(12 - line->spacing());
    line->addStretch(1);
    m_resetButton = smallButton(localized("Par défaut"), this);
    m_resetButton->setToolTip(localized("Revenir au raccourci d'origine"));
    line->addWidget(m_resetButton);
    m_field = new RecorderField(name, m_focusRequests, this);
    line->addWidget(m_field);
    m_editButton = smallButton(localized("Modifier"), this);
    line->addWidget(m_editButton);
    column->addLayout(line);
    m_status = new QLabel(this);
    m_status->setWordWrap(true);
    m_status->setFont(SettingsStyle::captionFont());
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(m_status);
    m_copyButton = smallButton(localized("Copier la commande"), this);
    column->addWidget(m_copyButton, 0, Qt::AlignLeft);
    connect(m_copyButton, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(m_command); });
    if (m_desktop)
        connect(m_desktop, &DesktopShortcuts::changed, this, &ShortcutRecorderRow::render);

    connect(m_resetButton, &QPushButton::clicked, this, [this] { GlobalShortcuts::reset(m_name); });
    connect(m_editButton, &QPushButton::clicked, this, &ShortcutRecorderRow::requestFocus);
    using namespace GlobalShortcuts;
    m_recorderActive =
        Notifications::observe(recorderActiveStatusDidChange, [this](const QVariantMap& info) {
            const QVariant active = info.value("isActive");
            setRecording(active.typeId() == QMetaType::Bool && active.toBool());
        });
    m_shortcutChanged = Notifications::observe(shortcutByNameDidChange,
                                               [this](const QVariantMap&) { refreshShortcut(); });
    refreshShortcut();
}

ShortcutRecorderRow::~ShortcutRecorderRow() {
    // Before the recorder goes: it may still announce the end of a recording.
    GlobalShortcuts::Notifications::remove(m_recorderActive);
    GlobalShortcuts::Notifications::remove(m_shortcutChanged);
}

QString ShortcutRecorderRow::statusText(bool isRecording, bool hasShortcut) {
    if (isRecording)
        return localized(
            "Pressez la combinaison souhaitée. Échap pour annuler, Suppr pour supprimer le "
            "raccourci.");
    if (!hasShortcut) return localized("Aucun raccourci. Cliquez sur Modifier pour en définir un.");
    return localized("Cliquez sur Modifier pour enregistrer un nouveau raccourci.");
}

QString ShortcutRecorderRow::desktopBindingText(const QString& command) {
    return localized(
               "Ce bureau gère lui-même les raccourcis globaux : dans ses paramètres de clavier, "
               "associez le raccourci de votre choix à la commande %1")
        .arg(command);
}

void ShortcutRecorderRow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refreshShortcut();
}

void ShortcutRecorderRow::requestFocus() {
    ++m_focusRequests;
    render();
}

void ShortcutRecorderRow::refreshShortcut() {
    m_shortcut = GlobalShortcuts::getShortcut(m_name);
    render();
}

void ShortcutRecorderRow::setRecording(bool recording) {
    m_isRecording = recording;
    render();
}

bool ShortcutRecorderRow::desktopBindsCommands() const {
    return m_desktop && m_desktop->binding() == DesktopShortcuts::Binding::desktopSettings;
}

void ShortcutRecorderRow::render() {
    const bool commandOnly = desktopBindsCommands();
    m_resetButton->setVisible(!commandOnly && m_shortcut != m_name.defaultShortcut);
    m_editButton->setEnabled(!commandOnly && !m_isRecording);
    m_field->setEnabled(!commandOnly);
    m_copyButton->setVisible(commandOnly);
    m_status->setText(commandOnly ? desktopBindingText(m_command)
                                  : statusText(m_isRecording, m_shortcut.has_value()));
    QPalette palette = m_status->palette();
    palette.setColor(QPalette::WindowText,
                     m_isRecording ? tessikAccent() : SettingsStyle::secondaryText());
    m_status->setPalette(palette);
    m_field->update(m_name, m_focusRequests, m_isRecording);
    m_field->control()->setDesktopTrigger(
        m_desktop && !commandOnly ? m_desktop->triggerDescription(m_name.rawValue) : std::nullopt);
}
