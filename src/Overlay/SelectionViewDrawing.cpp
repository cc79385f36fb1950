// What the selection view draws over the frozen capture, and which part of it is repainted
// after each change.

#include <algorithm>

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

#include "Design/TessikColor.h"
#include "Overlay/SelectionView.h"

namespace {

// Drawing of a selection that reaches far past the view is limited to the view plus this
// margin: the frame, brackets and handles beyond it are invisible, and the rasteriser is never
// handed huge coordinates.
constexpr double kOffViewMargin = 24;

QColor withAlpha(QColor c, double alpha) {
    c.setAlphaF(alpha);
    return c;
}

bool hasEqualDigits(const QFont& font) {
    const QFontMetricsF m(font);
    const double w = m.horizontalAdvance(QLatin1Char('0'));
    for (char d = '1'; d <= '9'; ++d)
        if (m.horizontalAdvance(QLatin1Char(d)) != w) return false;
    return true;
}

// The badge's font, made once for every view: the system font at 11 points, medium, or a
// sans-serif with equal-width digits when the system font lacks them.
const QFont& badgeFont() {
    static const QFont font = [] {
        QFont f = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        f.setPixelSize(11);
        f.setWeight(QFont::Medium);
        if (!hasEqualDigits(f)) {
            f.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Inter")});
            f.setStyleHint(QFont::SansSerif);
        }
        return f;
    }();
    return font;
}

double draftOutset(Thickness t) {
    switch (t) {
        case Thickness::thin:
            return 10;
        case Thickness::medium:
            return 20;
        case Thickness::thick:
            return 35;
    }
    return 35;
}

// Where an annotation can put paint: filled and inset shapes stay in their rectangle; strokes
// and arrow heads reach out by at most the draft outset of their thickness. Text has no cheap
// bound here and is always drawn.
std::optional<Rect> drawnExtent(const Annotation& a) {
    switch (a.kind) {
        case Annotation::Kind::rectangle:
        case Annotation::Kind::highlighter:
        case Annotation::Kind::pixelate:
            return a.boundingRect().insetBy(-1, -1);
        case Annotation::Kind::arrow:
        case Annotation::Kind::freehand: {
            const double outset = draftOutset(a.thickness);
            return a.boundingRect().insetBy(-outset, -outset);
        }
        case Annotation::Kind::text:
            return std::nullopt;
    }
    return std::nullopt;
}

QPen pen(const QColor& color, double width, Qt::PenCapStyle cap = Qt::SquareCap) {
    return QPen(color, width, Qt::SolidLine, cap, Qt::MiterJoin);
}

}  // namespace

// --- Geometry of what is drawn

std::optional<Rect> SelectionView::visibleSelection() const {
    if (!m_selection || m_selection->isEmpty()) return std::nullopt;
    return m_selection->standardized();
}

QString SelectionView::badgeText() const {
    const Rect s = m_selection ? m_selection->standardized() : Rect(0, 0, 0, 0);
    return QStringLiteral("%1 \u00D7 %2")
        .arg(roundHalfAway(s.width() * m_scale))
        .arg(roundHalfAway(s.height() * m_scale));
}

Rect SelectionView::badgeFrame() const {
    const QFontMetricsF metrics(badgeFont());
    const double w = metrics.horizontalAdvance(badgeText()) + 2 * badgePadding.width;
    const double h = metrics.height() + 2 * badgePadding.height;
    const Rect b = bounds();
    const Point p = m_pointerLocation;
    double x = p.x + 14;
    if (x + w > b.maxX() - 4) x = p.x - w - 14;
    double y = p.y + 14;
    if (y + h > b.maxY() - 4) y = p.y - h - 14;
    x = std::min(std::max(x, b.minX() + 4), b.maxX() - w - 4);
    y = std::min(std::max(y, b.minY() + 4), b.maxY() - h - 4);
    return Rect(x, y, w, h);
}

QList<Rect> SelectionView::footprintParts() const {
    if (const auto s = visibleSelection()) {
        QList<Rect> parts{s->insetBy(-10, -10), badgeFrame()};
        if (m_draft) {
            const double outset = draftOutset(m_draft->thickness);
            parts.append(m_draft->boundingRect().insetBy(-outset, -outset));
        }
        return parts;
    }
    const Point p = m_pointerLocation;
    return {Rect(p.x - 2, 0, 4, m_viewSize.height), Rect(0, p.y - 2, m_viewSize.width, 4)};
}

