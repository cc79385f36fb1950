#pragma once

#include <optional>

#include <QByteArray>
#include <QImage>

// An uncompressed baseline TIFF in one strip, written straight into a buffer of its final size:
// 8-bit RGB for opaque images, else 8-bit RGBA with associated (premultiplied) alpha. Nothing on
// a null image or one too large for the format's 32-bit offsets.
namespace TiffWriter {

std::optional<QByteArray> encoded(const QImage& image);

}  // namespace TiffWriter
