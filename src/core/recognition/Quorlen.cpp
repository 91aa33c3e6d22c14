// Location, then reading, all on the deskewed one-bit raster: the frame's left
// edge gives the skew, the corners bound the frame, and the ruler ticks map every
// grid point of the layout to a pixel; a box is marked when its cell holds more
// black than the level's share.
#include "core/recognition/Quorlen.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <functional>
#include <numbers>
#include <stdexcept>
#include <thread>

#include "core/common/Rounding.h"
#include "core/project/SheetLayout.h"
#include "core/recognition/Deskew.h"

namespace quorlen {

namespace {

// Search windows of location, in sheet pixels (scaled to scan pixels by the
// sheet's scale in the scan).
constexpr double SkewProbeColumn = 50;     // column where the frame's top and bottom edges are met
constexpr double SkewProbeInset = 10;      // rows inside the frame where its left edge is met
constexpr double CornerWindow = 100;       // how far from the page's edge a corner may lie
constexpr double CornerStartInset = 10;    // where the bottom-right search starts, from the edge
constexpr double CornerMarginShare = 0.1;  // share of CornerStartInset a corner keeps from the edge
constexpr int StoredCornerSlack = 5;       // scan pixels before a stored corner where its search starts
constexpr int RulerStartSlack = 10;        // scan pixels before the frame where a ruler walk starts
constexpr double GridCell = GridStep;      // one grid cell: a box, a tick spacing
constexpr double StructureProbe = 20;      // inset of the walk down to the code's top rule
constexpr int LineSlack = 2;               // pixels across a line within which its ink is sought
// The marker row: the first answer column lies at most this far right, a
// column holds at most this many answers, and marks are sought up to here.
constexpr int MarkerSearchLastFirstColumn = 20;
constexpr int MarkerSearchMaxAnswers = 30;
constexpr int MarkerSearchLastColumn = 59;

// The search step used throughout: move while the pixel has the colour and the
// bound holds, testing the bound first.
template <class Pixels, class Bound>
void SkipRight(const Pixels& r, int& x, int y, bool black, Bound inside) {
    while (inside(x) && (black ? r.IsBlack(x, y) : r.IsWhite(x, y))) ++x;
}
template <class Pixels, class Bound>
void SkipLeft(const Pixels& r, int& x, int y, bool black, Bound inside) {
    while (inside(x) && (black ? r.IsBlack(x, y) : r.IsWhite(x, y))) --x;
}
template <class Pixels, class Bound>
void SkipDown(const Pixels& r, int x, int& y, bool black, Bound inside) {
    while (inside(y) && (black ? r.IsBlack(x, y) : r.IsWhite(x, y))) ++y;
}
template <class Pixels, class Bound>
void SkipUp(const Pixels& r, int x, int& y, bool black, Bound inside) {
    while (inside(y) && (black ? r.IsBlack(x, y) : r.IsWhite(x, y))) --y;
}

}  // namespace

TQuorlen::TQuorlen(TMonoBitmap& raster, int firstQuestionNo, const TScanGeometry& geometry)
    : Raster(raster), Level(geometry.Level), Geometry(geometry), FirstQuestionNo(firstQuestionNo) {}

TQuorlen::~TQuorlen() = default;

void TQuorlen::MakeAllTiles() {
    if (tiles_) tiles_->MakeAll();
}

TQuorlen::TPixelView TQuorlen::View() const { return {Raster, tiles_.get()}; }

bool TQuorlen::MeasureSkew(double& angle) {
    const int w = Raster.Width(), h = Raster.Height();
    const double sx = ScaleX, sy = ScaleY;
    const int xa = Round(SkewProbeColumn * sx);
    auto upperHalf = [&](int v) { return v < h / 2; };
    auto leftHalf = [&](int v) { return v < w / 2; };
    auto lowerHalf = [&](int v) { return v > h / 2; };

    int y = 1;
    SkipDown(View(), xa, y, true, upperHalf);
    SkipDown(View(), xa, y, false, upperHalf);
    if (y >= h / 2) return false;
    const int ya = Round(y + SkewProbeInset * sy);
    int x = 1;
    SkipRight(View(), x, ya, true, leftHalf);
    SkipRight(View(), x, ya, false, leftHalf);
    PassSpecks(x, ya, true, +1, w / 2);
    if (x >= w / 2) return false;
    const TPoint p1{x, ya};

    y = h - 1;
    SkipUp(View(), xa, y, true, lowerHalf);
    SkipUp(View(), xa, y, false, lowerHalf);
    if (y <= h / 2) return false;
    const int yb = Round(y - SkewProbeInset * sy);
    x = 1;
    SkipRight(View(), x, yb, true, leftHalf);
    SkipRight(View(), x, yb, false, leftHalf);
    PassSpecks(x, yb, true, +1, w / 2);
    if (x >= w / 2) return false;
    const TPoint p2{x, yb};

    if (p2.Y == p1.Y) return false;
    angle = std::atan(static_cast<double>(p2.X - p1.X) / static_cast<double>(p2.Y - p1.Y)) * 180.0 / std::numbers::pi;
    return true;
}

bool TQuorlen::OnLine(int x, int y, bool vertical, int reach) const {
    const int w = Raster.Width(), h = Raster.Height();
    if (reach < 0) reach = 2 * (vertical ? hy_ : hx_);
    int hits = 0;
    for (int d = -reach; d <= reach; ++d)
        for (int a = -LineSlack; a <= LineSlack; ++a) {
            const int px = vertical ? x + a : x + d, py = vertical ? y + d : y + a;
            if (px >= 0 && py >= 0 && px < w && py < h && View().IsBlack(px, py)) {
                ++hits;
                break;
            }
        }
    return 2 * hits > 2 * reach + 1;
}

void TQuorlen::PassSpecks(int& v, int fixed, bool alongX, int step, double limit, int reach) const {
    auto inside = [&](int u) { return step > 0 ? u < limit : u > limit; };
    auto cross = [&](bool black) {
        if (alongX && step > 0) SkipRight(View(), v, fixed, black, inside);
        else if (alongX) SkipLeft(View(), v, fixed, black, inside);
        else if (step > 0) SkipDown(View(), fixed, v, black, inside);
        else SkipUp(View(), fixed, v, black, inside);
    };
    auto black = [&] { return alongX ? View().IsBlack(v, fixed) : View().IsBlack(fixed, v); };
    while (inside(v) && black() && !OnLine(alongX ? v : fixed, alongX ? fixed : v, alongX, reach)) {
        cross(true);
        cross(false);
    }
}

bool TQuorlen::MeasureSkewAlongTop(double& angle) {
    const int w = Raster.Width(), h = Raster.Height();
    auto upperHalf = [&](int v) { return v < h / 2; };
    auto topOfFrame = [&](int x) {
        int y = 1;
        SkipDown(View(), x, y, true, upperHalf);
        SkipDown(View(), x, y, false, upperHalf);
        return y;
    };
    const int x1 = Round(SkewProbeColumn * ScaleX), x2 = w - x1;
    const int y1 = topOfFrame(x1), y2 = topOfFrame(x2);
    if (x2 <= x1 || y1 >= h / 2 || y2 >= h / 2) return false;
    angle = -std::atan(static_cast<double>(y2 - y1) / static_cast<double>(x2 - x1)) * 180.0 / std::numbers::pi;
    return true;
}

int TQuorlen::SeekLine(bool alongX, int fixed, int start, int step, double limit, bool overEdge,
                       int& whiteFrom) const {
    auto inside = [&](int u) { return step > 0 ? u < limit : u > limit; };
    auto cross = [&](int& v, bool black) {
        if (alongX && step > 0) SkipRight(View(), v, fixed, black, inside);
        else if (alongX) SkipLeft(View(), v, fixed, black, inside);
        else if (step > 0) SkipDown(View(), fixed, v, black, inside);
        else SkipUp(View(), fixed, v, black, inside);
    };
    int v = start;
    if (overEdge) cross(v, true);
    whiteFrom = v;
    cross(v, false);
    PassSpecks(v, fixed, alongX, step, limit);
    return v;
}

// A printed line is one sheet pixel, one to three scan pixels, and the
// rotation's extrapolating weights (a pixel of the line whose neighbour across
// is paper can come out paper) or the scan's grain leave holes in it a few
// pixels long. A search that runs through such a hole passes the frame and
// stops far beyond it, on the content or at its bound: the grid lands a row or
// a column off, every box reads empty and the code is refused. So the lines
// beside the search, up to half a grid step to either side, are searched too.
// One that meets a line more than half a grid step earlier, on paper the
// search itself crossed, where that line runs on across the search's own
// path (OnLine), shows the hole; its position is taken, the nearest such
// line's first. On a sound line every neighbour meets it within a pixel or two
// of the search, and the search's own position stands.
int TQuorlen::SeekBorder(bool alongX, int fixed, int start, int step, double limit, bool overEdge) const {
    int whiteFrom = 0, unused = 0;
    const int found = SeekLine(alongX, fixed, start, step, limit, overEdge, whiteFrom);
    return AcrossHole(alongX, fixed, step, whiteFrom, found,
                      [&](int line) { return SeekLine(alongX, line, start, step, limit, overEdge, unused); });
}

int TQuorlen::AcrossHole(bool alongX, int fixed, int step, int whiteFrom, int found,
                         const std::function<int(int)>& seek) const {
    const int along = alongX ? hx_ : hy_, across = alongX ? hy_ : hx_;
    const int extent = alongX ? Raster.Height() : Raster.Width();
    for (int d = 1; d <= across; ++d)
        for (const int side : {-1, +1}) {
            const int line = fixed + side * d;
            if (line < 0 || line >= extent) continue;
            const int v = seek(line);
            const bool onPaperCrossed = step * (v - whiteFrom) >= 0 && step * (found - v) > along;
            if (onPaperCrossed && OnLine(alongX ? v : fixed, alongX ? fixed : v, alongX)) return v;
        }
    return found;
}

bool TQuorlen::AskForCorner(TRect area, TPoint& pt) {
    if (!OnGetStartPoint) return false;
    MakeAllTiles();
    OnGetStartPoint(*this, area, pt, Ok);
    return true;
}

void TQuorlen::LocateSheet() {
    const int w = Raster.Width(), h = Raster.Height();
    // Tick positions are kept in 16 bits; a wider raster would wrap them
    // silently and read a plausible but wrong grid.
    if (w > MaxRasterSide || h > MaxRasterSide) throw std::length_error("scan raster over 65535 pixels");
    ScaleX = w / static_cast<double>(SheetWidth);
    ScaleY = h / static_cast<double>(SheetHeight);
    const double sx = ScaleX;
    hx_ = Round(GridCell * ScaleX) / 2;
    hy_ = Round(GridCell * ScaleY) / 2;
    const bool known = Geometry.Left != 0;

    // A failed measurement rotates by 0: the raster stays as scanned.
    double angle = 0;
    if (known) {
        angle = Geometry.Angle;
    } else if (MeasureSkew(angle)) {
        Geometry.Angle = static_cast<float>(angle);
    } else if (!MeasureSkewAlongTop(angle)) {
        angle = 0;
    }
    // Rotated tile by tile as the reading below touches them. A second
    // location starts from the whole of the first one's picture.
    MakeAllTiles();
    tiles_ = std::make_unique<TDeskewTiles>(Raster, angle);

    // Top-left corner. Every bound of this step uses sx, the vertical ones too.
    const double near = CornerWindow * sx;
    Left = SeekBorder(true, h / 2, known ? Geometry.Left - StoredCornerSlack : 1, +1, near, true);
    Top = SeekBorder(false, w / 2, known ? Geometry.Top - StoredCornerSlack : 1, +1, near, true);
    const int r = Round(CornerWindow * sx);
    if (!(sx < Left && Left < near && sx < Top && Top < near)) {
        TPoint pt;
        if (AskForCorner({0, 0, r, r}, pt)) {
            Left = pt.X;
            Top = pt.Y;
        }
    }
    if (!Ok) return;

    // Bottom-right corner.
    const int inset = Round(CornerStartInset * sx);
    int right = SeekBorder(true, h / 2, known ? Geometry.Right + StoredCornerSlack : w - inset, -1, w - near, true);
    int bottom = SeekBorder(false, w / 2, known ? Geometry.Bottom + StoredCornerSlack : h - inset, -1, h - near, true);
    const double margin = CornerStartInset * sx * CornerMarginShare;
    if (!(w - near < right && right < w - margin && h - near < bottom && bottom < h - margin)) {
        TPoint pt;
        if (AskForCorner({w - r, h - r, w, h}, pt)) {
            right = w - r + pt.X;
            bottom = h - r + pt.Y;
        }
    }
    if (!Ok) return;

    Geometry.Left = Left;
    Geometry.Top = Top;
    Geometry.Right = right;
    Geometry.Bottom = bottom;
    Width = right - Left;
    Height = bottom - Top;
    ReadStructure();
}

// One ruler walk: tick i is the start of the i-th black run met along the
// line from start, as printed. A noisy scan breaks the count two ways: a tick
// whose pixels fell white on the walked line, and a speck of dust between two
// ticks. Both show as a spacing far from the ruler's own (the frame's extent
// over its grid steps), and both would shift every later column or row by one
// step. So from the second tick on, a black run closer than kTickSpacingLow
// steps to the previous tick is passed over, and a white stretch longer than
// kTickSpacingHigh steps holds a lost tick, which is placed one step on. A
// sound ruler meets neither rule: each tick is the start of its run. A walk that
// starts on a scanner's dark border takes the border for tick 0 and would
// take the frame border for tick 1; its tick 1 is measured from the located
// frame border (origin) instead.
void TQuorlen::WalkRuler(bool alongX, int fixed, int start, int origin, int limit, int half, double step, int last,
                         uint16_t* ticks) {
    auto black = [&](int v) { return alongX ? View().IsBlack(v, fixed) : View().IsBlack(fixed, v); };
    auto skip = [&](int& v, bool colour) {
        while (v < limit && black(v) == colour) ++v;
    };
    int v = start;
    const bool onBorder = start < limit && black(start);
    for (int i = 0; i <= last; ++i) {
        skip(v, false);
        // Tick 0 is the frame's border across the ruler; through a hole in
        // it the walk would take tick 1 for it and shift the whole ruler.
        if (i == 0 && !onBorder && step >= 1)
            v = AcrossHole(alongX, fixed, +1, start, v, [&](int line) {
                int u = start;
                while (u < limit && !(alongX ? View().IsBlack(u, line) : View().IsBlack(line, u))) ++u;
                return u;
            });
        if (i >= 1 && step >= 1) {  // a frame of a sound size
            const int previous = i == 1 && onBorder ? origin : ticks[i - 1];
            while (v < limit && v - previous < kTickSpacingLow * step) {
                skip(v, true);
                skip(v, false);
            }
            if (v - previous > kTickSpacingHigh * step) v = previous + Round(step);
        }
        ticks[i] = static_cast<uint16_t>(v);
        if (i < last) {
            skip(v, true);
            v += half;
        }
    }
}

void TQuorlen::MeasureColumnTicks(int column) {
    const int start = Left - RulerStartSlack > 0 ? Left - RulerStartSlack : 1;
    const double step = Width / static_cast<double>(LastGridColumn);
    WalkRuler(true, Top + hy_, start, Left, Left + Width, hx_, step, column, TickTable[TopRuler].data());
    WalkRuler(true, Top + Height - hy_, start, Left, Left + Width, hx_, step, column, TickTable[BottomRuler].data());
}

void TQuorlen::MeasureRowTicks(int row) {
    const int start = Top - RulerStartSlack > 0 ? Top - RulerStartSlack : 1;
    const double step = Height / static_cast<double>(LastGridRow);
    WalkRuler(false, Left + hx_, start, Top, Top + Height, hy_, step, row, TickTable[LeftRuler].data());
    WalkRuler(false, Left + Width - hx_, start, Top, Top + Height, hy_, step, row, TickTable[RightRuler].data());
}

TPoint TQuorlen::GridToPixel(int column, int row) {
    // Points off the ruler (only a misread marker row asks for them) are
    // extrapolated from the nearest tick by whole grid steps, so nothing outside
    // the table is read.
    const int c = std::clamp(column, 0, LastGridColumn);
    const int r = std::clamp(row, 0, TickCount - 1);
    if (TickTable[TopRuler][static_cast<size_t>(c)] == 0) MeasureColumnTicks(c);
    if (TickTable[LeftRuler][static_cast<size_t>(r)] == 0) MeasureRowTicks(r);
    const int top = TickTable[TopRuler][static_cast<size_t>(c)];
    const int bottom = TickTable[BottomRuler][static_cast<size_t>(c)];
    const int left = TickTable[LeftRuler][static_cast<size_t>(r)];
    const int right = TickTable[RightRuler][static_cast<size_t>(r)];
    const double fr = r / static_cast<double>(LastGridRow);
    const double fc = c / static_cast<double>(LastGridColumn);
    TPoint p{top + Round((bottom - top) * fr), left + Round((right - left) * fc)};
    p.X += (column - c) * 2 * hx_;
    p.Y += (row - r) * 2 * hy_;
    return p;
}

int TQuorlen::CountBlack(int x0, int y0, int x1, int y1) const {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, Raster.Width() - 1);
    y1 = std::min(y1, Raster.Height() - 1);
    if (x0 > x1 || y0 > y1) return 0;
    if (tiles_) tiles_->MakeRect(x0, y0, x1, y1);
    int count = 0;
    if (Raster.InkBit() == 1 && Raster.HasStandardPalette()) {
        // Whole bytes by popcount; the partial bytes at either end are masked.
        const int b0 = x0 >> 3, b1 = x1 >> 3;
        const uint8_t firstMask = static_cast<uint8_t>(0xFFu >> (x0 & 7));
        const uint8_t lastMask = static_cast<uint8_t>(0xFF00u >> ((x1 & 7) + 1));
        for (int y = y0; y <= y1; ++y) {
            const uint8_t* row = Raster.Row(y);
            if (b0 == b1) {
                count += std::popcount(static_cast<unsigned>(row[b0] & firstMask & lastMask));
                continue;
            }
            count += std::popcount(static_cast<unsigned>(row[b0] & firstMask));
            for (int b = b0 + 1; b < b1; ++b) count += std::popcount(static_cast<unsigned>(row[b]));
            count += std::popcount(static_cast<unsigned>(row[b1] & lastMask));
        }
        return count;
    }
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) count += Raster.IsBlack(x, y);
    return count;
}

