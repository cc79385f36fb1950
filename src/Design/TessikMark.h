#pragma once

#include <QPainterPath>
#include <QWidget>

class QPainter;

// The application's mark: a pair of cream square brackets, optionally with an orange spark
// between them and an ink tile behind. Designed on a 100 x 100 grid, drawn in the centred square
// of side min(width, height).
class TessikMark : public QWidget {
    Q_OBJECT

public:
    explicit TessikMark(bool showsBackground = true, bool showsSpark = true,
                        QWidget* parent = nullptr);

    bool showsBackground() const { return m_showsBackground; }
    bool showsSpark() const { return m_showsSpark; }
    QSize sizeHint() const override { return {60, 60}; }

    // Draws the mark into `space`.
    static void paint(QPainter& painter, const QRectF& space, bool showsBackground,
                      bool showsSpark);

    // The shapes, each laid out in the 100-unit square `square` (grid from its top-left).
    static QPainterPath bracketsPath(const QRectF& square);
    static QPainterPath sparkPath(const QRectF& square);
    // The tile: a 92 x 92 continuous-corner rounded rectangle (radius 22) centred in `square`.
    static QPainterPath tilePath(const QRectF& square);
    // The centred square of side min(width, height).
    static QRectF markSquare(const QRectF& space);
    static constexpr double strokeWidthUnits = 7;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_showsBackground;
    bool m_showsSpark;
};

// A rounded rectangle whose corners blend into the sides with continuous curvature (the
// "squircle" look), approximated with cubic curves and short circular arcs.
QPainterPath continuousRoundedRect(const QRectF& rect, double radius);
