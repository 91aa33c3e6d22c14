#include "core/recognition/Binarize.h"

#include <algorithm>
#include <array>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quorlen {

namespace {

constexpr int kCell = 4;

// A grid of small statistics over the picture, one byte per cell.
struct TGrid {
    int Cols = 0, Rows = 0;
    std::vector<uint8_t> Cells;
    TGrid(int cols, int rows, std::vector<uint8_t> cells) : Cols(cols), Rows(rows), Cells(std::move(cells)) {}
    TGrid(int cols, int rows) : Cols(cols), Rows(rows), Cells(static_cast<size_t>(cols) * static_cast<size_t>(rows)) {}
    uint8_t& At(int c, int r) {
        return Cells[static_cast<size_t>(r) * static_cast<size_t>(Cols) + static_cast<size_t>(c)];
    }
};

// The maximum over ±reach cells, along rows and then along columns, with
// three comparisons per cell whatever the reach (van Herk / Gil-Werman):
// running maxima forwards and backwards within segments of 2 · reach + 1
// cells; a window then spans the tail of one segment and the head of the
// next. Whole rows are combined at once, so the column pass vectorises too.
void SpreadMax(TGrid& g, int reach) {
    const int k = 2 * reach + 1;
    const size_t cols = static_cast<size_t>(g.Cols);
    auto cell = [&](int c, int r) -> uint8_t& { return g.At(c, r); };
    std::vector<uint8_t> fwd(cols), bwd(cols);
    for (int r = 0; r < g.Rows; ++r) {
        uint8_t* v = &cell(0, r);
        for (int s = 0; s < g.Cols; s += k) {
            const int e = std::min(g.Cols, s + k) - 1;
            fwd[static_cast<size_t>(s)] = v[s];
            for (int i = s + 1; i <= e; ++i)
                fwd[static_cast<size_t>(i)] = std::max(fwd[static_cast<size_t>(i - 1)], v[i]);
            bwd[static_cast<size_t>(e)] = v[e];
            for (int i = e - 1; i >= s; --i)
                bwd[static_cast<size_t>(i)] = std::max(bwd[static_cast<size_t>(i + 1)], v[i]);
        }
        // loMod follows lo % k without dividing: a window lies in one segment
        // when it ends before lo's segment does.
        int loMod = 0;
        for (int i = 0; i < g.Cols; ++i) {
            const int lo = std::max(0, i - reach), hi = std::min(g.Cols - 1, i + reach);
            if (i - reach > 0) loMod = loMod + 1 == k ? 0 : loMod + 1;
            const size_t a = static_cast<size_t>(lo), b = static_cast<size_t>(hi);
            v[i] = hi - lo + loMod >= k ? std::max(bwd[a], fwd[b]) : loMod == 0 ? fwd[b] : bwd[a];
        }
    }
    const size_t cells = g.Cells.size();
    std::vector<uint8_t> down(cells), up(cells);
    auto row = [&](std::vector<uint8_t>& m, int r) { return m.data() + static_cast<size_t>(r) * cols; };
    for (int s = 0; s < g.Rows; s += k) {
        const int e = std::min(g.Rows, s + k) - 1;
        std::copy(&cell(0, s), &cell(0, s) + cols, row(down, s));
        for (int r = s + 1; r <= e; ++r) {
            const uint8_t* prev = row(down, r - 1);
            const uint8_t* v = &cell(0, r);
            uint8_t* out = row(down, r);
            for (size_t c = 0; c < cols; ++c) out[c] = std::max(prev[c], v[c]);
        }
        std::copy(&cell(0, e), &cell(0, e) + cols, row(up, e));
        for (int r = e - 1; r >= s; --r) {
            const uint8_t* next = row(up, r + 1);
            const uint8_t* v = &cell(0, r);
            uint8_t* out = row(up, r);
            for (size_t c = 0; c < cols; ++c) out[c] = std::max(next[c], v[c]);
        }
    }
    int loMod = 0;
    for (int r = 0; r < g.Rows; ++r) {
        const int lo = std::max(0, r - reach), hi = std::min(g.Rows - 1, r + reach);
        if (r - reach > 0) loMod = loMod + 1 == k ? 0 : loMod + 1;
        uint8_t* out = &cell(0, r);
        if (hi - lo + loMod >= k) {
            const uint8_t* a = row(up, lo);
            const uint8_t* b = row(down, hi);
            for (size_t c = 0; c < cols; ++c) out[c] = std::max(a[c], b[c]);
        } else {
            const uint8_t* from = loMod == 0 ? row(down, hi) : row(up, lo);
            std::copy(from, from + cols, out);
        }
    }
}

// Row x of a raster holds the leftmost pixel in the highest bit; a vector
// comparison's mask holds it in the lowest.
constexpr std::array<uint8_t, 256> ReversedBytes() {
    std::array<uint8_t, 256> t{};
    for (int i = 0; i < 256; ++i)
        for (int b = 0; b < 8; ++b)
            if (i & (1 << b)) t[static_cast<size_t>(i)] |= static_cast<uint8_t>(0x80 >> b);
    return t;
}
constexpr std::array<uint8_t, 256> kReversed = ReversedBytes();

// Packs the comparison grey < threshold of one row into raster bits.
void PackRow(const uint8_t* g, const uint8_t* t, int w, uint8_t* out) {
    int x = 0;
#if defined(__SSE2__)
    for (; x + 16 <= w; x += 16) {
        const __m128i gv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(g + x));
        const __m128i tv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + x));
        const __m128i notInk = _mm_cmpeq_epi8(_mm_max_epu8(gv, tv), gv);  // g >= t, unsigned
        const unsigned ink = ~static_cast<unsigned>(_mm_movemask_epi8(notInk)) & 0xFFFFu;
        out[x >> 3] = kReversed[ink & 0xFF];
        out[(x >> 3) + 1] = kReversed[ink >> 8];
    }
