#include "Settings/ShortcutRecorderRow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "Base/Localization.h"
#include "Design/TessikColor.h"
#include "GlobalShortcuts/GlobalShortcuts.h"
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
                                         QWidget* parent)
    : QWidget(parent), m_title(title), m_name(name) {
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
    column->addWidget(m_status);

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
            "Pressez la combinaison souhaitée. Échap pour annuler, ⊗ pour supprimer le "
            "raccourci.");
    if (!hasShortcut) return localized("Aucun raccourci. Cliquez sur Modifier pour en définir un.");
    return localized("Cliquez sur Modifier pour enregistrer un nouveau raccourci.");
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

void ShortcutRecorderRow::render() {
    m_resetButton->setVisible(m_shortcut != m_name.defaultShortcut);
    m_editButton->setEnabled(!m_isRecording);
    m_status->setText(statusText(m_isRecording, m_shortcut.has_value()));
    QPalette palette = m_status->palette();
    palette.setColor(QPalette::WindowText,
                     m_isRecording ? tessikAccent() : SettingsStyle::secondaryText());
    m_status->setPalette(palette);
    m_field->update(m_name, m_focusRequests, m_isRecording);
}
