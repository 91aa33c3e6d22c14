#include "core/recognition/Deskew.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <numbers>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/common/Rounding.h"
#include "core/recognition/Threshold.h"

namespace quorlen {

namespace {

// One destination pixel by the rotation's formula: bilinear weights around the
// nearest source pixel, so the weights are signed (−0.5..0.5) and the second
// neighbour is always the next one, clamped at the source's edge.
// a, b above c, d: the nearest source pixel, its right neighbour, and the
// two below, given as a, b − a, c and d − c.
inline int BilinearValue(double a, double ba, double c, double dc, double fx, double fy) {
    const double upper = fx * ba + a;
    const double lower = fx * dc + c;
    return std::clamp(Round(upper + fy * (lower - upper)), 0, 255);
}

template <class Source>
inline int RotatedValue(const Source& p, int w, int h, double xs, double ys, int ix, int iy) {
    const int ix1 = std::min(ix + 1, w - 1);
    const int iy1 = std::min(iy + 1, h - 1);
    const int a = p(ix, iy), b = p(ix1, iy), c = p(ix, iy1), d = p(ix1, iy1);
    return BilinearValue(a, b - a, c, d - c, xs - ix, ys - iy);
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

// The source a tile reads, one 64-bit word per source row, the window's first
// pixel in the highest bit: a tile's source spans at most 32 · √2 + 3 pixels
// each way at any angle.
struct TSourceWindow {
    static constexpr int kRows = 64;
    int X0 = 0, Y0 = 0;
    uint64_t Rows[kRows];
    // True when no bit is set in columns [x0, x1] of rows [y0, y1].
    bool Clear(const SourceSpan& span) const {
        const uint64_t columns = (~0ull >> (span.X0 - X0)) & (~0ull << (63 - (span.X1 - X0)));
        for (int y = span.Y0; y <= span.Y1; ++y)
            if (Rows[y - Y0] & columns) return false;
        return true;
    }
};

// The source positions of eight pixels of a row and their nearest pixels,
// by the formula of the general path, two at a time: the packed instructions
// are the same IEEE operations in the same order (halving is exact either
// way), and the packed conversion rounds as Round does.
struct TEighth {
    alignas(16) double Xs[8];
    alignas(16) double Ys[8];
    alignas(16) int Ix[8];
    alignas(16) int Iy[8];
    // Pixels x[0..7] of the row ty.
    void Place(const int (&x)[8], int ty, double s, double c) {
#if defined(__SSE2__)
        const __m128d vs = _mm_set1_pd(s), vc = _mm_set1_pd(c), one = _mm_set1_pd(1), half = _mm_set1_pd(0.5);
        const __m128d tys = _mm_set1_pd(ty * s), tyc = _mm_set1_pd(ty * c);
        for (int k = 0; k < 8; k += 4) {
            const __m128d txA = _mm_cvtepi32_pd(_mm_setr_epi32(2 * x[k] + 1, 2 * x[k + 1] + 1, 0, 0));
            const __m128d txB = _mm_cvtepi32_pd(_mm_setr_epi32(2 * x[k + 2] + 1, 2 * x[k + 3] + 1, 0, 0));
            const __m128d xsA = _mm_mul_pd(_mm_sub_pd(_mm_sub_pd(_mm_mul_pd(txA, vc), tys), one), half);
            const __m128d xsB = _mm_mul_pd(_mm_sub_pd(_mm_sub_pd(_mm_mul_pd(txB, vc), tys), one), half);
            const __m128d ysA = _mm_mul_pd(_mm_sub_pd(_mm_add_pd(_mm_mul_pd(txA, vs), tyc), one), half);
            const __m128d ysB = _mm_mul_pd(_mm_sub_pd(_mm_add_pd(_mm_mul_pd(txB, vs), tyc), one), half);
            _mm_store_pd(Xs + k, xsA);
            _mm_store_pd(Xs + k + 2, xsB);
            _mm_store_pd(Ys + k, ysA);
            _mm_store_pd(Ys + k + 2, ysB);
            _mm_store_si128(reinterpret_cast<__m128i*>(Ix + k),
                            _mm_unpacklo_epi64(_mm_cvtpd_epi32(xsA), _mm_cvtpd_epi32(xsB)));
            _mm_store_si128(reinterpret_cast<__m128i*>(Iy + k),
                            _mm_unpacklo_epi64(_mm_cvtpd_epi32(ysA), _mm_cvtpd_epi32(ysB)));
        }
#else
        for (int k = 0; k < 8; ++k) {
            const int tx = 2 * x[k] + 1;
            Xs[k] = (tx * c - ty * s - 1) / 2;
            Ys[k] = (tx * s + ty * c - 1) / 2;
            Ix[k] = Round(Xs[k]);
            Iy[k] = Round(Ys[k]);
        }
#endif
    }
    // The neighbourhoods of pixels i..j: positions move monotonically along
    // a row, so the ends bound those between.
    SourceSpan Bound(int i, int j) const {
        return {std::min(Ix[i], Ix[j]), std::min(Iy[i], Iy[j]), std::max(Ix[i], Ix[j]) + 1, std::max(Iy[i], Iy[j]) + 1};
    }
};

// Two neighbours side by side (left bit high) as the formula takes them: the
// left grey and the step to the right one.
struct TPairs {
    double Left[4], Step[4];
    explicit TPairs(const int grey[2]) {
        for (int i = 0; i < 4; ++i) {
            Left[i] = grey[i >> 1];
            Step[i] = grey[i & 1] - grey[i >> 1];
        }
    }
};

// The common eighth at a small angle: its pixels read one source row pair
// and consecutive columns, so their neighbourhoods are the bits of two bytes
// and the next bit of each. Pixels with neighbours of one colour take that
// colour all at once; only the rest are placed exactly and need the formula.
// False, with nothing written, for any other eighth. The eighth is pixels
// e0.. of row ty whose ends ends.Ix/Iy[first], [first + 1] are; `out` is its
// raster byte.
bool RotateStraightEighth(const TSourceWindow& win, const TEighth& ends, int first, int e0, int n, int ty, double s,
                          double c, const int grey[2], const TPairs& pairs, uint8_t& out) {
    const int ix0 = ends.Ix[first], iy0 = ends.Iy[first];
    if (iy0 != ends.Iy[first + 1] || ends.Ix[first + 1] - ix0 != n - 1) return false;
    const int column = ix0 - win.X0, row = iy0 - win.Y0;
    const uint64_t upper = win.Rows[row] << column, lower = win.Rows[row + 1] << column;
    const unsigned a = static_cast<unsigned>(upper >> 56), b = static_cast<unsigned>(upper << 1 >> 56);
    const unsigned cc = static_cast<unsigned>(lower >> 56), d = static_cast<unsigned>(lower << 1 >> 56);
    const unsigned used = 0xFFu << (8 - n) & 0xFFu;
    unsigned mixed = ((a ^ b) | (a ^ cc) | (a ^ d)) & used;
    unsigned ink = ((IsInk(grey[1]) ? a : 0u) | (IsInk(grey[0]) ? ~a : 0u)) & ~mixed & used;
    while (mixed) {
        const int k = std::countl_zero(static_cast<uint8_t>(mixed));
        const unsigned bit = 0x80u >> k;
        mixed &= ~bit;
        const int shift = 7 - k;
        const unsigned top = (a >> shift & 1) << 1 | (b >> shift & 1);
        const unsigned bottom = (cc >> shift & 1) << 1 | (d >> shift & 1);
        const int tx = 2 * (e0 + k) + 1;
        const double xs = (tx * c - ty * s - 1) / 2;
        const double ys = (tx * s + ty * c - 1) / 2;
        if (IsInk(BilinearValue(pairs.Left[top], pairs.Step[top], pairs.Left[bottom], pairs.Step[bottom],
                                xs - (ix0 + k), ys - iy0)))
            ink |= bit;
    }
    out |= static_cast<uint8_t>(ink);
    return true;
}

// Rotates the pixels x0..x1 × y0..y1 of an inner tile, one whose whole source
// neighbourhood lies on the raster, reading the source from registers rather
// than the packed rows; false (nothing written) for a tile by the edge, which
// the general path makes. Every decision and every value is the general
// path's: the same spans, the same formula, the same pixels.
bool RotateInnerTile(const TMonoBitmap& src, TMonoBitmap& dst, int x0, int x1, int y0, int y1, double s, double c,
                     const int grey[2]) {
    const int w = src.Width(), h = src.Height();
    // Source positions are monotonic in x and y, so the corner rows bound all.
    const SourceSpan top = SpanOf(x0, x1, 2 * y0 + 1, s, c), bottom = SpanOf(x0, x1, 2 * y1 + 1, s, c);
    TSourceWindow win;
    win.X0 = std::min(top.X0, bottom.X0);
    win.Y0 = std::min(top.Y0, bottom.Y0);
    const int wx1 = std::max(top.X1, bottom.X1), wy1 = std::max(top.Y1, bottom.Y1);
    if (win.X0 < 0 || win.Y0 < 0 || wx1 >= w || wy1 >= h || wx1 - win.X0 >= 64 || wy1 - win.Y0 >= TSourceWindow::kRows)
        return false;
    const size_t stride = src.Stride(), firstByte = static_cast<size_t>(win.X0 >> 3);
    const int shift = win.X0 & 7;
    for (int y = win.Y0; y <= wy1; ++y) {
        const uint8_t* row = src.Row(y);
        uint64_t v = 0;
        if (firstByte + 8 <= stride) {
            std::memcpy(&v, row + firstByte, 8);
            v = __builtin_bswap64(v);  // the first byte highest
        } else {
            for (size_t b = firstByte; b < firstByte + 8; ++b) v = v << 8 | (b < stride ? row[b] : 0u);
        }
        const uint64_t next = firstByte + 8 < stride ? row[firstByte + 8] : 0u;
        win.Rows[y - win.Y0] = shift ? v << shift | next >> (8 - shift) : v;
    }
    const bool zeroIsInk = IsInk(grey[0]);
    const TPairs pairs(grey);
    for (int y = y0; y <= y1; ++y) {
        const int ty = 2 * y + 1;
        uint8_t* out = dst.Row(y);
        auto blank = [&](const SourceSpan& span, int a0, int a1) {
            if (!win.Clear(span)) return false;
            if (zeroIsInk)
                for (int x = a0; x <= a1; ++x) out[x >> 3] |= static_cast<uint8_t>(0x80u >> (x & 7));
            return true;
        };
        // The first and last pixel of each eighth, to test the row and its
        // eighths for blank paper before placing every pixel.
        const int eighths = (x1 - x0) / 8 + 1;
        int endX[8];
        for (int j = 0; j < 4; ++j) {
            endX[2 * j] = std::min(x0 + 8 * j, x1);
            endX[2 * j + 1] = std::min(x0 + 8 * j + 7, x1);
        }
        TEighth ends;
        ends.Place(endX, ty, s, c);
        if (blank(ends.Bound(0, 2 * eighths - 1), x0, x1)) continue;
        for (int j = 0; j < eighths; ++j) {
            const int e0 = x0 + 8 * j, n = std::min(8, x1 - e0 + 1);
            if (blank(ends.Bound(2 * j, 2 * j + 1), e0, e0 + n - 1)) continue;
            if (RotateStraightEighth(win, ends, 2 * j, e0, n, ty, s, c, grey, pairs, out[e0 >> 3])) continue;
            TEighth p;
            p.Place({e0, e0 + 1, e0 + 2, e0 + 3, e0 + 4, e0 + 5, e0 + 6, e0 + 7}, ty, s, c);
            for (int k = 0; k < n; ++k) {
                const int ix = p.Ix[k], iy = p.Iy[k];
                // Inside the window, so ix + 1 and iy + 1 need no clamping:
                // the two neighbours of each row sit side by side in its word.
                const int shift = 62 - (ix - win.X0);
                const unsigned four = static_cast<unsigned>(win.Rows[iy - win.Y0] >> shift & 3) << 2 |
                                      static_cast<unsigned>(win.Rows[iy + 1 - win.Y0] >> shift & 3);
                const bool ink =
                    four == 0 || four == 15
                        ? IsInk(grey[four & 1])
                        : IsInk(BilinearValue(pairs.Left[four >> 2], pairs.Step[four >> 2], pairs.Left[four & 3],
                                              pairs.Step[four & 3], p.Xs[k] - ix, p.Ys[k] - iy));
                if (ink) out[(e0 + k) >> 3] |= static_cast<uint8_t>(0x80u >> ((e0 + k) & 7));
            }
        }
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
    source_ = std::move(raster);  // the tiles are made into fresh paper
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
    if (RotateInnerTile(src, raster_, x0, x1, tileY * TileSide, yEnd - 1, s, c, grey)) return;
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
