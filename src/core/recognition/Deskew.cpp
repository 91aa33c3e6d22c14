#include "core/recognition/Deskew.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/common/Rounding.h"
#include "core/recognition/Threshold.h"

namespace quorlen {

namespace {

// One destination pixel by the rotation's formula: bilinear weights around the
// nearest source pixel, so the weights are signed (−0.5..0.5) and the second
// neighbour is always the next one, clamped at the source's edge.
template <class Source>
inline int RotatedValue(const Source& p, int w, int h, double xs, double ys, int ix, int iy) {
    const double fx = xs - ix;
    const double fy = ys - iy;
    const int ix1 = std::min(ix + 1, w - 1);
    const int iy1 = std::min(iy + 1, h - 1);
    const int a = p(ix, iy), b = p(ix1, iy), c = p(ix, iy1), d = p(ix1, iy1);
    const double upper = fx * (b - a) + a;
    const double lower = fx * (d - c) + c;
    return std::clamp(Round(upper + fy * (lower - upper)), 0, 255);
}

// floor and ceil without a library call on the baseline x86-64 target; the
// block bounds need no more than that.
inline int FloorInt(double v) {
    const int i = static_cast<int>(v);
    return i - (i > v);
}
inline int CeilInt(double v) {
    const int i = static_cast<int>(v);
    return i + (i < v);
}

// The source rectangle that the destination pixels x0..x1 of row ty can
// read: their positions lie on a straight segment, so its ends bound them;
// Round lands on the floor or the ceiling, and the second neighbour adds one
// more pixel. kSlack absorbs the last-bit difference between a pixel's own
// position and the segment.
struct SourceSpan {
    int X0, Y0, X1, Y1;
};
inline SourceSpan SpanOf(int x0, int x1, int ty, double s, double c) {
    constexpr double kSlack = 1e-6;
    const double xsA = ((2 * x0 + 1) * c - ty * s - 1) / 2, ysA = ((2 * x0 + 1) * s + ty * c - 1) / 2;
    const double xsB = ((2 * x1 + 1) * c - ty * s - 1) / 2, ysB = ((2 * x1 + 1) * s + ty * c - 1) / 2;
    return {FloorInt(std::min(xsA, xsB) - kSlack), FloorInt(std::min(ysA, ysB) - kSlack),
            CeilInt(std::max(xsA, xsB) + kSlack) + 1, CeilInt(std::max(ysA, ysB) + kSlack) + 1};
}

// True when no bit is set in columns [x0, x1] of rows [y0, y1] (all inside).
bool RegionClear(const TMonoBitmap& r, int x0, int y0, int x1, int y1) {
    const int b0 = x0 >> 3, b1 = x1 >> 3;
    const uint8_t firstMask = static_cast<uint8_t>(0xFFu >> (x0 & 7));
    const uint8_t lastMask = static_cast<uint8_t>(0xFF00u >> ((x1 & 7) + 1));
    for (int y = y0; y <= y1; ++y) {
        const uint8_t* row = r.Row(y);
        if (b0 == b1) {
            if (row[b0] & firstMask & lastMask) return false;
            continue;
        }
        if (row[b0] & firstMask) return false;
        for (int b = b0 + 1; b < b1; ++b)
            if (row[b]) return false;
        if (row[b1] & lastMask) return false;
    }
    return true;
}

}  // namespace

void RotateImage(const TGrayImage& src, TGrayImage& dst, int cx, int cy, double angleDegrees) {
    if (!std::isfinite(angleDegrees)) return;
    const double theta = -angleDegrees * std::numbers::pi / 180.0;
    const double s = std::sin(theta), c = std::cos(theta);
    const int dx = (dst.Width - src.Width) / 2;
    const int dy = (dst.Height - src.Height) / 2;
    auto pixel = [&](int x, int y) { return static_cast<int>(src.At(x, y)); };
    for (int y = 0; y < dst.Height; ++y) {
        const int ty = 2 * (y - cy) + 1;
        for (int x = 0; x < dst.Width; ++x) {
            const int tx = 2 * (x - cx) + 1;
            const double xs = (tx * c - ty * s - 1) / 2 + cx - dx;
            const double ys = (tx * s + ty * c - 1) / 2 + cy - dy;
            const int ix = Round(xs), iy = Round(ys);
            if (ix < 0 || ix >= src.Width || iy < 0 || iy >= src.Height) continue;
            dst.At(x, y) = static_cast<uint8_t>(RotatedValue(pixel, src.Width, src.Height, xs, ys, ix, iy));
        }
    }
}

// The raster is black and white, so the three equal channels of a colour
// working image reduce to one grey value per palette entry, and the rotation
// can read the packed bits directly. Blocks of destination pixels whose source
// neighbourhood is blank paper take the paper's value without arithmetic;
// the rest follow the formula pixel by pixel, so the result is identical.
// Every pixel depends on the source alone, so any region may be rotated on
// its own and gives exactly the pixels a rotation of the whole would.
TDeskewTiles::TDeskewTiles(TMonoBitmap& raster, double angleDegrees) : raster_(raster) {
    // A non-finite angle (a corrupt stored geometry) would make every source
    // position NaN, whose conversion to an integer is undefined: leave the raster.
    if (angleDegrees == 0 || !std::isfinite(angleDegrees) || raster.Empty()) return;
    const int w = raster.Width(), h = raster.Height();
    source_ = raster;
    const TMonoBitmap& src = source_;
    grey_[0] =
        Luminance(static_cast<int>(src.PaletteColor(0) >> 16 & 0xFF), static_cast<int>(src.PaletteColor(0) >> 8 & 0xFF),
                  static_cast<int>(src.PaletteColor(0) & 0xFF));
    grey_[1] =
        Luminance(static_cast<int>(src.PaletteColor(1) >> 16 & 0xFF), static_cast<int>(src.PaletteColor(1) >> 8 & 0xFF),
                  static_cast<int>(src.PaletteColor(1) & 0xFF));
    const double theta = -angleDegrees * std::numbers::pi / 180.0;
    sin_ = std::sin(theta);
    cos_ = std::cos(theta);
    raster.Resize(w, h);
    tilesX_ = (w + TileSide - 1) / TileSide;
    tilesY_ = (h + TileSide - 1) / TileSide;
    made_.assign(static_cast<size_t>(tilesX_) * static_cast<size_t>(tilesY_), 0);
    active_ = true;
}

void TDeskewTiles::MakeRect(int x0, int y0, int x1, int y1) {
    if (!active_) return;
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, raster_.Width() - 1);
    y1 = std::min(y1, raster_.Height() - 1);
    for (int ty = y0 / TileSide; ty <= y1 / TileSide; ++ty)
        for (int tx = x0 / TileSide; tx <= x1 / TileSide; ++tx) MakeTile(tx, ty);
}

