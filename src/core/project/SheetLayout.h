#pragma once

#include <cstdint>

namespace quorlen {

// Sheet pages are 640 × 850 sheet pixels on a 10-pixel grid; grid point (x, y)
// is sheet pixel (10x, 10y).
constexpr int SheetWidth = 640;
constexpr int SheetHeight = 850;
constexpr int GridStep = 10;
constexpr int GridColumns = 64;  // ruler columns 0..63
constexpr int GridRows = 85;     // ruler rows 0..84
constexpr int LastGridColumn = GridColumns - 1;
constexpr int LastGridRow = GridRows - 1;
constexpr int LastQuestionRow = 83;  // question rows run down to here
constexpr int CodePositions = 10;
constexpr int CodePositionsPerGroup = 5;
constexpr int ContinuationMarkerColumn = 62;
// A reader finds the code's top rule by measurement; the marker row, the code
// rows and the first question row lie at these row offsets from it.
constexpr int MarkerRowFromCodeRule = -1;
constexpr int FirstCodeRowFromCodeRule = 2;
constexpr int FirstQuestionRowFromCodeRule = 14;

// Grid index of a non-negative sheet-pixel coordinate: rounds up, except that a
// position at most one pixel past a grid line stays on that line.
int SnapToGrid(int v);

struct TGridPoint {
    int Column = 0;
    int Row = 0;
    bool operator==(const TGridPoint&) const = default;
};

// The one geometry of an answer sheet page, shared by the renderer and the
// recognizer. Everything is derived by integer arithmetic from A, Q, F, the
// font's line height h and the number of header lines n.
struct TSheetLayout {
    // Inputs.
    int AnswerCount = 5;    // A, 2..16
    int QuestionCount = 0;  // Q, 3..200
    int FirstQuestion = 1;  // F
    int LineHeight = 13;    // h
    int HeaderLines = 4;    // n

    // Derived.
    int HeaderTop = 0;         // sheet y of the first header line
    int LinePitch = 0;         // h + h div 3
    int HeaderBottom = 0;      // Yh
    int FirstCodeRow = 0;      // R0
    int MarkerRow = 0;         // R0 − 3
    int CodeTopRule = 0;       // row R0 − 2
    int CodeBottomRule = 0;    // row R0 + 9
    int FirstQuestionRow = 0;  // R1
    int RowsPerColumn = 0;     // N
    int ColumnPitch = 0;       // P = 2A + 4
    int ColumnsPerPage = 0;    // C = 56 div P

    static TSheetLayout Make(int answerCount, int questionCount, int firstQuestion = 1, int lineHeight = 13,
                             int headerLines = 4);

    bool IsContinuation() const { return FirstQuestion != 1; }
    int Capacity() const { return ColumnsPerPage * RowsPerColumn; }
    // s(c): grid column of the question number of column c.
    int ColumnStart(int c) const { return 2 + c * ColumnPitch; }
    // The number of the last question this page holds.
    int LastQuestion() const;
    // Number of question columns this page uses (0 when it holds none).
    int UsedColumns() const;
    // Column c and row y (grid) of question q on this page; q must lie on it.
    int QuestionColumn(int q) const { return (q - FirstQuestion) / RowsPerColumn; }
    int QuestionRow(int q) const { return FirstQuestionRow + 2 * ((q - FirstQuestion) % RowsPerColumn); }
    // Answer box i (1..A) of question q, and the row's end mark.
    TGridPoint AnswerBox(int q, int i) const { return {ColumnStart(QuestionColumn(q)) + 2 * i, QuestionRow(q)}; }
    TGridPoint EndMark(int q) const { return {ColumnStart(QuestionColumn(q)) + 2 * AnswerCount + 2, QuestionRow(q)}; }
    // Marker-row column of question column c: s(c) + 2.
    int MarkerColumn(int c) const { return ColumnStart(c) + 2; }
    // Row of the rule that closes column c, after its last question row.
    int ClosingRuleRow(int c) const;
    // Code position p (1..10): its row and the box of digit k (0..9).
    int CodeRow(int p) const { return FirstCodeRow + CodeRowOffset(p); }
    static int CodeRowOffset(int p) { return 2 * ((p - 1) % CodePositionsPerGroup); }
    static int CodeGroupColumn(int p) { return p <= CodePositionsPerGroup ? 4 : 28; }
    TGridPoint CodeBox(int p, int k) const { return {CodeGroupColumn(p) + 2 * k, CodeRow(p)}; }
    // Questions that continue onto a second page start here; 0 when none.
    int ContinuationFirstQuestion() const;
};

// Sheet-pixel rectangle [Left, Right] × [Top, Bottom] of the box at a grid point.
struct TSheetBox {
    int Left, Top, Right, Bottom;
};
inline TSheetBox BoxAt(TGridPoint p) {
    return {GridStep * p.Column - 5, GridStep * p.Row - 5, GridStep * p.Column + 4, GridStep * p.Row + 4};
}

}  // namespace quorlen