Rect SelectionView::footprint() const {
    Rect f = Rect::null();
    for (const Rect& part : footprintParts()) f = f.unionWith(part);
    return f.isNull() ? Rect(0, 0, 0, 0) : f;
}

QRect SelectionView::widgetRect(const Rect& r) const {
    if (r.isNull()) return {};
    const QRectF widget(r.minX(), m_viewSize.height - r.maxY(), r.width(), r.height());
    // Clamped to the widget first, so that far-off rectangles never overflow integers.
    const QRectF limit(-1, -1, m_viewSize.width + 2, m_viewSize.height + 2);
    const QRectF visible = widget.intersected(limit);
    return visible.isEmpty() ? QRect() : visible.toAlignedRect();
}

// --- Invalidation

SelectionView::SelectionContent SelectionView::selectionContent() const {
    return {visibleSelection(), m_annotations.items, m_mode};
}

// The ring of a selection's own drawing (frame, halo, brackets, handles: all within 4 points of
// its edges), with room to spare: the rectangle outset by 12 less the rectangle inset by 12.
QRegion SelectionView::edgeBand(const Rect& selection) const {
    QRegion band(widgetRect(selection.insetBy(-12, -12)));
    const Rect inner = selection.insetBy(12, 12);
    if (inner.isNull()) return band;
    // Rounded inwards, so that no pixel of the ring is left out.
    const QRectF w(inner.minX(), m_viewSize.height - inner.maxY(), inner.width(), inner.height());
    const QRect in(QPoint(int(std::ceil(w.left())), int(std::ceil(w.top()))),
                   QPoint(int(std::floor(w.right())) - 1, int(std::floor(w.bottom())) - 1));
    return band - QRegion(in.intersected(rect()));
}

void SelectionView::invalidateFootprint() {
    const QList<Rect> parts = footprintParts();
    const SelectionContent content = selectionContent();
    // Marking the pieces (two thin strips for the crosshair; the selection, the badge and the
    // draft) instead of their bounding box repaints the same pixels with far less work:
    // - selection, annotations and mode as they were: the selection's own piece shows the same
    //   pixels; only the badge and draft pieces (old and new) are marked;
    // - only the selection's place or size changed: inside both the old and the new selection,
    //   away from their edges, the capture and the annotations show as before; what changes is
    //   the ring along each edge and what lies in one selection but not the other.
    const bool hadSelection = m_markedContent.selection && !m_lastFootprintParts.isEmpty();
    const bool same = content.selection && hadSelection && content == m_markedContent;
    const bool moved = content.selection && hadSelection && !same &&
                       content.annotations == m_markedContent.annotations &&
                       content.mode == m_markedContent.mode;
    const qsizetype skip = same || moved ? 1 : 0;
    QRegion region;
    for (qsizetype i = skip; i < parts.size(); ++i) region += widgetRect(parts[i].insetBy(-2, -2));
    for (qsizetype i = skip; i < m_lastFootprintParts.size(); ++i)
        region += widgetRect(m_lastFootprintParts[i].insetBy(-2, -2));
    if (moved) {
        const Rect before = *m_markedContent.selection, after = *content.selection;
        region += edgeBand(before);
        region += edgeBand(after);
        region += QRegion(widgetRect(before)) ^ QRegion(widgetRect(after));
    }
    m_lastInvalidation = region;
    update(region);
    m_lastFootprint = footprint();
    m_lastFootprintParts = parts;
    m_markedContent = content;
}

void SelectionView::invalidateAll() {
    m_lastInvalidation = QRegion(rect());
    m_markedContent = selectionContent();
    update();
}

// --- Painting

