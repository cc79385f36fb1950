#pragma once

#include <functional>
#include <optional>
#include <variant>

#include <QImage>
#include <QList>
#include <QPointer>
#include <QRegion>
#include <QWidget>

#include "Annotation/Annotation.h"
#include "Annotation/AnnotationRenderer.h"
#include "Annotation/AnnotationTools.h"
#include "Annotation/UndoStack.h"
#include "Base/Geometry.h"
#include "Export/ExportAction.h"
#include "Overlay/SelectionHandle.h"

class AnnotationToolbar;
class QLineEdit;
class TextEntryField;

// The view that fills one display's overlay: the user drags out a selection, moves and resizes
// it, annotates inside it and asks for completion or cancellation. Its logic works in the y-up
// view space of the display (points, origin bottom-left); Qt's y-down widget space is converted
// only where events come in and where painting starts.
//
// Interaction lives in SelectionViewInteraction.cpp, drawing and invalidation in
// SelectionViewDrawing.cpp, state, tool-bar wiring and the text entry in SelectionView.cpp.
class SelectionView : public QWidget {
    Q_OBJECT

public:
    // How the view reports to its controller; all run synchronously on the main thread. A
    // controller that closes the overlay from a callback should delete the view later
    // (deleteLater), not inside the callback.
    struct Callbacks {
        // At the start of every primary press, before anything else.
        std::function<void()> didBeginInteraction = [] {};
        // After every handled drag event and every release.
        std::function<void(std::optional<Rect>)> didChangeSelection = [](std::optional<Rect>) {};
        // Secondary press, or the cancel command with no text entry open.
        std::function<void()> didCancel = [] {};
        std::function<void(ExportAction)> didRequestCompletion = [](ExportAction) {};
    };

    // What the current press is doing.
    struct Idle {
        bool operator==(const Idle&) const = default;
    };
    struct DrawingSelection {
        Point origin;
        bool operator==(const DrawingSelection&) const = default;
    };
    struct MovingSelection {
        Point grabOffset;  // press point - selection origin
        bool operator==(const MovingSelection&) const = default;
    };
    struct ResizingSelection {
        SelectionHandle handle;
        bool operator==(const ResizingSelection&) const = default;
    };
    struct Annotating {
        AnnotationTool tool;
        bool operator==(const Annotating&) const = default;
    };
    using Interaction =
        std::variant<Idle, DrawingSelection, MovingSelection, ResizingSelection, Annotating>;

    static constexpr double minimumSelectionSide = 4;
    static constexpr double handleTolerance = 8;
    static constexpr Size badgePadding{8, 4};

    // `frame` is the display's size at origin (0, 0), `image` its frozen capture and `scale` its
    // pixels per point.
    SelectionView(const Rect& frame, QImage image, double scale, QWidget* parent = nullptr);
    ~SelectionView() override;

    Callbacks callbacks;

    // --- What the overlay controller uses.
    const std::optional<Rect>& selection() const { return m_selection; }
    bool hasSelection() const { return m_selection.has_value(); }
    const UndoStack<Annotation>& annotations() const { return m_annotations; }
    ExportAction defaultAction() const { return m_defaultAction; }
    // Also refreshes the tool bar.
    void setDefaultAction(ExportAction action);
    // True while a text entry is open; key filters let Escape, Return and the edit keys through
    // to it then.
    bool isEditingText() const;
    // Commits any text entry, then reports completion with the action.
    void requestCompletion(ExportAction action);
    // Another display's overlay took over: drop the selection, its annotations and any text
    // entry (cancelled, not committed) and go back to select mode. The style stays.
    void clearSelection();

    // --- Responder actions (Escape, copy, undo, redo). The view also takes these keys itself.
    void cancelOperation();
    void copy();
    void undo();
    void redo();

