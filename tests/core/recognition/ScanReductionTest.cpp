#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "core/recognition/Binarize.h"

using namespace quorlen;

namespace {

struct Picture {
    int W = 0, H = 0;
    std::vector<uint8_t> Grey;
    int At(int x, int y) const {
        return Grey[static_cast<size_t>(y) * static_cast<size_t>(W) + static_cast<size_t>(x)];
    }
};

// Light falling off towards a dark left border and down the page, grain,
// printed lines, boxes filled with graphite and empty box outlines.
Picture Synthetic(int w, int h, unsigned seed) {
    Picture p{w, h, std::vector<uint8_t>(static_cast<size_t>(w) * static_cast<size_t>(h))};
    std::mt19937 rng(seed);
    std::vector<double> share(p.Grey.size(), 1.0);
    auto darken = [&](int x0, int y0, int x1, int y1, double s) {
        for (int y = std::max(0, y0); y < std::min(h, y1); ++y)
            for (int x = std::max(0, x0); x < std::min(w, x1); ++x)
                share[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] = s;
    };
    for (int x = 37; x < w; x += 41) darken(x, 0, x + 2, h, 0.25);
    for (int y = 29; y < h; y += 53) darken(0, y, w, y + 1, 0.3);
    for (int i = 0; i < w * h / 900; ++i) {
        const int x = static_cast<int>(rng() % static_cast<unsigned>(w)),
                  y = static_cast<int>(rng() % static_cast<unsigned>(h));
        const int side = 8 + static_cast<int>(rng() % 24);
        if (i % 3 == 0) {
            darken(x, y, x + side, y + 2, 0.2);
            darken(x, y + side - 2, x + side, y + side, 0.2);
            darken(x, y, x + 2, y + side, 0.2);
            darken(x + side - 2, y, x + side, y + side, 0.2);
        } else {
            darken(x, y, x + side, y + side, 0.45 + 0.01 * (i % 20));
        }
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double light = 250.0 * (1 - 0.3 * y / h) * (1 - 0.6 * std::exp(-x / 25.0));
            const double v = light * share[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] +
                             static_cast<double>(rng() % 13) - 6;
            p.Grey[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] =
                static_cast<uint8_t>(std::clamp(static_cast<int>(v), 0, 255));
        }
    return p;
}

// The reduction's rule written out the slow way, pixel by pixel and window by
// window, with nothing streamed or shared.
std::vector<bool> ByTheRule(const Picture& p) {
    const int w = p.W, h = p.H, cols = (w + 3) / 4, rows = (h + 3) / 4;
    const int reach = static_cast<int>(std::ceil(5.0 * w / 640.0 / 8)),
              areaReach = static_cast<int>(std::ceil(w / 640.0));
    std::vector<int> mx(static_cast<size_t>(cols * rows)), mn(mx.size()), mean(mx.size());
    for (int cy = 0; cy < rows; ++cy)
        for (int cx = 0; cx < cols; ++cx) {
            int hi = 0, lo = 255, sum = 0, n = 0;
            for (int y = 4 * cy; y < std::min(h, 4 * cy + 4); ++y)
                for (int x = 4 * cx; x < std::min(w, 4 * cx + 4); ++x, ++n) {
                    hi = std::max(hi, p.At(x, y));
                    lo = std::min(lo, p.At(x, y));
                    sum += p.At(x, y);
                }
            mx[static_cast<size_t>(cy * cols + cx)] = hi;
            mn[static_cast<size_t>(cy * cols + cx)] = lo;
            mean[static_cast<size_t>(cy * cols + cx)] = sum / n;
        }
    // The brightest cell of the blocks (2 × 2 cells) within reach of a block.
    auto paperAt = [&](const std::vector<int>& cell, int cx, int cy) {
        const int bx = cx / 2, by = cy / 2;
        int best = kDarkestPaper;
        for (int y = std::max(0, 2 * (by - reach)); y < std::min(rows, 2 * (by + reach + 1)); ++y)
            for (int x = std::max(0, 2 * (bx - reach)); x < std::min(cols, 2 * (bx + reach + 1)); ++x)
                best = std::max(best, cell[static_cast<size_t>(y * cols + x)]);
        return best;
    };
    std::vector<int> line(mx.size()), paper(mx.size());
    for (int cy = 0; cy < rows; ++cy)
        for (int cx = 0; cx < cols; ++cx) {
            line[static_cast<size_t>(cy * cols + cx)] = paperAt(mx, cx, cy);
            paper[static_cast<size_t>(cy * cols + cx)] = paperAt(mean, cx, cy);
        }
    auto at = [&](const std::vector<int>& v, int cx, int cy) { return v[static_cast<size_t>(cy * cols + cx)]; };
    auto dark = [&](int cx, int cy) { return at(mean, cx, cy) * 100 < at(paper, cx, cy) * kAreaMeanPercent; };
    auto core = [&](int cx, int cy) {
        if (cx < 1 || cy < 1 || cx + 1 >= cols || cy + 1 >= rows) return false;
        if (at(mn, cx, cy) * 100 <= at(paper, cx, cy) * kAreaLightestPercent) return false;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (!dark(cx + dx, cy + dy)) return false;
        return true;
    };
    std::vector<bool> area(mx.size());
    for (int cy = 0; cy < rows; ++cy)
        for (int cx = 0; cx < cols; ++cx)
            if (core(cx, cy))
                for (int y = std::max(0, cy - areaReach); y <= std::min(rows - 1, cy + areaReach); ++y)
                    for (int x = std::max(0, cx - areaReach); x <= std::min(cols - 1, cx + areaReach); ++x)
                        area[static_cast<size_t>(y * cols + x)] = true;
    std::vector<bool> ink(p.Grey.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int cx = x / 4, cy = y / 4;
            const int t = area[static_cast<size_t>(cy * cols + cx)] ? Share(at(paper, cx, cy), kAreaInkPercent)
                                                                    : Share(at(line, cx, cy), kLineInkPercent);
            ink[static_cast<size_t>(y * w + x)] = p.At(x, y) < t;
        }
    return ink;
}

void ExpectByTheRule(const TMonoBitmap& r, const Picture& p, const std::vector<bool>& expected, const char* how) {
    ASSERT_EQ(r.Width(), p.W) << how;
    ASSERT_EQ(r.Height(), p.H) << how;
    int wrong = 0, first = -1;
    for (int y = 0; y < p.H; ++y)
        for (int x = 0; x < p.W; ++x)
            if (r.IsBlack(x, y) != expected[static_cast<size_t>(y * p.W + x)] && wrong++ == 0) first = y;
    EXPECT_EQ(wrong, 0) << how << " " << p.W << "x" << p.H << ", first in row " << first;
}

// Rows streamed as a decoder gives them equal the rule, and so does the whole
// picture written in any order (bottom-up, as a run-length BMP writes it),
// for pictures smaller than a cell, narrower than a block, with a last cell
// of one to three pixels, and wide enough for the paper's reach and an area's
// reach to grow (w = 1300: 2 and 3 cells; 2600: 3 and 5), so that the band of
// rows kept while waiting for them turns over many times.
TEST(ScanReduction, StreamedAndWholeEqualTheRule) {
    const std::pair<int, int> sizes[] = {{1, 1},   {3, 5},     {5, 3},     {7, 9},      {13, 64},
                                         {66, 37}, {201, 143}, {650, 211}, {1300, 170}, {2600, 119}};
    unsigned seed = 1;
    for (auto [w, h] : sizes) {
        const Picture p = Synthetic(w, h, seed++);
        const std::vector<bool> expected = ByTheRule(p);

        TMonoBitmap streamed;
        TScanReduction reduction(w, h, streamed);
        for (int y = 0; y < h; ++y) {
            EXPECT_FALSE(reduction.Complete());
            std::copy_n(&p.Grey[static_cast<size_t>(y * w)], w, reduction.Row(y));
            reduction.RowDone(y);
            reduction.RowDone(y);  // a row done twice is taken once
        }
        EXPECT_TRUE(reduction.Complete());
        ExpectByTheRule(streamed, p, expected, "streamed");

        TGreyScan grey;
        grey.Resize(w, h);
        for (int y = h - 1; y >= 0; --y) std::copy_n(&p.Grey[static_cast<size_t>(y * w)], w, grey.Row(y));
        TMonoBitmap whole;
        ReduceScan(grey, whole);
        ExpectByTheRule(whole, p, expected, "whole");
    }
}

// A decoder that stops early leaves an incomplete reduction, whose raster the
// loader discards; rows offered out of order are not taken.
TEST(ScanReduction, RowsOutOfOrderAreNotTaken) {
    const Picture p = Synthetic(40, 40, 7);
    TMonoBitmap r;
    TScanReduction reduction(40, 40, r);
    std::copy_n(p.Grey.data(), 40, reduction.Row(1));
    reduction.RowDone(1);
    for (int y = 0; y < 39; ++y) {
        std::copy_n(&p.Grey[static_cast<size_t>(y * 40)], 40, reduction.Row(y));
        reduction.RowDone(y);
    }
    EXPECT_FALSE(reduction.Complete());
    std::copy_n(&p.Grey[39 * 40], 40, reduction.Row(39));
    reduction.RowDone(39);
    EXPECT_TRUE(reduction.Complete());
    ExpectByTheRule(r, p, ByTheRule(p), "after a stray row");
}

}  // namespace
