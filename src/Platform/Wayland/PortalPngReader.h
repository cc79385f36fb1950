#pragma once

#include <optional>

#include <QByteArray>
#include <QImage>

// The screenshot portals' PNG (8-bit RGB or RGBA, not interlaced: what grim, and so the wlr
// portal, writes) read straight into the overlays' format, opaque 32-bit RGB: libdeflate
// inflates the whole image at once and each row is unfiltered and converted in one pass. Qt's
// reader takes about three times as long for a desktop-sized image, and its 32-bit ARGB result
// is converted again afterwards.
namespace PortalPngReader {

// The size of an image this reader handles; nothing for any other kind of PNG (Qt's reader then
// decides).
std::optional<QSize> handledSize(const QByteArray& png);
// Decodes into `bits`, opaque 32-bit RGB rows `stride` bytes apart, of the size handledSize
// gave. `inflated` holds the inflated rows; the caller keeps it, so that its pages, touched
// once, serve again. False when the file is damaged.
bool decode(const QByteArray& png, QByteArray& inflated, uchar* bits, qsizetype stride);
// Both in one, into a new image.
std::optional<QImage> read(const QByteArray& png);

}  // namespace PortalPngReader
