#include "core/recognition/Binarize.h"

// The reduction streams: a decoder hands over one grey row at a time, column
// statistics fold every four rows into cells of 4 × 4 pixels, cells fold into
// blocks of 2 × 2 cells, and the brightest block within reach becomes the
// paper. A band of rows is compared with its thresholds once the last cell
// that can change them (the paper's reach and an area of ink's reach below
// it) has been gathered; until then its grey rows wait in a small ring.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quorlen {

namespace {

constexpr int kCell = 4;

// The maximum over ±reach of each entry of v (n entries), the window cut at
// the ends: a copy padded with zeros (which no maximum of bytes notices), then
// one pass per offset, each a plain vector loop.
void SpreadRow(uint8_t* v, int n, int reach, uint8_t* padded) {
    std::fill(padded, padded + reach, uint8_t{0});
    std::copy(v, v + n, padded + reach);
    std::fill(padded + reach + n, padded + n + 2 * reach, uint8_t{0});
    for (int d = 0; d <= 2 * reach; ++d) {
        const uint8_t* q = padded + d;
        for (int i = 0; i < n; ++i) v[i] = std::max(v[i], q[i]);
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

// The sizes of one reduction, shared by the reduction and the memory it
// declares before decoding.
struct TShape {
    int W, H;
    int Cols, Rows;            // cells of kCell × kCell pixels
    int BlockCols, BlockRows;  // blocks of 2 × 2 cells
    int Reach;                 // of the paper, in blocks
    int AreaReach;             // of an area of ink, in cells
    int RingRows;              // grey rows alive at once
    int CellRing;              // cell rows of means and minima alive at once
    int AreaRing;              // cell rows of the area mask alive at once

    TShape(int64_t w, int64_t h)
        : W(static_cast<int>(w)),
          H(static_cast<int>(h)),
          Cols(static_cast<int>((w + kCell - 1) / kCell)),
          Rows(static_cast<int>((h + kCell - 1) / kCell)),
          BlockCols((Cols + 1) / 2),
          BlockRows((Rows + 1) / 2),
          // The reach is over half a filled box of the sheet (8 sheet
          // pixels; the sheet spans the scan's width) and over the dark
          // border a scanner leaves along the page.
          Reach(static_cast<int>(std::ceil(5.0 * static_cast<double>(w) / 640.0 / (2 * kCell)))),
          AreaReach(static_cast<int>(std::ceil(static_cast<double>(w) / 640.0))) {
        // A band waits for the cores of the areas that may reach it (AreaReach
        // cells below), and a core for the paper of the cell row below it
        // (Reach blocks further): at most AreaReach + 2 · Reach + 2 cell rows
        // lie between the band waiting and the last row gathered.
        RingRows = static_cast<int>(std::min<int64_t>(h, kCell * (AreaReach + 2 * Reach + 4)));
        CellRing = std::min(Rows, 2 * Reach + 6);
        AreaRing = std::min(Rows, 2 * AreaReach + 2);
    }

    uint64_t Bytes(bool ownRows) const {
        const uint64_t w = static_cast<uint64_t>(W), cols = static_cast<uint64_t>(Cols);
        const uint64_t blocks = static_cast<uint64_t>(BlockCols) * static_cast<uint64_t>(BlockRows);
        return (ownRows ? static_cast<uint64_t>(RingRows) * w : 0) + 5 * w  // column maxima, minima, sums; thresholds
               + cols * (2 + 2 * static_cast<uint64_t>(CellRing) + static_cast<uint64_t>(AreaRing)) + 4 * blocks +
               cols + 2 * static_cast<uint64_t>(Reach) + static_cast<uint64_t>(AreaRing);
    }
};

}  // namespace

// Everything of a reduction besides the grey rows. Rows of cells and blocks
// are addressed by their index; the rings hold the last few.
struct TScanReduction::TState {
    TShape Shape;
    TMonoBitmap& Raster;
    const uint8_t* Picture;  // the whole picture, or null when rows stream through the ring
    uint8_t* Ring;
    int RowsDone = 0;         // grey rows gathered
    int CellRows = 0;         // cell rows gathered
    int BlockRows = 0;        // block rows coarsened and spread along the row
    int PaperRows = 0;        // block rows whose paper is final
    int CoreRows = 0;         // cell rows searched for cores of areas of ink
    int Bands = 0;            // cell rows written to the raster
    int ThresholdBlock = -1;  // block row whose line thresholds fill Threshold
    // Running column statistics of the band of rows being gathered.
    std::vector<uint8_t> ColMax, ColMin;
    std::vector<uint16_t> ColSum;
    // Per cell: the brightest pixel (two rows), the darkest and the mean (CellRing rows).
    std::vector<uint8_t> CellMax, CellMin, CellMean;
    // Per block: the brightest cell maximum and mean within reach along the
    // row, then within reach both ways (the paper of lines and of areas).
    std::vector<uint8_t> RowLine, RowPaper, Line, Paper;
    std::vector<uint8_t> Area;      // AreaRing rows of cells: 1 where an area of ink lies
    std::vector<uint8_t> AreaRows;  // per ring row: 1 when it holds any
    // The thresholds of lines and of areas for each paper brightness.
    std::array<uint8_t, 256> LineShare{}, AreaShare{};
    std::vector<uint8_t> Threshold, Padded;

    TState(const TShape& shape, TMonoBitmap& raster, const uint8_t* picture, uint8_t* ring)
        : Shape(shape), Raster(raster), Picture(picture), Ring(ring) {
        const size_t w = static_cast<size_t>(shape.W), cols = static_cast<size_t>(shape.Cols);
        const size_t blocks = static_cast<size_t>(shape.BlockCols) * static_cast<size_t>(shape.BlockRows);
        ColMax.assign(w, 0);
        ColMin.assign(w, 0);
        ColSum.assign(w, 0);
        CellMax.assign(2 * cols, 0);
        CellMin.assign(static_cast<size_t>(shape.CellRing) * cols, 0);
        CellMean.assign(static_cast<size_t>(shape.CellRing) * cols, 0);
        RowLine.assign(blocks, 0);
        RowPaper.assign(blocks, 0);
        Line.assign(blocks, 0);
        Paper.assign(blocks, 0);
        Area.assign(static_cast<size_t>(shape.AreaRing) * cols, 0);
        AreaRows.assign(static_cast<size_t>(shape.AreaRing), 0);
        for (int p = 0; p < 256; ++p) {
            LineShare[static_cast<size_t>(p)] = Share(p, kLineInkPercent);
            AreaShare[static_cast<size_t>(p)] = Share(p, kAreaInkPercent);
        }
        Threshold.assign(w, 0);
        Padded.assign(static_cast<size_t>(shape.Cols + 2 * shape.Reach), 0);
    }

    const uint8_t* Grey(int y) const {
        const size_t w = static_cast<size_t>(Shape.W);
        return Picture ? Picture + static_cast<size_t>(y) * w : Ring + static_cast<size_t>(y % Shape.RingRows) * w;
    }
    uint8_t* CellRow(std::vector<uint8_t>& v, int ring, int cy) {
        return v.data() + static_cast<size_t>(cy % ring) * static_cast<size_t>(Shape.Cols);
    }
    uint8_t* BlockRow(std::vector<uint8_t>& v, int by) {
        return v.data() + static_cast<size_t>(by) * static_cast<size_t>(Shape.BlockCols);
    }

    void Gather(int y, const uint8_t* g);
    void FinishCells();
    void Advance();
    void MakeBlockRow(int by);
    void FinishPaper(int by);
    void FindCores(int cy);
    void WriteBand(int cy);
};

// Column statistics over each band of kCell rows first, in vector
// instructions, then four columns per cell when the band is complete.
void TScanReduction::TState::Gather(int y, const uint8_t* g) {
    const int w = Shape.W;
    if (y % kCell == 0) {
        std::copy(g, g + w, ColMax.begin());
        std::copy(g, g + w, ColMin.begin());
        std::copy(g, g + w, ColSum.begin());
    } else {
        AddRow(g, w, ColMax.data(), ColMin.data(), ColSum.data());
    }
    RowsDone = y + 1;
    if (RowsDone % kCell != 0 && RowsDone != Shape.H) return;
    FinishCells();
    ++CellRows;
    Advance();
}

void TScanReduction::TState::FinishCells() {
    const int w = Shape.W, cy = CellRows, bandRows = RowsDone - cy * kCell;
    const int cols = Shape.Cols;
    uint8_t* maxRow = CellRow(CellMax, 2, cy);
    uint8_t* minRow = CellRow(CellMin, Shape.CellRing, cy);
    uint8_t* meanRow = CellRow(CellMean, Shape.CellRing, cy);
    const uint8_t* cmx = ColMax.data();
    const uint8_t* cmn = ColMin.data();
    const uint16_t* csm = ColSum.data();
    const int whole = w / kCell;
    int cx = 0;
#if defined(__SSE2__)
    // Four cells from sixteen columns: the extreme of each group of four
    // bytes gathers in its lowest byte, the sums of four 16-bit columns in
    // 32-bit lanes; then everything is packed down to bytes.
    if (bandRows == kCell) {
        const __m128i low = _mm_set1_epi32(0xFF), ones = _mm_set1_epi16(1);
        auto lowBytes = [&](__m128i v) {
            const __m128i words = _mm_packs_epi32(_mm_and_si128(v, low), _mm_setzero_si128());
            return _mm_cvtsi128_si32(_mm_packus_epi16(words, _mm_setzero_si128()));
        };
        auto store4 = [](uint8_t* to, int v) { std::memcpy(to, &v, 4); };
        for (; cx + 4 <= whole; cx += 4) {
            const int x = cx * kCell;
            __m128i mx = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cmx + x));
            __m128i mn = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cmn + x));
            mx = _mm_max_epu8(mx, _mm_srli_epi32(mx, 8));
            mx = _mm_max_epu8(mx, _mm_srli_epi32(mx, 16));
            mn = _mm_min_epu8(mn, _mm_srli_epi32(mn, 8));
            mn = _mm_min_epu8(mn, _mm_srli_epi32(mn, 16));
            __m128i lo = _mm_madd_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(csm + x)), ones);
            __m128i hi = _mm_madd_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(csm + x + 8)), ones);
            lo = _mm_add_epi32(lo, _mm_srli_epi64(lo, 32));  // cells in lanes 0 and 2
            hi = _mm_add_epi32(hi, _mm_srli_epi64(hi, 32));
            const __m128i sums = _mm_unpacklo_epi64(_mm_shuffle_epi32(lo, _MM_SHUFFLE(3, 1, 2, 0)),
                                                    _mm_shuffle_epi32(hi, _MM_SHUFFLE(3, 1, 2, 0)));
            store4(maxRow + cx, lowBytes(mx));
            store4(minRow + cx, lowBytes(mn));
            store4(meanRow + cx, lowBytes(_mm_srli_epi32(sums, 4)));
        }
    }
