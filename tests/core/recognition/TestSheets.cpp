#include "TestSheets.h"

namespace quorlen::testsheets {

namespace {

void Box(TMonoBitmap& page, TGridPoint p, bool filled) {
    const TSheetBox b = BoxAt(p);
    if (filled)
        page.FillRect(b.Left, b.Top, b.Right + 1, b.Bottom + 1, true);
    else
        page.FrameRect(b.Left, b.Top, b.Right + 1, b.Bottom + 1, true);
}

void Rule(TMonoBitmap& page, int row, int column, int steps) {
    page.FillRect(GridStep * column, GridStep * row, GridStep * (column + steps), GridStep * row + 1, true);
}

}  // namespace

TMonoBitmap DrawPage(const TSheetLayout& l, const std::string& code) {
    TMonoBitmap page(SheetWidth, SheetHeight);
    page.FrameRect(0, 0, SheetWidth, SheetHeight, true);
    for (int x = 0; x < GridColumns; ++x) {
        page.FillRect(10 * x, 0, 10 * x + 1, 10, true);
        page.FillRect(10 * x, 840, 10 * x + 1, 850, true);
    }
    for (int y = 0; y < GridRows; ++y) {
        page.FillRect(0, 10 * y, 10, 10 * y + 1, true);
        page.FillRect(629, 10 * y, 639, 10 * y + 1, true);
    }

    for (int i = 0; i < l.AnswerCount; ++i) Box(page, {4 + 2 * i, l.MarkerRow}, true);
    for (int c = 0; c < l.UsedColumns(); ++c) Box(page, {l.MarkerColumn(c), l.MarkerRow}, true);
    if (l.IsContinuation()) Box(page, {ContinuationMarkerColumn, l.MarkerRow}, true);

    Rule(page, l.CodeTopRule, 0, 85);
    for (int p = 1; p <= CodePositions; ++p)
        for (int k = 0; k <= 9; ++k)
            Box(page, l.CodeBox(p, k),
                static_cast<size_t>(p) <= code.size() && code[static_cast<size_t>(p - 1)] - '0' == k);
    Rule(page, l.CodeBottomRule, 0, 85);

    for (int q = l.FirstQuestion; q <= l.LastQuestion(); ++q) {
        for (int i = 1; i <= l.AnswerCount; ++i) Box(page, l.AnswerBox(q, i), false);
        Box(page, l.EndMark(q), true);
    }
    for (int c = 0; c < l.UsedColumns(); ++c)
        Rule(page, l.ClosingRuleRow(c), l.ColumnStart(c) - 1, 2 * l.AnswerCount + 2);
    return page;
}

void FillBox(TMonoBitmap& page, TGridPoint p) { Box(page, p, true); }

void MarkAnswer(TMonoBitmap& page, const TSheetLayout& layout, int q, int b) {
    FillBox(page, layout.AnswerBox(q, b + 1));
}

void Erase(TMonoBitmap& page, int x0, int y0, int x1, int y1) { page.FillRect(x0, y0, x1, y1, false); }

TMonoBitmap Scan(const TMonoBitmap& page, const TPlacement& p) {
    const int k = p.Scale;
    TMonoBitmap scan(p.Left + k * page.Width() + p.Right, p.Top + k * page.Height() + p.Bottom);
    for (int y = 0; y < page.Height(); ++y)
        for (int x = 0; x < page.Width(); ++x)
            if (page.IsBlack(x, y)) scan.FillRect(p.X(x), p.Y(y), p.X(x) + k, p.Y(y) + k, true);
    return scan;
}

}  // namespace quorlen::testsheets
