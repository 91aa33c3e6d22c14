#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/common/MonoBitmap.h"
#include "core/printing/RenderSheet.h"
#include "core/printing/SheetFont.h"
#include "core/project/SheetLayout.h"
#include "core/recognition/LoadScan.h"
#include "support/TestSupport.h"

using namespace quorlen;

namespace {

const std::string kDots = "Nazwa zestawu" + std::string(121, '.');

class SheetHeaderTest : public ::testing::Test {};

// True when the page shows exactly `text` as the header line drawn at y, and
// nothing else, within that line's rectangle.
bool HeaderLineReads(const TMonoBitmap& page, int y, const std::string& text) {
    const TSheetFont& font = TSheetFont::Instance();
    TMonoBitmap expected(SheetWidth, SheetHeight);
    font.DrawText(expected, 40, y, text, TTextClip{40, y, 600, y + font.TextHeight()});
    for (int yy = y; yy < y + font.TextHeight(); ++yy)
        for (int x = 40; x < 600; ++x)
            if (page.IsBlack(x, yy) != expected.IsBlack(x, yy)) return false;
    return true;
}

int InkCount(const TMonoBitmap& r, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) n += r.IsBlack(x, y);
    return n;
}

int FirstInkDown(const TMonoBitmap& r, int x, int y) {
    for (; y < r.Height(); ++y)
        if (r.IsBlack(x, y)) return y;
    return -1;
}

}  // namespace

TEST_F(SheetHeaderTest, FourLinesWithTheirDefaults) {
    TMonoBitmap page = RenderSheet(50, 5, "", "Brenvik Quorlen\rFizyka 2b");
    EXPECT_TRUE(HeaderLineReads(page, 20, ": Brenvik Quorlen"));
    EXPECT_TRUE(HeaderLineReads(page, 37, "Fizyka 2b"));
    EXPECT_TRUE(HeaderLineReads(page, 54, "."));
    EXPECT_TRUE(HeaderLineReads(page, 71, kDots));
    EXPECT_FALSE(HeaderLineReads(page, 71, "Nazwa zestawu"));
    EXPECT_EQ(FirstInkDown(page, 20, 20), 110);

    TMonoBitmap printed =
        RenderSheet(50, 5, "", "Brenvik Quorlen\rFizyka 2b", 1, nullptr, {"Klasa 3b", "Imię i nazwisko: ____"});
    EXPECT_TRUE(HeaderLineReads(printed, 54, "Klasa 3b"));
    EXPECT_TRUE(HeaderLineReads(printed, 71, "Imię i nazwisko: ____"));
    EXPECT_FALSE(printed == page);
}

TEST_F(SheetHeaderTest, CrLfCollapsesAndAFinalCrAddsNoLine) {
    TMonoBitmap plain = RenderSheet(50, 5, "", "Brenvik Quorlen\rA\rB");
    TMonoBitmap crlf = RenderSheet(50, 5, "", "Brenvik Quorlen\r\nA\r\nB");
    EXPECT_TRUE(plain == crlf);
    // Five lines: everything below the header moves one grid row down.
    EXPECT_TRUE(HeaderLineReads(plain, 37, "A"));
    EXPECT_TRUE(HeaderLineReads(plain, 54, "B"));
    EXPECT_TRUE(HeaderLineReads(plain, 88, kDots));
    TSheetLayout five = TSheetLayout::Make(5, 50, 1, 13, 5);
    EXPECT_EQ(FirstInkDown(plain, 20, 20), 120);
    EXPECT_EQ(FirstInkDown(plain, 20, 121), 230);       // code bottom rule, row R0 + 9 = 23
    EXPECT_EQ(InkCount(plain, 35, 105, 45, 115), 100);  // first run box in marker row 11
    EXPECT_EQ(InkCount(plain, 35, 95, 40, 105), 0);     // row 10 holds only header text, from x = 40
    // Question 29, the column's last, has its box A at row 82: an empty box, 36 outline pixels.
    EXPECT_EQ(five.QuestionRow(29), 82);
    EXPECT_EQ(InkCount(plain, 35, 815, 45, 825), 36);
    EXPECT_EQ(InkCount(plain, 175, 255, 185, 265), 36);  // question 30 opens column 1 at row 26

    // A CR at the very end of the last print line gives no empty fifth line.
    TMonoBitmap trailing = RenderSheet(50, 5, "", "Brenvik Quorlen\rA", 1, nullptr, {"", "Podpis\r"});
    TMonoBitmap none = RenderSheet(50, 5, "", "Brenvik Quorlen\rA", 1, nullptr, {"", "Podpis"});
    EXPECT_TRUE(trailing == none);
    EXPECT_EQ(FirstInkDown(none, 20, 20), 110);
    // An empty project name still keeps its line.
    TMonoBitmap emptyName = RenderSheet(50, 5, "", "Brenvik Quorlen\r");
    EXPECT_EQ(FirstInkDown(emptyName, 20, 20), 110);
    EXPECT_TRUE(HeaderLineReads(emptyName, 54, "."));
}

