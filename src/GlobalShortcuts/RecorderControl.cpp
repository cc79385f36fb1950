#include "GlobalShortcuts/RecorderControl.h"

#include <QAction>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTimer>
#include <QToolButton>

#include "GlobalShortcuts/GlobalShortcuts.h"
#include "GlobalShortcuts/HotKeyRegistry.h"
#include "GlobalShortcuts/LocalEventMonitor.h"
#include "GlobalShortcuts/RecorderEnvironment.h"
#include "GlobalShortcuts/StringTable.h"

namespace GlobalShortcuts {

namespace {

// A one-argument text of the string table; its tables use "%@" for the argument.
QString localizedFormat(const QString& key, const QString& argument) {
    QString format = localizedString(key);
    if (format.contains(QLatin1String("%@"))) return format.replace(QLatin1String("%@"), argument);
    return format.contains(QLatin1String("%1")) ? format.arg(argument) : format;
}

// A menu item's title as shown, without its mnemonic markers.
QString menuItemTitle(const QAction& item) {
    QString title = item.text();
    title.replace(QLatin1String("&&"), QChar(0x1));
    title.remove(QLatin1Char('&'));
    return title.replace(QChar(0x1), QLatin1Char('&'));
}

// Pressing a modifier on its own only changes the held flags; it is not a combination yet.
bool isModifierKey(int key) {
    switch (key) {
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Meta:
        case Qt::Key_Alt:
        case Qt::Key_AltGr:
        case Qt::Key_Super_L:
        case Qt::Key_Super_R:
        case Qt::Key_Hyper_L:
        case Qt::Key_Hyper_R:
        case Qt::Key_CapsLock:
        case Qt::Key_NumLock:
        case Qt::Key_Mode_switch:
            return true;
        default:
            return false;
    }
}

bool isEscape(const QKeyEvent& event) {
    // The physical key when the platform names it, else the key Qt reports.
    if (const auto key = keyForXKeycode(event.nativeScanCode())) return *key == Key::escape;
    return event.key() == Qt::Key_Escape;
}

QIcon clearIcon() {
    // A filled grey disc with a light cross, drawn for both ordinary and double-density screens.
    QIcon icon;
    for (const int scale : {1, 2}) {
        QPixmap pixmap(14 * scale, 14 * scale);
        pixmap.setDevicePixelRatio(scale);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(142, 142, 147));
        p.drawEllipse(QRectF(1, 1, 12, 12));
        p.setPen(QPen(QColor(255, 255, 255), 1.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4.9, 4.9), QPointF(9.1, 9.1));
        p.drawLine(QPointF(9.1, 4.9), QPointF(4.9, 9.1));
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace

RecorderControl::RecorderControl(const Name& name, OnChange onChange, QWidget* parent)
    : QLineEdit(parent), m_onChange(std::move(onChange)), m_shortcutName(name) {
    setObjectName(QStringLiteral("GlobalShortcuts.RecorderControl"));
    resize(minimumWidth, fieldHeight);
    setPlaceholderText(localizedString(QStringLiteral("record_shortcut")));
    setAlignment(Qt::AlignCenter);
    // The text only ever comes from a recorded shortcut; read-only also hides the caret.
    setReadOnly(true);
    setContextMenuPolicy(Qt::NoContextMenu);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_cancelButton = addAction(clearIcon(), QLineEdit::TrailingPosition);
    m_cancelButton->setObjectName(QStringLiteral("GlobalShortcuts.RecorderControl.clear"));
    connect(m_cancelButton, &QAction::triggered, this, &RecorderControl::clickClearButton);
    // An icon alone says nothing to a screen reader or to a pointer resting on it.
    const QString clearText =
        QCoreApplication::translate("GlobalShortcuts", "Supprimer le raccourci");
    m_cancelButton->setText(clearText);
    m_cancelButton->setToolTip(clearText);
    for (QObject* shown : m_cancelButton->associatedObjects())
        if (auto* button = qobject_cast<QToolButton*>(shown)) button->setAccessibleName(clearText);
    setStringValue();
    m_shortcutsNameChangeObserver =
        Notifications::observe(shortcutByNameDidChange, [this](const QVariantMap& info) {
            if (info.value(QStringLiteral("name")).value<Name>().rawValue ==
                m_shortcutName.rawValue)
                setStringValue();
        });
    applyFocusPolicy();
    viewDidMoveToWindow();
}

RecorderControl::~RecorderControl() {
    Notifications::remove(m_shortcutsNameChangeObserver);
    if (m_observedWindow) m_observedWindow->removeEventFilter(this);
    // Never leave the module's actions paused behind.
    if (isRecording()) endRecording();
}

void RecorderControl::setShortcutName(const Name& name) {
    const bool other = name.rawValue != m_shortcutName.rawValue;
    m_shortcutName = name;
    if (other) setStringValue();
}

void RecorderControl::setRefusesFirstResponder(bool refuses) {
    m_refusesFirstResponder = refuses;
    applyFocusPolicy();
}

QSize RecorderControl::sizeHint() const {
    return {minimumWidth, fieldHeight};
}

void RecorderControl::applyFocusPolicy() {
    if (m_refusesFirstResponder)
        setFocusPolicy(Qt::NoFocus);
    else
        setFocusPolicy(m_canBecomeKey ? Qt::StrongFocus : Qt::ClickFocus);
}

void RecorderControl::setDesktopTrigger(const std::optional<QString>& trigger) {
    if (trigger == m_desktopTrigger) return;
    m_desktopTrigger = trigger;
    setStringValue();
}

void RecorderControl::setStringValue() {
    const auto shortcut = getShortcut(m_shortcutName);
    setText(shortcut ? m_desktopTrigger.value_or(shortcut->nativeText()) : QString());
    applyDisplayedState();
}

void RecorderControl::applyDisplayedState() {
    m_cancelButton->setVisible(!text().isEmpty());
}

bool RecorderControl::event(QEvent* event) {
    if (event->type() == QEvent::ParentChange || event->type() == QEvent::Show)
        viewDidMoveToWindow();
    // A key's name follows the keyboard layout, which may have changed while it was hidden.
    if (event->type() == QEvent::Show && !isRecording()) setStringValue();
    return QLineEdit::event(event);
}

void RecorderControl::paintEvent(QPaintEvent* event) {
    QLineEdit::paintEvent(event);
    // Qt leaves the placeholder of a centred field out while it has focus; recording shows it.
    if (!hasFocus() || !text().isEmpty() || placeholderText().isEmpty()) return;
    QPainter p(this);
    QStyleOptionFrame option;
    initStyleOption(&option);
    QRect area = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    QColor color = palette().color(QPalette::PlaceholderText);
    p.setPen(color);
    p.drawText(area, Qt::AlignCenter,
               fontMetrics().elidedText(placeholderText(), Qt::ElideRight, area.width()));
}

// Recording: start and end -----------------------------------------------------------------

void RecorderControl::focusInEvent(QFocusEvent* event) {
    if (!becomeFirstResponder()) {
        m_refusingFocus = true;
        clearFocus();
        m_refusingFocus = false;
        return;
    }
    QLineEdit::focusInEvent(event);
}

void RecorderControl::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (!m_refusingFocus) controlTextDidEndEditing();
}

bool RecorderControl::becomeFirstResponder() {
    const bool resuming = std::exchange(m_resumeAfterAlert, false);
    if (!m_observedWindow) return false;
    if (m_refusesFirstResponder && !resuming) return false;
    if (isRecording()) return true;
    setPlaceholderText(localizedString(QStringLiteral("press_shortcut")));
    applyDisplayedState();
    setPaused(true);
    postActiveStatus(true);
    QPointer<RecorderControl> self(this);
    m_eventMonitor = new LocalEventMonitor(
        {QEvent::MouseButtonRelease, QEvent::KeyPress, QEvent::ShortcutOverride},
        [self](QObject* receiver, QEvent* event) {
            return !self || self->handleMonitoredEvent(receiver, event);
        });
    m_eventMonitor->start();
    return true;
}

void RecorderControl::controlTextDidEndEditing() {
    endRecording();
}

void RecorderControl::endRecording() {
    if (m_eventMonitor) {
        m_eventMonitor->stop();
        // Later: the monitor may be the caller.
        m_eventMonitor->deleteLater();
        m_eventMonitor = nullptr;
    }
    setPlaceholderText(localizedString(QStringLiteral("record_shortcut")));
    applyDisplayedState();
    setPaused(false);
    postActiveStatus(false);
}

void RecorderControl::postActiveStatus(bool active) {
    Notifications::post(recorderActiveStatusDidChange, {{QStringLiteral("isActive"), active}});
}

void RecorderControl::endFocus() {
    if (m_observedWindow && m_observedWindow->focusWidget() == this) clearFocus();
}

void RecorderControl::focusAgain(bool resumingAfterAlert) {
    if (!m_observedWindow || (m_refusesFirstResponder && !resumingAfterAlert)) return;
    m_resumeAfterAlert = resumingAfterAlert;
    setFocus(Qt::OtherFocusReason);
}

// Clearing ------------------------------------------------------------------------------------

void RecorderControl::clickClearButton() {
    clear();
    controlTextDidChange();
}

void RecorderControl::controlTextDidChange() {
    if (text().isEmpty()) {
        setShortcut(std::nullopt, m_shortcutName);
        if (m_onChange) m_onChange(std::nullopt);
    }
    applyDisplayedState();
    if (text().isEmpty()) focusAgain(false);
}

// Window tracking -----------------------------------------------------------------------------

void RecorderControl::viewDidMoveToWindow() {
    QWidget* window = isWindow() ? nullptr : this->window();
    if (window == m_observedWindow) return;
    if (m_observedWindow) m_observedWindow->removeEventFilter(this);
    m_observedWindow = window;
    if (!window) {
        endRecording();
        return;
    }
    window->installEventFilter(this);
    preventBecomingKey();
}

bool RecorderControl::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_observedWindow) return QLineEdit::eventFilter(watched, event);
    if (event->type() == QEvent::WindowDeactivate) {
        endRecording();
        endFocus();
    } else if (event->type() == QEvent::WindowActivate) {
        preventBecomingKey();
    }
    return false;
}

