// The layout is derived top-down from the header's height: the header, the
// marker row and the code block snapped to the grid, then question rows down
// to row 83 in columns 2 · answers + 4 grid steps wide.
#include "core/project/SheetLayout.h"

#include <algorithm>

namespace quorlen {

int SnapToGrid(int v) {
    int r = v % GridStep;
    return (r == 0 || r == 1) ? v / GridStep : v / GridStep + 1;
}

TSheetLayout TSheetLayout::Make(int answerCount, int questionCount, int firstQuestion, int lineHeight,
                                int headerLines) {
    TSheetLayout l;
    l.AnswerCount = answerCount;
    l.QuestionCount = questionCount;
    l.FirstQuestion = firstQuestion;
    l.LineHeight = lineHeight;
    l.HeaderLines = headerLines;

    l.HeaderTop = GridStep * SnapToGrid(10 + 5);
    l.LinePitch = lineHeight + lineHeight / 3;
    l.HeaderBottom = l.HeaderTop + headerLines * l.LinePitch + 5;
    l.FirstCodeRow = SnapToGrid(l.HeaderBottom) + 3;
    l.MarkerRow = l.FirstCodeRow - 3;
    l.CodeTopRule = l.FirstCodeRow - 2;
    l.CodeBottomRule = l.FirstCodeRow + 9;
    l.FirstQuestionRow = SnapToGrid(GridStep * (l.FirstCodeRow + 9)) + 3;
    // Rows run down to row 83; a header tall enough to push the first question
    // row past it leaves none (integer division alone would give one at row 84).
    l.RowsPerColumn = l.FirstQuestionRow > LastQuestionRow ? 0 : (LastQuestionRow - l.FirstQuestionRow) / 2 + 1;
    l.ColumnPitch = 2 * answerCount + 4;
    l.ColumnsPerPage = 56 / l.ColumnPitch;
    return l;
}

int TSheetLayout::LastQuestion() const { return std::min(QuestionCount, FirstQuestion + Capacity() - 1); }

int TSheetLayout::UsedColumns() const {
    int count = LastQuestion() - FirstQuestion + 1;
    if (count <= 0 || RowsPerColumn <= 0) return 0;
    return (count + RowsPerColumn - 1) / RowsPerColumn;
}

int TSheetLayout::ClosingRuleRow(int c) const {
    int firstOfColumn = FirstQuestion + c * RowsPerColumn;
    int lastOfColumn = std::min(LastQuestion(), firstOfColumn + RowsPerColumn - 1);
    return QuestionRow(lastOfColumn) + 1;
}

int TSheetLayout::ContinuationFirstQuestion() const {
    if (IsContinuation() || Capacity() <= 0) return 0;
    int last = LastQuestion();
    return last < QuestionCount ? last + 1 : 0;
}

}  // namespace quorlen
