#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

#include "core/common/MonoBitmap.h"
#include "core/common/Rounding.h"
#include "core/recognition/Deskew.h"
#include "core/recognition/Threshold.h"

using namespace quorlen;

namespace {

// The rotation written out plainly on a three-channel image, to hold the fast
// one-bit version to.
struct Rgb {
    int W, H;
    std::vector<std::array<int, 3>> P;
    Rgb(int w, int h) : W(w), H(h), P(static_cast<size_t>(w * h), {255, 255, 255}) {}
    std::array<int, 3>& At(int x, int y) { return P[static_cast<size_t>(y * W + x)]; }
};

// Outside the source, RotateImage leaves the destination as it was, while the
// scan's rotation carries on the source's nearest edge pixel (edgeOutside).
void ReferenceRotate(Rgb& src, Rgb& dst, int cx, int cy, double angle, bool edgeOutside = false) {
    const double theta = -angle * std::numbers::pi / 180;
    const double s = std::sin(theta), c = std::cos(theta);
    const int dx = (dst.W - src.W) / 2, dy = (dst.H - src.H) / 2;
    for (int y = 0; y < dst.H; ++y)
        for (int x = 0; x < dst.W; ++x) {
            const int tx = 2 * (x - cx) + 1, ty = 2 * (y - cy) + 1;
            const double xs = (tx * c - ty * s - 1) / 2 + cx - dx;
            const double ys = (tx * s + ty * c - 1) / 2 + cy - dy;
            const int ix = static_cast<int>(std::nearbyint(xs)), iy = static_cast<int>(std::nearbyint(ys));
            if (ix < 0 || ix >= src.W || iy < 0 || iy >= src.H) {
                if (edgeOutside) dst.At(x, y) = src.At(std::clamp(ix, 0, src.W - 1), std::clamp(iy, 0, src.H - 1));
                continue;
            }
            const double fx = xs - ix, fy = ys - iy;
            const int ix1 = std::clamp(ix + 1, 0, src.W - 1), iy1 = std::clamp(iy + 1, 0, src.H - 1);
            for (int k = 0; k < 3; ++k) {
                const double upper = fx * (src.At(ix1, iy)[k] - src.At(ix, iy)[k]) + src.At(ix, iy)[k];
                const double lower = fx * (src.At(ix1, iy1)[k] - src.At(ix, iy1)[k]) + src.At(ix, iy1)[k];
                dst.At(x, y)[k] = std::clamp(static_cast<int>(std::nearbyint(upper + fy * (lower - upper))), 0, 255);
            }
        }
}

TMonoBitmap ReferenceDeskew(const TMonoBitmap& raster, double angle) {
    Rgb s(raster.Width(), raster.Height()), d(raster.Width(), raster.Height());
    for (int y = 0; y < raster.Height(); ++y)
        for (int x = 0; x < raster.Width(); ++x) {
            const uint32_t c = raster.Pixel(x, y);
            s.At(x, y) = {static_cast<int>(c >> 16 & 255), static_cast<int>(c >> 8 & 255), static_cast<int>(c & 255)};
        }
    ReferenceRotate(s, d, 0, 0, angle, true);
    TMonoBitmap out(raster.Width(), raster.Height());
    for (int y = 0; y < out.Height(); ++y)
        for (int x = 0; x < out.Width(); ++x) {
            const auto& p = d.At(x, y);
            out.SetPixel(x, y, IsInk(Luminance(p[0], p[1], p[2])));
        }
    return out;
}

// Sheet-like content: sparse lines, boxes and blobs on white, plus noise.
TMonoBitmap RandomRaster(int w, int h, std::mt19937& rng) {
    TMonoBitmap r(w, h);
    std::uniform_int_distribution<int> X(0, w - 1), Y(0, h - 1), L(1, 40);
    r.FrameRect(0, 0, w, h, true);
    for (int i = 0; i < (w * h) / 300; ++i) {
        const int x = X(rng), y = Y(rng);
        switch (rng() % 4) {
            case 0:
                r.FillRect(x, y, x + L(rng), y + 1, true);
                break;
            case 1:
                r.FillRect(x, y, x + 1, y + L(rng), true);
                break;
            case 2:
                r.FrameRect(x, y, x + 10, y + 10, true);
                break;
            default:
                r.FillRect(x, y, x + 3, y + 2, true);
                break;
        }
    }
    for (int i = 0; i < (w * h) / 50; ++i) r.SetPixel(X(rng), Y(rng), true);
    return r;
}

void ExpectIdentical(const TMonoBitmap& a, const TMonoBitmap& b, const std::string& what) {
    ASSERT_EQ(a.Width(), b.Width());
    ASSERT_EQ(a.Height(), b.Height());
    int differences = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x) differences += a.IsBlack(x, y) != b.IsBlack(x, y);
    EXPECT_EQ(differences, 0) << what;
}

}  // namespace