void RecorderControl::preventBecomingKey() {
    m_canBecomeKey = false;
    applyFocusPolicy();
    QTimer::singleShot(0, this, [this] {
        m_canBecomeKey = true;
        applyFocusPolicy();
    });
}

// The monitor ---------------------------------------------------------------------------------

bool RecorderControl::handleMonitoredEvent(QObject* receiver, QEvent* event) {
    switch (event->type()) {
        case QEvent::ShortcutOverride:
            // Claimed, so no window shortcut (menu key equivalents) fires while recording.
            event->accept();
            return true;
        case QEvent::MouseButtonRelease: {
            const auto& mouse = static_cast<const QMouseEvent&>(*event);
            if (mouse.button() != Qt::LeftButton && mouse.button() != Qt::RightButton) return false;
            // The clear button stays usable while recording ("⊗" deletes the shortcut).
            if (receiver != this && receiver->parent() == this) return false;
            return handleMouseUp(mouse);
        }
        case QEvent::KeyPress:
            return handleKeyDown(static_cast<const QKeyEvent&>(*event));
        default:
            return true;
    }
}

bool RecorderControl::handleMouseUp(const QMouseEvent& event) {
    const QPointF location = mapFromGlobal(event.globalPosition());
    const QRectF reach = QRectF(rect()).adjusted(-clickSlop, -clickSlop, clickSlop, clickSlop);
    if (reach.contains(location)) return true;
    endFocus();
    return false;
}

