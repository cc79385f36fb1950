#pragma once

#include <variant>

#include <Qt>

#include "Annotation/Annotation.h"

// The tools turn a press and the following drag positions into one annotation. Each is a small
// value; `AnnotationTool` holds any of them.

// Arrow, rectangle, highlighter and pixelate: two points, the press and the current pointer.
struct TwoPointTool {
    Annotation::Kind kind = Annotation::Kind::arrow;

    Qt::CursorShape cursor() const { return Qt::CrossCursor; }
    Annotation begin(Point at, AnnotationStyle style) const;
    void update(Annotation& annotation, Point draggedTo) const;
    // More than 3 points apart in x or in y: a click or a tiny drag leaves nothing.
    bool isComplete(const Annotation& annotation) const;
    bool operator==(const TwoPointTool&) const = default;
};

// Freehand: every pointer sample, thinned where the pointer moves slowly.
struct FreehandTool {
    Annotation::Kind kind = Annotation::Kind::freehand;

    Qt::CursorShape cursor() const { return Qt::CrossCursor; }
    Annotation begin(Point at, AnnotationStyle style) const;
    void update(Annotation& annotation, Point draggedTo) const;
    bool isComplete(const Annotation& annotation) const;
    bool operator==(const FreehandTool&) const = default;
};

// Text: one anchor point. The selection view uses only its cursor; a press in text mode opens a
// text entry instead of a drag.
struct TextTool {
    Annotation::Kind kind = Annotation::Kind::text;

    Qt::CursorShape cursor() const { return Qt::IBeamCursor; }
    Annotation begin(Point at, AnnotationStyle style) const;
    void update(Annotation& annotation, Point draggedTo) const;
    bool isComplete(const Annotation& annotation) const;
    bool operator==(const TextTool&) const = default;
};

using AnnotationTool = std::variant<TwoPointTool, FreehandTool, TextTool>;

// The tool that serves the kind.
AnnotationTool toolFor(Annotation::Kind kind);

// Dispatch over whichever tool is held.
Annotation::Kind kindOf(const AnnotationTool& tool);
Qt::CursorShape cursorOf(const AnnotationTool& tool);
Annotation begin(const AnnotationTool& tool, Point at, AnnotationStyle style);
void update(const AnnotationTool& tool, Annotation& annotation, Point draggedTo);
bool isComplete(const AnnotationTool& tool, const Annotation& annotation);