    // --- State, for the window controller, tests and benchmarks.
    Rect bounds() const { return Rect(0, 0, m_viewSize.width, m_viewSize.height); }
    double scale() const { return m_scale; }
    const QImage& frozenImage() const { return m_frozenImage; }
    const Interaction& interaction() const { return m_interaction; }
    AnnotationMode mode() const { return m_mode; }
    AnnotationStyle style() const { return m_style; }
    const std::optional<Annotation>& draft() const { return m_draft; }
    Point pointerLocation() const { return m_pointerLocation; }
    AnnotationToolbar* toolbar() const { return m_toolbar; }
    QLineEdit* textField() const;
    std::optional<Point> textAnchor() const { return m_textAnchor; }
    Rect lastFootprint() const { return m_lastFootprint; }

    // --- Drawing geometry (view space).
    // The area the drawing of the current state can cover apart from the dimming, and the
    // pieces it is made of (marking the pieces repaints the same pixels with less work).
    Rect footprint() const;
    QList<Rect> footprintParts() const;
    QString badgeText() const;
    Rect badgeFrame() const;
    // The region marked for repainting by the last invalidation (widget space).
    const QRegion& lastInvalidation() const { return m_lastInvalidation; }
    // View-space rectangle as the widget rectangle it covers (y down), rounded outwards.
    QRect widgetRect(const Rect& viewRect) const;

    // Paint the frozen image beneath the overlay drawing, in the same pass. A container that
    // shows the image itself leaves this off; turning it on makes the view opaque.
    void setPaintsFrozenImage(bool paints);
    bool paintsFrozenImage() const { return m_paintsFrozenImage; }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Interaction (SelectionViewInteraction.cpp).
    Point toViewSpace(QPointF widgetPosition) const;
    void primaryPress(Point point, int clickCount);
    void beginAnnotation(Annotation::Kind kind, Point point);
    void startAfresh(Point point);
    void drag(Point point);
    bool applyDrag(Point point);
    void release(Point point);
    void pointerMoved(Point point);
    void updateCursor(Point point);
    Qt::CursorShape cursorShape(Point point) const;

    // State, tool bar and text entry (SelectionView.cpp).
    void wireToolbar();
    void refreshToolbar();
    void placeToolbar();
    void openTextEntry(Point anchor);
    void commitTextEntry();
    void cancelTextEntry();
    void removeTextField();

    // Drawing and invalidation (SelectionViewDrawing.cpp).
    void invalidateFootprint();
    QRegion edgeBand(const Rect& selection) const;
    void invalidateAll();
    void drawFrozenImage(QPainter& painter, const QRect& dirty) const;
    void drawDimming(QPainter& painter) const;
    void drawAnnotations(QPainter& painter, const Rect& selection, const Rect& dirty) const;
    void drawFrame(QPainter& painter, const Rect& selection) const;
    void drawBrackets(QPainter& painter, const Rect& selection) const;
    void drawHandles(QPainter& painter, const Rect& selection) const;
    void drawBadge(QPainter& painter) const;
    void drawCrosshair(QPainter& painter) const;
    std::optional<Rect> visibleSelection() const;

    QImage m_frozenImage;
    double m_scale;
    Size m_viewSize;
    AnnotationRenderer m_renderer;
    AnnotationToolbar* m_toolbar = nullptr;

    std::optional<Rect> m_selection;
    Interaction m_interaction = Idle{};
    Point m_pointerLocation;
    UndoStack<Annotation> m_annotations;
    std::optional<Annotation> m_draft;
    AnnotationMode m_mode = AnnotationMode::select();
    AnnotationStyle m_style;
    ExportAction m_defaultAction = ExportAction::copy;
    QPointer<TextEntryField> m_textField;
    std::optional<Point> m_textAnchor;

    Rect m_lastFootprint = Rect(0, 0, 0, 0);
    QList<Rect> m_lastFootprintParts;
    QRegion m_lastInvalidation;
    // What the selection part of the footprint showed at the last invalidation: while it is
    // unchanged, only the badge and the draft need repainting.
    struct SelectionContent {
        std::optional<Rect> selection;
        QList<Annotation> annotations;
        AnnotationMode mode;
        bool operator==(const SelectionContent&) const = default;
    };
    SelectionContent selectionContent() const;
    SelectionContent m_markedContent;
    bool m_paintsFrozenImage = false;
};