bool TQuorlen::IsMarked(int column, int row) {
    const TPoint p = GridToPixel(column, row);
    const int count = CountBlack(p.X - hx_, p.Y - hy_, p.X + hx_, p.Y + hy_);
    return count > GridCell * GridCell * ScaleX * ScaleY * Level / 100.0;
}

double TQuorlen::MarkRatio(int column, int row) {
    const TPoint p = GridToPixel(column, row);
    const int count = CountBlack(p.X - hx_, p.Y - hy_, p.X + hx_, p.Y + hy_);
    return count / (100 * ScaleX * ScaleY * std::max(Level, 1) / 100.0);
}

void TQuorlen::ReadStructure() {
    const int x = Round(StructureProbe * ScaleX + Left);
    const int y = SeekBorder(false, x, Round(StructureProbe * ScaleY + Top), +1, Top + Height, false);
    // The divisor uses sx, as the sheets in circulation were read that way. A
    // raster under 32 pixels wide has no grid step at all: that is an error of
    // the scan, not a row to guess.
    const int step = Round(GridCell * ScaleX);
    if (step == 0) throw std::domain_error("scan too small for a grid step");
    CodeRuleRow = (y - Top) / step + 1;

    GridToPixel(LastGridColumn, LastGridRow);
    const int m = CodeRuleRow + MarkerRowFromCodeRule;
    MarkerColumns.fill(0);
    int c1 = 1;
    while (!IsMarked(c1, m) && c1 < MarkerSearchLastFirstColumn) ++c1;
    MarkerColumns[1] = c1;
    AnswerCount = 0;
    while (IsMarked(c1 + 2 * AnswerCount, m) && AnswerCount < MarkerSearchMaxAnswers) ++AnswerCount;
    int entry = 2;
    for (int c = c1 + 2 * AnswerCount + 2; c <= MarkerSearchLastColumn && entry <= MarkerColumnCount; ++c)
        if (IsMarked(c, m)) MarkerColumns[static_cast<size_t>(entry++)] = c;
}

