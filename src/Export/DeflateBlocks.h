#pragma once

#include <optional>

#include <QtGlobal>

// Reads the block structure of a raw deflate stream without producing its output, to join
// streams compressed separately: the last block's header must become non-final, and the next
// stream must start where this one's last end-of-block code ends.
namespace DeflateBlocks {

struct End {
    qint64 lastHeaderBit = 0;  // bit offset of the final block's header (its BFINAL bit)
    qint64 endBit = 0;         // bit offset just after that block's end-of-block code
};

// Nothing when the bytes are not one complete, well-formed deflate stream.
std::optional<End> findEnd(const uchar* data, qsizetype size);

// Turns a complete stream ending as `end` says into a non-final one that ends on a byte boundary
// (an empty stored block), so that another raw stream can follow it directly. Writes up to 5
// bytes past the stream's original size; returns the new size.
qsizetype makeJoinable(uchar* data, End end);

}  // namespace DeflateBlocks
