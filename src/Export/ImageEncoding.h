#pragma once

#include <expected>
#include <functional>

#include <QByteArray>
#include <QImage>
#include <QString>

#include "Base/AnyError.h"

// Encodes an image as a MIME type ("image/png", "image/tiff"), failing with a typed error. The
// exporters take one so tests can make encoding fail; the standard one is ImageEncoder's.
using ImageEncoding =
    std::function<std::expected<QByteArray, AnyError>(const QImage& image, const QString& type)>;

ImageEncoding standardImageEncoding();