#endif
    for (; x < w; x += 8) {
        unsigned byte = 0;
        for (int k = 0; k < 8; ++k) byte = (byte << 1) | static_cast<unsigned>(x + k < w && g[x + k] < t[x + k]);
        out[x >> 3] = static_cast<uint8_t>(byte);
    }
}

// Adds one row to the running column maxima, minima and sums.
void AddRow(const uint8_t* __restrict g, int w, uint8_t* __restrict mx, uint8_t* __restrict mn,
            uint16_t* __restrict sm) {
    int x = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; x + 16 <= w; x += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(g + x));
        auto* pmx = reinterpret_cast<__m128i*>(mx + x);
        auto* pmn = reinterpret_cast<__m128i*>(mn + x);
        _mm_storeu_si128(pmx, _mm_max_epu8(_mm_loadu_si128(pmx), v));
        _mm_storeu_si128(pmn, _mm_min_epu8(_mm_loadu_si128(pmn), v));
        auto* lo = reinterpret_cast<__m128i*>(sm + x);
        auto* hi = reinterpret_cast<__m128i*>(sm + x + 8);
        _mm_storeu_si128(lo, _mm_add_epi16(_mm_loadu_si128(lo), _mm_unpacklo_epi8(v, zero)));
        _mm_storeu_si128(hi, _mm_add_epi16(_mm_loadu_si128(hi), _mm_unpackhi_epi8(v, zero)));
    }
#endif
    for (; x < w; ++x) {
        mx[x] = std::max(mx[x], g[x]);
        mn[x] = std::min(mn[x], g[x]);
        sm[x] = static_cast<uint16_t>(sm[x] + g[x]);
    }
}

// The maximum of each 2 × 2 cells.
TGrid Coarser(TGrid& g) {
    TGrid c((g.Cols + 1) / 2, (g.Rows + 1) / 2);
    for (int r = 0; r < c.Rows; ++r) {
        const uint8_t* upper = &g.At(0, 2 * r);
        const uint8_t* lower = &g.At(0, std::min(2 * r + 1, g.Rows - 1));
        uint8_t* out = &c.At(0, r);
        for (int x = 0; x < c.Cols; ++x) {
            const int x0 = 2 * x, x1 = std::min(2 * x + 1, g.Cols - 1);
            out[x] = std::max(std::max(upper[x0], upper[x1]), std::max(lower[x0], lower[x1]));
        }
    }
    return c;
}

}  // namespace

uint64_t GreyScanBytes(int64_t width, int64_t height) {
    if (width <= 0 || height <= 0) return 0;
    const uint64_t cells =
        static_cast<uint64_t>((width + kCell - 1) / kCell) * static_cast<uint64_t>((height + kCell - 1) / kCell);
    // Three bytes per cell, four per column (maxima, minima, a 16-bit sum).
    return static_cast<uint64_t>(width) * static_cast<uint64_t>(height) + 3 * cells + 4 * static_cast<uint64_t>(width);
}

void TGreyScan::Resize(int32_t width, int32_t height) {
    Width = width;
    Height = height;
    pixels_.reset(new uint8_t[static_cast<size_t>(width) * static_cast<size_t>(height)]);
    PrepareStatistics();
}

