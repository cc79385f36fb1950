#pragma once

#include <expected>

#include <QImage>
#include <QList>
#include <QProcessEnvironment>
#include <QRect>
#include <QStringList>
#include <QVariantMap>

#include "Capture/DisplaySource.h"
#include "Platform/ImageBufferPool.h"

// The screenshot portal's answer turned into images: it gives one file of the whole desktop,
// at the highest output scale; each display is cut out of it by its logical rectangle times
// the image's own pixels per logical pixel, which also holds for fractional and mixed scales.
namespace PortalImage {
using Failure = DisplaySource::Failure;

// Memory kept from one capture to the next: touching fresh pages costs far more than decoding
// or copying into pages touched before. One user at a time.
struct Buffers {
    ImageBufferPool images;  // the whole desktop and each display's image
    QByteArray inflated;     // the PNG's rows before unfiltering
    void release() {
        images.release();
        inflated = QByteArray();
    }
};

// The bounding rectangle of every output (logical pixels, Qt's global space).
QRect layoutOf(const QList<QRect>& outputs);
// The pixels of `area` in an image of the whole `layout`; fails for an image that cannot be
// the whole layout (smaller than it, or of another shape).
std::expected<QRect, Failure> pixelRect(QSize image, const QRect& layout, const QRect& area);
// That part of the image at `pixelSize` (the display's own pixels), as RGB32; in a kept buffer
// when `buffers` are given.
std::expected<QImage, Failure> crop(const QImage& desktop, const QRect& layout, const QRect& area,
                                    QSize pixelSize, Buffers* buffers = nullptr);

// The folders where the portal's file is ours to remove: the temporary folder, the runtime
// folder, the cache folder. A file anywhere else (the user's pictures) stays.
QStringList temporaryPlaces(const QProcessEnvironment& environment);
bool isInTemporaryPlace(const QString& path, const QStringList& places);
// Reads the PNG the results' "uri" names, once, and removes the file when it lies in a
// temporary place, whether or not it could be decoded.
// Decoded into kept buffers when `buffers` are given.
std::expected<QImage, Failure> read(const QVariantMap& results, const QStringList& places,
                                    Buffers* buffers = nullptr);
}  // namespace PortalImage
