#include "Settings/SettingsWindow.h"

#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

#include "Base/DefaultsStore.h"

SettingsWindow::SettingsWindow(DefaultsStore& frames, QString autosaveName)
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                           Qt::WindowMinimizeButtonHint | Qt::CustomizeWindowHint),
      m_frames(frames),
      m_autosaveName(std::move(autosaveName)) {
}

void SettingsWindow::restoreFrameAndCentre() {
    if (const auto frame = m_frames.data(m_autosaveName)) restoreGeometry(*frame);
    QScreen* screen = QGuiApplication::screenAt(geometry().center());
    if (!m_frames.data(m_autosaveName) || !screen)
        screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    const QSize size = frameGeometry().size().expandedTo(this->size());
    move(area.x() + (area.width() - size.width()) / 2,
         area.y() + (area.height() - size.height()) / 2);
}

void SettingsWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (isVisible()) saveFrame();
}

void SettingsWindow::hideEvent(QHideEvent* event) {
    saveFrame();
    QWidget::hideEvent(event);
}

void SettingsWindow::keyPressEvent(QKeyEvent* event) {
    const auto modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if ((event->key() == Qt::Key_Escape && modifiers == Qt::NoModifier) ||
        (event->key() == Qt::Key_W && modifiers == Qt::ControlModifier)) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void SettingsWindow::saveFrame() {
    m_frames.setData(m_autosaveName, saveGeometry());
}
