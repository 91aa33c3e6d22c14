#include "core/recognition/Binarize.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>

using namespace quorlen;

namespace {

// A page 1240 × 1754 (A4 at 150 dpi) of grey paper(x, y) with whatever the
// case draws on it.
struct Page {
    TGreyScan Grey;
    explicit Page(const std::function<int(int, int)>& paper, int w = 1240, int h = 1754) {
        Grey.Resize(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) Set(x, y, paper(x, y));
    }
    void Set(int x, int y, int v) { Grey.Row(y)[x] = static_cast<uint8_t>(std::clamp(v, 0, 255)); }
    int Get(int x, int y) const { return Grey.Row(y)[x]; }
    // Multiplies a rectangle by `share` of its paper: ink lying on the paper.
    void Ink(int x0, int y0, int x1, int y1, double share) {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) Set(x, y, static_cast<int>(Get(x, y) * share));
    }
    TMonoBitmap Reduced() {
        TMonoBitmap r;
        ReduceScan(Grey, r);
        return r;
    }
};

int BlackIn(const TMonoBitmap& r, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) n += r.IsBlack(x, y);
    return n;
}

// Light falling from 250 on the right to 120 in a spine shadow on the left.
int Uneven(int x, int y) { return static_cast<int>(250 * (1 - 0.06 * y / 1754.0) * (1 - 0.5 * std::exp(-x / 70.0))); }

TEST(ReduceScan, PaperStaysWhiteAndPrintStaysBlackUnderUnevenLight) {
    struct Case {
        const char* Name;
        std::function<int(int, int)> Paper;
    };
    for (const Case& c : {Case{"white", [](int, int) { return 255; }}, Case{"dim", [](int, int) { return 205; }},
                          Case{"shadow", Uneven}}) {
        Page page(c.Paper);
        // Lines of 2 pixels (one sheet pixel at 150 dpi) at a fifth of the
        // paper, one near the shadowed edge; a filled box of 16 pixels.
        page.Ink(20, 100, 22, 1700, 0.2);
        page.Ink(600, 100, 602, 1700, 0.2);
        page.Ink(10, 900, 1230, 902, 0.2);
        page.Ink(300, 300, 316, 316, 0.1);
        const TMonoBitmap r = page.Reduced();
        EXPECT_EQ(BlackIn(r, 20, 100, 22, 1700), 2 * 1600) << c.Name;
        EXPECT_EQ(BlackIn(r, 600, 100, 602, 1700), 2 * 1600) << c.Name;
        EXPECT_EQ(BlackIn(r, 10, 900, 1230, 902), 2 * 1220) << c.Name;
        EXPECT_EQ(BlackIn(r, 300, 300, 316, 316), 256) << c.Name;
        // Nothing else: the lines keep their width, the paper is white.
        EXPECT_EQ(BlackIn(r, 0, 0, 1240, 1754), 2 * 1600 * 2 + 2 * 1220 - 2 * 2 * 2 + 256) << c.Name;
    }
}

TEST(ReduceScan, GraphiteAreasBecomeBlackWhereAFixedThresholdLosesThem) {
    struct Case {
        const char* Name;
        int Tone, Spread;
        double Gap;
        int Box;  // side in pixels: a filled answer box at 150, 200, 300 dpi
    };
    std::mt19937 rng(7);
    for (const Case& c : {Case{"HB 150 dpi", 130, 20, 0.05, 15}, Case{"HB 300 dpi", 130, 20, 0.05, 31},
                          Case{"light 150 dpi", 165, 20, 0.10, 15}, Case{"light 200 dpi", 165, 20, 0.10, 21},
                          Case{"light in the shadow", 165, 20, 0.10, 21}}) {
        const bool shadow = std::string(c.Name) == "light in the shadow";
        Page page(shadow ? std::function<int(int, int)>(Uneven) : [](int, int) { return 240; });
        std::uniform_int_distribution<int> tone(c.Tone - c.Spread, c.Tone + c.Spread);
        std::uniform_real_distribution<double> unit(0, 1);
        const int x0 = shadow ? 30 : 400, y0 = 400;
        for (int y = y0; y < y0 + c.Box; ++y)
            for (int x = x0; x < x0 + c.Box; ++x)
                if (unit(rng) >= c.Gap) page.Set(x, y, page.Get(x, y) * tone(rng) / 240);
        const TMonoBitmap r = page.Reduced();
        // Two thirds of the box is well over the 44 % of its cell that marks it
        // (before blur, the grain leaves the lightest points and gaps white).
        EXPECT_GT(BlackIn(r, x0, y0, x0 + c.Box, y0 + c.Box), c.Box * c.Box * 2 / 3) << c.Name;
        int fixed = 0;  // what one threshold of 128 keeps of a light hand
        for (int y = y0; y < y0 + c.Box; ++y)
            for (int x = x0; x < x0 + c.Box; ++x) fixed += page.Get(x, y) < 128;
        if (c.Tone > 150 && !shadow) {
            EXPECT_LT(fixed, c.Box * c.Box / 3) << c.Name;
        }
        EXPECT_EQ(BlackIn(r, x0 - 40, y0 - 40, x0 + c.Box + 40, y0 + c.Box + 40),
                  BlackIn(r, x0, y0, x0 + c.Box, y0 + c.Box))
            << c.Name << ": the paper around stays white";
    }
}

