#pragma once

#include <expected>

#include <QFuture>
#include <QImage>

#include "Base/AnyError.h"

using ExportOutcome = std::expected<void, AnyError>;

// A way of delivering a finished image (a file, the clipboard). The future finishes once the
// image is delivered or has failed with its typed error.
class Exporter {
public:
    using PendingImage = QFuture<std::expected<QImage, AnyError>>;

    virtual ~Exporter() = default;
    virtual QFuture<ExportOutcome> exportImage(QImage image) = 0;
    // Delivers an image still being made, failing with its error if making it fails. The
    // default waits for the image, then exports it.
    virtual QFuture<ExportOutcome> exportPending(PendingImage image);
};