void TQuorlen::ReadCode() {
    Code.clear();
    for (int p = 1; p <= CodePositions; ++p) {
        const int g = TSheetLayout::CodeGroupColumn(p);
        const int row = CodeRuleRow + FirstCodeRowFromCodeRule + TSheetLayout::CodeRowOffset(p);
        int digit = -1;
        for (int k = 0; k <= 9 && digit < 0; ++k)
            if (IsMarked(g + 2 * k, row)) digit = k;
        Code += digit < 0 ? '_' : static_cast<char>('0' + digit);
    }
    while (!Code.empty() && Code.back() == '_') Code.pop_back();
}

bool TQuorlen::ColumnClosed(int column, int row) {
    const TPoint p = GridToPixel(column + 1, row - 1);
    const int h = Round(GridCell * ScaleX) / 2;
    int y = p.Y - h;
    auto inside = [&](int v) { return v < p.Y + h; };
    SkipDown(View(), p.X, y, false, inside);
    // The rule under a column's last question crosses the whole gap between
    // the two boxes; a speck in the gap does not. (Further out, within two
    // pixels of the rule's row, lie the boxes' own outlines.)
    PassSpecks(y, p.X, false, +1, p.Y + h, hx_ / 2);
    return View().IsBlack(p.X, y);
}

