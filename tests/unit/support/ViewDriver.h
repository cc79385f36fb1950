#pragma once

#include <QApplication>
#include <QMouseEvent>

#include "Overlay/SelectionView.h"

// Sends pointer events to a selection view in its own y-up view space, straight to the widget
// (no window or platform needed).
class ViewDriver {
public:
    explicit ViewDriver(SelectionView& view) : m_view(view) {}

    QPointF widgetPoint(Point p) const { return {p.x, m_view.bounds().height() - p.y}; }

    void press(Point p, Qt::MouseButton button = Qt::LeftButton) {
        send(QEvent::MouseButtonPress, p, button, button);
    }
    void doublePress(Point p, Qt::MouseButton button = Qt::LeftButton) {
        send(QEvent::MouseButtonDblClick, p, button, button);
    }
    void drag(Point p) { send(QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton); }
    void release(Point p, Qt::MouseButton button = Qt::LeftButton) {
        send(QEvent::MouseButtonRelease, p, button, Qt::NoButton);
    }
    void hover(Point p) { send(QEvent::MouseMove, p, Qt::NoButton, Qt::NoButton); }

    // Press, drag through the points, release at the last.
    void dragPath(Point from, std::initializer_list<Point> through) {
        press(from);
        Point last = from;
        for (Point p : through) {
            drag(p);
            last = p;
        }
        release(last);
    }
    void click(Point p) {
        press(p);
        release(p);
    }

private:
    void send(QEvent::Type type, Point p, Qt::MouseButton button, Qt::MouseButtons buttons) {
        const QPointF local = widgetPoint(p);
        QMouseEvent event(type, local, m_view.mapToGlobal(local), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(&m_view, &event);
    }

    SelectionView& m_view;
};
