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
    virtual ~Exporter() = default;
    virtual QFuture<ExportOutcome> exportImage(QImage image) = 0;
};