void SelectionView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    if (!painter.isActive()) return;
    if (m_paintsFrozenImage) {
        for (const QRect& dirty : event->region()) drawFrozenImage(painter, dirty);
    }
    painter.translate(0, m_viewSize.height);
    painter.scale(1, -1);
    painter.setRenderHint(QPainter::Antialiasing);

    drawDimming(painter);
    if (const auto s = visibleSelection()) {
        // Annotations piece by piece, so that each piece computes only what it shows; a region
        // of many pieces is taken whole.
        const QRegion& region = event->region();
        const QList<QRect> pieces = region.rectCount() <= 16
                                        ? QList<QRect>(region.begin(), region.end())
                                        : QList<QRect>{region.boundingRect()};
        for (const QRect& dirty : pieces) {
            const Rect dirtyView(dirty.x(), m_viewSize.height - dirty.y() - dirty.height(),
                                 dirty.width(), dirty.height());
            drawAnnotations(painter, *s, dirtyView);
        }
        drawFrame(painter, *s);
        drawBadge(painter);
    } else {
        drawCrosshair(painter);
    }
}

void SelectionView::drawFrozenImage(QPainter& painter, const QRect& dirty) const {
    if (m_frozenImage.isNull() || m_viewSize.width <= 0 || m_viewSize.height <= 0) return;
    const double sx = m_frozenImage.width() / m_viewSize.width;
    const double sy = m_frozenImage.height() / m_viewSize.height;
    const QRectF source(dirty.x() * sx, dirty.y() * sy, dirty.width() * sx, dirty.height() * sy);
    painter.drawImage(QRectF(dirty), m_frozenImage, source);
}

void SelectionView::drawDimming(QPainter& painter) const {
    const QColor dim(0, 0, 0, 102);  // black at 0.4
    const Rect view = bounds();
    std::optional<Rect> hole;
    if (const auto s = visibleSelection()) {
        const Rect h = s->intersection(view.insetBy(-kOffViewMargin, -kOffViewMargin));
        if (!h.isNull()) hole = h;
    }
    // With the hole on whole device pixels the ring is exactly four rectangles, which the
    // raster engine fills far faster than an even-odd path under a complex clip; elsewhere
    // (fractional scales) the path keeps the antialiased edge.
    const double ratio = devicePixelRatioF();
    const auto onPixel = [ratio](double v) {
        return std::abs(v * ratio - std::round(v * ratio)) < 1e-9;
    };
    if (!hole || (onPixel(hole->minX()) && onPixel(hole->maxX()) && onPixel(hole->minY()) &&
                  onPixel(hole->maxY()))) {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing, false);
        if (!hole) {
            painter.fillRect(view.toQt(), dim);
        } else {
            const Rect h = *hole;
            const double y0 = std::max(h.minY(), view.minY()), y1 = std::min(h.maxY(), view.maxY());
            const Rect ring[] = {
                Rect(view.minX(), h.maxY(), view.width(), view.maxY() - h.maxY()),
                Rect(view.minX(), view.minY(), view.width(), h.minY() - view.minY()),
                Rect(view.minX(), y0, h.minX() - view.minX(), y1 - y0),
                Rect(h.maxX(), y0, view.maxX() - h.maxX(), y1 - y0),
            };
            for (const Rect& r : ring)
                if (r.size.width > 0 && r.size.height > 0) painter.fillRect(r.toQt(), dim);
        }
        painter.restore();
        return;
    }
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    path.addRect(view.toQt());
    path.addRect(hole->toQt());
    painter.fillPath(path, dim);
}

void SelectionView::drawAnnotations(QPainter& painter, const Rect& selection,
                                    const Rect& dirty) const {
    // Painting outside the repainted area is discarded anyway; a clip that says so lets the
    // renderer limit its work (pixelation computes only the blocks that show).
    const Rect clip = selection.intersection(bounds()).intersection(dirty);
    if (clip.isNull() || clip.isEmpty()) return;
    // Annotations that cannot reach the repainted area would be clipped away entirely; skipping
    // them spares their work (pixelation above all).
    QList<Annotation> touching;
    touching.reserve(m_annotations.items.size());
    for (const Annotation& a : m_annotations.items) {
        const std::optional<Rect> extent = drawnExtent(a);
        if (!extent || extent->intersects(dirty)) touching.append(a);
    }
    painter.save();
    painter.setClipRect(clip.toQt(), Qt::IntersectClip);
    m_renderer.draw(touching, painter);
    if (m_draft) m_renderer.draw({*m_draft}, painter);
    painter.restore();
}

