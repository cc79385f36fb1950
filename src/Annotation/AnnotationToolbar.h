#pragma once

#include <functional>
#include <optional>

#include <QList>
#include <QWidget>

#include "Annotation/Annotation.h"
#include "Base/Geometry.h"
#include "Export/ExportAction.h"

// The bar of buttons floating next to the selection: select, the six tools, five colours, three
// thicknesses, undo/redo and the two export actions. It is passive: it draws the state its owner
// gives it and reports presses through callbacks. Its own space is y up (origin bottom-left).
class AnnotationToolbar : public QWidget {
    Q_OBJECT

public:
    // One button of the bar. Only the payload that belongs to `type` is meaningful.
    struct Item {
        enum class Type { select, tool, color, thickness, undo, redo, exportAction };
        Type type = Type::select;
        Annotation::Kind kind = Annotation::Kind::arrow;
        AnnotationColor color = AnnotationColor::accent;
        Thickness thickness = Thickness::thin;
        ExportAction action = ExportAction::copy;

        static Item select() { return {}; }
        static Item tool(Annotation::Kind k) { return {.type = Type::tool, .kind = k}; }
        static Item colorItem(AnnotationColor c) { return {.type = Type::color, .color = c}; }
        static Item thicknessItem(Thickness t) { return {.type = Type::thickness, .thickness = t}; }
        static Item undo() { return {.type = Type::undo}; }
        static Item redo() { return {.type = Type::redo}; }
        static Item exportItem(ExportAction a) { return {.type = Type::exportAction, .action = a}; }
        bool operator==(const Item&) const = default;
    };

    struct Placed {
        Item item;
        Rect frame;  // in the bar's y-up space
    };

    // Called on the main thread; each does nothing until set.
    struct Callbacks {
        std::function<void(AnnotationMode)> selectMode = [](AnnotationMode) {};
        std::function<void(AnnotationColor)> selectColor = [](AnnotationColor) {};
        std::function<void(Thickness)> selectThickness = [](Thickness) {};
        std::function<void()> undo = [] {};
        std::function<void()> redo = [] {};
        // `export` is a keyword.
        std::function<void(ExportAction)> exportImage = [](ExportAction) {};
    };

    static constexpr Size itemSize{30, 28};
    static constexpr Size swatchSize{22, 28};
    static constexpr double separatorWidth = 9;
    static constexpr Size naturalSize{582, 44};

    // Tools in bar order.
    static const QList<Annotation::Kind>& toolOrder();

    explicit AnnotationToolbar(QWidget* parent = nullptr);

    Callbacks callbacks;

    AnnotationMode mode() const { return m_mode; }
    AnnotationStyle style() const { return m_style; }
    bool canUndo() const { return m_canUndo; }
    bool canRedo() const { return m_canRedo; }
    ExportAction defaultAction() const { return m_defaultAction; }
    // Setters only store; the owner asks for a redraw with update() once its state is copied.
    void setMode(AnnotationMode mode) { m_mode = mode; }
    void setStyle(AnnotationStyle style) { m_style = style; }
    void setCanUndo(bool can) { m_canUndo = can; }
    void setCanRedo(bool can) { m_canRedo = can; }
    void setDefaultAction(ExportAction action) { m_defaultAction = action; }

    const QList<Placed>& items() const { return m_items; }
    // The first item whose frame holds the point (bar space, y up), if any.
    std::optional<Item> item(Point at) const;
    // Runs the callback of the item under the point; returns whether one was hit.
    bool press(Point at);

    QSize sizeHint() const override;

    // The French tool tip of an item, naming its key where it has one: "Copier (Ctrl+C)".
    static QString toolTip(const Item& item);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void layOutItems();
    void drawItem(QPainter& painter, const Placed& placed) const;
    Point toBarSpace(QPointF widgetPosition) const;

    QList<Placed> m_items;
    AnnotationMode m_mode = AnnotationMode::select();
    AnnotationStyle m_style;
    bool m_canUndo = false;
    bool m_canRedo = false;
    ExportAction m_defaultAction = ExportAction::copy;
};
