#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "core/common/MonoBitmap.h"
#include "core/printing/RenderSheet.h"
#include "core/printing/SheetFont.h"
#include "core/project/SheetLayout.h"
#include "support/TestSupport.h"

using namespace quorlen;

namespace {

const std::string kHeader = "Brenvik Quorlen\rTest";

bool Filled(const TMonoBitmap& r, TGridPoint p) {
    TSheetBox b = BoxAt(p);
    for (int y = b.Top; y <= b.Bottom; ++y)
        for (int x = b.Left; x <= b.Right; ++x)
            if (!r.IsBlack(x, y)) return false;
    return true;
}

// The one-pixel outline is black and the inside white.
bool Empty(const TMonoBitmap& r, TGridPoint p) {
    TSheetBox b = BoxAt(p);
    for (int y = b.Top; y <= b.Bottom; ++y)
        for (int x = b.Left; x <= b.Right; ++x) {
            bool edge = x == b.Left || x == b.Right || y == b.Top || y == b.Bottom;
            if (r.IsBlack(x, y) != edge) return false;
        }
    return true;
}

bool Blank(const TMonoBitmap& r, TGridPoint p) {
    TSheetBox b = BoxAt(p);
    for (int y = b.Top; y <= b.Bottom; ++y)
        for (int x = b.Left; x <= b.Right; ++x)
            if (r.IsBlack(x, y)) return false;
    return true;
}

class RenderSheetTest : public ::testing::Test {};

}  // namespace

TEST_F(RenderSheetTest, SheetFontGivesTheReferenceLineHeight) { EXPECT_EQ(TSheetFont::Instance().TextHeight(), 13); }

TEST_F(RenderSheetTest, FrameAndRulerTicks) {
    TMonoBitmap page = RenderSheet(50, 5, "", kHeader);
    ASSERT_EQ(page.Width(), 640);
    ASSERT_EQ(page.Height(), 850);
    for (int x = 0; x < 640; ++x) {
        EXPECT_TRUE(page.IsBlack(x, 0));
        EXPECT_TRUE(page.IsBlack(x, 849));
    }
    for (int y = 0; y < 850; ++y) {
        EXPECT_TRUE(page.IsBlack(0, y));
        EXPECT_TRUE(page.IsBlack(639, y));
    }
    for (int gx = 1; gx < 64; ++gx) {
        for (int y = 0; y <= 9; ++y) EXPECT_TRUE(page.IsBlack(10 * gx, y)) << gx;
        for (int y = 840; y <= 849; ++y) EXPECT_TRUE(page.IsBlack(10 * gx, y)) << gx;
        if (gx < 62) {
            EXPECT_FALSE(page.IsBlack(10 * gx, 10));
        }
        EXPECT_FALSE(page.IsBlack(10 * gx + 5, 5));
    }
    for (int gy = 1; gy < 85; ++gy) {
        for (int x = 0; x <= 9; ++x) EXPECT_TRUE(page.IsBlack(x, 10 * gy)) << gy;
        for (int x = 629; x <= 638; ++x) EXPECT_TRUE(page.IsBlack(x, 10 * gy)) << gy;
        EXPECT_FALSE(page.IsBlack(628, 10 * gy + 5));
        EXPECT_FALSE(page.IsBlack(5, 10 * gy + 5));
    }
}

TEST_F(RenderSheetTest, MarkerRowShowsRunColumnMarkersAndGaps) {
    for (int a : {2, 5, 8}) {
        TMonoBitmap page = RenderSheet(200, a, "", kHeader);
        TSheetLayout l = TSheetLayout::Make(a, 200);
        for (int i = 0; i < a; ++i) EXPECT_TRUE(Filled(page, {4 + 2 * i, 10})) << "A=" << a;
        EXPECT_TRUE(Blank(page, {2 * a + 4, 10}));
        EXPECT_TRUE(Blank(page, {2 * a + 6, 10}));
        for (int c = 1; c < l.UsedColumns(); ++c) EXPECT_TRUE(Filled(page, {l.MarkerColumn(c), 10}));
        EXPECT_TRUE(Blank(page, {62, 10}));
        // Nothing else in the marker row.
        int filled = 0;
        for (int col = 1; col <= 63; ++col) filled += Filled(page, {col, 10});
        EXPECT_EQ(filled, a + l.UsedColumns() - 1) << "A=" << a;
    }
}

