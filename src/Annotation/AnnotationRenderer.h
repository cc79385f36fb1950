#pragma once

#include <QImage>
#include <QList>

#include "Annotation/Annotation.h"
#include "Base/Geometry.h"

class QPainter;

// Draws annotations in the y-up view space of one display. The one place that knows how each
// kind looks: the live overlay and the export both draw through it.
class AnnotationRenderer {
public:
    // `sourceImage` is the whole frozen capture (for pixelation), `viewSize` the display's size
    // in points and `scale` its pixels per point.
    AnnotationRenderer(QImage sourceImage, Size viewSize, double scale);

    // Draws in list order into a painter whose user space is the view space (points, origin
    // bottom-left, y up). Each annotation is drawn between save and restore; one that cannot be
    // drawn is skipped.
    void draw(const QList<Annotation>& annotations, QPainter& context) const;

private:
    QImage m_sourceImage;
    Size m_viewSize;
    double m_scale;
};