bool RecorderControl::handleKeyDown(const QKeyEvent& event) {
    if (isModifierKey(event.key())) return false;
    const EventModifierFlags held = eventFlags(event.modifiers());
    if (held == 0 && event.key() == Qt::Key_Tab) {
        // The window's Tab handling, run from here: focus moves on from the field (which ends
        // recording); when nothing else takes focus, the field lets it go anyway.
        if (!focusNextPrevChild(true) || hasFocus()) endFocus();
        return true;
    }
    if (held == 0 && isEscape(event)) {
        endFocus();
        return true;
    }
    if (held == 0 && (event.key() == Qt::Key_Backspace || event.key() == Qt::Key_Delete)) {
        clickClearButton();
        return true;
    }
    auto candidate = Shortcut::fromEvent(event);
    // Function keys (Print, Scroll Lock and Pause among them) may stand alone or with Shift.
    if (candidate && (held & ~EventModifier::shift) == 0 && !isFunctionKey(candidate->key()))
        candidate.reset();
    if (!candidate) {
        recorderEnvironment().beep();
        return true;
    }
    QPointer<RecorderControl> self(this);
    if (refusedByMenuItem(*candidate) || !self) return true;
    if (refusedAsOptionOnly(*candidate) || !self) return true;
    if (refusedBySystem(*candidate) || !self) return true;
    accept(*candidate);
    return true;
}