void SelectionView::drawFrame(QPainter& painter, const Rect& selection) const {
    const Rect near = selection.intersection(bounds().insetBy(-kOffViewMargin, -kOffViewMargin));
    if (near.isNull()) return;
    painter.save();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(pen(withAlpha(TessikColor::ink(), 0.45), 3));
    painter.drawRect(near.insetBy(-1, -1).toQt());
    const Rect inner = near.insetBy(0.5, 0.5);
    if (!inner.isNull()) {
        painter.setPen(pen(TessikColor::cream(), 1));
        painter.drawRect(inner.toQt());
    }
    drawBrackets(painter, selection);
    if (m_mode.isSelect() && selection.width() > 24 && selection.height() > 24)
        drawHandles(painter, selection);
    painter.restore();
}

void SelectionView::drawBrackets(QPainter& painter, const Rect& s) const {
    const double e = std::min(std::min(s.width(), s.height()) / 3, 14.0);
    if (e <= 1) return;
    const Rect limit = bounds().insetBy(-kOffViewMargin, -kOffViewMargin);
    const double l = s.minX() + 1.5, r = s.maxX() - 1.5, b = s.minY() + 1.5, t = s.maxY() - 1.5;
    // Each corner's polyline runs from the horizontal arm's end through the corner to the
    // vertical arm's end.
    const double corners[4][4] = {{l, t, +e, -e}, {r, t, -e, -e}, {r, b, -e, +e}, {l, b, +e, +e}};
    QPainterPath path;
    for (const auto& c : corners) {
        if (!limit.contains(Point{c[0], c[1]})) continue;  // off the view: invisible anyway
        path.moveTo(c[0] + c[2], c[1]);
        path.lineTo(c[0], c[1]);
        path.lineTo(c[0], c[1] + c[3]);
    }
    painter.strokePath(path, pen(withAlpha(TessikColor::ink(), 0.45), 5));
    painter.strokePath(path, pen(TessikColor::cream(), 3));
}

void SelectionView::drawHandles(QPainter& painter, const Rect& s) const {
    const Rect limit = bounds().insetBy(-kOffViewMargin, -kOffViewMargin);
    painter.setPen(pen(withAlpha(TessikColor::ink(), 0.6), 1));
    for (SelectionHandle h : allSelectionHandles()) {
        const Point p = position(h, s);
        if (!limit.contains(p)) continue;
        const QRectF square(p.x - 4, p.y - 4, 8, 8);
        painter.fillRect(square, TessikColor::cream());
        painter.drawRect(square.adjusted(0.5, 0.5, -0.5, -0.5));
    }
}

void SelectionView::drawBadge(QPainter& painter) const {
    const Rect frame = badgeFrame();
    QPainterPath background;
    background.addRoundedRect(frame.toQt(), 6, 6);
    painter.fillPath(background, withAlpha(TessikColor::ink(), 0.92));

    const QFont& font = badgeFont();
    const double baseline = frame.minY() + badgePadding.height + QFontMetricsF(font).descent();
    painter.save();
    painter.setFont(font);
    painter.setPen(TessikColor::cream());
    // Text stands upright only in a y-down space: flip locally at the baseline.
    painter.translate(frame.minX() + badgePadding.width, baseline);
    painter.scale(1, -1);
    painter.drawText(QPointF(0, 0), badgeText());
    painter.restore();
}

void SelectionView::drawCrosshair(QPainter& painter) const {
    painter.save();
    painter.setPen(pen(withAlpha(TessikColor::cream(), 0.35), 1, Qt::FlatCap));
    const double x = m_pointerLocation.x + 0.5, y = m_pointerLocation.y + 0.5;
    // A line off the view is invisible; skipping it keeps huge coordinates away from Qt.
    if (x > -1 && x < m_viewSize.width + 1)
        painter.drawLine(QPointF(x, 0), QPointF(x, m_viewSize.height));
    if (y > -1 && y < m_viewSize.height + 1)
        painter.drawLine(QPointF(0, y), QPointF(m_viewSize.width, y));
    painter.restore();
}

void SelectionView::resizeEvent(QResizeEvent*) {
    // The view is made with its display's exact size; a real resize by the container wins.
    if (width() != int(std::ceil(m_viewSize.width)) ||
        height() != int(std::ceil(m_viewSize.height))) {
        m_viewSize = {double(width()), double(height())};
        placeToolbar();
    }
}
