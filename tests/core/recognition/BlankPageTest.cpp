#include "core/recognition/BlankPage.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "core/printing/RenderSheet.h"
#include "core/recognition/LoadScan.h"
#include "core/recognition/ReadScan.h"
#include "support/TestSupport.h"
#include "testing/ScanSimulator.h"

using namespace quorlen;

namespace {

// A scanned page as the reader sees it: the simulator's A4 picture, through
// the file and the decoder's own grey reduction.
struct TPageCase {
    const char* Name;
    int Questions;  // 0: no sheet at all, the paper alone
    int Answers;
    sim::TScanParams Params;
    bool Blank;
};

sim::TScanParams Scan(int dpi, double noise = 0, bool border = false, double lighting = 0) {
    sim::TScanParams p;
    p.Dpi = dpi;
    p.NoiseLevel = noise;
    p.DarkBorder = border;
    p.Lighting = lighting;
    return p;
}

TMonoBitmap LoadCase(const TPageCase& c, const quorlen::testing::TempDir& dir) {
    TMonoBitmap page = c.Questions > 0 ? RenderSheet(c.Questions, c.Answers, "", "Brenvik Quorlen\rTest")
                                       : TMonoBitmap(640, 850);
    const std::string path = dir.File(std::string(c.Name) + ".jpg");
    sim::SavePicture(sim::PlaceOnA4(page, c.Params), path, sim::TFileFormat::Jpeg);
    TMonoBitmap raster;
    EXPECT_TRUE(LoadScan(path, raster)) << c.Name;
    return raster;
}

TEST(BlankPage, PaperAloneIsBlankWhateverTheScannerAddsAndEverySheetIsNot) {
    const TPageCase cases[] = {
        {"paper150", 0, 0, Scan(150), true},
        {"paper300", 0, 0, Scan(300), true},
        {"paperNoisy", 0, 0, Scan(200, 0.6), true},
        {"paperDarkBorder", 0, 0, Scan(200, 0.3, true), true},
        {"paperUnderALid", 0, 0, Scan(200, 0.3, true, 1.0), true},
        {"smallestSheet", 3, 2, Scan(150), false},
        {"smallestSheetNoisy", 3, 2, Scan(200, 0.6, true, 1.0), false},
        {"sheet30x4", 30, 4, Scan(200), false},
        {"sheet200x16", 200, 16, Scan(300), false},
    };
    quorlen::testing::TempDir dir("blankpage");
    for (const TPageCase& c : cases) {
        const TMonoBitmap raster = LoadCase(c, dir);
        const double share = InkShareInside(raster);
        std::printf("%-20s ink %.5f\n", c.Name, share);
        EXPECT_EQ(IsBlankPage(raster), c.Blank) << c.Name << ": ink " << share;
    }
}

TEST(BlankPage, CountsInkByThePalettesBlackAndOnlyInsideTheMargin) {
    struct {
        const char* Name;
        bool Inverted;         // ink stored as bit 0, as a one-bit BMP may keep it
        int X0, Y0, X1, Y1;    // the ink's rectangle on a 1000 x 1000 raster
        bool Blank;
    } cases[] = {
        {"empty", false, 0, 0, 0, 0, true},
        {"emptyInverted", true, 0, 0, 0, 0, true},
        {"borderOnly", false, 0, 0, 1000, 99, true},          // the whole top margin
        {"underTheShare", false, 400, 400, 430, 430, true},  // 900 of 800 x 800: 0.14 %
        {"overTheShare", false, 400, 400, 460, 460, false},  // 0.56 %
        {"overTheShareInverted", true, 400, 400, 460, 460, false},
    };
    for (const auto& c : cases) {
        TMonoBitmap r(1000, 1000);
        r.FillRect(c.X0, c.Y0, c.X1, c.Y1, true);
        if (c.Inverted) {
            for (uint8_t& b : r.Bits()) b = static_cast<uint8_t>(~b);
            r.SetPalette(TMonoBitmap::Black, TMonoBitmap::White);
        }
        EXPECT_EQ(IsBlankPage(r), c.Blank) << c.Name << ": ink " << InkShareInside(r);
    }
    EXPECT_TRUE(IsBlankPage(TMonoBitmap()));
}

}  // namespace
