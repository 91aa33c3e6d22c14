#include <gtest/gtest.h>

#include "core/project/SheetLayout.h"

using namespace quorlen;

TEST(SnapToGrid, RoundsUpUnlessAtMostOnePixelPastALine) {
    EXPECT_EQ(SnapToGrid(0), 0);
    EXPECT_EQ(SnapToGrid(1), 0);
    EXPECT_EQ(SnapToGrid(2), 1);
    EXPECT_EQ(SnapToGrid(15), 2);
    EXPECT_EQ(SnapToGrid(81), 8);
    EXPECT_EQ(SnapToGrid(93), 10);
    EXPECT_EQ(SnapToGrid(220), 22);
    EXPECT_EQ(SnapToGrid(221), 22);
    EXPECT_EQ(SnapToGrid(222), 23);
}

TEST(SheetLayout, ReferenceNumbersForTheReferenceFont) {
    TSheetLayout l = TSheetLayout::Make(5, 50);
    EXPECT_EQ(l.HeaderTop, 20);
    EXPECT_EQ(l.LinePitch, 17);
    EXPECT_EQ(l.HeaderBottom, 93);
    EXPECT_EQ(l.FirstCodeRow, 13);
    EXPECT_EQ(l.MarkerRow, 10);
    EXPECT_EQ(BoxAt({4, l.MarkerRow}).Top, 95);
    EXPECT_EQ(BoxAt({4, l.MarkerRow}).Bottom, 104);
    EXPECT_EQ(GridStep * l.CodeTopRule, 110);
    EXPECT_EQ(GridStep * l.CodeBottomRule, 220);
    for (int p = 1; p <= 5; ++p) {
        EXPECT_EQ(GridStep * l.CodeRow(p), 110 + 20 * p);
        EXPECT_EQ(l.CodeRow(p + 5), l.CodeRow(p));
    }
    EXPECT_EQ(GridStep * l.FirstCodeRow - 19, 111);      // digit captions
    EXPECT_EQ(GridStep * l.FirstQuestionRow - 17, 233);  // answer letters
    EXPECT_EQ(l.FirstQuestionRow, 25);
    EXPECT_EQ(l.RowsPerColumn, 30);
    EXPECT_EQ(GridStep * l.QuestionRow(1), 250);
    EXPECT_EQ(GridStep * l.QuestionRow(30), 830);
    EXPECT_EQ(l.QuestionColumn(31), 1);
    EXPECT_EQ(GridStep * l.QuestionRow(31), 250);
}

TEST(SheetLayout, ColumnsPerPageByAnswerCount) {
    const int expectedPitch[] = {8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30, 32, 34, 36};
    const int expectedColumns[] = {7, 5, 4, 4, 3, 3, 2, 2, 2, 2, 2, 1, 1, 1, 1};
    for (int a = 2; a <= 16; ++a) {
        TSheetLayout l = TSheetLayout::Make(a, 200);
        EXPECT_EQ(l.ColumnPitch, expectedPitch[a - 2]) << "A=" << a;
        EXPECT_EQ(l.ColumnsPerPage, expectedColumns[a - 2]) << "A=" << a;
        // The last used column's end mark must stay within 560 sheet pixels.
        EXPECT_LE(l.ColumnStart(l.ColumnsPerPage - 1) + 2 * a + 2, 56) << "A=" << a;
    }
    TSheetLayout five = TSheetLayout::Make(5, 50);
    EXPECT_EQ(five.ColumnStart(0), 2);
    EXPECT_EQ(five.ColumnStart(1), 16);
    EXPECT_EQ(five.ColumnStart(2), 30);
    EXPECT_EQ(five.ColumnStart(3), 44);
    EXPECT_EQ(five.Capacity(), 120);
}

TEST(SheetLayout, TwoAnswersTwoHundredQuestionsFitOnePage) {
    TSheetLayout l = TSheetLayout::Make(2, 200);
    EXPECT_EQ(l.LastQuestion(), 200);
    EXPECT_EQ(l.UsedColumns(), 7);
    EXPECT_EQ(l.QuestionColumn(181), 6);
    EXPECT_EQ(l.ClosingRuleRow(6), 25 + 2 * 19 + 1);
    EXPECT_EQ(l.ContinuationFirstQuestion(), 0);
}

TEST(SheetLayout, FiftyQuestionsOfFiveAnswers) {
    TSheetLayout l = TSheetLayout::Make(5, 50);
    EXPECT_EQ(l.UsedColumns(), 2);
    EXPECT_EQ(l.MarkerColumn(0), 4);
    EXPECT_EQ(l.MarkerColumn(1), 18);
    EXPECT_EQ(l.AnswerBox(31, 1).Column, 18);
    EXPECT_EQ(l.EndMark(1).Column, 14);
    EXPECT_EQ(l.ClosingRuleRow(0), 84);
    EXPECT_EQ(l.ClosingRuleRow(1), 25 + 2 * 19 + 1);
}

TEST(SheetLayout, SixteenAnswersSpillOntoOneContinuationPageOnly) {
    TSheetLayout first = TSheetLayout::Make(16, 200);
    EXPECT_EQ(first.LastQuestion(), 30);
    EXPECT_EQ(first.ContinuationFirstQuestion(), 31);
    TSheetLayout second = TSheetLayout::Make(16, 200, 31);
    EXPECT_TRUE(second.IsContinuation());
    EXPECT_EQ(second.LastQuestion(), 60);
    EXPECT_EQ(second.ContinuationFirstQuestion(), 0);
}

TEST(SheetLayout, OneHundredTwentyOneQuestionsLeaveOneForTheContinuation) {
    TSheetLayout first = TSheetLayout::Make(5, 121);
    EXPECT_EQ(first.LastQuestion(), 120);
    EXPECT_EQ(first.ContinuationFirstQuestion(), 121);
    TSheetLayout second = TSheetLayout::Make(5, 121, 121);
    EXPECT_EQ(second.LastQuestion(), 121);
    EXPECT_EQ(second.UsedColumns(), 1);
    EXPECT_EQ(second.ClosingRuleRow(0), 26);
}

TEST(SheetLayout, CodeBoxesOfBothGroups) {
    TSheetLayout l = TSheetLayout::Make(5, 50);
    EXPECT_EQ(l.CodeBox(1, 0), (TGridPoint{4, 13}));
    EXPECT_EQ(l.CodeBox(5, 9), (TGridPoint{22, 21}));
    EXPECT_EQ(l.CodeBox(6, 0), (TGridPoint{28, 13}));
    EXPECT_EQ(l.CodeBox(10, 9), (TGridPoint{46, 21}));
}

TEST(SheetLayout, FiveHeaderLinesMoveEverythingDown) {
    TSheetLayout l = TSheetLayout::Make(5, 50, 1, 13, 5);
    EXPECT_EQ(l.HeaderBottom, 110);
    EXPECT_EQ(l.FirstCodeRow, 14);
    EXPECT_EQ(l.FirstQuestionRow, 26);
    EXPECT_EQ(l.RowsPerColumn, 29);
}