void TGreyScan::PrepareStatistics() {
    const size_t cells =
        static_cast<size_t>((Width + kCell - 1) / kCell) * static_cast<size_t>((Height + kCell - 1) / kCell);
    cellMax_.assign(cells, 0);
    cellMin_.assign(cells, 0);
    cellMean_.assign(cells, 0);
    colMax_.assign(static_cast<size_t>(Width), 0);
    colMin_.assign(static_cast<size_t>(Width), 0);
    colSum_.assign(static_cast<size_t>(Width), 0);
    rowsDone_ = 0;
}

// Column statistics over each band of kCell rows first, in vector
// instructions, then four columns per cell when the band is complete.
void TGreyScan::RowDone(int32_t y) {
    if (y != rowsDone_ || y >= Height) return;  // out of order: ReduceScan gathers it
    const int w = Width;
    const uint8_t* g = Row(y);
    if (y % kCell == 0) {
        std::copy(g, g + w, colMax_.begin());
        std::copy(g, g + w, colMin_.begin());
        std::copy(g, g + w, colSum_.begin());
    } else {
        AddRow(g, w, colMax_.data(), colMin_.data(), colSum_.data());
    }
    rowsDone_ = y + 1;
    if (rowsDone_ % kCell != 0 && rowsDone_ != Height) return;
    const int cy = y / kCell, bandRows = y - cy * kCell + 1;
    const int cols = (w + kCell - 1) / kCell;
    uint8_t* maxRow = cellMax_.data() + static_cast<size_t>(cy) * static_cast<size_t>(cols);
    uint8_t* minRow = cellMin_.data() + static_cast<size_t>(cy) * static_cast<size_t>(cols);
    uint8_t* meanRow = cellMean_.data() + static_cast<size_t>(cy) * static_cast<size_t>(cols);
    const uint8_t* cmx = colMax_.data();
    const uint8_t* cmn = colMin_.data();
    const uint16_t* csm = colSum_.data();
    const int whole = w / kCell;
    for (int cx = 0; cx < whole; ++cx) {
        const int x = cx * kCell;
        maxRow[cx] = std::max(std::max(cmx[x], cmx[x + 1]), std::max(cmx[x + 2], cmx[x + 3]));
        minRow[cx] = std::min(std::min(cmn[x], cmn[x + 1]), std::min(cmn[x + 2], cmn[x + 3]));
        const unsigned sum = static_cast<unsigned>(csm[x] + csm[x + 1] + csm[x + 2] + csm[x + 3]);
        meanRow[cx] = static_cast<uint8_t>(bandRows == kCell ? sum >> 4 : sum / static_cast<unsigned>(4 * bandRows));
    }
    if (whole < cols) {  // a last cell narrower than kCell
        uint8_t mx = 0, mn = 255;
        unsigned sum = 0;
        for (int x = whole * kCell; x < w; ++x) {
            mx = std::max(mx, cmx[x]);
            mn = std::min(mn, cmn[x]);
            sum += csm[x];
        }
        maxRow[whole] = mx;
        minRow[whole] = mn;
        meanRow[whole] = static_cast<uint8_t>(sum / static_cast<unsigned>((w - whole * kCell) * bandRows));
    }
}

void TGreyScan::Gather() {
    const size_t cells =
        static_cast<size_t>((Width + kCell - 1) / kCell) * static_cast<size_t>((Height + kCell - 1) / kCell);
    // Filled directly rather than through Resize, or reduced before.
    if (cellMean_.size() != cells || colSum_.size() != static_cast<size_t>(Width)) PrepareStatistics();
    while (rowsDone_ < Height) RowDone(rowsDone_);
}

