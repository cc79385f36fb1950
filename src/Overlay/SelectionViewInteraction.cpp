// Pointer and key handling of the selection view: presses, drags, releases, pointer shapes and
// the responder keys.

#include <QKeyEvent>
#include <QMouseEvent>

#include "Overlay/SelectionGeometry.h"
#include "Overlay/SelectionView.h"

namespace {

template <class... Fs>
struct Overloaded : Fs... {
    using Fs::operator()...;
};

bool isResponderKey(const QKeyEvent* e) {
    return e->matches(QKeySequence::Cancel) || e->matches(QKeySequence::Copy) ||
           e->matches(QKeySequence::Undo) || e->matches(QKeySequence::Redo);
}

}  // namespace

Point SelectionView::toViewSpace(QPointF p) const {
    return {p.x(), m_viewSize.height - p.y()};
}

// --- Qt events

void SelectionView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        primaryPress(toViewSpace(event->position()), 1);
    else if (event->button() == Qt::RightButton)
        callbacks.didCancel();
    else
        event->ignore();
}

void SelectionView::mouseDoubleClickEvent(QMouseEvent* event) {
    // Qt replaces the second press of a double click by this event.
    if (event->button() == Qt::LeftButton)
        primaryPress(toViewSpace(event->position()), 2);
    else if (event->button() == Qt::RightButton)
        callbacks.didCancel();
    else
        event->ignore();
}

void SelectionView::mouseMoveEvent(QMouseEvent* event) {
    const Point p = toViewSpace(event->position());
    if (event->buttons() & Qt::LeftButton)
        drag(p);
    else if (event->buttons() == Qt::NoButton)
        pointerMoved(p);
}

void SelectionView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        release(toViewSpace(event->position()));
    else
        event->ignore();
}

bool SelectionView::event(QEvent* event) {
    // Take the responder keys before any window shortcut with the same keys does.
    if (event->type() == QEvent::ShortcutOverride &&
        isResponderKey(static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QWidget::event(event);
}

void SelectionView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Cancel))
        cancelOperation();
    else if (event->matches(QKeySequence::Copy))
        copy();
    else if (event->matches(QKeySequence::Undo))
        undo();
    else if (event->matches(QKeySequence::Redo))
        redo();
    else
        QWidget::keyPressEvent(event);
}

// --- Press

void SelectionView::primaryPress(Point point, int clickCount) {
    m_pointerLocation = point;
    const QPointer<SelectionView> self(this);
    callbacks.didBeginInteraction();
    if (!self) return;
    commitTextEntry();

    if (clickCount == 2 && m_selection && m_selection->contains(point)) {
        callbacks.didRequestCompletion(m_defaultAction);
        return;
    }
    if (m_selection) {
        if (m_mode.isSelect()) {
            if (auto handle = SelectionGeometry::handle(point, *m_selection, handleTolerance)) {
                m_interaction = ResizingSelection{*handle};
                return;
            }
        }
        if (m_selection->contains(point)) {
            if (m_mode.annotating) {
                beginAnnotation(*m_mode.annotating, point);
            } else {
                const Rect s = m_selection->standardized();
                m_interaction = MovingSelection{{point.x - s.minX(), point.y - s.minY()}};
            }
            return;
        }
    }
    startAfresh(point);
}

void SelectionView::beginAnnotation(Annotation::Kind kind, Point point) {
    const Point p = SelectionGeometry::clamped(point, *m_selection);
    if (kind == Annotation::Kind::text) {
        openTextEntry(p);
        return;
    }
    const AnnotationTool tool = toolFor(kind);
    m_draft = begin(tool, p, m_style);
    m_interaction = Annotating{tool};
}

void SelectionView::startAfresh(Point point) {
    m_interaction = DrawingSelection{point};
    m_selection.reset();
    m_annotations = {};
    m_draft.reset();
    m_mode = AnnotationMode::select();
    refreshToolbar();
}

// --- Drag and release

void SelectionView::drag(Point point) {
    m_pointerLocation = point;
    if (!applyDrag(point)) return;
    placeToolbar();
    invalidateFootprint();
    callbacks.didChangeSelection(m_selection);
}

bool SelectionView::applyDrag(Point point) {
    return std::visit(
        Overloaded{
            [&](const DrawingSelection& d) {
                // Only this display's pixels can be captured: a selection drawn past its edge
                // would show a size the result does not have.
                m_selection = SelectionGeometry::rectFromPoints(
                    SelectionGeometry::clamped(d.origin, bounds()),
                    SelectionGeometry::clamped(point, bounds()));
                return true;
            },
            [&](const MovingSelection& m) {
                if (!m_selection) return false;
                m_selection = SelectionGeometry::moved(*m_selection, point, m.grabOffset, bounds());
                return true;
            },
            [&](const ResizingSelection& r) {
                if (!m_selection) return false;
                m_selection =
                    ::resize(r.handle, *m_selection, SelectionGeometry::clamped(point, bounds()));
                return true;
            },
            [&](const Annotating& a) {
                if (!m_draft || !m_selection) return false;
                Annotation next = *m_draft;
                ::update(a.tool, next, SelectionGeometry::clamped(point, *m_selection));
                m_draft = next;
                return true;
            },
            [](const Idle&) { return false; },
        },
        m_interaction);
}

void SelectionView::release(Point point) {
    if (const auto* a = std::get_if<Annotating>(&m_interaction)) {
        if (m_draft && isComplete(a->tool, *m_draft)) m_annotations.push(*m_draft);
        m_draft.reset();
    } else if (std::holds_alternative<DrawingSelection>(m_interaction)) {
        if (m_selection && (m_selection->width() < minimumSelectionSide ||
                            m_selection->height() < minimumSelectionSide))
            m_selection.reset();
    }
    m_interaction = Idle{};
    refreshToolbar();
    updateCursor(point);
    callbacks.didChangeSelection(m_selection);
}

// --- Pointer movement and shape

void SelectionView::pointerMoved(Point point) {
    m_pointerLocation = point;
    updateCursor(point);
    invalidateFootprint();
}

Qt::CursorShape SelectionView::cursorShape(Point point) const {
    if (m_mode.annotating) return cursorOf(toolFor(*m_mode.annotating));
    if (!m_selection || m_selection->isEmpty()) return Qt::CrossCursor;
    if (auto handle = SelectionGeometry::handle(point, *m_selection, handleTolerance)) {
        if (isVerticalEdge(*handle)) return Qt::SizeVerCursor;
        if (isHorizontalEdge(*handle)) return Qt::SizeHorCursor;
        return Qt::CrossCursor;
    }
    return m_selection->contains(point) ? Qt::OpenHandCursor : Qt::CrossCursor;
}

void SelectionView::updateCursor(Point point) {
    const Qt::CursorShape shape = cursorShape(point);
    if (cursor().shape() != shape) setCursor(shape);
}
