#pragma once

#include <optional>

#include <QByteArray>
#include <QImage>

// A PNG writer built for speed on large screenshots: each row read in the PNG's pixel layout and
// filtered as it goes, bands of rows compressed with ISA-L on every core and joined into the one
// zlib stream a PNG holds. Opaque images are written as 8-bit RGB, others as 8-bit RGBA with
// straight alpha. Nothing on a null image.
namespace PngWriter {

// ISA-L's levels, 0 to 3. On a 4K screenshot level 3 costs about 75 ms of processor time, 12
// times less than libpng at zlib's default level, for a file 3.5 % larger; levels 1 and 2 save
// little time for 5 % more. bench_export measures them side by side.
inline constexpr int defaultLevel = 3;

struct Options {
    int level = defaultLevel;
    // Bands compressed in parallel; 0 chooses from the image's size and the cores. Each band
    // starts without the previous one's history, which costs a little size.
    int bands = 0;
};

std::optional<QByteArray> encoded(const QImage& image, Options options = {});

}  // namespace PngWriter
