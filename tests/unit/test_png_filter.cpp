#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include <QRandomGenerator>

#include "Export/PngFilter.h"

namespace {

// The filters as the PNG format defines them, one byte at a time.
int predictor(int type, const std::vector<uchar>& row, const std::vector<uchar>& above, int i,
              int bpp) {
    const int a = i >= bpp ? row[i - bpp] : 0, b = above.empty() ? 0 : above[i];
    switch (type) {
        case PngFilter::sub:
            return a;
        case PngFilter::up:
            return b;
        case PngFilter::average:
            return (a + b) / 2;
        default:
            return 0;
    }
}

std::vector<uchar> reference(int type, const std::vector<uchar>& row,
                             const std::vector<uchar>& above, int bpp) {
    std::vector<uchar> out(row.size());
    for (size_t i = 0; i < row.size(); ++i)
        out[i] = uchar(row[i] - predictor(type, row, above, int(i), bpp));
    return out;
}

long cost(const std::vector<uchar>& filtered) {
    long sum = 0;
    for (uchar v : filtered) sum += std::abs(int(qint8(v)));
    return sum;
}

}  // namespace

TEST(PngFilter, MatchesThePngFormatsFiltersAndPicksTheCheapest) {
    QRandomGenerator random(7);
    for (int bpp : {3, 4}) {
        for (int length : {1, 3, 4, 15, 16, 17, 19, 35, 64, 131, 1000}) {
            for (int trial = 0; trial < 20; ++trial) {
                SCOPED_TRACE(testing::Message()
                             << bpp << " bytes a pixel, " << length << " bytes, trial " << trial);
                // Smooth rows with noise of varying strength, so that each filter wins somewhere.
                std::vector<uchar> row(length), above(length);
                const int noise = 1 + trial * 6;
                for (int i = 0; i < length; ++i) {
                    above[i] = uchar(i * (trial % 5) + random.bounded(noise));
                    row[i] = uchar(above[i] + (trial % 3) * i + random.bounded(noise));
                }
                for (bool first : {true, false}) {
                    const std::vector<uchar> previous = first ? std::vector<uchar>{} : above;
                    std::vector<uchar> out(length + 1);
                    const auto type = PngFilter::filterRow(
                        row.data(), first ? nullptr : above.data(), length, bpp, out.data());
                    ASSERT_EQ(out[0], type);
                    EXPECT_EQ(std::vector<uchar>(out.begin() + 1, out.end()),
                              reference(type, row, previous, bpp));
                    if (first) {
                        EXPECT_EQ(type, PngFilter::sub);
                        continue;
                    }
                    const long chosen = cost(reference(type, row, previous, bpp));
                    for (int other : {PngFilter::sub, PngFilter::up, PngFilter::average})
                        EXPECT_LE(chosen, cost(reference(other, row, previous, bpp)));
                }
            }
        }
    }
}
