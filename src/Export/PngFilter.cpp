#include "Export/PngFilter.h"

#include <cstdlib>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

struct Sums {
    quint64 sub = 0, up = 0, average = 0;
};

inline unsigned magnitude(uchar filtered) {
    return unsigned(std::abs(int(qint8(filtered))));
}
inline uchar floorAverage(uchar a, uchar b) {
    return uchar((unsigned(a) + b) >> 1);
}

#ifdef __SSE2__
// |signed byte| as an unsigned byte: the smaller of d and -d.
inline __m128i magnitudes(__m128i d) {
    return _mm_min_epu8(d, _mm_sub_epi8(_mm_setzero_si128(), d));
}
// (a + b) >> 1 without overflow: pavgb rounds up, so take one off where a + b is odd.
inline __m128i floorAverages(__m128i a, __m128i b) {
    const __m128i odd = _mm_and_si128(_mm_xor_si128(a, b), _mm_set1_epi8(1));
    return _mm_sub_epi8(_mm_avg_epu8(a, b), odd);
}
inline __m128i load(const uchar* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline quint64 total(__m128i sad) {
    return quint64(_mm_cvtsi128_si64(sad)) + quint64(_mm_cvtsi128_si64(_mm_srli_si128(sad, 8)));
}
#endif

// Bytes [from, length) of a row that has a full pixel to its left.
Sums sumsWithLeft(const uchar* row, const uchar* above, int from, int length, int bpp) {
    Sums s;
    int i = from;
#ifdef __SSE2__
    __m128i sub = _mm_setzero_si128(), up = sub, average = sub;
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= length; i += 16) {
        const __m128i x = load(row + i), a = load(row + i - bpp), b = load(above + i);
        sub = _mm_add_epi64(sub, _mm_sad_epu8(magnitudes(_mm_sub_epi8(x, a)), zero));
        up = _mm_add_epi64(up, _mm_sad_epu8(magnitudes(_mm_sub_epi8(x, b)), zero));
        average = _mm_add_epi64(
            average, _mm_sad_epu8(magnitudes(_mm_sub_epi8(x, floorAverages(a, b))), zero));
    }
    s.sub = total(sub), s.up = total(up), s.average = total(average);
#endif
    for (; i < length; ++i) {
        s.sub += magnitude(uchar(row[i] - row[i - bpp]));
        s.up += magnitude(uchar(row[i] - above[i]));
        s.average += magnitude(uchar(row[i] - floorAverage(row[i - bpp], above[i])));
    }
    return s;
}

Sums candidateSums(const uchar* row, const uchar* above, int length, int bpp) {
    const int head = bpp < length ? bpp : length;
    Sums s = sumsWithLeft(row, above, head, length, bpp);
    for (int i = 0; i < head; ++i) {
        s.sub += magnitude(row[i]);
        s.up += magnitude(uchar(row[i] - above[i]));
        s.average += magnitude(uchar(row[i] - (above[i] >> 1)));
    }
    return s;
}

void writeAverage(const uchar* row, const uchar* above, int length, int bpp, uchar* out) {
    const int head = bpp < length ? bpp : length;
    for (int i = 0; i < head; ++i) out[i] = uchar(row[i] - (above[i] >> 1));
    int i = head;
#ifdef __SSE2__
    for (; i + 16 <= length; i += 16) {
        const __m128i x = load(row + i), a = load(row + i - bpp), b = load(above + i);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_sub_epi8(x, floorAverages(a, b)));
    }
#endif
    for (; i < length; ++i) out[i] = uchar(row[i] - floorAverage(row[i - bpp], above[i]));
}

void write(PngFilter::Type type, const uchar* row, const uchar* above, int length, int bpp,
           uchar* out) {
    using namespace PngFilter;
    const int head = bpp < length ? bpp : length;
    switch (type) {
        case sub:
            std::memcpy(out, row, size_t(head));
            for (int i = head; i < length; ++i) out[i] = uchar(row[i] - row[i - bpp]);
            return;
        case up:
            for (int i = 0; i < length; ++i) out[i] = uchar(row[i] - above[i]);
            return;
        case average:
            writeAverage(row, above, length, bpp, out);
            return;
    }
}

}  // namespace

PngFilter::Type PngFilter::filterRow(const uchar* row, const uchar* previous, int length,
                                     int pixelBytes, uchar* out) {
    Type type = sub;
    if (previous) {
        const Sums s = candidateSums(row, previous, length, pixelBytes);
        if (s.up < s.sub) type = up;
        if (s.average < (type == up ? s.up : s.sub)) type = average;
    }
    // Nothing above the first row: Up would be no filter at all.
    out[0] = type;
    write(type, row, previous, length, pixelBytes, out + 1);
    return type;
}
