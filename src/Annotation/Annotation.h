#pragma once

#include <optional>

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QString>
#include <QUuid>

#include "Base/Geometry.h"

// The five annotation colours, in tool-bar order.
enum class AnnotationColor { accent, yellow, green, blue, cream };

// The three stroke thicknesses, in tool-bar order.
enum class Thickness { thin, medium, thick };

// One drawn annotation. Points are in the view space of one display (points, origin
// bottom-left, y up); how many and what they mean depends on the kind.
struct Annotation {
    enum class Kind { arrow, rectangle, highlighter, text, pixelate, freehand };

    QUuid id = QUuid::createUuid();
    Kind kind = Kind::arrow;
    QList<Point> points;
    AnnotationColor color = AnnotationColor::accent;
    Thickness thickness = Thickness::medium;
    QString text;

    bool operator==(const Annotation&) const = default;

    // Smallest axis-aligned rectangle holding every point; (0,0,0,0) without points.
    Rect boundingRect() const;

    // Coded form: a JSON object with the keys id, kind, points, color, thickness, text in that
    // order. Reading is all or nothing.
    QByteArray encoded() const;
    static std::optional<Annotation> decoded(const QByteArray& json);
};

// The style new annotations take.
struct AnnotationStyle {
    AnnotationColor color = AnnotationColor::accent;
    Thickness thickness = Thickness::medium;
    bool operator==(const AnnotationStyle&) const = default;
};

// What a press inside the selection does: move/resize it (select) or draw an annotation.
struct AnnotationMode {
    std::optional<Annotation::Kind> annotating;

    static AnnotationMode select() { return {}; }
    static AnnotationMode annotate(Annotation::Kind kind) { return {kind}; }
    bool isSelect() const { return !annotating.has_value(); }
    bool operator==(const AnnotationMode&) const = default;
};

// Raw values and case lists.
QString rawValue(Annotation::Kind kind);
QString rawValue(AnnotationColor color);
QString rawValue(Thickness thickness);
std::optional<Annotation::Kind> annotationKind(const QString& raw);
std::optional<AnnotationColor> annotationColor(const QString& raw);
std::optional<Thickness> thickness(const QString& raw);
const QList<Annotation::Kind>& allAnnotationKinds();
const QList<AnnotationColor>& allAnnotationColors();
const QList<Thickness>& allThicknesses();

// Opaque sRGB colour of an annotation colour.
QColor cgColor(AnnotationColor color);

// Sizes fixed by a thickness, in points.
double strokeWidth(Thickness t);
double textSize(Thickness t);
double pixelBlock(Thickness t);
