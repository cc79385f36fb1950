#include "Overlay/SelectionView.h"

#include <algorithm>
#include <cmath>

#include <QLineEdit>

#include "Annotation/AnnotationToolbar.h"
#include "Overlay/TextEntryField.h"

SelectionView::SelectionView(const Rect& frame, QImage image, double scale, QWidget* parent)
    : QWidget(parent),
      m_frozenImage(std::move(image)),
      m_scale(scale),
      m_viewSize{std::max(0.0, frame.width()), std::max(0.0, frame.height())},
      m_renderer(m_frozenImage, m_viewSize, scale) {
    setFocusPolicy(Qt::StrongFocus);
    // Pointer movement without a button drives the crosshair and the badge.
    setMouseTracking(true);
    setCursor(Qt::CrossCursor);
    resize(int(std::ceil(m_viewSize.width)), int(std::ceil(m_viewSize.height)));

    m_toolbar = new AnnotationToolbar(this);
    m_toolbar->hide();
    wireToolbar();
    refreshToolbar();
}

SelectionView::~SelectionView() = default;

bool SelectionView::isEditingText() const {
    return !m_textField.isNull();
}

QLineEdit* SelectionView::textField() const {
    return m_textField.data();
}

void SelectionView::setDefaultAction(ExportAction action) {
    m_defaultAction = action;
    refreshToolbar();
}

void SelectionView::requestCompletion(ExportAction action) {
    commitTextEntry();
    callbacks.didRequestCompletion(action);
}

void SelectionView::clearSelection() {
    cancelTextEntry();
    m_selection.reset();
    m_interaction = Idle{};
    m_draft.reset();
    m_annotations = {};
    m_mode = AnnotationMode::select();
    refreshToolbar();
    invalidateAll();
}

void SelectionView::cancelOperation() {
    if (isEditingText())
        cancelTextEntry();
    else
        callbacks.didCancel();
}

void SelectionView::copy() {
    if (!m_selection) return;
    commitTextEntry();
    callbacks.didRequestCompletion(ExportAction::copy);
}

void SelectionView::undo() {
    commitTextEntry();
    m_annotations.undo();
    refreshToolbar();
}

void SelectionView::redo() {
    commitTextEntry();
    m_annotations.redo();
    refreshToolbar();
}

// --- Tool bar

void SelectionView::wireToolbar() {
    // The bar is our child and dies with us; the guard covers callbacks queued elsewhere.
    const QPointer<SelectionView> self(this);
    auto& cb = m_toolbar->callbacks;
    cb.selectMode = [self](AnnotationMode mode) {
        if (!self) return;
        self->commitTextEntry();
        self->m_mode = mode;
        self->refreshToolbar();
    };
    cb.selectColor = [self](AnnotationColor color) {
        if (!self) return;
        self->m_style.color = color;
        self->refreshToolbar();
    };
    cb.selectThickness = [self](Thickness thickness) {
        if (!self) return;
        self->m_style.thickness = thickness;
        self->refreshToolbar();
    };
    cb.undo = [self] {
        if (self) self->undo();
    };
    cb.redo = [self] {
        if (self) self->redo();
    };
    cb.exportImage = [self](ExportAction action) {
        if (self) self->requestCompletion(action);
    };
}

void SelectionView::refreshToolbar() {
    m_toolbar->setMode(m_mode);
    m_toolbar->setStyle(m_style);
    m_toolbar->setDefaultAction(m_defaultAction);
    m_toolbar->setCanUndo(m_annotations.canUndo());
    m_toolbar->setCanRedo(m_annotations.canRedo());
    m_toolbar->update();
    placeToolbar();
    invalidateFootprint();
}

namespace {

// The bar's origin along one axis: `wanted`, kept 4 points inside [low, high]; on a display
// with less room the margins shrink, and where the bar is longer than the display it ends at
// the far edge, so that its last items (copy and save) stay on screen.
double keptInside(double wanted, double length, double low, double high) {
    const double margin = std::clamp((high - low - length) / 2, 0.0, 4.0);
    return std::min(std::max(wanted, low + margin), high - length - margin);
}

}  // namespace

void SelectionView::placeToolbar() {
    if (!m_selection || m_selection->isEmpty()) {
        m_toolbar->hide();
        return;
    }
    const Size size = AnnotationToolbar::naturalSize;
    const Rect s = *m_selection;
    const Rect b = bounds();
    double y = s.minY() - 10 - size.height;
    if (y < b.minY() + 4) {
        y = s.maxY() + 10;
        if (y + size.height > b.maxY() - 4) y = s.minY() + 10;
    }
    const double x = keptInside(s.midX() - size.width / 2, size.width, b.minX(), b.maxX());
    y = keptInside(y, size.height, b.minY(), b.maxY());
    // The bar sits on whole points; its origin is its lower-left corner in view space. It may
    // reach past the view's edge, so it is not clipped to the view as drawn areas are.
    const QRect target = QRectF(std::round(x), m_viewSize.height - std::round(y) - size.height,
                                size.width, size.height)
                             .toAlignedRect();
    m_toolbar->setGeometry(target.x(), target.y(), int(size.width), int(size.height));
    m_toolbar->show();
}

// --- Text entry

void SelectionView::openTextEntry(Point anchor) {
    const double size = textSize(m_style.thickness);
    const Rect r = m_selection ? *m_selection : bounds();
    const double width = std::min(std::max(r.maxX() - anchor.x, 120.0), 320.0);
    const double height = 1.4 * size;
    auto* field = new TextEntryField(size, cgColor(m_style.color), this);
    // Lower-left corner at (anchor.x, anchor.y - height): the field's top-left is the anchor.
    const Rect frame(anchor.x, anchor.y - height, width, height);
    const QRectF widget(frame.minX(), m_viewSize.height - frame.maxY(), width, height);
    field->setGeometry(widget.toRect());
    // The anchor lies on the field's top edge, which is not inside the field: a press there
    // (the second click of a double click) still belongs to the view. The mask hands the top
    // row's presses through to us.
    field->setMask(QRegion(0, 1, field->width(), std::max(0, field->height() - 1)));
    const QPointer<SelectionView> self(this);
    field->onNewLine = [self] {
        if (!self) return;
        self->commitTextEntry();
        self->invalidateAll();
    };
    field->onCancel = [self] {
        if (self) self->cancelTextEntry();
    };
    field->show();
    field->setFocus(Qt::OtherFocusReason);
    m_textField = field;
    m_textAnchor = anchor;
}

void SelectionView::removeTextField() {
    TextEntryField* field = m_textField.data();
    m_textField = nullptr;
    m_textAnchor.reset();
    if (field) {
        field->hide();
        // The field may be inside its own key handler: delete it once that has returned.
        field->deleteLater();
    }
    setFocus(Qt::OtherFocusReason);
}

void SelectionView::commitTextEntry() {
    if (!m_textField || !m_textAnchor) return;
    const QString text = m_textField->text();
    const Point anchor = *m_textAnchor;
    removeTextField();
    if (text.trimmed().isEmpty()) return;
    Annotation annotation = TextTool{}.begin(anchor, m_style);
    annotation.text = text;
    m_annotations.push(annotation);
    refreshToolbar();
}

void SelectionView::cancelTextEntry() {
    if (!m_textField) return;
    removeTextField();
    invalidateAll();
}

void SelectionView::setPaintsFrozenImage(bool paints) {
    m_paintsFrozenImage = paints;
    setAttribute(Qt::WA_OpaquePaintEvent, paints);
    invalidateAll();
}
