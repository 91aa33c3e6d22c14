#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/common/MonoBitmap.h"
#include "core/recognition/Threshold.h"

namespace quorlen {

// The whole grey picture of a scan, row-major, one byte per pixel, as the
// decoders hand it over before it is reduced to black and white. A decoder
// that calls RowDone after each row, in order, lets the statistics of the
// reduction be gathered while the row is still in the cache; ReduceScan
// gathers whatever rows were not reported.
class TGreyScan {
public:
    int32_t Width = 0;
    int32_t Height = 0;

    // A picture of that size whose pixels the caller writes, every one: the
    // decoders do, and leaving them unset spares a pass over the picture.
    void Resize(int32_t width, int32_t height);
    uint8_t* Row(int32_t y) { return pixels_.get() + static_cast<size_t>(y) * static_cast<size_t>(Width); }
    const uint8_t* Row(int32_t y) const { return pixels_.get() + static_cast<size_t>(y) * static_cast<size_t>(Width); }
    void RowDone(int32_t y);

private:
    friend void ReduceScan(TGreyScan& grey, TMonoBitmap& raster);
    void PrepareStatistics();
    void Gather();
    std::unique_ptr<uint8_t[]> pixels_;
    int32_t rowsDone_ = 0;
    // Per cell of 4 × 4 pixels: the brightest, the darkest and the mean grey.
    std::vector<uint8_t> cellMax_, cellMin_, cellMean_;
    // Running column statistics of the band of rows being gathered.
    std::vector<uint8_t> colMax_, colMin_;
    std::vector<uint16_t> colSum_;
};

// Bytes a TGreyScan of that size holds: the picture and its statistics, for
// the memory a scan job asks of the raster budget before decoding.
uint64_t GreyScanBytes(int64_t width, int64_t height);

// Reduces a scan to black and white against its own paper. The paper's
// brightness is estimated from cells of 4 × 4 pixels, the brightest within
// reach of each block of 2 × 2 cells (over half a filled box of the sheet),
// so that scanner lighting and the shadow of a spine move the threshold with
// them. A pixel darker than half its paper is ink, exactly as in the
// rotation, where the paper is white. Where cells are grey all over (a box
// filled in pencil; a printed line is thin and leaves paper beside it), the
// threshold of their box rises to kAreaInkPercent of the paper, so that
// graphite is taken whole while thin lines keep their width.
void ReduceScan(TGreyScan& grey, TMonoBitmap& raster);

// The share of the local paper below which a pixel of an area of ink counts
// as ink (lines: kLineInkPercent in Threshold.h).
inline constexpr int kAreaInkPercent = 75;
// A cell of 4 × 4 pixels holds an area of ink when its mean lies below the
// first share of its paper and its darkest pixel above the second: grey all
// over, with neither paper nor a printed line in it.
inline constexpr int kAreaMeanPercent = 85;
inline constexpr int kAreaLightestPercent = 35;
// Paper is never taken darker than this: a page that is dark all over (a
// scanner lid, a black sheet) stays dark rather than be read as paper.
inline constexpr uint8_t kDarkestPaper = 96;

// The threshold at percent of the paper, rounded half up: white paper (255)
// at 50 % gives 128.
inline uint8_t Share(int paper, int percent) { return static_cast<uint8_t>((paper * percent + 50) / 100); }

}  // namespace quorlen
