#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/common/MonoBitmap.h"
#include "core/recognition/Threshold.h"

namespace quorlen {

// The whole grey picture of a scan, row-major, one byte per pixel: for a
// decoder whose rows arrive out of order (run-length BMP, bottom-up with
// skips). Decoders that deliver rows in order stream them through
// TScanReduction instead and never hold the picture.
class TGreyScan {
public:
    int32_t Width = 0;
    int32_t Height = 0;

    // A picture of that size whose pixels the caller writes, every one.
    void Resize(int32_t width, int32_t height);
    uint8_t* Row(int32_t y) { return pixels_.get() + static_cast<size_t>(y) * static_cast<size_t>(Width); }
    const uint8_t* Row(int32_t y) const { return pixels_.get() + static_cast<size_t>(y) * static_cast<size_t>(Width); }

private:
    std::unique_ptr<uint8_t[]> pixels_;
};

// The reduction below, fed one row at a time in order: only a band of grey
// rows is alive (the paper of a row depends on the cells within a few dozen
// rows of it), and each band is written to the raster as soon as everything
// that decides its threshold has been seen. The raster is exactly what the
// reduction of the whole picture gives.
class TScanReduction {
public:
    // Sizes raster to width × height (all paper); the rows then fill it.
    TScanReduction(int32_t width, int32_t height, TMonoBitmap& raster);
    ~TScanReduction();
    TScanReduction(const TScanReduction&) = delete;
    TScanReduction& operator=(const TScanReduction&) = delete;

    // Where row y is to be written: valid until RowDone(y).
    uint8_t* Row(int32_t y) { return rows_.get() + static_cast<size_t>(y % ringRows_) * static_cast<size_t>(width_); }
    // Row y is written. Rows are done in order, each once; any other call is
    // ignored. After the last row the raster is complete.
    void RowDone(int32_t y) { Take(y, Row(y)); }
    bool Complete() const;

private:
    struct TState;
    friend void ReduceScan(TGreyScan& grey, TMonoBitmap& raster);
    TScanReduction(int32_t width, int32_t height, TMonoBitmap& raster, const uint8_t* picture);
    void Take(int32_t y, const uint8_t* grey);

    int32_t width_ = 0;
    int32_t ringRows_ = 1;
    std::unique_ptr<uint8_t[]> rows_;
    std::unique_ptr<TState> state_;
};

// Bytes a TScanReduction of that size holds: the band of rows and the
// statistics, for the memory a scan job asks of the raster budget before
// decoding (the raster itself is counted apart).
uint64_t ReductionBytes(int64_t width, int64_t height);
// Bytes of a TGreyScan of that size and its reduction by ReduceScan.
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