#endif
    for (; cx < whole; ++cx) {
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

// Each step runs as soon as its inputs are final; writing a band comes
// first, so that the rings never hold more than TShape allows for.
void TScanReduction::TState::Advance() {
    const TShape& s = Shape;
    for (;;) {
        if (Bands < s.Rows && std::min(Bands + s.AreaReach, s.Rows - 1) < CoreRows) {
            WriteBand(Bands++);
        } else if (CoreRows < s.Rows && std::min(CoreRows + 1, s.Rows - 1) < CellRows &&
                   (std::min(CoreRows + 1, s.Rows - 1) >> 1) < PaperRows) {
            FindCores(CoreRows++);
        } else if (PaperRows < s.BlockRows && std::min(PaperRows + s.Reach, s.BlockRows - 1) < BlockRows) {
            FinishPaper(PaperRows++);
        } else if (BlockRows < s.BlockRows && std::min(2 * BlockRows + 1, s.Rows - 1) < CellRows) {
            MakeBlockRow(BlockRows++);
        } else {
            break;
        }
    }
}

// The brightest of each 2 × 2 cells, then the brightest within reach along the row.
void TScanReduction::TState::MakeBlockRow(int by) {
    const int cols = Shape.Cols, blockCols = Shape.BlockCols;
    const int upper = 2 * by, lower = std::min(2 * by + 1, Shape.Rows - 1);
    auto coarsen = [&](const uint8_t* a, const uint8_t* b, uint8_t* out) {
        uint8_t* both = Padded.data();  // scratch until SpreadRow pads
        for (int x = 0; x < cols; ++x) both[x] = std::max(a[x], b[x]);
        for (int x = 0; x < cols / 2; ++x) out[x] = std::max(both[2 * x], both[2 * x + 1]);
        if (cols % 2) out[blockCols - 1] = both[cols - 1];
        SpreadRow(out, blockCols, Shape.Reach, Padded.data());
    };
    coarsen(CellRow(CellMax, 2, upper), CellRow(CellMax, 2, lower), BlockRow(RowLine, by));
    coarsen(CellRow(CellMean, Shape.CellRing, upper), CellRow(CellMean, Shape.CellRing, lower), BlockRow(RowPaper, by));
}

// The brightest within reach across the rows; paper is never darker than kDarkestPaper.
void TScanReduction::TState::FinishPaper(int by) {
    const int lo = std::max(0, by - Shape.Reach), hi = std::min(Shape.BlockRows - 1, by + Shape.Reach);
    const size_t n = static_cast<size_t>(Shape.BlockCols);
    for (auto [from, to] : {std::pair{&RowLine, &Line}, std::pair{&RowPaper, &Paper}}) {
        uint8_t* out = BlockRow(*to, by);
        std::fill(out, out + n, kDarkestPaper);
        for (int r = lo; r <= hi; ++r) {
            const uint8_t* v = BlockRow(*from, r);
            for (size_t c = 0; c < n; ++c) out[c] = std::max(out[c], v[c]);
        }
    }
}

// An area of ink: cells grey all over (dark on average, with no printed line
// in them) whose neighbours are all dark on average too. A printed line, a
// digit or the outline of an empty box leaves paper in some cell around it;
// a box filled with graphite does not. The area then takes in the rest of its
// box, the box's own outline included. Most of a page is paper, so only dark
// cells are looked at.
void TScanReduction::TState::FindCores(int cy) {
    const int cols = Shape.Cols, rows = Shape.Rows, ring = Shape.CellRing;
    if (cy < 1 || cy + 1 >= rows) return;
    const uint8_t* means[3] = {CellRow(CellMean, ring, cy - 1), CellRow(CellMean, ring, cy),
                               CellRow(CellMean, ring, cy + 1)};
    const uint8_t* papers[3] = {BlockRow(Paper, (cy - 1) >> 1), BlockRow(Paper, cy >> 1),
                                BlockRow(Paper, (cy + 1) >> 1)};
    auto dark = [&](int cx, int dy) { return means[dy][cx] * 100 < papers[dy][cx >> 1] * kAreaMeanPercent; };
    const uint8_t* minRow = CellRow(CellMin, ring, cy);
    const int reach = Shape.AreaReach;
    for (int cx = 1; cx + 1 < cols; ++cx) {
        if (!dark(cx, 1) || minRow[cx] * 100 <= papers[1][cx >> 1] * kAreaLightestPercent) continue;
        bool core = true;
        for (int dy = 0; dy <= 2 && core; ++dy)
            for (int dx = -1; dx <= 1 && core; ++dx) core = dark(cx + dx, dy);
        if (!core) continue;
        const int x0 = std::max(0, cx - reach), x1 = std::min(cols - 1, cx + reach);
        for (int y = std::max(0, cy - reach); y <= std::min(rows - 1, cy + reach); ++y) {
            std::fill(CellRow(Area, Shape.AreaRing, y) + x0, CellRow(Area, Shape.AreaRing, y) + x1 + 1, uint8_t{1});
            AreaRows[static_cast<size_t>(y % Shape.AreaRing)] = 1;
        }
    }
}

// One threshold per pixel of a band, then a plain comparison per pixel.
void TScanReduction::TState::WriteBand(int cy) {
    const int w = Shape.W, cols = Shape.Cols;
    const int by = cy >> 1;
    uint8_t* t = Threshold.data();
    if (by != ThresholdBlock) {
        const uint8_t* line = BlockRow(Line, by);
        const int whole = w / (2 * kCell);
        for (int bx = 0; bx < whole; ++bx) {
            const uint64_t eight = LineShare[line[bx]] * 0x0101010101010101ull;
            std::memcpy(t + bx * 2 * kCell, &eight, sizeof eight);
        }
        if (whole < Shape.BlockCols) std::fill(t + whole * 2 * kCell, t + w, LineShare[line[whole]]);
        ThresholdBlock = by;
    }
    const size_t ring = static_cast<size_t>(cy % Shape.AreaRing);
    uint8_t* area = CellRow(Area, Shape.AreaRing, cy);
    if (AreaRows[ring]) {
        const uint8_t* paper = BlockRow(Paper, by);
        for (int cx = 0; cx < cols; ++cx)
            if (area[cx]) {
                const int x0 = cx * kCell, x1 = std::min(w, x0 + kCell);
                std::fill(t + x0, t + x1, AreaShare[paper[cx >> 1]]);
            }
    }
    const int y0 = cy * kCell, y1 = std::min(Shape.H, y0 + kCell);
    for (int y = y0; y < y1; ++y) PackRow(Grey(y), t, w, Raster.Row(y));
    if (!AreaRows[ring]) return;
    // The next band starts again from the lines, and the ring row is reused.
    ThresholdBlock = -1;
    std::fill(area, area + cols, uint8_t{0});
    AreaRows[ring] = 0;
}

uint64_t ReductionBytes(int64_t width, int64_t height) {
    if (width <= 0 || height <= 0) return 0;
    return TShape(width, height).Bytes(true);
}

uint64_t GreyScanBytes(int64_t width, int64_t height) {
    if (width <= 0 || height <= 0) return 0;
    return static_cast<uint64_t>(width) * static_cast<uint64_t>(height) + TShape(width, height).Bytes(false);
}

void TGreyScan::Resize(int32_t width, int32_t height) {
    Width = width;
    Height = height;
    pixels_.reset(new uint8_t[static_cast<size_t>(width) * static_cast<size_t>(height)]);
}

TScanReduction::TScanReduction(int32_t width, int32_t height, TMonoBitmap& raster)
    : TScanReduction(width, height, raster, nullptr) {}

TScanReduction::TScanReduction(int32_t width, int32_t height, TMonoBitmap& raster, const uint8_t* picture)
    : width_(std::max(width, 0)) {
    raster.Resize(width, height);
    if (width <= 0 || height <= 0) return;
    const TShape shape(width, height);
    ringRows_ = shape.RingRows;
    if (!picture) rows_.reset(new uint8_t[static_cast<size_t>(ringRows_) * static_cast<size_t>(width)]);
    state_ = std::make_unique<TState>(shape, raster, picture, rows_.get());
}

TScanReduction::~TScanReduction() = default;

void TScanReduction::Take(int32_t y, const uint8_t* grey) {
    if (state_ && y == state_->RowsDone && y < state_->Shape.H) state_->Gather(y, grey);
}

bool TScanReduction::Complete() const { return !state_ || state_->Bands == state_->Shape.Rows; }

void ReduceScan(TGreyScan& grey, TMonoBitmap& raster) {
    TScanReduction reduction(grey.Width, grey.Height, raster, grey.Row(0));
    for (int32_t y = 0; y < grey.Height; ++y) reduction.Take(y, grey.Row(y));
}

}  // namespace quorlen