// An empty answer box, a digit and the ringing of a JPEG near a line are
// not areas of ink: their paper must not be darkened into them.
TEST(ReduceScan, GrainRingingFaintDustAndEmptyBoxesStayWhite) {
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> grain(-20, 20);
    Page page([&](int, int) { return 235 + grain(rng); });
    // An empty box of 15 pixels with a blurred outline of 2.
    const int bx = 200, by = 200, side = 15;
    for (int y = by; y < by + side; ++y)
        for (int x = bx; x < bx + side; ++x) {
            const bool edge = x < bx + 2 || x >= bx + side - 2 || y < by + 2 || y >= by + side - 2;
            const bool halo = x == bx + 2 || x == bx + side - 3 || y == by + 2 || y == by + side - 3;
            if (edge)
                page.Set(x, y, 60);
            else if (halo)
                page.Set(x, y, 170);
        }
    // Ringing: light and dark ripples beside a line, within ±40 of the paper.
    page.Ink(600, 100, 602, 600, 0.1);
    for (int y = 100; y < 600; ++y)
        for (int d = 2; d < 10; ++d) page.Set(602 + d, y, 235 + (d % 2 ? -40 : 30));
    // Faint specks of dust: single pixels at 70 % of the paper.
    for (int i = 0; i < 200; ++i) page.Set(800 + (i % 20) * 17, 800 + (i / 20) * 23, 165);
    const TMonoBitmap r = page.Reduced();
    EXPECT_EQ(BlackIn(r, bx + 3, by + 3, bx + side - 3, by + side - 3), 0) << "inside the empty box";
    EXPECT_EQ(BlackIn(r, bx, by, bx + side, by + side), side * side - (side - 4) * (side - 4)) << "its outline";
    EXPECT_EQ(BlackIn(r, 602, 100, 612, 600), 0) << "ringing";
    EXPECT_EQ(BlackIn(r, 790, 790, 1150, 1050), 0) << "dust";
    EXPECT_EQ(BlackIn(r, 0, 0, 1240, 1754), BlackIn(r, bx, by, bx + side, by + side) + 2 * 500);
}

// A black and white picture reduces as the rotation reduces it: below 128 is
// black, whatever the size of the black areas and the picture.
TEST(ReduceScan, BlackAndWhitePicturesOfAnySizeKeepEveryPixel) {
    std::mt19937 rng(11);
    for (auto [w, h] : {std::pair{1, 1}, {3, 5}, {13, 7}, {101, 67}, {640, 850}}) {
        Page page([&](int x, int y) { return (rng() % 3 == 0 || (x > w / 3 && y > h / 3)) ? 0 : 255; }, w, h);
        const TMonoBitmap r = page.Reduced();
        ASSERT_EQ(r.Width(), w);
        ASSERT_EQ(r.Height(), h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) ASSERT_EQ(r.IsBlack(x, y), page.Get(x, y) < 128) << w << "x" << h;
    }
    // A page dark all over is not taken for paper.
    const TMonoBitmap dark = Page([](int, int) { return 30; }, 64, 64).Reduced();
    EXPECT_EQ(BlackIn(dark, 0, 0, 64, 64), 64 * 64);
    EXPECT_EQ(BlackIn(Page([](int, int) { return 255; }, 64, 64).Reduced(), 0, 0, 64, 64), 0);
}

}  // namespace
