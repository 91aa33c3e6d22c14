#include "core/recognition/Binarize.h"

#include <algorithm>
#include <cmath>

namespace quorlen {

namespace {

constexpr int kCell = 4;

// A grid of small statistics over the picture, one byte per cell.
struct TGrid {
    int Cols = 0, Rows = 0;
    std::vector<uint8_t> Cells;
    TGrid(int cols, int rows) : Cols(cols), Rows(rows), Cells(static_cast<size_t>(cols) * static_cast<size_t>(rows)) {}
    uint8_t& At(int c, int r) {
        return Cells[static_cast<size_t>(r) * static_cast<size_t>(Cols) + static_cast<size_t>(c)];
    }
};

// The maximum over ±reach along each line of n values spaced by stride, in
// three comparisons per value whatever the reach (van Herk / Gil-Werman).
void LineMax(uint8_t* v, int n, size_t stride, int reach, std::vector<uint8_t>& fwd, std::vector<uint8_t>& bwd) {
    const int k = 2 * reach + 1;
    fwd.resize(static_cast<size_t>(n));
    bwd.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        fwd[static_cast<size_t>(i)] =
            i % k ? std::max(fwd[static_cast<size_t>(i - 1)], v[static_cast<size_t>(i) * stride])
                  : v[static_cast<size_t>(i) * stride];
    for (int i = n - 1; i >= 0; --i)
        bwd[static_cast<size_t>(i)] = (i % k == k - 1 || i == n - 1) ? v[static_cast<size_t>(i) * stride]
                                                                     : std::max(bwd[static_cast<size_t>(i + 1)],
                                                                                v[static_cast<size_t>(i) * stride]);
    for (int i = 0; i < n; ++i) {
        const int lo = std::max(0, i - reach), hi = std::min(n - 1, i + reach);
        // A whole window spans the tail of lo's segment of k and the head of
        // hi's; a window cut by the line's end lies in one segment and starts
        // at its head (cut at 0) or ends at the line's end (cut at n - 1).
        const size_t a = static_cast<size_t>(lo), b = static_cast<size_t>(hi);
        v[static_cast<size_t>(i) * stride] = lo / k != hi / k ? std::max(bwd[a], fwd[b])
                                             : lo % k == 0    ? fwd[b]
                                                              : bwd[a];
    }
}

void SpreadMax(TGrid& g, int reach) {
    std::vector<uint8_t> fwd, bwd;
    for (int r = 0; r < g.Rows; ++r) LineMax(&g.At(0, r), g.Cols, 1, reach, fwd, bwd);
    for (int c = 0; c < g.Cols; ++c) LineMax(&g.At(c, 0), g.Rows, static_cast<size_t>(g.Cols), reach, fwd, bwd);
}

}  // namespace

void ReduceScan(const TGreyScan& grey, TMonoBitmap& raster) {
    const int w = grey.Width, h = grey.Height;
    raster.Resize(w, h);
    if (w <= 0 || h <= 0) return;
    const int cols = (w + kCell - 1) / kCell, rows = (h + kCell - 1) / kCell;
    TGrid cellMax(cols, rows), cellMin(cols, rows), cellMean(cols, rows);

    // Column statistics over each band of kCell rows first: a plain vertical
    // pass that the compiler turns into vector instructions.
    std::vector<uint8_t> colMax(static_cast<size_t>(w)), colMin(static_cast<size_t>(w));
    std::vector<uint16_t> colSum(static_cast<size_t>(w));
    for (int cy = 0; cy < rows; ++cy) {
        const int y0 = cy * kCell, y1 = std::min(h, y0 + kCell);
        std::copy(grey.Row(y0), grey.Row(y0) + w, colMax.begin());
        std::copy(grey.Row(y0), grey.Row(y0) + w, colMin.begin());
        std::copy(grey.Row(y0), grey.Row(y0) + w, colSum.begin());
        for (int y = y0 + 1; y < y1; ++y) {
            const uint8_t* g = grey.Row(y);
            uint8_t* mx = colMax.data();
            uint8_t* mn = colMin.data();
            uint16_t* sm = colSum.data();
            for (int x = 0; x < w; ++x) {
                mx[x] = std::max(mx[x], g[x]);
                mn[x] = std::min(mn[x], g[x]);
                sm[x] = static_cast<uint16_t>(sm[x] + g[x]);
            }
        }
        for (int cx = 0; cx < cols; ++cx) {
            const int x0 = cx * kCell, x1 = std::min(w, x0 + kCell);
            uint8_t mx = 0, mn = 255;
            unsigned sum = 0;
            for (int x = x0; x < x1; ++x) {
                mx = std::max(mx, colMax[static_cast<size_t>(x)]);
                mn = std::min(mn, colMin[static_cast<size_t>(x)]);
                sum += colSum[static_cast<size_t>(x)];
            }
            cellMax.At(cx, cy) = mx;
            cellMin.At(cx, cy) = mn;
            cellMean.At(cx, cy) = static_cast<uint8_t>(sum / static_cast<unsigned>((x1 - x0) * (y1 - y0)));
        }
    }

    // The paper within reach of each cell, twice. Its brightest pixel sets the
    // threshold of lines: on a bright, even scan that is the threshold lines
    // were always read with, and thin lines (ruler ticks of 1.8 pixels at
    // 150 dpi) keep their continuity through grain. Its brightest cell mean is
    // the paper itself, grain and jitter averaged out: what an area of grey
    // is measured against. The reach is over half a filled box of the sheet
    // (8 sheet pixels; the sheet spans the scan's width) and over the dark
    // border a scanner leaves along the page.
    const int reach = static_cast<int>(std::ceil(5.0 * w / 640.0 / kCell)) + 1;
    TGrid& linePaper = cellMax;
    TGrid paper = cellMean;
    SpreadMax(linePaper, reach);
    SpreadMax(paper, reach);

    // An area of ink: cells grey all over (dark on average, with no printed
    // line in them) whose neighbours are all dark on average too. A printed
    // line, a digit or the outline of an empty box leaves paper in some cell
    // around it; a box filled with graphite does not.
    TGrid light(cols, rows), area(cols, rows);
    for (size_t i = 0; i < paper.Cells.size(); ++i) {
        linePaper.Cells[i] = std::max(linePaper.Cells[i], kDarkestPaper);
        paper.Cells[i] = std::max(paper.Cells[i], kDarkestPaper);
        light.Cells[i] = cellMean.Cells[i] * 100 >= paper.Cells[i] * kAreaMeanPercent;
    }
    SpreadMax(light, 1);
    for (size_t i = 0; i < paper.Cells.size(); ++i)
        area.Cells[i] = !light.Cells[i] && cellMin.Cells[i] * 100 > paper.Cells[i] * kAreaLightestPercent;
    // ...and the rest of its box, the box's own outline included.
    SpreadMax(area, static_cast<int>(std::ceil(w / 640.0)));

    // One threshold per pixel of a band, then a plain comparison per pixel.
    std::vector<uint8_t> threshold(static_cast<size_t>(w));
    for (int cy = 0; cy < rows; ++cy) {
        for (int cx = 0; cx < cols; ++cx) {
            const uint8_t t = area.At(cx, cy) ? Share(paper.At(cx, cy), kAreaInkPercent)
                                              : Share(linePaper.At(cx, cy), kLineInkPercent);
            const int x0 = cx * kCell, x1 = std::min(w, x0 + kCell);
            std::fill(threshold.begin() + x0, threshold.begin() + x1, t);
        }
        const int y0 = cy * kCell, y1 = std::min(h, y0 + kCell);
        for (int y = y0; y < y1; ++y) {
            const uint8_t* g = grey.Row(y);
            const uint8_t* t = threshold.data();
            uint8_t* out = raster.Row(y);
            int x = 0;
            for (; x + 8 <= w; x += 8) {
                unsigned byte = 0;
                for (int k = 0; k < 8; ++k) byte = (byte << 1) | static_cast<unsigned>(g[x + k] < t[x + k]);
                out[x >> 3] = static_cast<uint8_t>(byte);
            }
            if (x < w) {
                unsigned byte = 0;
                for (int k = 0; k < 8; ++k)
                    byte = (byte << 1) | static_cast<unsigned>(x + k < w && g[x + k] < t[x + k]);
                out[x >> 3] = static_cast<uint8_t>(byte);
            }
        }
    }
}

}  // namespace quorlen