void TQuorlen::ReadAnswers() {
    int col = MarkerColumns[1];
    int row = CodeRuleRow + FirstQuestionRowFromCodeRule;
    size_t columnIndex = 1;
    int q = FirstQuestionNo - 1;
    bool ended = false;
    while (Ok && !ended) {
        std::this_thread::yield();
        std::string answer;
        ++q;
        for (int b = 0; b < AnswerCount; ++b)
            if (IsMarked(col + 2 * b, row)) answer += static_cast<char>(65 + b);

        if (answer.empty() && !CheckEmpty.On()) {
            answer = " ";
        } else if (answer.size() != 1 && OnGetOdp) {
            const TPoint a = GridToPixel(col - 3, row - 1);
            const TPoint b = GridToPixel(col + 3 + 2 * AnswerCount, row + 1);
            MakeAllTiles();
            OnGetOdp(*this, TRect{a.X, a.Y, b.X, b.Y}, AnswerCount, answer, Ok);
        }
        Answers.Add(std::to_string(q), answer.empty() ? std::string() : answer.substr(0, 1));
        if (OnAnswerRead) OnAnswerRead(*this);

        row += 2;
        bool nextColumn;
        if (row > LastQuestionRow)
            nextColumn = true;
        else
            nextColumn = ColumnClosed(col, row);
        if (nextColumn) {
            ++columnIndex;
            col = columnIndex <= MarkerColumnCount ? MarkerColumns[columnIndex] : 0;
            if (col == 0)
                ended = true;
            else
                row = CodeRuleRow + FirstQuestionRowFromCodeRule;
        }
    }
}

void TQuorlen::Run() {
    LocateSheet();
    std::this_thread::yield();
    if (Ok) {
        ReadCode();
        std::this_thread::yield();
    }
    if (Ok && CodeRead) CodeRead(*this);
    if (Ok) ReadAnswers();
}

}  // namespace quorlen