TEST_F(RenderSheetTest, ContinuationPageCarriesColumn62AndTheRemainingQuestions) {
    std::unique_ptr<TMonoBitmap> second;
    TMonoBitmap first = RenderSheet(200, 16, "42", kHeader, 1, &second);
    ASSERT_TRUE(second);
    EXPECT_TRUE(Blank(first, {62, 10}));
    EXPECT_TRUE(Filled(*second, {62, 10}));
    for (const TMonoBitmap* page : {&first, second.get()}) {
        EXPECT_TRUE(Filled(*page, {4, 13}) == false);
        EXPECT_TRUE(Filled(*page, {4 + 2 * 4, 13}));  // digit 4 at position 1
        EXPECT_TRUE(Filled(*page, {4 + 2 * 2, 15}));  // digit 2 at position 2
        EXPECT_TRUE(Empty(*page, {2 + 2, 25}));
        EXPECT_TRUE(Filled(*page, {2 + 2 * 16 + 2, 83}));  // end mark of the 30th row
    }

    std::unique_ptr<TMonoBitmap> none;
    RenderSheet(50, 5, "123", kHeader, 1, &none);
    EXPECT_FALSE(none);

    std::unique_ptr<TMonoBitmap> single;
    RenderSheet(121, 5, "", kHeader, 1, &single);
    ASSERT_TRUE(single);
    EXPECT_TRUE(Filled(*single, {4, 10}));
    EXPECT_TRUE(Filled(*single, {62, 10}));
    EXPECT_TRUE(Empty(*single, {4, 25}));
    EXPECT_TRUE(Blank(*single, {4, 27}));
    // Closing rule under question 121 alone.
    EXPECT_TRUE(single->IsBlack(10 * 1, 260));
    EXPECT_TRUE(single->IsBlack(10 * 13 - 1, 260));
    EXPECT_FALSE(single->IsBlack(10 * 13, 260));
}

TEST_F(RenderSheetTest, CodeBoxesFollowTheCodeLeftAligned) {
    for (const std::string code : {"", "123", "905612", "0123456789"}) {
        TMonoBitmap page = RenderSheet(50, 5, code, kHeader);
        TSheetLayout l = TSheetLayout::Make(5, 50);
        int filled = 0;
        for (int p = 1; p <= 10; ++p)
            for (int k = 0; k <= 9; ++k) {
                bool expected = p <= static_cast<int>(code.size()) && code[static_cast<size_t>(p - 1)] - '0' == k;
                EXPECT_EQ(Filled(page, l.CodeBox(p, k)), expected) << code << " p=" << p << " k=" << k;
                if (!expected) {
                    EXPECT_TRUE(Empty(page, l.CodeBox(p, k))) << code << " p=" << p << " k=" << k;
                }
                filled += expected;
            }
        EXPECT_EQ(filled, static_cast<int>(code.size()));
    }
    EXPECT_THROW(RenderSheet(50, 5, "12345678901", kHeader), std::invalid_argument);
    EXPECT_THROW(RenderSheet(50, 5, "12a", kHeader), std::invalid_argument);
}

TEST_F(RenderSheetTest, ClosingRulesStopShortOfTheEndMark) {
    TMonoBitmap page = RenderSheet(200, 2, "", kHeader);
    // Seventh column (questions 181..200) closes at row 64.
    const int s = 2 + 6 * 8;
    for (int x = 10 * (s - 1); x < 10 * (s - 1 + 6); ++x) EXPECT_TRUE(page.IsBlack(x, 640)) << x;
    EXPECT_FALSE(page.IsBlack(10 * (s + 5) + 2, 640));
    // While the column continues, the gap point between rows is white.
    EXPECT_FALSE(page.IsBlack(10 * (s + 3), 10 * 62));
    // Full columns close on row 84.
    EXPECT_TRUE(page.IsBlack(10 * 3, 840));
}

TEST_F(RenderSheetTest, OnlyTheCodeTopRuleCrossesTheBandLeftOfTheHeader) {
    for (const std::string name : {"Test", "Dwie\r\nlinie"}) {
        const TPrintLines lines{
            "Klasa 3b, bardzo długa linia tekstu, która może wyjść poza prawy brzeg nagłówka arkusza", ""};
        TMonoBitmap page = RenderSheet(50, 5, "1234567890", "Brenvik Quorlen\r" + name, 1, nullptr, lines);
        int firstInk = -1;
        for (int y = 20; y < 850 && firstInk < 0; ++y)
            if (page.IsBlack(20, y)) firstInk = y;
        ASSERT_GT(firstInk, 0);
        TSheetLayout l = TSheetLayout::Make(5, 50, 1, 13, name == "Test" ? 4 : 5);
        EXPECT_EQ(firstInk, 10 * l.CodeTopRule) << name;
        for (int y = 20; y < firstInk; ++y)
            for (int x = 15; x <= 25; ++x) ASSERT_FALSE(page.IsBlack(x, y)) << x << "," << y;
        // Header text never crosses x = 600.
        for (int y = 20; y < firstInk; ++y)
            for (int x = 600; x < 629; ++x) ASSERT_FALSE(page.IsBlack(x, y)) << x << "," << y;
    }
}

TEST_F(RenderSheetTest, SameArgumentsGiveIdenticalRasters) {
    std::unique_ptr<TMonoBitmap> a2, b2;
    TMonoBitmap a = RenderSheet(130, 5, "77", kHeader, 1, &a2);
    TMonoBitmap b = RenderSheet(130, 5, "77", kHeader, 1, &b2);
    EXPECT_TRUE(a == b);
    ASSERT_TRUE(a2 && b2);
    EXPECT_TRUE(*a2 == *b2);
}

