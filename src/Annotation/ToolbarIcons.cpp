#include "Annotation/ToolbarIcons.h"

#include <cmath>
#include <numbers>

#include <QFont>
#include <QPainter>
#include <QPainterPath>

// Every icon is drawn in an 18 x 18 box centred on the origin, y down, as SF-like outline
// glyphs of "medium" weight: a 1.6-point stroke with round ends.

namespace ToolbarIcons {
namespace {

constexpr double kStroke = 1.6;

QPainterPath polyline(std::initializer_list<QPointF> points) {
    QPainterPath path;
    bool first = true;
    for (QPointF p : points) {
        if (first)
            path.moveTo(p);
        else
            path.lineTo(p);
        first = false;
    }
    return path;
}

QPainterPath cursorArrow() {
    QPainterPath p = polyline(
        {{-4.5, -8.5}, {-4.5, 5.5}, {-1.3, 2.6}, {1.1, 8.0}, {3.4, 7.0}, {1.0, 1.8}, {5.3, 1.8}});
    p.closeSubpath();
    return p;
}

QPainterPath arrowUpRight() {
    QPainterPath p = polyline({{-6, 6}, {6, -6}});
    p.addPath(polyline({{-1.5, -6}, {6, -6}, {6, 1.5}}));
    return p;
}

QPainterPath rectangle() {
    QPainterPath p;
    p.addRoundedRect(QRectF(-8, -6, 16, 12), 2.5, 2.5);
    return p;
}

QPainterPath uturnBackward() {
    QPainterPath p;
    p.moveTo(-3, 6);
    p.lineTo(2.5, 6);
    p.arcTo(QRectF(-2, -3, 9, 9), -90, 180);
    p.lineTo(-7, -3);
    p.addPath(polyline({{-3.5, -6.5}, {-7, -3}, {-3.5, 0.5}}));
    return p;
}

QPainterPath saveToTray() {
    QPainterPath p = polyline({{-3.5, -1.5}, {-7, -1.5}, {-7, 8}, {7, 8}, {7, -1.5}, {3.5, -1.5}});
    p.addPath(polyline({{0, -9}, {0, 4}}));
    p.addPath(polyline({{-3.5, 0.5}, {0, 4}, {3.5, 0.5}}));
    return p;
}

QPainterPath copySheets() {
    QPainterPath p = polyline({{-3, -5.5}, {-3, -8}, {7, -8}, {7, 5}, {4.5, 5}});
    p.addRoundedRect(QRectF(-7, -4, 10, 13), 1.5, 1.5);
    return p;
}

QPainterPath scribble() {
    // A prolate cycloid: a rolling loop, tilted up to the right like handwriting.
    QPainterPath p;
    constexpr int steps = 96;
    const double t0 = 0.5 * std::numbers::pi, t1 = 4.5 * std::numbers::pi;
    for (int i = 0; i <= steps; ++i) {
        const double t = t0 + (t1 - t0) * i / steps;
        const double x = 1.15 * (t - t0) - 3.4 * std::sin(t) - 3.8;
        const double y = -3.4 * std::cos(t) - 0.3 * x;
        if (i == 0)
            p.moveTo(x, y);
        else
            p.lineTo(x, y);
    }
    return p;
}

void strokeHighlighter(QPainter& painter) {
    painter.save();
    painter.translate(1, -1.5);
    painter.rotate(-45);
    painter.drawRoundedRect(QRectF(-1.5, -3, 9.5, 6), 1.2, 1.2);
    painter.drawPath(polyline({{-1.5, -3}, {-4.5, -1.6}, {-4.5, 1.6}, {-1.5, 3}}));
    QPainterPath chisel = polyline({{-4.5, -1.6}, {-7, 0.2}, {-7, 1.6}, {-4.5, 1.6}});
    chisel.closeSubpath();
    painter.drawPath(chisel);
    painter.restore();
    painter.drawLine(QPointF(-8, 8), QPointF(-3.5, 8));
}

void fillGrid(QPainter& painter, const QColor& tint) {
    constexpr double side = 4.4, gap = 1.4;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) {
            QPainterPath square;
            square.addRoundedRect(
                QRectF(-8 + col * (side + gap), -8 + row * (side + gap), side, side), 0.8, 0.8);
            painter.fillPath(square, tint);
        }
}

void fillText(QPainter& painter, const QString& text, const QColor& tint) {
    QFont font;
    font.setPixelSize(15);
    font.setWeight(QFont::DemiBold);
    QPainterPath path;
    path.addText(0, 0, font, text);
    const QRectF box = path.boundingRect();
    painter.fillPath(path.translated(-box.center()), tint);
}

}  // namespace

void draw(QPainter& painter, Symbol symbol, QPointF centre, const QColor& tint) {
    painter.save();
    painter.translate(centre);
    // Icons are designed y down; in a y-up painter flip them back upright.
    if (painter.worldTransform().m22() < 0) painter.scale(1, -1);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(tint, kStroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    switch (symbol) {
        case Symbol::cursorArrow:
            painter.drawPath(cursorArrow());
            break;
        case Symbol::arrowUpRight:
            painter.drawPath(arrowUpRight());
            break;
        case Symbol::rectangle:
            painter.drawPath(rectangle());
            break;
        case Symbol::highlighter:
            strokeHighlighter(painter);
            break;
        case Symbol::textFormat:
            fillText(painter, QStringLiteral("Aa"), tint);
            break;
        case Symbol::grid3x3:
            fillGrid(painter, tint);
            break;
        case Symbol::scribble:
            painter.drawPath(scribble());
            break;
        case Symbol::undo:
            painter.drawPath(uturnBackward());
            break;
        case Symbol::redo:
            painter.scale(-1, 1);
            painter.drawPath(uturnBackward());
            break;
        case Symbol::saveToTray:
            painter.drawPath(saveToTray());
            break;
        case Symbol::copySheets:
            painter.drawPath(copySheets());
            break;
        case Symbol::questionMark:
            fillText(painter, QStringLiteral("?"), tint);
            break;
    }
    painter.restore();
}

}  // namespace ToolbarIcons
