#include <gtest/gtest.h>

#include "core/printing/RenderSheet.h"
#include "core/project/SheetLayout.h"
#include "testing/ScanSimulator.h"

namespace quorlen {
namespace {

// The mean grey of a picture's rectangle.
double MeanOf(const sim::TGreyPicture& p, int x0, int y0, int x1, int y1) {
    double sum = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) sum += p.At(x, y);
    return sum / ((x1 - x0) * (y1 - y0));
}

// Pen marks scan as dark as print; graphite scans grey, a light hand lighter
// than HB, and the print beside it stays as dark as ever.
TEST(ScanSimulator, InksScanAtTheirOwnGrey) {
    const TSheetLayout layout = TSheetLayout::Make(4, 6);
    const TMonoBitmap page = RenderSheet(6, 4, "", "Brenvik Quorlen\rTest");
    TMonoBitmap marks(page.Width(), page.Height());
    sim::TPageMarks chosen;
    chosen.Boxes = {{0}, {1}, {2}};
    sim::MarkAnswers(marks, 6, 4, 1, chosen, 1);
    sim::TScanParams params;
    params.Dpi = 300;
    const double scale = 195.0 / 25.4 * params.Dpi / page.Width();
    const double left = 7.5 / 25.4 * params.Dpi, top = 12.0 / 25.4 * params.Dpi;
    // The middle of question 2's chosen box, in picture pixels.
    const TSheetBox b = BoxAt(layout.AnswerBox(2, 2));
    const int cx = static_cast<int>(left + (b.Left + b.Right + 1) / 2.0 * scale);
    const int cy = static_cast<int>(top + (b.Top + b.Bottom + 1) / 2.0 * scale);
    double previous = -1;
    for (sim::TInk ink : {sim::TInk::Pen, sim::TInk::HbPencil, sim::TInk::LightPencil}) {
        params.Ink = ink;
        const sim::TGreyPicture pic = sim::PlaceOnA4(page, params, &marks);
        const double mark = MeanOf(pic, cx - 6, cy - 6, cx + 6, cy + 6);
        EXPECT_GT(mark, previous) << "each ink lighter than the one before";
        previous = mark;
        if (ink == sim::TInk::Pen) {
            EXPECT_LT(mark, 60);
        }
        if (ink == sim::TInk::HbPencil) {
            EXPECT_NEAR(mark, 128, 20);
        }
        if (ink == sim::TInk::LightPencil) {
            EXPECT_NEAR(mark, 160, 20);
        }
    }
}

// Uneven lighting dims the paper, most in the spine's shadow on the left.
TEST(ScanSimulator, LightingDimsThePaperTowardsTheSpine) {
    const TMonoBitmap blank(640, 850);
    sim::TScanParams params;
    params.Dpi = 150;
    const sim::TGreyPicture even = sim::PlaceOnA4(blank, params);
    params.Lighting = 1;
    const sim::TGreyPicture uneven = sim::PlaceOnA4(blank, params);
    const int h = even.Height, w = even.Width;
    EXPECT_EQ(MeanOf(even, 0, 0, 20, h), 255);
    EXPECT_EQ(MeanOf(even, w / 2, 0, w / 2 + 20, h), 255);
    const double spine = MeanOf(uneven, 0, 0, 10, h), middle = MeanOf(uneven, w / 2, 0, w / 2 + 10, h);
    EXPECT_LT(spine, 150);
    EXPECT_GT(middle, 200);
    EXPECT_LT(middle, 245);
}

}  // namespace
}  // namespace quorlen