TEST_F(SheetHeaderTest, LongLinesAreCutAtTheRightEdgeOfTheHeader) {
    TMonoBitmap page = RenderSheet(50, 5, "", "Brenvik Quorlen\rX", 1, nullptr, {std::string(200, 'W'), ""});
    EXPECT_GT(InkCount(page, 590, 54, 600, 67), 0);
    EXPECT_EQ(InkCount(page, 600, 21, 629, 110), 0);
}

TEST_F(SheetHeaderTest, HeaderWithoutRoomForQuestionsIsRefused) {
    std::string tall = "Brenvik Quorlen";
    for (int i = 0; i < 35; ++i) tall += "\rx";  // 36 + 2 = 38 lines: one row left
    std::unique_ptr<TMonoBitmap> second;
    TMonoBitmap page = RenderSheet(3, 5, "", tall, 1, &second);
    EXPECT_FALSE(second);
    EXPECT_EQ(InkCount(page, 35, 815, 45, 825), 36);  // question 1 at row 82
    EXPECT_THROW(RenderSheet(3, 5, "", tall + "\rx"), std::invalid_argument);
    EXPECT_THROW(RenderSheet(3, 5, "", tall + std::string(20, '\r')), std::invalid_argument);
}

TEST_F(SheetHeaderTest, OutOfRangeArgumentsAreRefused) {
    EXPECT_THROW(RenderSheet(50, 1, "", "x"), std::invalid_argument);
    EXPECT_THROW(RenderSheet(50, 17, "", "x"), std::invalid_argument);
    EXPECT_THROW(RenderSheet(50, 5, "", "x", 0), std::invalid_argument);
    EXPECT_THROW(RenderSheet(50, 5, " 1", "x"), std::invalid_argument);
    EXPECT_NO_THROW(RenderSheet(50, 5, "0000000000", "x"));
}

TEST(SheetFont, TextIsBlackOnAnOpaqueWhiteBox) {
    const TSheetFont& font = TSheetFont::Instance();
    const int h = font.TextHeight();
    const int w = font.TextWidth("Ab9");
    EXPECT_GT(w, 10);
    TMonoBitmap r(100, 40);
    r.FillRect(0, 0, 100, 40, true);
    font.DrawText(r, 10, 10, "Ab9");
    const int ink = InkCount(r, 10, 10, 10 + w, 10 + h);
    EXPECT_GT(ink, 10);
    EXPECT_LT(ink, w * h / 2);
    // Outside the box the black background stays.
    EXPECT_EQ(InkCount(r, 0, 0, 100, 10), 1000);
    EXPECT_EQ(InkCount(r, 0, 10 + h, 100, 40), 100 * (30 - h));
    EXPECT_EQ(InkCount(r, 10 + w, 10, 100, 10 + h), (90 - w) * h);
    EXPECT_EQ(InkCount(r, 0, 10, 10, 10 + h), 10 * h);

    // A clip rectangle bounds both the box and the glyphs.
    TMonoBitmap clipped(100, 40);
    font.DrawText(clipped, 10, 10, "Ab9", TTextClip{10, 10, 16, 30});
    EXPECT_EQ(InkCount(clipped, 16, 0, 100, 40), 0);
    EXPECT_GT(InkCount(clipped, 10, 10, 16, 30), 0);

    // Monochrome: no text near the edge of the raster reaches outside it, and
    // the same call draws the same pixels.
    TMonoBitmap a(30, 20), b(30, 20);
    font.DrawText(a, -3, -2, "Żółw");
    font.DrawText(b, -3, -2, "Żółw");
    EXPECT_TRUE(a == b);
}

