#include "Export/ImageEncoding.h"

#include "Export/ImageEncoder.h"

ImageEncoding standardImageEncoding() {
    return [](const QImage& image, const QString& type) -> std::expected<QByteArray, AnyError> {
        auto bytes = ImageEncoder::data(image, type);
        if (!bytes) return std::unexpected(AnyError(bytes.error()));
        return std::move(*bytes);
    };
}