TEST(RenderCli, WritesPagesAndRejectsBadArguments) {
    quorlen::testing::TempDir dir("render");
    std::string out;
    std::string cli = QUORLEN_CLI_PATH;
    EXPECT_EQ(quorlen::testing::RunCommand(
                  cli + " render --questions 200 --answers 16 --code 0042 --out " + dir.File("o"), &out),
              0);
    EXPECT_NE(out.find("page1.png"), std::string::npos);
    EXPECT_NE(out.find("page2.png"), std::string::npos);
    std::string png = quorlen::testing::ReadFileBytes(dir.File("o/page1.png"));
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    EXPECT_EQ(static_cast<unsigned char>(png[24]), 1);  // bit depth
    for (const std::string bad :
         {"--questions 2 --answers 5", "--questions 201 --answers 5", "--questions 50 --answers 1",
          "--questions 50 --answers 17", "--questions 50 --answers 5 --code 12345678901",
          "--questions 50 --answers 5 --code 12x", "--questions 50 --answers 5 --code \"\""})
        EXPECT_EQ(quorlen::testing::RunCommand(cli + " render " + bad + " --out " + dir.File("x") + " 2>/dev/null"), 2)
            << bad;
}

// The reader tells where a column ends by the point at column s(c) + 3, row
// y + 1 below each question row: paper while the column goes on, ink on the
// closing rule after its last row.
TEST_F(RenderSheetTest, GapPointsBelowRowsShowWhereEachColumnEnds) {
    for (auto [a, q] : {std::pair{2, 200}, {5, 200}, {7, 100}, {13, 45}, {16, 200}}) {
        std::unique_ptr<TMonoBitmap> second;
        TMonoBitmap first = RenderSheet(q, a, "", kHeader, 1, &second);
        TSheetLayout l1 = TSheetLayout::Make(a, q);
        std::vector<std::pair<const TMonoBitmap*, TSheetLayout>> pages{{&first, l1}};
        if (l1.ContinuationFirstQuestion()) {
            ASSERT_TRUE(second) << "A=" << a;
            pages.push_back({second.get(), TSheetLayout::Make(a, q, l1.ContinuationFirstQuestion())});
        } else {
            EXPECT_FALSE(second) << "A=" << a;
        }
        for (const auto& [page, l] : pages) {
            for (int question = l.FirstQuestion; question <= l.LastQuestion(); ++question) {
                const int c = l.QuestionColumn(question);
                const int y = l.QuestionRow(question);
                const bool last = question == l.LastQuestion() || (question - l.FirstQuestion) % 30 == 29;
                EXPECT_EQ(page->IsBlack(10 * (l.ColumnStart(c) + 3), 10 * (y + 1)), last)
                    << "A=" << a << " q=" << question;
                EXPECT_TRUE(Filled(*page, l.EndMark(question))) << "A=" << a << " q=" << question;
                for (int i = 1; i <= a; ++i) ASSERT_TRUE(Empty(*page, l.AnswerBox(question, i))) << question;
            }
            // The closing rule stops short of the end mark column's box.
            const int c = l.UsedColumns() - 1;
            const int rule = 10 * l.ClosingRuleRow(c);
            EXPECT_TRUE(page->IsBlack(10 * (l.ColumnStart(c) - 1), rule));
            EXPECT_TRUE(page->IsBlack(10 * (l.ColumnStart(c) + 2 * a + 1) - 1, rule));
            EXPECT_FALSE(page->IsBlack(10 * (l.ColumnStart(c) + 2 * a + 1) + 1, rule));  // off the bottom ticks
            // Nothing lies right of the last used column's end mark but the ruler.
            const int right = 10 * (l.ColumnStart(c) + 2 * a + 2) + 5;
            for (int y = 10 * l.FirstQuestionRow - 17; y < 840; ++y)
                for (int x = right; x < 629; ++x) ASSERT_FALSE(page->IsBlack(x, y)) << x << "," << y;
        }
    }
}

TEST_F(RenderSheetTest, ContinuationMarkerRowCountsItsOwnColumns) {
    std::unique_ptr<TMonoBitmap> second;
    RenderSheet(200, 5, "", kHeader, 1, &second);
    ASSERT_TRUE(second);
    // Questions 121..200: three columns.
    std::vector<int> filled;
    for (int col = 2; col <= 62; ++col)  // columns 1 and 63 touch the ruler ticks
        if (Filled(*second, {col, 10}))
            filled.push_back(col);
        else
            EXPECT_TRUE(Blank(*second, {col, 10})) << col;
    EXPECT_EQ(filled, (std::vector<int>{4, 6, 8, 10, 12, 18, 32, 62}));
    // Answer letters only above used columns: column 3 (s = 44) stays blank.
    auto letterInk = [&](int column) {
        int n = 0;
        for (int y = 233; y < 246; ++y)
            for (int x = 10 * column - 3; x < 10 * column + 7; ++x) n += second->IsBlack(x, y);
        return n;
    };
    EXPECT_GT(letterInk(4), 0);
    EXPECT_GT(letterInk(32 + 2 * 4), 0);
    EXPECT_EQ(letterInk(46), 0);
}
