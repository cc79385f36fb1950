#include "Annotation/AnnotationTools.h"

#include <cmath>

namespace {

Annotation made(Annotation::Kind kind, QList<Point> points, AnnotationStyle style) {
    Annotation a;  // a fresh random id
    a.kind = kind;
    a.points = std::move(points);
    a.color = style.color;
    a.thickness = style.thickness;
    return a;
}

}  // namespace

Annotation TwoPointTool::begin(Point at, AnnotationStyle style) const {
    return made(kind, {at, at}, style);
}

void TwoPointTool::update(Annotation& annotation, Point draggedTo) const {
    if (annotation.points.size() == 2) annotation.points[1] = draggedTo;
}

bool TwoPointTool::isComplete(const Annotation& annotation) const {
    if (annotation.points.size() != 2) return false;
    const Point a = annotation.points[0], b = annotation.points[1];
    return std::abs(b.x - a.x) > 3 || std::abs(b.y - a.y) > 3;
}

Annotation FreehandTool::begin(Point at, AnnotationStyle style) const {
    return made(Annotation::Kind::freehand, {at}, style);
}

void FreehandTool::update(Annotation& annotation, Point draggedTo) const {
    if (!annotation.points.isEmpty()) {
        const Point last = annotation.points.last();
        if (std::abs(draggedTo.x - last.x) < 1.5 && std::abs(draggedTo.y - last.y) < 1.5) return;
    }
    annotation.points.append(draggedTo);
}

bool FreehandTool::isComplete(const Annotation& annotation) const {
    return annotation.points.size() > 1;
}

Annotation TextTool::begin(Point at, AnnotationStyle style) const {
    return made(Annotation::Kind::text, {at}, style);
}

void TextTool::update(Annotation& annotation, Point draggedTo) const {
    annotation.points = {draggedTo};
}

bool TextTool::isComplete(const Annotation& annotation) const {
    return !annotation.text.isEmpty();
}

AnnotationTool toolFor(Annotation::Kind kind) {
    switch (kind) {
        case Annotation::Kind::freehand:
            return FreehandTool{};
        case Annotation::Kind::text:
            return TextTool{};
        case Annotation::Kind::arrow:
        case Annotation::Kind::rectangle:
        case Annotation::Kind::highlighter:
        case Annotation::Kind::pixelate:
            return TwoPointTool{kind};
    }
    return TwoPointTool{kind};
}

Annotation::Kind kindOf(const AnnotationTool& tool) {
    return std::visit([](const auto& t) { return t.kind; }, tool);
}

Qt::CursorShape cursorOf(const AnnotationTool& tool) {
    return std::visit([](const auto& t) { return t.cursor(); }, tool);
}

Annotation begin(const AnnotationTool& tool, Point at, AnnotationStyle style) {
    return std::visit([&](const auto& t) { return t.begin(at, style); }, tool);
}

void update(const AnnotationTool& tool, Annotation& annotation, Point draggedTo) {
    std::visit([&](const auto& t) { t.update(annotation, draggedTo); }, tool);
}

bool isComplete(const AnnotationTool& tool, const Annotation& annotation) {
    return std::visit([&](const auto& t) { return t.isComplete(annotation); }, tool);
}
