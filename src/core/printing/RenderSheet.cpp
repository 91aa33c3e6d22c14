// The frame and ruler first, then the header lines (their height sizes the
// layout), the code block and the question grid; every position comes from
// TSheetLayout, and questions that do not fit go onto a second page alike.
#include "core/printing/RenderSheet.h"

#include <stdexcept>
#include <vector>

#include "core/printing/SheetFont.h"
#include "core/project/SheetLayout.h"

namespace quorlen {

namespace {

constexpr int kHeaderLeft = 40;
constexpr int kHeaderRight = 600;
constexpr int kCodeRuleSteps = 85;

void DrawBox(TMonoBitmap& r, TGridPoint p, bool filled) {
    TSheetBox b = BoxAt(p);
    if (filled)
        r.FillRect(b.Left, b.Top, b.Right + 1, b.Bottom + 1, true);
    else
        r.FrameRect(b.Left, b.Top, b.Right + 1, b.Bottom + 1, true);
}

// A rule's end point is not drawn: it covers [10·x0, 10·(x0 + steps)).
void DrawRule(TMonoBitmap& r, int row, int column, int steps) {
    r.FillRect(GridStep * column, GridStep * row, GridStep * (column + steps), GridStep * row + 1, true);
}

void DrawFrameAndRuler(TMonoBitmap& r) {
    r.FrameRect(0, 0, SheetWidth, SheetHeight, true);
    for (int x = 0; x < GridColumns; ++x) {
        r.FillRect(GridStep * x, 0, GridStep * x + 1, 10, true);
        r.FillRect(GridStep * x, SheetHeight - 10, GridStep * x + 1, SheetHeight, true);
    }
    for (int y = 0; y < GridRows; ++y) {
        r.FillRect(0, GridStep * y, 10, GridStep * y + 1, true);
        r.FillRect(SheetWidth - 11, GridStep * y, SheetWidth - 1, GridStep * y + 1, true);
    }
}

// Splits at CR; an LF right after a CR is dropped; a final CR adds no line.
std::vector<std::string> SplitHeader(const std::string& text) {
    std::vector<std::string> lines;
    std::string current;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            lines.push_back(current);
            current.clear();
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            current += text[i];
        }
    }
    if (!current.empty()) lines.push_back(current);
    return lines;
}

void DrawText(TMonoBitmap& r, int x, int y, const std::string& text) { TSheetFont::Instance().DrawText(r, x, y, text); }

TMonoBitmap RenderPage(int q, int a, const std::string& code, const std::string& headerText, int first,
                       std::unique_ptr<TMonoBitmap>* continuation, const TPrintLines& printLines) {
    TMonoBitmap page(SheetWidth, SheetHeight);
    const TSheetFont& font = TSheetFont::Instance();
    DrawFrameAndRuler(page);

    // Header.
    const TPrintLines& pl = printLines;
    std::string full = ": " + headerText + "\r" + (pl.Line1.empty() ? std::string(".") : pl.Line1) + "\r" +
                       (pl.Line2.empty() ? "Nazwa zestawu" + std::string(121, '.') : pl.Line2);
    std::vector<std::string> lines = SplitHeader(full);
    const int h = lines.empty() ? 0 : font.TextHeight();
    const TSheetLayout layout = TSheetLayout::Make(a, q, first, h, static_cast<int>(lines.size()));
    // Checked before any drawing: a page without question rows would print as
    // if all were well while holding none of the questions.
    if (layout.RowsPerColumn < 1)
        throw std::invalid_argument("the sheet header has " + std::to_string(lines.size()) +
                                    " lines and leaves no room for the questions");
    int y = layout.HeaderTop;
    for (const std::string& line : lines) {
        font.DrawText(page, kHeaderLeft, y, line, TTextClip{kHeaderLeft, y, kHeaderRight, y + h});
        y += layout.LinePitch;
    }

    // Code block.
    DrawRule(page, layout.CodeTopRule, 0, kCodeRuleSteps);
    for (int i = 0; i < a; ++i) DrawBox(page, {4 + 2 * i, layout.MarkerRow}, true);
    if (layout.IsContinuation()) DrawBox(page, {ContinuationMarkerColumn, layout.MarkerRow}, true);
    for (int p = 1; p <= CodePositions; ++p) {
        const int g = layout.CodeGroupColumn(p);
        DrawText(page, GridStep * g - 20, GridStep * layout.CodeRow(p) - 7, std::to_string(p));
        const int digit = p <= static_cast<int>(code.size()) ? code[static_cast<size_t>(p - 1)] - '0' : -1;
        for (int k = 0; k <= 9; ++k) {
            DrawBox(page, layout.CodeBox(p, k), k == digit);
            DrawText(page, GridStep * (g + 2 * k) - 3, GridStep * layout.FirstCodeRow - 19, std::to_string(k));
        }
    }
    DrawRule(page, layout.CodeBottomRule, 0, kCodeRuleSteps);

    // Question grid.
    const int n = layout.RowsPerColumn;
    for (int question = first; question <= q; ++question) {
        const int j = question - first;
        const int c = j / n;
        if (c >= layout.ColumnsPerPage) break;
        const int s = layout.ColumnStart(c);
        const int row = layout.QuestionRow(question);
        if (j % n == 0) {
            DrawBox(page, {layout.MarkerColumn(c), layout.MarkerRow}, true);
            for (int i = 1; i <= a; ++i)
                DrawText(page, GridStep * (s + 2 * i) - 3, GridStep * layout.FirstQuestionRow - 17,
                         std::string(1, static_cast<char>(64 + i)));
        }
        DrawText(page, GridStep * s - 5, GridStep * row - 7, std::to_string(question));
        for (int i = 1; i <= a; ++i) DrawBox(page, {s + 2 * i, row}, false);
        DrawBox(page, {s + 2 * a + 2, row}, true);

        const bool columnEnds = j % n == n - 1 || question == q;
        if (!columnEnds) continue;
        DrawRule(page, row + 1, s - 1, 2 * a + 2);
        const bool nextColumnFits = c + 1 < layout.ColumnsPerPage;
        if (question < q && !nextColumnFits) {
            if (!layout.IsContinuation() && continuation)
                *continuation =
                    std::make_unique<TMonoBitmap>(RenderPage(q, a, code, headerText, question + 1, nullptr, printLines));
            break;
        }
    }
    return page;
}

bool IsValidCode(const std::string& code) {
    if (code.size() > 10) return false;
    for (char ch : code)
        if (ch < '0' || ch > '9') return false;
    return true;
}

}  // namespace

TMonoBitmap RenderSheet(int questionCount, int answerCount, const std::string& code, const std::string& headerText,
                        int firstQuestion, std::unique_ptr<TMonoBitmap>* continuationPage,
                        const TPrintLines& printLines) {
    if (!IsValidCode(code)) throw std::invalid_argument("a sheet code holds at most ten decimal digits");
    if (answerCount < 2 || answerCount > 16 || questionCount < 1 || firstQuestion < 1)
        throw std::invalid_argument("RenderSheet: answer count 2..16 and positive question numbers expected");
    if (continuationPage) continuationPage->reset();
    std::unique_ptr<TMonoBitmap> dummy;
    return RenderPage(questionCount, answerCount, code, headerText, firstQuestion,
                      continuationPage ? continuationPage : &dummy, printLines);
}

}  // namespace quorlen