TEST(Deskew, MatchesThePlainThreeChannelRotationPixelForPixel) {
    std::mt19937 rng(2024);
    std::uniform_real_distribution<double> smallAngle(-3, 3);
    const std::array<std::pair<int, int>, 5> sizes = {{{64, 64}, {333, 201}, {129, 517}, {8, 300}, {500, 71}}};
    for (auto [w, h] : sizes) {
        for (int i = 0; i < 4; ++i) {
            const double angle = smallAngle(rng);
            TMonoBitmap r = RandomRaster(w, h, rng);
            TMonoBitmap fast = r;
            Deskew(fast, angle);
            ExpectIdentical(fast, ReferenceDeskew(r, angle),
                            std::to_string(w) + "x" + std::to_string(h) + " at " + std::to_string(angle));
        }
    }
    for (double angle : {30.0, 90.0, -135.0, 180.0, 0.5, -0.5, 1e-7}) {
        TMonoBitmap r = RandomRaster(211, 187, rng);
        TMonoBitmap fast = r;
        Deskew(fast, angle);
        ExpectIdentical(fast, ReferenceDeskew(r, angle), "angle " + std::to_string(angle));
    }
}

TEST(Deskew, InvertedPaletteGivesTheSameColours) {
    std::mt19937 rng(7);
    TMonoBitmap r = RandomRaster(150, 90, rng);
    TMonoBitmap inverted = r;
    for (auto& b : inverted.Bits()) b = static_cast<uint8_t>(~b);
    inverted.SetPalette(TMonoBitmap::Black, TMonoBitmap::White);
    Deskew(r, 1.7);
    Deskew(inverted, 1.7);
    ExpectIdentical(r, inverted, "inverted palette");
}

TEST(Deskew, NonFiniteAnglesLeaveTheRasterUnchanged) {
    std::mt19937 rng(5);
    TMonoBitmap r = RandomRaster(77, 41, rng);
    for (double angle : {std::nan(""), static_cast<double>(INFINITY), -static_cast<double>(INFINITY)}) {
        TMonoBitmap copy = r;
        Deskew(copy, angle);
        EXPECT_TRUE(copy == r);
    }
}

TEST(Deskew, AngleZeroLeavesTheRasterUnchanged) {
    std::mt19937 rng(3);
    TMonoBitmap r = RandomRaster(97, 61, rng);
    TMonoBitmap copy = r;
    Deskew(copy, 0);
    EXPECT_TRUE(copy == r);
    ExpectIdentical(ReferenceDeskew(r, 0), r, "formula at 0");
}

TEST(Deskew, TurnsAboutTheOuterTopLeftCornerWithTheEdgeOutside) {
    TMonoBitmap r(200, 200);
    r.SetPixel(1, 1, true);
    r.FillRect(150, 100, 152, 102, true);
    Deskew(r, 90);
    // A quarter turn about the outer corner of pixel (0, 0) carries the whole
    // raster off itself: only its edge comes in, here white paper.
    int black = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x) black += r.IsBlack(x, y);
    EXPECT_EQ(black, 0);

    TMonoBitmap line(400, 400);
    line.FillRect(300, 10, 302, 390, true);
    Deskew(line, 2);
    // A positive angle turns the content back anticlockwise: the bottom moves
    // left, the top hardly at all.
    int topX = -1, bottomX = -1;
    for (int x = 0; x < 400; ++x) {
        if (topX < 0 && line.IsBlack(x, 20)) topX = x;
        if (bottomX < 0 && line.IsBlack(x, 380)) bottomX = x;
    }
    EXPECT_NEAR(topX - bottomX, static_cast<int>(360 * std::tan(2 * std::numbers::pi / 180)), 2);
    EXPECT_NEAR(topX, 300 - static_cast<int>(20 * std::tan(2 * std::numbers::pi / 180)), 2);
}