int RecorderControl::showAlert(const RecorderAlert& alert) {
    return recorderEnvironment().alert(m_observedWindow, alert);
}

bool RecorderControl::refusedByMenuItem(const Shortcut& candidate) {
    for (const QMenu* menu : recorderEnvironment().mainMenu()) {
        const QAction* item = menu ? candidate.menuItemWithMatchingShortcut(menu) : nullptr;
        if (!item) continue;
        QPointer<RecorderControl> self(this);
        endFocus();
        showAlert({localizedFormat(QStringLiteral("keyboard_shortcut_used_by_menu_item"),
                                   menuItemTitle(*item)),
                   {},
                   {localizedString(QStringLiteral("ok"))}});
        if (self) focusAgain(true);
        return true;
    }
    return false;
}

bool RecorderControl::refusedAsOptionOnly(const Shortcut& candidate) {
    if (!recorderEnvironment().disallowsOptionOnlyShortcuts()) return false;
    if ((candidate.modifiers() & ~EventModifier::shift) != EventModifier::option) return false;
    QPointer<RecorderControl> self(this);
    endFocus();
    showAlert({localizedString(QStringLiteral("keyboard_shortcut_disallowed")),
               {},
               {localizedString(QStringLiteral("ok"))}});
    if (self) focusAgain(true);
    return true;
}

bool RecorderControl::refusedBySystem(const Shortcut& candidate) {
    // F12 alone is listed by some desktops yet is a fine shortcut.
    if (candidate == Shortcut(Key::f12)) return false;
    if (!HotKeyRegistry::system().contains(candidate)) return false;
    QPointer<RecorderControl> self(this);
    endFocus();
    const int answer =
        showAlert({localizedString(QStringLiteral("keyboard_shortcut_used_by_system")),
                   localizedString(QStringLiteral("keyboard_shortcuts_can_be_changed")),
                   {localizedString(QStringLiteral("ok")),
                    localizedString(QStringLiteral("force_use_shortcut"))}});
    if (self) focusAgain(true);
    return answer != alertSecondButtonReturn;
}

void RecorderControl::accept(const Shortcut& candidate) {
    setText(candidate.nativeText());
    applyDisplayedState();
    userDefaultsSet(m_shortcutName, candidate);
    if (m_onChange) m_onChange(candidate);
    endFocus();
}

}  // namespace GlobalShortcuts