TEST(SheetFont, Utf8TextAndMalformedBytes) {
    const TSheetFont& font = TSheetFont::Instance();
    EXPECT_EQ(font.TextHeight(), 13);
    EXPECT_EQ(font.TextWidth(""), 0);
    // Polish letters are real glyphs, not two bytes' worth of replacement marks.
    EXPECT_EQ(font.TextWidth("ą"), font.TextWidth("a"));
    EXPECT_NE(font.TextWidth("ą"), 2 * font.TextWidth("\xEF\xBF\xBD"));
    // A stray continuation byte and a cut sequence each count as one mark.
    EXPECT_EQ(font.TextWidth("a\x80"), font.TextWidth("a\xEF\xBF\xBD"));
    EXPECT_EQ(font.TextWidth("a\xC4"), font.TextWidth("a\xEF\xBF\xBD"));
    TMonoBitmap r(200, 20);
    EXPECT_NO_THROW(font.DrawText(r, 0, 0, "\xFF\xFE\xC4\x85\xE2\x82"));
}

TEST_F(SheetHeaderTest, ThreadsDrawTheSameSheets) {
    std::unique_ptr<TMonoBitmap> referenceSecond;
    const TMonoBitmap reference = RenderSheet(150, 4, "2468", "Brenvik Quorlen\rŁódź", 1, &referenceSecond);
    ASSERT_TRUE(referenceSecond);
    std::vector<int> same(4, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 5; ++i) {
                std::unique_ptr<TMonoBitmap> second;
                TMonoBitmap page = RenderSheet(150, 4, "2468", "Brenvik Quorlen\rŁódź", 1, &second);
                same[static_cast<size_t>(t)] += page == reference && second && *second == *referenceSecond;
            }
        });
    for (auto& th : threads) th.join();
    for (int n : same) EXPECT_EQ(n, 5);
}

TEST_F(SheetHeaderTest, CliDrawsWhatTheRendererDraws) {
    quorlen::testing::TempDir dir("render-cli");
    const std::string cli = QUORLEN_CLI_PATH;
    const std::string out = dir.File("a/b");
    std::string printed;
    ASSERT_EQ(quorlen::testing::RunCommand(cli + " render --questions 60 --answers 3 --code 305 --name 'Próba 1'" +
                                               " --print-line1 'Klasa 2' --print-line2 Podpis --out " + out,
                                           &printed),
              0);
    EXPECT_EQ(printed, out + "/page1.png\n");
    EXPECT_FALSE(std::filesystem::exists(out + "/page2.png"));
    TMonoBitmap loaded;
    std::string detail;
    ASSERT_TRUE(LoadScan(out + "/page1.png", loaded, &detail)) << detail;
    EXPECT_TRUE(loaded == RenderSheet(60, 3, "305", "Brenvik Quorlen\rPróba 1", 1, nullptr, {"Klasa 2", "Podpis"}));

    // A continuation page starting at --first: the box at column 62 and no third page.
    ASSERT_EQ(
        quorlen::testing::RunCommand(cli + " render --questions 200 --answers 16 --first 31 --out " + out, &printed),
        0);
    EXPECT_EQ(printed, out + "/page1.png\n");
    ASSERT_TRUE(LoadScan(out + "/page1.png", loaded, &detail)) << detail;
    EXPECT_EQ(InkCount(loaded, 615, 95, 625, 105), 100);

    std::string help;
    EXPECT_EQ(quorlen::testing::RunCommand(cli + " render --help", &help), 0);
    for (const char* option :
         {"--questions", "--answers", "--code", "--name", "--print-line1", "--print-line2", "--first", "--out"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
    EXPECT_EQ(quorlen::testing::RunCommand(cli + " render --questions 50 --answers 5 2>/dev/null"), 2);
    EXPECT_EQ(quorlen::testing::RunCommand(cli + " render --questions 50 --answers 5 --bogus 1 --out " + out +
                                           " 2>/dev/null"),
              2);
}
