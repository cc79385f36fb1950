#pragma once

#include <QString>
#include <QWidget>

// The toast's window: a dark capsule with one line of cream text. It never takes focus, lets
// every click through to what is below, stays out of task bars and window cycling, and sits
// above other windows, overlays included. Its corners are cut by a mask so they are truly
// absent without a compositor.
class ToastPanel : public QWidget {
    Q_OBJECT

public:
    ToastPanel();

    // Shows `message`, resizing the panel to fit it.
    void setMessage(const QString& message);
    QString message() const { return m_message; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QString m_message;
};