void TDeskewTiles::MakeTile(int tileX, int tileY) {
    uint8_t& made = made_[static_cast<size_t>(tileY) * static_cast<size_t>(tilesX_) + static_cast<size_t>(tileX)];
    if (made) return;
    made = 1;
    const TMonoBitmap& src = source_;
    const int w = src.Width(), h = src.Height();
    const double s = sin_, c = cos_;
    const int* grey = grey_;
    auto pixel = [&](int x, int y) { return grey[src.Bit(x, y)]; };
    const bool zeroIsInk = IsInk(grey[0]);
    const int x0 = tileX * TileSide, x1 = std::min(x0 + TileSide, w) - 1;
    const int yEnd = std::min((tileY + 1) * TileSide, h);
    for (int y = tileY * TileSide; y < yEnd; ++y) {
        const int ty = 2 * y + 1;
        uint8_t* out = raster_.Row(y);
        // Pixels a0..a1 of this row whose whole source neighbourhood is blank
        // paper take its value at once; false when some ink lies near.
        auto blank = [&](int a0, int a1) {
            const SourceSpan span = SpanOf(a0, a1, ty, s, c);
            if (span.X0 < 0 || span.Y0 < 0 || span.X1 >= w || span.Y1 >= h ||
                !RegionClear(src, span.X0, span.Y0, span.X1, span.Y1))
                return false;
            if (zeroIsInk)
                for (int x = a0; x <= a1; ++x) out[x >> 3] |= static_cast<uint8_t>(0x80u >> (x & 7));
            return true;
        };
        if (blank(x0, x1)) continue;
        // Inked block: look again in eighths, most of which are still blank.
        for (int e0 = x0; e0 <= x1; e0 += 8) {
            const int e1 = std::min(e0 + 7, x1);
            if (blank(e0, e1)) continue;
            for (int x = e0; x <= e1; ++x) {
                const int tx = 2 * x + 1;
                const double xs = (tx * c - ty * s - 1) / 2;
                const double ys = (tx * s + ty * c - 1) / 2;
                const int ix = Round(xs), iy = Round(ys);
                bool ink;
                if (ix < 0 || ix >= w || iy < 0 || iy >= h) {
                    ink = IsInk(grey[src.Bit(std::clamp(ix, 0, w - 1), std::clamp(iy, 0, h - 1))]);
                } else {
                    // Four neighbours of one colour give that colour exactly.
                    const int ix1 = std::min(ix + 1, w - 1), iy1 = std::min(iy + 1, h - 1);
                    const int b = src.Bit(ix, iy);
                    if (b == src.Bit(ix1, iy) && b == src.Bit(ix, iy1) && b == src.Bit(ix1, iy1))
                        ink = IsInk(grey[b]);
                    else
                        ink = IsInk(RotatedValue(pixel, w, h, xs, ys, ix, iy));
                }
                if (ink) out[x >> 3] |= static_cast<uint8_t>(0x80u >> (x & 7));
            }
        }
    }
}

int TDeskewTiles::TilesMade() const {
    int n = 0;
    for (uint8_t m : made_) n += m;
    return n;
}

void Deskew(TMonoBitmap& raster, double angleDegrees) {
    TDeskewTiles tiles(raster, angleDegrees);
    tiles.MakeAll();
}

}  // namespace quorlen
