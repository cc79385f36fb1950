#include "Annotation/Annotation.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "Design/TessikColor.h"

namespace {

template <class E>
std::optional<E> fromRaw(const QString& raw, const QList<E>& cases) {
    for (E e : cases)
        if (rawValue(e) == raw) return e;
    return std::nullopt;
}

QString writeKey(const char* key, const QByteArray& value) {
    return QStringLiteral("\"%1\":%2").arg(QLatin1String(key), QString::fromUtf8(value));
}

QByteArray jsonString(const QString& s) {
    // A one-element array is the simplest way to get QJsonDocument's string escaping.
    QByteArray a = QJsonDocument(QJsonArray{s}).toJson(QJsonDocument::Compact);
    return a.mid(1, a.size() - 2);
}

}  // namespace

Rect Annotation::boundingRect() const {
    if (points.isEmpty()) return Rect(0, 0, 0, 0);
    Rect r(points.first(), Size{0, 0});
    for (qsizetype i = 1; i < points.size(); ++i) r = r.unionWith(Rect(points[i], Size{0, 0}));
    return r;
}

QByteArray Annotation::encoded() const {
    // QJsonObject sorts its keys, so the object is written by hand to keep the documented order.
    QJsonArray pts;
    for (const Point& p : points) pts.append(QJsonArray{p.x, p.y});
    const QStringList parts{
        writeKey("id", jsonString(id.toString(QUuid::WithoutBraces).toUpper())),
        writeKey("kind", jsonString(rawValue(kind))),
        writeKey("points", QJsonDocument(pts).toJson(QJsonDocument::Compact)),
        writeKey("color", jsonString(rawValue(color))),
        writeKey("thickness", jsonString(rawValue(thickness))),
        writeKey("text", jsonString(text)),
    };
    return ("{" + parts.join(',') + "}").toUtf8();
}

std::optional<Annotation> Annotation::decoded(const QByteArray& json) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) return std::nullopt;
    const QJsonObject o = doc.object();
    for (const char* key : {"id", "kind", "points", "color", "thickness", "text"})
        if (!o.contains(QLatin1String(key))) return std::nullopt;
    if (!o["id"].isString() || !o["kind"].isString() || !o["points"].isArray() ||
        !o["color"].isString() || !o["thickness"].isString() || !o["text"].isString())
        return std::nullopt;

    const QString idText = o["id"].toString();
    const QUuid uuid = QUuid::fromString(idText);
    if (uuid.isNull() || idText.size() != 36) return std::nullopt;
    const auto k = annotationKind(o["kind"].toString());
    const auto c = annotationColor(o["color"].toString());
    const auto t = ::thickness(o["thickness"].toString());
    if (!k || !c || !t) return std::nullopt;

    QList<Point> pts;
    for (const QJsonValue& v : o["points"].toArray()) {
        const QJsonArray pair = v.toArray();
        if (!v.isArray() || pair.size() != 2 || !pair[0].isDouble() || !pair[1].isDouble())
            return std::nullopt;
        pts.append(Point{pair[0].toDouble(), pair[1].toDouble()});
    }
    return Annotation{uuid, *k, pts, *c, *t, o["text"].toString()};
}

QString rawValue(Annotation::Kind kind) {
    switch (kind) {
        case Annotation::Kind::arrow: return "arrow";
        case Annotation::Kind::rectangle: return "rectangle";
        case Annotation::Kind::highlighter: return "highlighter";
        case Annotation::Kind::text: return "text";
        case Annotation::Kind::pixelate: return "pixelate";
        case Annotation::Kind::freehand: return "freehand";
    }
    return {};
}

QString rawValue(AnnotationColor color) {
    switch (color) {
        case AnnotationColor::accent: return "accent";
        case AnnotationColor::yellow: return "yellow";
        case AnnotationColor::green: return "green";
        case AnnotationColor::blue: return "blue";
        case AnnotationColor::cream: return "cream";
    }
    return {};
}

QString rawValue(Thickness t) {
    switch (t) {
        case Thickness::thin: return "thin";
        case Thickness::medium: return "medium";
        case Thickness::thick: return "thick";
    }
    return {};
}

std::optional<Annotation::Kind> annotationKind(const QString& raw) {
    return fromRaw(raw, allAnnotationKinds());
}
std::optional<AnnotationColor> annotationColor(const QString& raw) {
    return fromRaw(raw, allAnnotationColors());
}
std::optional<Thickness> thickness(const QString& raw) { return fromRaw(raw, allThicknesses()); }

const QList<Annotation::Kind>& allAnnotationKinds() {
    using K = Annotation::Kind;
    static const QList<K> all{K::arrow, K::rectangle, K::highlighter,
                              K::text,  K::pixelate,  K::freehand};
    return all;
}

const QList<AnnotationColor>& allAnnotationColors() {
    using C = AnnotationColor;
    static const QList<C> all{C::accent, C::yellow, C::green, C::blue, C::cream};
    return all;
}

const QList<Thickness>& allThicknesses() {
    static const QList<Thickness> all{Thickness::thin, Thickness::medium, Thickness::thick};
    return all;
}

QColor cgColor(AnnotationColor color) {
    switch (color) {
        case AnnotationColor::accent: return TessikColor::accent();
        case AnnotationColor::yellow: return QColor::fromRgbF(1.0f, 0.77f, 0.0f);
        case AnnotationColor::green: return QColor::fromRgbF(0.09f, 0.76f, 0.48f);
        case AnnotationColor::blue: return QColor::fromRgbF(0.18f, 0.55f, 1.0f);
        case AnnotationColor::cream: return TessikColor::cream();
    }
    return Qt::black;
}

double strokeWidth(Thickness t) {
    switch (t) {
        case Thickness::thin: return 2;
        case Thickness::medium: return 4;
        case Thickness::thick: return 7;
    }
    return 4;
}

double textSize(Thickness t) {
    switch (t) {
        case Thickness::thin: return 14;
        case Thickness::medium: return 20;
        case Thickness::thick: return 30;
    }
    return 20;
}

double pixelBlock(Thickness t) {
    switch (t) {
        case Thickness::thin: return 8;
        case Thickness::medium: return 14;
        case Thickness::thick: return 22;
    }
    return 14;
}