// What the turn brings in from beyond the scan continues the scan's own edge:
// a scanner's dark border stays a border up to the picture's edge, where
// white would put paper outside it and stop the corner search on the border.
TEST(Deskew, BeyondTheScanTheDarkBorderGoesOn) {
    TMonoBitmap r(300, 400);
    r.FillRect(0, 0, 12, 400, true);   // the scanner's border along the left edge
    r.FillRect(40, 20, 42, 380, true);  // the frame's left border
    Deskew(r, -1.5);
    // The turn opens a band along the left edge, widening downwards.
    for (int y : {100, 200, 350}) {
        int x = 0;
        while (x < 300 && r.IsBlack(x, y)) ++x;
        EXPECT_GE(x, 12) << "row " << y;
        while (x < 300 && r.IsWhite(x, y)) ++x;
        EXPECT_NEAR(x, 40 + static_cast<int>(y * std::tan(1.5 * std::numbers::pi / 180)), 2) << "row " << y;
    }
}

TEST(RotateImage, DifferentSizesAndCentresFollowTheFormula) {
    std::mt19937 rng(11);
    TGrayImage src(41, 29);
    for (auto& p : src.Pixels) p = (rng() % 3 == 0) ? 0 : 255;
    for (auto [dw, dh, cx, cy, angle] : std::vector<std::tuple<int, int, int, int, double>>{
             {41, 29, 20, 14, 10.0}, {60, 50, 0, 0, -4.0}, {30, 20, 5, 7, 33.0}}) {
        TGrayImage dst(dw, dh, 77);
        RotateImage(src, dst, cx, cy, angle);
        Rgb s(src.Width, src.Height), d(dw, dh);
        for (auto& p : d.P) p = {77, 77, 77};
        for (int y = 0; y < src.Height; ++y)
            for (int x = 0; x < src.Width; ++x) s.At(x, y) = {src.At(x, y), src.At(x, y), src.At(x, y)};
        ReferenceRotate(s, d, cx, cy, angle);
        for (int y = 0; y < dh; ++y)
            for (int x = 0; x < dw; ++x) ASSERT_EQ(dst.At(x, y), d.At(x, y)[0]) << x << "," << y;
    }
}

// Tiles made in any order, a few at a time, give exactly the pixels of the
// whole rotation; a tile is made once, and only the tiles asked for.
TEST(DeskewTiles, TilesMadeInAnyOrderMatchTheWholeRotation) {
    std::mt19937 rng(31);
    struct Case {
        int W, H;
        double Angle;
    };
    constexpr int T = TDeskewTiles::TileSide;
    for (const Case& c : {Case{333, 201, 1.3}, Case{T, T, -2.0}, Case{T + 1, 3 * T - 1, 0.7}, Case{8, 300, -0.4},
                          Case{500, 71, 45.0}}) {
        const TMonoBitmap r = RandomRaster(c.W, c.H, rng);
        TMonoBitmap whole = r;
        Deskew(whole, c.Angle);
        TMonoBitmap tiled = r;
        TDeskewTiles tiles(tiled, c.Angle);
        const int count = tiles.TileCount();
        EXPECT_EQ(count, ((c.W + T - 1) / T) * ((c.H + T - 1) / T));
        EXPECT_EQ(tiles.TilesMade(), 0);
        // Single points off the raster need no tile; a point inside makes one.
        tiles.Make(-1, 0);
        tiles.Make(c.W, c.H - 1);
        EXPECT_EQ(tiles.TilesMade(), 0);
        tiles.Make(c.W - 1, c.H - 1);
        tiles.Make(c.W - 1, c.H - 1);
        EXPECT_EQ(tiles.TilesMade(), 1);
        // A rectangle reaching past the raster is clipped to it.
        tiles.MakeRect(-5, -5, T / 2, T / 2);
        EXPECT_EQ(tiles.TilesMade(), count == 1 ? 1 : 2);
        for (int y = 0; y < c.H; y += 7)
            for (int x = c.W - 1; x >= 0; x -= 5) tiles.Make(x, y);
        tiles.MakeAll();
        EXPECT_EQ(tiles.TilesMade(), count);
        ExpectIdentical(tiled, whole, std::to_string(c.W) + "x" + std::to_string(c.H));
    }
}

TEST(DeskewTiles, WithoutATurnTheRasterStaysAndCountsAsMade) {
    std::mt19937 rng(5);
    for (double angle : {0.0, std::nan(""), std::numeric_limits<double>::infinity()}) {
        const TMonoBitmap r = RandomRaster(90, 70, rng);
        TMonoBitmap kept = r;
        TDeskewTiles tiles(kept, angle);
        EXPECT_EQ(tiles.TileCount(), 0);
        tiles.MakeAll();
        EXPECT_TRUE(kept == r);
    }
}
