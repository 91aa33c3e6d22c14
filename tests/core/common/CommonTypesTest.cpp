#include <gtest/gtest.h>

#include "core/common/AnswerList.h"
#include "core/common/MonoBitmap.h"
#include "core/common/Rounding.h"
#include "core/common/ScanGeometry.h"

using namespace quorlen;

TEST(MonoBitmap, NewRasterIsWhiteAndOutsideIsNeitherColour) {
    TMonoBitmap b(70, 3);
    EXPECT_EQ(b.Stride() % 8, 0u);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 70; ++x) ASSERT_EQ(b.Pixel(x, y), TMonoBitmap::White);
    for (auto [x, y] : {std::pair{-1, 0}, {70, 0}, {0, -1}, {0, 3}}) {
        EXPECT_NE(b.Pixel(x, y), TMonoBitmap::White);
        EXPECT_NE(b.Pixel(x, y), TMonoBitmap::Black);
        EXPECT_FALSE(b.IsBlack(x, y));
        EXPECT_FALSE(b.IsWhite(x, y));
    }
}

TEST(MonoBitmap, InvertedPaletteReadsColoursNotIndices) {
    TMonoBitmap b(16, 1);
    b.SetPixel(3, 0, true);
    EXPECT_EQ(b.Bit(3, 0), 1);
    // A file whose entry 0 is black stores ink as 0: the same bits then mean
    // the opposite colours, and drawing follows the palette.
    b.SetPalette(TMonoBitmap::Black, TMonoBitmap::White);
    EXPECT_EQ(b.Pixel(3, 0), TMonoBitmap::White);
    EXPECT_TRUE(b.IsBlack(4, 0));
    b.SetPixel(5, 0, false);
    EXPECT_EQ(b.Bit(5, 0), 1);
    b.NormalizePalette();
    EXPECT_TRUE(b.HasStandardPalette());
    EXPECT_TRUE(b.IsWhite(3, 0));
    EXPECT_TRUE(b.IsWhite(5, 0));
    EXPECT_TRUE(b.IsBlack(4, 0));
    EXPECT_TRUE(b.IsBlack(15, 0));
}

TEST(MonoBitmap, FillAndFrameAreClipped) {
    TMonoBitmap b(10, 10);
    b.FillRect(-5, -5, 2, 2, true);
    b.FrameRect(5, 5, 20, 20, true);
    EXPECT_TRUE(b.IsBlack(0, 0));
    EXPECT_TRUE(b.IsBlack(1, 1));
    EXPECT_FALSE(b.IsBlack(2, 2));
    EXPECT_TRUE(b.IsBlack(5, 9));
    EXPECT_TRUE(b.IsBlack(9, 5));
    EXPECT_FALSE(b.IsBlack(6, 6));
}

TEST(Rounding, TiesGoToEven) {
    EXPECT_EQ(Round(0.5), 0);
    EXPECT_EQ(Round(1.5), 2);
    EXPECT_EQ(Round(2.5), 2);
    EXPECT_EQ(Round(-0.5), 0);
    EXPECT_EQ(Round(-1.5), -2);
    EXPECT_EQ(Round(2.4999), 2);
    EXPECT_EQ(Round(-2.6), -3);
}

TEST(ScanGeometry, IsTwentyFourBytes) { EXPECT_EQ(sizeof(TScanGeometry), 24u); }

TEST(AnswerList, FirstLineOfANameCountsAndValuesAreKeptExactly) {
    TAnswerList l;
    l.Add("1=A");
    l.Add("2= ");
    l.Add("3=");
    l.Add("1=B");
    l.Add("x=a=b");
    EXPECT_EQ(l.Value("1"), "A");
    EXPECT_EQ(l.Value("2"), " ");
    EXPECT_EQ(l.Value("3"), "");
    EXPECT_EQ(l.Value("X"), "a=b");
    EXPECT_EQ(l.Value("missing"), "");
    EXPECT_EQ(l.Count(), 5);
}

TEST(AnswerList, SetValueReplacesAppendsAndEmptyRemoves) {
    TAnswerList l;
    l.Add("1", "A");
    l.SetValue("student", "42");
    EXPECT_EQ(l.Line(1), "student=42");
    l.SetValue("Student", "43");
    EXPECT_EQ(l.Count(), 2);
    EXPECT_EQ(l.Line(1), "Student=43");
    l.SetValue("Student", "");
    EXPECT_EQ(l.Count(), 1);
    EXPECT_FALSE(l.Remove("Student"));
    EXPECT_TRUE(l.Remove("1"));
    EXPECT_EQ(l.Count(), 0);
}
