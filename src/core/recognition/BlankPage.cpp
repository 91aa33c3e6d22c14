// Whole bytes are counted: the middle's left and right edges are rounded to
// byte boundaries, a few pixels of a margin that is a tenth of the page.
#include "core/recognition/BlankPage.h"

#include <bit>

namespace quorlen {

double InkShareInside(const TMonoBitmap& raster) {
    if (raster.Empty()) return 0;
    const int ink = raster.InkBit();
    if (ink < 0) return 0;  // a palette without black holds no ink
    const int32_t y0 = raster.Height() / 10, y1 = raster.Height() - raster.Height() / 10;
    const size_t b0 = static_cast<size_t>(raster.Width() / 10) / 8;
    const size_t b1 = static_cast<size_t>(raster.Width() - raster.Width() / 10) / 8;
    if (y1 <= y0 || b1 <= b0) return 0;
    uint64_t count = 0;
    for (int32_t y = y0; y < y1; ++y) {
        const uint8_t* row = raster.Row(y);
        for (size_t b = b0; b < b1; ++b) count += static_cast<unsigned>(std::popcount(row[b]));
    }
    const uint64_t total = static_cast<uint64_t>(y1 - y0) * (b1 - b0) * 8;
    // With ink as bit 0 the zeros are the ink.
    if (ink == 0) count = total - count;
    return static_cast<double>(count) / static_cast<double>(total);
}

bool IsBlankPage(const TMonoBitmap& raster) { return InkShareInside(raster) < BlankPageInkShare; }

}  // namespace quorlen