void ReduceScan(TGreyScan& grey, TMonoBitmap& raster) {
    const int w = grey.Width, h = grey.Height;
    raster.Resize(w, h);
    if (w <= 0 || h <= 0) return;
    grey.Gather();
    const int cols = (w + kCell - 1) / kCell, rows = (h + kCell - 1) / kCell;
    TGrid cellMax(cols, rows, std::move(grey.cellMax_)), cellMin(cols, rows, std::move(grey.cellMin_)),
        cellMean(cols, rows, std::move(grey.cellMean_));
    grey.rowsDone_ = 0;  // the statistics went with them

    // The paper within reach of each cell, twice. Its brightest pixel sets the
    // threshold of lines: on a bright, even scan that is the threshold lines
    // were always read with, and thin lines (ruler ticks of 1.8 pixels at
    // 150 dpi) keep their continuity through grain. Its brightest cell mean is
    // the paper itself, grain and jitter averaged out: what an area of grey
    // is measured against. The reach is over half a filled box of the sheet
    // (8 sheet pixels; the sheet spans the scan's width) and over the dark
    // border a scanner leaves along the page.
    // Paper varies slowly, so it is kept per block of 2 × 2 cells.
    const int reach = static_cast<int>(std::ceil(5.0 * w / 640.0 / (2 * kCell)));
    TGrid linePaper = Coarser(cellMax);
    TGrid paper = Coarser(cellMean);
    SpreadMax(linePaper, reach);
    SpreadMax(paper, reach);
    for (size_t i = 0; i < paper.Cells.size(); ++i) {
        linePaper.Cells[i] = std::max(linePaper.Cells[i], kDarkestPaper);
        paper.Cells[i] = std::max(paper.Cells[i], kDarkestPaper);
    }
    auto paperOf = [&](const TGrid& g, int cx, int cy) -> int {
        return g.Cells[static_cast<size_t>(cy >> 1) * static_cast<size_t>(g.Cols) + static_cast<size_t>(cx >> 1)];
    };
    auto darkCell = [&](int cx, int cy) {
        return cellMean.Cells[static_cast<size_t>(cy) * static_cast<size_t>(cols) + static_cast<size_t>(cx)] * 100 <
               paperOf(paper, cx, cy) * kAreaMeanPercent;
    };

    // An area of ink: cells grey all over (dark on average, with no printed
    // line in them) whose neighbours are all dark on average too. A printed
    // line, a digit or the outline of an empty box leaves paper in some cell
    // around it; a box filled with graphite does not. The area then takes
    // in the rest of its box, the box's own outline included. Most of a page
    // is paper, so only dark cells are looked at.
    TGrid area(cols, rows);
    const int areaReach = static_cast<int>(std::ceil(w / 640.0));
    for (int cy = 1; cy + 1 < rows; ++cy)
        for (int cx = 1; cx + 1 < cols; ++cx) {
            if (!darkCell(cx, cy) ||
                cellMin.Cells[static_cast<size_t>(cy) * static_cast<size_t>(cols) + static_cast<size_t>(cx)] * 100 <=
                    paperOf(paper, cx, cy) * kAreaLightestPercent)
                continue;
            bool core = true;
            for (int dy = -1; dy <= 1 && core; ++dy)
                for (int dx = -1; dx <= 1 && core; ++dx) core = darkCell(cx + dx, cy + dy);
            if (!core) continue;
            for (int y = std::max(0, cy - areaReach); y <= std::min(rows - 1, cy + areaReach); ++y)
                for (int x = std::max(0, cx - areaReach); x <= std::min(cols - 1, cx + areaReach); ++x)
                    area.At(x, y) = 1;
        }

    // One threshold per pixel of a band, then a plain comparison per pixel.
    std::vector<uint8_t> threshold(static_cast<size_t>(w));
    for (int cy = 0; cy < rows; ++cy) {
        if (cy % 2 == 0)
            for (int bx = 0; bx < linePaper.Cols; ++bx) {
                const uint8_t t = Share(linePaper.At(bx, cy >> 1), kLineInkPercent);
                const int x0 = bx * 2 * kCell, x1 = std::min(w, x0 + 2 * kCell);
                std::fill(threshold.begin() + x0, threshold.begin() + x1, t);
            }
        const uint8_t* areaRow = &area.At(0, cy);
        bool areaInRow = false;
        for (int cx = 0; cx < cols; ++cx) {
            if (!areaRow[cx]) continue;
            areaInRow = true;
            const int x0 = cx * kCell, x1 = std::min(w, x0 + kCell);
            std::fill(threshold.begin() + x0, threshold.begin() + x1, Share(paperOf(paper, cx, cy), kAreaInkPercent));
        }
        const int y0 = cy * kCell, y1 = std::min(h, y0 + kCell);
        for (int y = y0; y < y1; ++y) PackRow(grey.Row(y), threshold.data(), w, raster.Row(y));
        // The next band of the same block starts again from the lines.
        if (areaInRow && cy % 2 == 0)
            for (int cx = 0; cx < cols; ++cx)
                if (areaRow[cx]) {
                    const int x0 = cx * kCell, x1 = std::min(w, x0 + kCell);
                    std::fill(threshold.begin() + x0, threshold.begin() + x1,
                              Share(paperOf(linePaper, cx, cy), kLineInkPercent));
                }
    }
}

}  // namespace quorlen
