#include "Platform/Wayland/PortalImage.h"

#include <cmath>
#include <cstring>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include "Platform/Wayland/PortalErrors.h"
#include "Platform/Wayland/PortalPngReader.h"

namespace PortalImage {

QRect layoutOf(const QList<QRect>& outputs) {
    QRect layout;
    for (const QRect& r : outputs) layout = layout.united(r);
    return layout;
}

std::expected<QRect, Failure> pixelRect(QSize image, const QRect& layout, const QRect& area) {
    if (layout.isEmpty() || image.isEmpty())
        return std::unexpected(PortalErrors::failed(QStringLiteral("aucun écran à découper")));
    const double f = double(image.width()) / layout.width();
    // The image is the whole layout at one scale: as tall as that scale makes it, give or take
    // the rounding of one pixel, and never below one image pixel per logical pixel.
    if (f < 1.0 || std::abs(image.height() - layout.height() * f) > std::max(1.0, f))
        return std::unexpected(PortalErrors::failed(
            QStringLiteral("l'image du portail (%1×%2) ne couvre pas les écrans (%3×%4)")
                .arg(image.width())
                .arg(image.height())
                .arg(layout.width())
                .arg(layout.height())));
    const auto at = [](int logical, int origin, double scale, int limit) {
        return std::clamp(int(std::lround((logical - origin) * scale)), 0, limit);
    };
    const int x0 = at(area.x(), layout.x(), f, image.width());
    const int x1 = at(area.x() + area.width(), layout.x(), f, image.width());
    const int y0 = at(area.y(), layout.y(), f, image.height());
    const int y1 = at(area.y() + area.height(), layout.y(), f, image.height());
    if (x1 <= x0 || y1 <= y0)
        return std::unexpected(PortalErrors::failed(QStringLiteral("l'écran est hors de l'image")));
    return QRect(x0, y0, x1 - x0, y1 - y0);
}

std::expected<QImage, Failure> crop(const QImage& desktop, const QRect& layout, const QRect& area,
                                    QSize pixelSize, Buffers* buffers) {
    const auto part = pixelRect(desktop.size(), layout, area);
    if (!part) return std::unexpected(part.error());
    // Qt draws at a whole device pixel ratio; a display shown at another scale is resampled
    // to the pixels the overlay draws.
    const bool resampled = pixelSize.isValid() && part->size() != pixelSize;
    QImage image;
    if (buffers && !resampled && desktop.format() == QImage::Format_RGB32) {
        const qsizetype rowBytes = qsizetype(part->width()) * 4;
        image = buffers->images.fill(part->size(), [&](uchar* bits, qsizetype stride) {
            for (int y = 0; y < part->height(); ++y)
                std::memcpy(bits + y * stride,
                            desktop.constScanLine(part->y() + y) + qsizetype(part->x()) * 4,
                            size_t(rowBytes));
        });
    } else if (resampled && desktop.format() == QImage::Format_RGB32) {
        // Scaled from a view of the part: no copy of it at the size it has in the desktop.
        const QImage view(desktop.constScanLine(part->y()) + qsizetype(part->x()) * 4,
                          part->width(), part->height(), desktop.bytesPerLine(),
                          QImage::Format_RGB32);
        image = view.scaled(pixelSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    } else {
        image = desktop.copy(*part).convertToFormat(QImage::Format_RGB32);
        if (resampled)
            image = image.scaled(pixelSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    if (image.isNull())
        return std::unexpected(
            PortalErrors::failed(QStringLiteral("mémoire insuffisante pour l'image de l'écran")));
    return image;
}

QStringList temporaryPlaces(const QProcessEnvironment& environment) {
    QStringList places{QStringLiteral("/tmp"), QDir::tempPath()};
    if (const QString runtime = environment.value("XDG_RUNTIME_DIR"); !runtime.isEmpty())
        places << runtime;
    const QString cache = environment.value("XDG_CACHE_HOME");
    places << (cache.isEmpty() ? QDir::homePath() + QStringLiteral("/.cache") : cache);
    return places;
}

bool isInTemporaryPlace(const QString& path, const QStringList& places) {
    // Compared on real paths, so that a link cannot make a user's file look temporary.
    const QString real = QFileInfo(QFileInfo(path).absolutePath()).canonicalFilePath();
    if (real.isEmpty()) return false;
    for (const QString& place : places) {
        const QString root = QFileInfo(place).canonicalFilePath();
        if (!root.isEmpty() && (real == root || real.startsWith(root + QLatin1Char('/'))))
            return true;
    }
    return false;
}

namespace {

// The portals' usual PNG straight into 32-bit RGB, in kept memory where there is some; any
// other PNG through Qt.
QImage decode(const QByteArray& png, Buffers* buffers) {
    if (const auto size = PortalPngReader::handledSize(png)) {
        if (!buffers) return PortalPngReader::read(png).value_or(QImage());
        bool decoded = false;
        QImage image = buffers->images.fill(*size, [&](uchar* bits, qsizetype stride) {
            decoded = PortalPngReader::decode(png, buffers->inflated, bits, stride);
        });
        return decoded ? image : QImage();
    }
    return QImage::fromData(png, "PNG");
}

}  // namespace

std::expected<QImage, Failure> read(const QVariantMap& results, const QStringList& places,
                                    Buffers* buffers) {
    const QString uri = results.value(QStringLiteral("uri")).toString();
    if (uri.isEmpty())
        return std::unexpected(
            PortalErrors::failed(QStringLiteral("le portail n'a donné aucun fichier")));
    const QUrl url(uri, QUrl::StrictMode);
    if (!url.isValid() || !url.isLocalFile())
        return std::unexpected(PortalErrors::failed(
            QStringLiteral("le portail a donné une adresse qui n'est pas un fichier (%1)")
                .arg(uri)));
    const QString path = url.toLocalFile();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::unexpected(PortalErrors::failed(
            QStringLiteral("le fichier du portail est illisible (%1)").arg(file.errorString())));
    const QByteArray bytes = file.readAll();
    file.close();
    if (isInTemporaryPlace(path, places)) QFile::remove(path);
    static const QByteArray pngSignature("\x89PNG\r\n\x1a\n", 8);
    QImage image;
    if (bytes.startsWith(pngSignature)) image = decode(bytes, buffers);
    if (image.isNull())
        return std::unexpected(
            PortalErrors::failed(QStringLiteral("le fichier du portail n'est pas une image PNG")));
    return image;
}

}  // namespace PortalImage
