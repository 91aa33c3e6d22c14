#include <gtest/gtest.h>

#include <memory>

#include "core/common/MonoBitmap.h"
#include "core/printing/RenderSheet.h"
#include "core/printing/SheetFont.h"
#include "core/project/DM.h"
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

class RenderSheetTest : public ::testing::Test {
protected:
    void SetUp() override {
        DM().PrintLine1.clear();
        DM().PrintLine2.clear();
    }
};

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
        DM().PrintLine1 = "Klasa 3b, bardzo długa linia tekstu, która może wyjść poza prawy brzeg nagłówka arkusza";
        TMonoBitmap page = RenderSheet(50, 5, "1234567890", "Brenvik Quorlen\r" + name);
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
