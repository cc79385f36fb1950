#include "Annotation/AnnotationToolbar.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "Annotation/ToolbarIcons.h"
#include "Design/TessikColor.h"

namespace {

using Item = AnnotationToolbar::Item;
using ToolbarIcons::Symbol;

constexpr double kMargin = 8;

Symbol toolSymbol(Annotation::Kind kind) {
    switch (kind) {
        case Annotation::Kind::arrow:
            return Symbol::arrowUpRight;
        case Annotation::Kind::rectangle:
            return Symbol::rectangle;
        case Annotation::Kind::highlighter:
            return Symbol::highlighter;
        case Annotation::Kind::text:
            return Symbol::textFormat;
        case Annotation::Kind::pixelate:
            return Symbol::grid3x3;
        case Annotation::Kind::freehand:
            return Symbol::scribble;
    }
    return Symbol::questionMark;
}

double dotDiameter(Thickness t) {
    switch (t) {
        case Thickness::thin:
            return 5;
        case Thickness::medium:
            return 7;
        case Thickness::thick:
            return 10;
    }
    return 5;
}

QColor withAlpha(QColor c, double alpha) {
    c.setAlphaF(alpha);
    return c;
}

void fillCircle(QPainter& painter, QPointF centre, double diameter, const QColor& color) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(centre, diameter / 2, diameter / 2);
}

}  // namespace

const QList<Annotation::Kind>& AnnotationToolbar::toolOrder() {
    using enum Annotation::Kind;
    static const QList<Annotation::Kind> order{arrow, rectangle, highlighter,
                                               text,  pixelate,  freehand};
    return order;
}

AnnotationToolbar::AnnotationToolbar(QWidget* parent) : QWidget(parent) {
    setCursor(Qt::ArrowCursor);
    setFocusPolicy(Qt::NoFocus);
    // Painted with rounded, translucent corners over the overlay.
    setAttribute(Qt::WA_TranslucentBackground);
    layOutItems();
    resize(sizeHint());
}

QSize AnnotationToolbar::sizeHint() const {
    return QSize(int(naturalSize.width), int(naturalSize.height));
}

void AnnotationToolbar::layOutItems() {
    // Groups are separated by an empty gap; the layout does not depend on the bar's size.
    const QList<QList<Item>> groups = [] {
        QList<Item> tools{Item::select()};
        for (Annotation::Kind k : toolOrder()) tools.append(Item::tool(k));
        QList<Item> colors, thicknesses;
        for (AnnotationColor c : allAnnotationColors()) colors.append(Item::colorItem(c));
        for (Thickness t : allThicknesses()) thicknesses.append(Item::thicknessItem(t));
        return QList<QList<Item>>{
            tools,
            colors,
            thicknesses,
            {Item::undo(), Item::redo()},
            {Item::exportItem(ExportAction::save), Item::exportItem(ExportAction::copy)}};
    }();
    m_items.clear();
    double x = kMargin;
    for (qsizetype g = 0; g < groups.size(); ++g) {
        if (g > 0) x += separatorWidth;
        for (const Item& item : groups[g]) {
            const Size size = item.type == Item::Type::color ? swatchSize : itemSize;
            m_items.append({item, Rect(x, kMargin, size.width, size.height)});
            x += size.width;
        }
    }
}

std::optional<AnnotationToolbar::Item> AnnotationToolbar::item(Point at) const {
    for (const Placed& placed : m_items)
        if (placed.frame.contains(at)) return placed.item;
    return std::nullopt;
}

bool AnnotationToolbar::press(Point at) {
    const std::optional<Item> hit = item(at);
    if (!hit) return false;
    switch (hit->type) {
        case Item::Type::select:
            callbacks.selectMode(AnnotationMode::select());
            break;
        case Item::Type::tool:
            callbacks.selectMode(AnnotationMode::annotate(hit->kind));
            break;
        case Item::Type::color:
            callbacks.selectColor(hit->color);
            break;
        case Item::Type::thickness:
            callbacks.selectThickness(hit->thickness);
            break;
        case Item::Type::undo:
            callbacks.undo();
            break;
        case Item::Type::redo:
            callbacks.redo();
            break;
        case Item::Type::exportAction:
            callbacks.exportImage(hit->action);
            break;
    }
    return true;
}

Point AnnotationToolbar::toBarSpace(QPointF p) const {
    return {p.x(), height() - p.y()};
}

void AnnotationToolbar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!painter.isActive()) return;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(0, height());
    painter.scale(1, -1);

    QPainterPath background;
    background.addRoundedRect(QRectF(0, 0, width(), height()), 12, 12);
    painter.fillPath(background, withAlpha(TessikColor::ink(), 0.92));

    for (const Placed& placed : m_items) drawItem(painter, placed);
}

void AnnotationToolbar::drawItem(QPainter& painter, const Placed& placed) const {
    const Item& item = placed.item;
    const QPointF centre(placed.frame.midX(), placed.frame.midY());
    const QColor accent = TessikColor::accent(), cream = TessikColor::cream();
    switch (item.type) {
        case Item::Type::color:
            fillCircle(painter, centre, 14, cgColor(item.color));
            if (item.color == m_style.color) {
                painter.setPen(QPen(cream, 1.5));
                painter.setBrush(Qt::NoBrush);
                painter.drawEllipse(centre, 10.5, 10.5);
            }
            return;
        case Item::Type::thickness:
            fillCircle(painter, centre, dotDiameter(item.thickness),
                       item.thickness == m_style.thickness ? accent : cream);
            return;
        default:
            break;
    }

    Symbol symbol = Symbol::questionMark;
    QColor tint = cream;
    bool chosen = false;
    switch (item.type) {
        case Item::Type::select:
            symbol = Symbol::cursorArrow;
            chosen = m_mode.isSelect();
            break;
        case Item::Type::tool:
            symbol = toolSymbol(item.kind);
            chosen = m_mode == AnnotationMode::annotate(item.kind);
            break;
        case Item::Type::undo:
            symbol = Symbol::undo;
            tint = m_canUndo ? cream : withAlpha(cream, 0.3);
            break;
        case Item::Type::redo:
            symbol = Symbol::redo;
            tint = m_canRedo ? cream : withAlpha(cream, 0.3);
            break;
        case Item::Type::exportAction:
            symbol = item.action == ExportAction::save ? Symbol::saveToTray : Symbol::copySheets;
            if (item.action == m_defaultAction) tint = accent;
            break;
        default:
            break;
    }
    if (chosen) {
        tint = accent;
        painter.fillRect(QRectF(centre.x() - 8, placed.frame.minY() - 3, 16, 2), accent);
    }
    ToolbarIcons::draw(painter, symbol, centre, tint);
}

void AnnotationToolbar::resizeEvent(QResizeEvent*) {
    layOutItems();
}

void AnnotationToolbar::mousePressEvent(QMouseEvent* event) {
    // Only the primary button acts; a secondary press goes on to the view beneath (cancel).
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    press(toBarSpace(event->position()));
    event->accept();
}

void AnnotationToolbar::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click acts again, like any press.
    mousePressEvent(event);
}

void AnnotationToolbar::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
}

void AnnotationToolbar::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
}
