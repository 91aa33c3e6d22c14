#include "core/recognition/Quorlen.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

#include "TestSheets.h"
#include "core/printing/RenderSheet.h"
#include "core/project/SheetLayout.h"
#include "core/recognition/Binarize.h"
#include "core/recognition/ReadScan.h"
#include "core/recognition/Threshold.h"
#include "support/TestSupport.h"
#include "testing/ScanSimulator.h"

using namespace quorlen;
using namespace quorlen::sim;
using namespace quorlen::testsheets;

namespace {

TMonoBitmap Reduce(const TGreyPicture& p) {
    TGreyScan grey;
    grey.Resize(p.Width, p.Height);
    for (int y = 0; y < p.Height; ++y) std::copy_n(&p.Pixels[static_cast<size_t>(y * p.Width)], p.Width, grey.Row(y));
    TMonoBitmap r;
    ReduceScan(grey, r);
    return r;
}

// A scanned sheet: boxes[j] are the marked boxes of question first + j.
TMonoBitmap Scan(int q, int a, const std::string& code, const std::vector<std::vector<int>>& boxes, int first = 1,
                 double angle = 0, const std::function<void(TMonoBitmap&)>& edit = nullptr) {
    std::unique_ptr<TMonoBitmap> second;
    TMonoBitmap page = RenderSheet(q, a, code, "Brenvik Quorlen\rTest", 1, &second);
    TMonoBitmap& target = first == 1 ? page : *second;
    TPageMarks marks;
    marks.Boxes = boxes;
    MarkAnswers(target, q, a, first, marks, 1);
    if (edit) edit(target);
    TScanParams params;
    params.AngleDegrees = angle;
    return Reduce(PlaceOnA4(target, params));
}

std::vector<std::vector<int>> OneEach(int count, int box = 0) {
    return std::vector<std::vector<int>>(static_cast<size_t>(count), {box});
}

// A bare frame drawn at the given corners; no ruler or content.
TMonoBitmap Frame(int w, int h, int left, int top, int right, int bottom) {
    TMonoBitmap r(w, h);
    r.FrameRect(left, top, right + 1, bottom + 1, true);
    return r;
}

// A geometry nothing is known of yet but the black level.
TScanGeometry Fresh(int level = 44) { return TScanGeometry{0, 0, 0, 0, 0.0f, level}; }

struct TRequests {
    std::vector<TRect> Corners;
    std::vector<TRect> AnswerAreas;
    std::vector<std::string> AnswersOffered;
};

// A frame only, 2 pixels wide, with its outer edges at the given positions, on
// a 1344 × 1785 canvas: sx = sy = 2.1, so 100 · sx is exactly 210.
TMonoBitmap FrameOnly(int left, int top, int right, int bottom) {
    TMonoBitmap r(1344, 1785);
    r.FrameRect(left, top, right + 1, bottom + 1, true);
    r.FrameRect(left + 1, top + 1, right, bottom, true);
    return r;
}

using TCorner = std::pair<int, int>;

class QuorlenTest : public ::testing::Test {};

}  // namespace

// --- Location -------------------------------------------------------------

TEST_F(QuorlenTest, LocatesFrameAndMapsGridPointsThroughTheRuler) {
    const TSheetLayout l = TSheetLayout::Make(5, 50);
    const TPlacement at;
    TMonoBitmap scan = Scan(DrawPage(l, "1234"), at);
    TQuorlen q(scan, 1, Fresh());
    q.LocateSheet();
    ASSERT_TRUE(q.Ok);
    EXPECT_DOUBLE_EQ(q.ScaleX, 1360 / 640.0);
    EXPECT_DOUBLE_EQ(q.ScaleY, 1780 / 850.0);
    EXPECT_EQ(q.Geometry.Left, at.X(0));
    EXPECT_EQ(q.Geometry.Top, at.Y(0));
    EXPECT_EQ(q.Geometry.Right, at.X(639) + 1);  // the border's outer pixel
    EXPECT_EQ(q.Geometry.Bottom, at.Y(849) + 1);
    EXPECT_EQ(q.Width, q.Geometry.Right - q.Geometry.Left);
    EXPECT_EQ(q.Height, q.Geometry.Bottom - q.Geometry.Top);
    EXPECT_EQ(q.Geometry.Angle, 0.0f);
    EXPECT_EQ(q.Geometry.Level, 44);
    // The structure is read as location's last step; it measured all ticks.
    EXPECT_EQ(q.CodeRuleRow, l.CodeTopRule);
    EXPECT_EQ(q.MarkerColumns[1], 4);
    EXPECT_EQ(q.AnswerCount, 5);
    EXPECT_EQ(q.MarkerColumns[2], 18);
    EXPECT_EQ(q.MarkerColumns[3], 0);
    EXPECT_EQ(q.TickTable[0][63], at.X(630));
    EXPECT_EQ(q.TickTable[3][84], at.Y(840));
    for (auto [c, r] : {TCorner{0, 0}, {63, 84}, {4, 10}, {18, 63}, {37, 29}})
        EXPECT_EQ(q.GridToPixel(c, r), (TPoint{at.X(10 * c), at.Y(10 * r)})) << c << "," << r;
}

TEST_F(QuorlenTest, TopLeftWindowIsStrictAt100Sx) {
    // Accepted one pixel inside the bound: no request.
    for (auto [x, y] : {TCorner{209, 209}, {3, 3}}) {
        TMonoBitmap r = FrameOnly(x, y, 1300, 1700);
        TQuorlen q(r, 1, Fresh());
        int asked = 0;
        q.OnGetStartPoint = [&](TQuorlen&, TRect, TPoint&, bool&) { ++asked; };
        q.LocateSheet();
        EXPECT_EQ(asked, 0) << x << "," << y;
        EXPECT_EQ(q.Geometry.Left, x);
        EXPECT_EQ(q.Geometry.Top, y);
    }
    // On the bound (either direction), or not above sx: asked, and the point
    // is relative to the area, which starts at the origin.
    for (auto [x, y] : {TCorner{210, 100}, {100, 210}, {2, 100}, {100, 2}}) {
        TMonoBitmap r = FrameOnly(x, y, 1300, 1700);
        TQuorlen q(r, 1, Fresh());
        std::vector<TRect> areas;
        q.OnGetStartPoint = [&](TQuorlen& sender, TRect area, TPoint& pt, bool& ok) {
            EXPECT_EQ(&sender, &q);
            EXPECT_TRUE(ok);
            areas.push_back(area);
            pt = {33, 44};
        };
        q.LocateSheet();
        ASSERT_EQ(areas.size(), 1u) << x << "," << y;
        EXPECT_EQ(areas[0], (TRect{0, 0, 210, 210}));
        EXPECT_EQ(q.Geometry.Left, 33);
        EXPECT_EQ(q.Geometry.Top, 44);
    }
    // Without a handler the values found stand.
    TMonoBitmap r = FrameOnly(210, 100, 1300, 1700);
    TQuorlen q(r, 1, Fresh());
    q.LocateSheet();
    EXPECT_TRUE(q.Ok);
    EXPECT_EQ(q.Geometry.Left, 210);
    EXPECT_EQ(q.Geometry.Top, 100);
}

TEST_F(QuorlenTest, BottomRightWindowIsStrictAtImageSizeLess100Sx) {
    // W − 100 · sx = 1134 and H − 100 · sx = 1575 (sx, not sy, both ways);
    // the searches start at W − 21 and H − 21.
    for (auto [x, y] : {TCorner{1135, 1576}, {1322, 1763}}) {
        TMonoBitmap r = FrameOnly(100, 100, x, y);
        TQuorlen q(r, 1, Fresh());
        int asked = 0;
        q.OnGetStartPoint = [&](TQuorlen&, TRect, TPoint&, bool&) { ++asked; };
        q.LocateSheet();
        EXPECT_EQ(asked, 0) << x << "," << y;
        EXPECT_EQ(q.Geometry.Right, x);
        EXPECT_EQ(q.Geometry.Bottom, y);
    }
    for (auto [x, y] : {TCorner{1134, 1700}, {1300, 1575}}) {
        TMonoBitmap r = FrameOnly(100, 100, x, y);
        TQuorlen q(r, 1, Fresh());
        std::vector<TRect> areas;
        q.OnGetStartPoint = [&](TQuorlen&, TRect area, TPoint& pt, bool&) {
            areas.push_back(area);
            pt = {7, 9};
        };
        q.LocateSheet();
        ASSERT_EQ(areas.size(), 1u) << x << "," << y;
        EXPECT_EQ(areas[0], (TRect{1134, 1575, 1344, 1785}));
        EXPECT_EQ(q.Geometry.Right, 1134 + 7);
        EXPECT_EQ(q.Geometry.Bottom, 1575 + 9);
        EXPECT_EQ(q.Width, 1141 - 100);
        EXPECT_EQ(q.Height, 1584 - 100);
    }
}

TEST_F(QuorlenTest, BlankPageAsksForBothCornersAndStopsAtTheFirstAbort) {
    TMonoBitmap blank(1344, 1785);
    {
        TQuorlen q(blank, 1, Fresh());
        double angle = 12.5;
        EXPECT_FALSE(q.MeasureSkew(angle));
        std::vector<TRect> areas;
        q.OnGetStartPoint = [&](TQuorlen&, TRect area, TPoint& pt, bool&) {
            areas.push_back(area);
            pt = {20, 20};
        };
        q.LocateSheet();
        ASSERT_EQ(areas.size(), 2u);
        EXPECT_EQ(areas[0], (TRect{0, 0, 210, 210}));
        EXPECT_EQ(areas[1], (TRect{1134, 1575, 1344, 1785}));
        EXPECT_TRUE(q.Ok);
        EXPECT_EQ(q.Geometry.Angle, 0.0f);  // a failed measurement leaves it
    }
    TMonoBitmap again(1344, 1785);
    TQuorlen q(again, 1, Fresh());
    int asked = 0;
    q.OnGetStartPoint = [&](TQuorlen&, TRect, TPoint&, bool& ok) {
        ++asked;
        ok = false;
    };
    q.OnGetOdp = [&](TQuorlen&, TRect, int, std::string&, bool&) { ADD_FAILURE() << "nothing is read"; };
    q.Run();
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(q.Ok);
    EXPECT_EQ(q.Geometry.Left, 0);  // not updated after an abort
    EXPECT_EQ(q.Answers.Count(), 0);
    EXPECT_EQ(q.Code, "");
}

TEST_F(QuorlenTest, StoredGeometryStartsTheSearchFiveOutsideTheOldCorners) {
    // A fleck in the margin on the middle row: a fresh search passes over it
    // (it lies on no line), and a search from a stored corner starts past it.
    const TSheetLayout l = TSheetLayout::Make(5, 50);
    const TPlacement at;
    TMonoBitmap page = DrawPage(l, "77");
    MarkAnswer(page, l, 1, 3);
    TMonoBitmap clean = Scan(page, at);
    TMonoBitmap fleck = clean;
    fleck.FillRect(10, 890, 13, 893, true);

    TQuorlen fresh(fleck, 1, Fresh());
    fresh.LocateSheet();
    EXPECT_EQ(fresh.Geometry.Left, at.X(0));

    TQuorlen first(clean, 1, Fresh());
    first.Run();
    TScanGeometry stored = first.Geometry;
    stored.Angle = 0.0f;
    TQuorlen next(fleck, 1, stored);
    next.Run();
    EXPECT_EQ(next.Geometry.Left, at.X(0));
    EXPECT_EQ(next.Geometry.Right, first.Geometry.Right);
    EXPECT_EQ(next.Code, "77");
    EXPECT_EQ(next.Answers.Value("1"), "D");
}

namespace {
// Turns the scan clockwise on screen about its centre (nearest pixel), as a
// sheet lying askew on the scanner glass.
TMonoBitmap TurnClockwise(const TMonoBitmap& in, double degrees) {
    TMonoBitmap out(in.Width(), in.Height());
    const double t = degrees * std::numbers::pi / 180, c = std::cos(t), s = std::sin(t);
    const double cx = in.Width() / 2.0, cy = in.Height() / 2.0;
    for (int y = 0; y < in.Height(); ++y)
        for (int x = 0; x < in.Width(); ++x) {
            const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
            const int sx = static_cast<int>(std::floor(cx + dx * c + dy * s));
            const int sy = static_cast<int>(std::floor(cy - dx * s + dy * c));
            if (in.IsBlack(sx, sy)) out.SetPixel(x, y, true);
        }
    return out;
}
}  // namespace

TEST_F(QuorlenTest, SheetTurnedClockwiseMeasuresNegativeAngleAndIsTurnedBack) {
    const TSheetLayout l = TSheetLayout::Make(4, 40);
    TMonoBitmap page = DrawPage(l, "3141592653");
    for (int question = 1; question <= 40; ++question) MarkAnswer(page, l, question, question % 4);
    TPlacement at;
    at.Scale = 3;
    at.Left = at.Top = at.Right = at.Bottom = 60;
    TMonoBitmap scan = TurnClockwise(Scan(page, at), 1.0);

    TQuorlen probe(scan, 1, Fresh());
    probe.ScaleX = scan.Width() / 640.0;
    probe.ScaleY = scan.Height() / 850.0;
    double angle = 0;
    ASSERT_TRUE(probe.MeasureSkew(angle));
    EXPECT_NEAR(angle, -1.0, 0.1);

    TQuorlen q(scan, 1, Fresh());
    q.CheckEmpty.Set(false);
    q.Run();
    EXPECT_NEAR(q.Geometry.Angle, angle, 1e-6);
    EXPECT_EQ(q.Code, "3141592653");
    ASSERT_EQ(q.Answers.Count(), 40);
    for (int question = 1; question <= 40; ++question)
        EXPECT_EQ(q.Answers.ValueAt(question - 1), std::string(1, static_cast<char>('A' + question % 4)));
}

// A sheet turned 1.5 degrees against the scanner's dark left border: its
// lower left corner has slid under the border. The skew then comes from the
// top border, which agrees with the left one where both are seen.
TEST_F(QuorlenTest, FrameCornerUnderTheScannerBorderIsLocatedFromTheTopBorder) {
    const TSheetLayout l = TSheetLayout::Make(4, 40);
    TMonoBitmap page = DrawPage(l, "2718");
    for (int question = 1; question <= 40; ++question) MarkAnswer(page, l, question, question % 4);
    TPlacement at;
    at.Scale = 3;
    at.Left = at.Top = at.Right = at.Bottom = 60;
    const TMonoBitmap turned = TurnClockwise(Scan(page, at), 1.0);

    TMonoBitmap probeScan = turned;
    TQuorlen probe(probeScan, 1, Fresh());
    probe.ScaleX = turned.Width() / 640.0;
    probe.ScaleY = turned.Height() / 850.0;
    double left = 0, top = 0;
    ASSERT_TRUE(probe.MeasureSkew(left));
    ASSERT_TRUE(probe.MeasureSkewAlongTop(top));
    EXPECT_NEAR(top, left, 0.05);

    TMonoBitmap scan = TurnClockwise(Scan(page, at), 1.5);
    scan.FillRect(0, 0, 45, scan.Height(), true);  // the border covers the frame's lower left
    TQuorlen q(scan, 1, Fresh());
    q.CheckEmpty.Set(false);
    q.Run();
    EXPECT_EQ(q.Code, "2718");
    ASSERT_EQ(q.Answers.Count(), 40);
    for (int question = 1; question <= 40; ++question)
        EXPECT_EQ(q.Answers.ValueAt(question - 1), std::string(1, static_cast<char>('A' + question % 4)));
}

// A tick lost to noise, or a speck between two ticks, would shift every later
// column or row by a grid step; the walk keeps the ruler's own spacing instead.
TEST_F(QuorlenTest, LostTicksAndSpecksOnTheRulerShiftNothing) {
    struct Case {
        const char* Name;
        void (*Damage)(TMonoBitmap& page);
    };
    for (const Case& c : {Case{"lost ticks",
                               [](TMonoBitmap& page) {
                                   Erase(page, 100, 1, 101, 10);     // top tick of column 10
                                   Erase(page, 100, 840, 101, 849);  // bottom tick of column 10
                                   Erase(page, 1, 400, 10, 401);     // left tick of row 40
                                   Erase(page, 629, 400, 639, 401);  // right tick of row 40
                               }},
                          Case{"specks between ticks", [](TMonoBitmap& page) {
                                   page.FillRect(97, 3, 99, 8, true);      // before the top tick of column 10
                                   page.FillRect(97, 842, 99, 847, true);  // and the bottom one
                                   page.FillRect(3, 397, 8, 399, true);    // before the left tick of row 40
                                   page.FillRect(632, 397, 637, 399, true);
                               }}}) {
        const TSheetLayout l = TSheetLayout::Make(5, 50);
        const TPlacement at;
        TMonoBitmap page = DrawPage(l, "");
        c.Damage(page);
        TMonoBitmap scan = Scan(page, at);
        TQuorlen q(scan, 1, Fresh());
        q.LocateSheet();
        EXPECT_EQ(q.GridToPixel(9, 30).X, at.X(90)) << c.Name;
        EXPECT_NEAR(q.GridToPixel(10, 30).X, at.X(100), 1) << c.Name;
        EXPECT_NEAR(q.GridToPixel(40, 30).X, at.X(400), 1) << c.Name;
        EXPECT_EQ(q.GridToPixel(5, 39).Y, at.Y(390)) << c.Name;
        EXPECT_NEAR(q.GridToPixel(5, 40).Y, at.Y(400), 1) << c.Name;
        EXPECT_NEAR(q.GridToPixel(5, 70).Y, at.Y(700), 1) << c.Name;
    }
}

// Dust where a search looks for a line (the top margin above the frame, the
// band above the code's top rule, the gap under a question) is passed over:
// the sheet reads as it does clean.
// Dust where a search looks for a line (the top margin above the frame, the
// band above the code's top rule, the gap under a question) is passed over:
// the sheet reads as it does clean.
TEST_F(QuorlenTest, SpecksWhereASearchMeetsALineAreNotTakenForIt) {
    const TSheetLayout l = TSheetLayout::Make(5, 50);
    TMonoBitmap page = DrawPage(l, "77");
    for (int q = 1; q <= 50; ++q) MarkAnswer(page, l, q, q % 5);
    TMonoBitmap clean = Scan(page);
    const TGridPoint gap{l.AnswerBox(4, 1).Column + 1, l.QuestionRow(4) - 1};
    page.FillRect(10 * gap.Column - 1, 10 * gap.Row - 1, 10 * gap.Column + 1, 10 * gap.Row + 1, true);
    // Another just under the boxes of question 5, whose outlines lie beside it.
    const TGridPoint under{l.AnswerBox(6, 1).Column + 1, l.QuestionRow(6) - 1};
    page.FillRect(10 * under.Column - 1, 10 * under.Row - 5, 10 * under.Column + 1, 10 * under.Row - 3, true);
    page.FillRect(19, 60, 22, 63, true);  // above the code's top rule, on the column searched
    TMonoBitmap specks = Scan(page);
    specks.FillRect(specks.Width() / 2 - 1, 15, specks.Width() / 2 + 2, 18, true);  // the top margin

    TQuorlen a(clean, 1, Fresh()), b(specks, 1, Fresh());
    a.CheckEmpty.Set(false);
    b.CheckEmpty.Set(false);
    a.Run();
    b.Run();
    EXPECT_EQ(b.Geometry.Top, a.Geometry.Top);
    EXPECT_EQ(b.CodeRuleRow, a.CodeRuleRow);
    EXPECT_EQ(b.Code, "77");
    ASSERT_EQ(a.Answers.Count(), 50);
    ASSERT_EQ(b.Answers.Count(), 50);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(b.Answers.ValueAt(i), a.Answers.ValueAt(i)) << "question " << i + 1;
}

TEST_F(QuorlenTest, ColumnsBelowZeroReadNothingOutsideTheTable) {
    const TSheetLayout l = TSheetLayout::Make(5, 50);
    TMonoBitmap scan = Scan(DrawPage(l, ""));
    TQuorlen q(scan, 1, Fresh());
    q.LocateSheet();
    const auto ticks = q.TickTable;
    const TPoint p0 = q.GridToPixel(0, 30);
    const TPoint m1 = q.GridToPixel(-1, 30);
    const TPoint m3 = q.GridToPixel(-3, 30);
    EXPECT_LT(m1.X, p0.X);
    EXPECT_LT(m3.X, m1.X);
    EXPECT_EQ(m3.Y, p0.Y);
    EXPECT_EQ(q.TickTable, ticks);
}

TEST_F(QuorlenTest, CornerWindowBoundsAreStrictAndUseSx) {
    // 1280 × 1700: sx = sy = 2, so the window is 2 < Left < 200.
    for (int left : {199, 200}) {
        TMonoBitmap r = Frame(1280, 1700, left, 50, 1230, 1650);
        TQuorlen q(r, 1, Fresh(44));
        std::vector<TRect> asked;
        q.OnGetStartPoint = [&](TQuorlen&, TRect area, TPoint& pt, bool&) {
            asked.push_back(area);
            pt = {30, 40};
        };
        q.LocateSheet();
        if (left == 199) {
            EXPECT_TRUE(asked.empty());
            EXPECT_EQ(q.Left, 199);
            EXPECT_EQ(q.Top, 50);
            EXPECT_EQ(q.Geometry.Right, 1230);
            EXPECT_EQ(q.Geometry.Bottom, 1650);
        } else {
            ASSERT_EQ(asked.size(), 1u);
            EXPECT_EQ(asked[0], (TRect{0, 0, 200, 200}));
            EXPECT_EQ(q.Left, 30);
            EXPECT_EQ(q.Top, 40);
        }
    }
}

TEST_F(QuorlenTest, StoredLeftSearchStartsFiveOutsideAndCanMissAFrameFurtherLeft) {
    // Stored corners (70, 50)-(1230, 1650); an ink line inside the sheet at
    // x = 90. A frame 5 or more pixels left of the stored Left is passed over:
    // the search starts on it or inside the sheet and stops on that ink.
    struct Case {
        int FrameLeft;
        int Found;
    };
    for (const Case& c : {Case{68, 68}, Case{65, 90}, Case{60, 90}}) {
        TMonoBitmap r = Frame(1280, 1700, c.FrameLeft, 50, 1230, 1650);
        r.FillRect(90, 60, 91, 1640, true);
        TQuorlen q(r, 1, TScanGeometry{70, 50, 1230, 1650, 0.0f, 44});
        int asked = 0;
        q.OnGetStartPoint = [&](TQuorlen&, TRect, TPoint&, bool&) { ++asked; };
        q.LocateSheet();
        EXPECT_EQ(q.Left, c.Found) << c.FrameLeft;
        EXPECT_EQ(asked, 0) << c.FrameLeft;
    }
    // With no ink inside, the search runs to its bound and the operator is asked.
    TMonoBitmap r = Frame(1280, 1700, 60, 50, 1230, 1650);
    TQuorlen q(r, 1, TScanGeometry{70, 50, 1230, 1650, 0.0f, 44});
    std::vector<TRect> asked;
    q.OnGetStartPoint = [&](TQuorlen&, TRect area, TPoint& pt, bool&) {
        asked.push_back(area);
        pt = {60, 50};
    };
    q.LocateSheet();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], (TRect{0, 0, 200, 200}));
    EXPECT_EQ(q.Left, 60);
}

TEST_F(QuorlenTest, BottomRightRequestAreaIsTheLowerCorner) {
    // The right border too far in: W − 100·sx = 1080 is the strict bound.
    TMonoBitmap r = Frame(1280, 1700, 40, 50, 1080, 1650);
    TQuorlen q(r, 1, Fresh(44));
    std::vector<TRect> asked;
    q.OnGetStartPoint = [&](TQuorlen&, TRect area, TPoint& pt, bool&) {
        asked.push_back(area);
        pt = {150, 140};
    };
    q.LocateSheet();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], (TRect{1080, 1500, 1280, 1700}));
    EXPECT_EQ(q.Geometry.Right, 1080 + 150);
    EXPECT_EQ(q.Geometry.Bottom, 1500 + 140);
    EXPECT_EQ(q.Width, 1230 - 40);
}

TEST_F(QuorlenTest, BlankPageAsksForBothCornersUnlessTheFirstIsAborted) {
    TMonoBitmap blank(1280, 1700);
    int calls = 0;
    {
        TMonoBitmap r = blank;
        TQuorlen q(r, 1, Fresh(44));
        q.OnGetStartPoint = [&](TQuorlen&, TRect, TPoint& pt, bool&) {
            ++calls;
            pt = {0, 0};
        };
        q.Run();
        EXPECT_EQ(calls, 2);
        EXPECT_EQ(q.Geometry.Angle, 0.0f);
    }
    calls = 0;
    TMonoBitmap r = blank;
    TQuorlen q(r, 1, Fresh(44));
    q.OnGetStartPoint = [&](TQuorlen&, TRect, TPoint&, bool& ok) {
        ++calls;
        ok = false;
    };
    q.Run();
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(q.Ok);
    EXPECT_EQ(q.Answers.Count(), 0);
    EXPECT_EQ(q.Geometry.Left, 0);
}

TEST_F(QuorlenTest, MissingRulerTickIsPlacedOneStepOn) {
    const TMonoBitmap whole = Scan(50, 5, "", OneEach(50));
    TMonoBitmap broken = Scan(50, 5, "", OneEach(50), 1, 0, [](TMonoBitmap& page) {
        page.FillRect(100, 1, 101, 10, false);     // top tick of column 10
        page.FillRect(100, 840, 101, 849, false);  // bottom tick of column 10
    });
    TMonoBitmap a = whole, b = broken;
    TQuorlen qa(a, 1, Fresh(44)), qb(b, 1, Fresh(44));
    qa.LocateSheet();
    qb.LocateSheet();
    EXPECT_EQ(qb.GridToPixel(9, 40).X, qa.GridToPixel(9, 40).X);
    EXPECT_NEAR(qb.GridToPixel(10, 40).X, qa.GridToPixel(10, 40).X, 1);
    EXPECT_NEAR(qb.GridToPixel(30, 40).X, qa.GridToPixel(30, 40).X, 1);
}

TEST_F(QuorlenTest, SkewedSheetIsTurnedBackBeforeReading) {
    TMonoBitmap r = Scan(30, 5, "1", OneEach(30, 4), 1, 1.0);
    TQuorlen q(r, 1, Fresh(44));
    q.Run();
    EXPECT_NEAR(q.Geometry.Angle, -1.0, 0.1);
    EXPECT_EQ(q.Code, "1");
    for (int i = 1; i <= 30; ++i) EXPECT_EQ(q.Answers.Value(std::to_string(i)), "E") << i;

    // A stored geometry skips the measurement and rotates by the stored angle.
    TMonoBitmap again = Scan(30, 5, "1", OneEach(30, 4), 1, 1.0);
    TQuorlen second(again, 1, q.Geometry);
    second.Run();
    EXPECT_EQ(second.Geometry.Angle, q.Geometry.Angle);
    EXPECT_EQ(second.Answers, q.Answers);
}

// --- Structure and marks --------------------------------------------------

TEST_F(QuorlenTest, MarkerRowGivesAnswerCountAndColumnStarts) {
    struct Want {
        int A, Q;
        std::vector<int> Columns;
    };
    for (const Want& w : {Want{4, 50, {4, 16}}, Want{2, 200, {4, 12, 20, 28, 36, 44, 52}}, Want{16, 30, {4}}}) {
        const TSheetLayout l = TSheetLayout::Make(w.A, w.Q);
        TMonoBitmap scan = Scan(DrawPage(l, ""));
        TQuorlen q(scan, 1, Fresh());
        q.LocateSheet();
        EXPECT_EQ(q.AnswerCount, w.A);
        for (size_t i = 0; i < w.Columns.size(); ++i) EXPECT_EQ(q.MarkerColumns[i + 1], w.Columns[i]) << w.A;
        EXPECT_EQ(q.MarkerColumns[w.Columns.size() + 1], 0);
    }
}

TEST_F(QuorlenTest, BoxTestIsStrictlyAboveLevelPercentOfTheCell) {
    // 1440 × 2125: sx = 2.25, sy = 2.5, so Level 40 means more than exactly 225.
    const TSheetLayout l = TSheetLayout::Make(5, 50);
    TPlacement at;
    at.Top = 210;
    at.Right = 120;
    at.Bottom = 215;
    TMonoBitmap scan = Scan(DrawPage(l, ""), at);
    TQuorlen q(scan, 1, Fresh(40));
    q.LocateSheet();
    ASSERT_EQ(q.Geometry.Bottom, at.Y(849) + 1);
    EXPECT_FALSE(q.IsMarked(6, 25));  // an empty printed outline
    const TPoint p = q.GridToPixel(6, 25);
    auto fillCount = [&](int n) {
        scan.FillRect(p.X - 11, p.Y - 12, p.X + 12, p.Y + 13, false);
        for (int i = 0; i < n; ++i) scan.SetPixel(p.X - 11 + i % 23, p.Y - 12 + i / 23, true);
    };
    fillCount(225);
    EXPECT_FALSE(q.IsMarked(6, 25));
    fillCount(226);
    EXPECT_TRUE(q.IsMarked(6, 25));
    // Ink just outside the counted square does not count.
    fillCount(0);
    scan.FillRect(p.X - 40, p.Y - 12, p.X - 11, p.Y + 13, true);
    scan.FillRect(p.X + 12, p.Y - 12, p.X + 40, p.Y + 13, true);
    EXPECT_FALSE(q.IsMarked(6, 25));
}

TEST_F(QuorlenTest, CodeReadsSmallestMarkedDigitAndTrimsTrailingGaps) {
    struct Want {
        std::string Printed, Read;
    };
    for (const Want& w : {Want{"905612", "905612"}, Want{"12_45", "12_45"}, Want{"", ""},
                          Want{"0123456789", "0123456789"}, Want{"_____7", "_____7"}}) {
        const TSheetLayout l = TSheetLayout::Make(5, 30);
        TMonoBitmap scan = Scan(DrawPage(l, w.Printed));
        TQuorlen q(scan, 1, Fresh());
        q.Run();
        EXPECT_EQ(q.Code, w.Read) << w.Printed;
    }
    const TSheetLayout l = TSheetLayout::Make(5, 30);
    TMonoBitmap page = DrawPage(l, "97");
    FillBox(page, l.CodeBox(1, 4));
    TMonoBitmap scan = Scan(page);
    TQuorlen q(scan, 1, Fresh());
    q.Run();
    EXPECT_EQ(q.Code, "47");
}

TEST_F(QuorlenTest, ColumnClosesOnTheRuleUnderItsLastQuestion) {
    const TSheetLayout l = TSheetLayout::Make(5, 50);  // column 1: questions 31..50, rows 25..63
    TMonoBitmap scan = Scan(DrawPage(l, ""));
    TQuorlen q(scan, 1, Fresh());
    q.LocateSheet();
    EXPECT_FALSE(q.ColumnClosed(18, 27));
    EXPECT_FALSE(q.ColumnClosed(18, 63));
    EXPECT_TRUE(q.ColumnClosed(18, 65));
    EXPECT_FALSE(q.ColumnClosed(4, 83));
}

TEST_F(QuorlenTest, MarkerRowGivesAnswerCountAndColumns) {
    TMonoBitmap r = Scan(50, 4, "", OneEach(50));
    TQuorlen q(r, 1, Fresh(44));
    q.Run();
    EXPECT_EQ(q.CodeRuleRow, 11);
    EXPECT_EQ(q.MarkerColumns[1], 4);
    EXPECT_EQ(q.AnswerCount, 4);
    EXPECT_EQ(q.MarkerColumns[2], 16);
    EXPECT_EQ(q.MarkerColumns[3], 0);
    EXPECT_EQ(q.Answers.Count(), 50);
    // The ruler's corners: (0, 0) is where the first ticks meet the borders.
    const TPoint origin = q.GridToPixel(0, 0);
    EXPECT_EQ(origin.X, q.TickTable[0][0]);
    EXPECT_EQ(origin.Y, q.TickTable[1][0]);
    const TPoint end = q.GridToPixel(63, 84);
    EXPECT_EQ(end.X, q.TickTable[2][63]);
    EXPECT_EQ(end.Y, q.TickTable[3][84]);
}

TEST_F(QuorlenTest, CodeReadsLeftAlignedWithGapsAndSmallestDigit) {
    TMonoBitmap r = Scan(10, 3, "905612", OneEach(10), 1, 0, [](TMonoBitmap& page) {
        const TSheetLayout l = TSheetLayout::Make(3, 10);
        // A second digit at position 2 (7 besides 0): the smaller one counts.
        const TSheetBox b = BoxAt(l.CodeBox(2, 7));
        page.FillRect(b.Left, b.Top, b.Right + 1, b.Bottom + 1, true);
        // Position 8 marked by hand: the unmarked 7 between stays as "_".
        const TSheetBox c = BoxAt(l.CodeBox(8, 3));
        page.FillRect(c.Left, c.Top, c.Right + 1, c.Bottom + 1, true);
    });
    TQuorlen q(r, 1, Fresh(44));
    q.Run();
    EXPECT_EQ(q.Code, "905612_3");

    TMonoBitmap none = Scan(10, 3, "", OneEach(10));
    TQuorlen empty(none, 1, Fresh(44));
    empty.Run();
    EXPECT_EQ(empty.Code, "");
}

// --- Answers --------------------------------------------------------------

namespace {
// 30 questions of 5 answers: one mark each, except two marks (A and C) on 7
// and none on 8 and 12.
struct TMarkedSheet {
    TSheetLayout Layout = TSheetLayout::Make(5, 30);
    TMonoBitmap Scan;
    TMarkedSheet() {
        TMonoBitmap page = DrawPage(Layout, "1234");
        for (int q = 1; q <= 30; ++q)
            if (q != 8 && q != 12) MarkAnswer(page, Layout, q, q == 7 ? 0 : q % 5);
        MarkAnswer(page, Layout, 7, 2);
        Scan = testsheets::Scan(page);
    }
};
}  // namespace

TEST_F(QuorlenTest, WithoutHandlersAnswersStayAsReadFirstLetterOnly) {
    for (bool checkEmpty : {false, true}) {
        TMarkedSheet sheet;
        TQuorlen q(sheet.Scan, 1, Fresh());
        q.CheckEmpty.Set(checkEmpty);
        int progress = 0;
        q.OnAnswerRead = [&](TQuorlen& sender) {
            EXPECT_EQ(&sender, &q);
            EXPECT_EQ(sender.Answers.Count(), ++progress);
        };
        q.Run();
        EXPECT_TRUE(q.Ok);
        EXPECT_EQ(q.Code, "1234");
        ASSERT_EQ(q.Answers.Count(), 30);
        EXPECT_EQ(progress, 30);
        for (int i = 0; i < 30; ++i) EXPECT_EQ(q.Answers.Name(i), std::to_string(i + 1));
        EXPECT_EQ(q.Answers.Line(6), "7=A");
        EXPECT_EQ(q.Answers.Line(7), checkEmpty ? "8=" : "8= ");
        EXPECT_EQ(q.Answers.Line(11), checkEmpty ? "12=" : "12= ");
        EXPECT_EQ(q.Answers.Line(0), "1=B");
        EXPECT_EQ(q.Answers.Line(29), "30=A");
    }
}

TEST_F(QuorlenTest, OperatorDecidesUnclearQuestionsWithinTheRowsArea) {
    TMarkedSheet sheet;
    const TPlacement at;
    TQuorlen q(sheet.Scan, 1, Fresh());
    std::vector<std::pair<TRect, std::string>> asked;
    q.OnGetOdp = [&](TQuorlen& sender, TRect area, int count, std::string& answer, bool& ok) {
        EXPECT_EQ(&sender, &q);
        EXPECT_EQ(count, 5);
        EXPECT_TRUE(ok);
        asked.push_back({area, answer});
        answer = answer.empty() ? "" : "CE";
    };
    q.Run();
    ASSERT_EQ(asked.size(), 3u);
    // Question 7 sits in row 25 + 12 = 37 of column 0 (first box at column 4):
    // number, boxes and end mark with one grid row to spare.
    EXPECT_EQ(asked[0].first, (TRect{at.X(10), at.Y(360), at.X(170), at.Y(380)}));
    EXPECT_EQ(asked[0].second, "AC");
    EXPECT_EQ(asked[1].second, "");
    EXPECT_EQ(q.Answers.Line(6), "7=C");
    EXPECT_EQ(q.Answers.Line(7), "8=");
    EXPECT_EQ(q.Answers.Count(), 30);
}

TEST_F(QuorlenTest, CheckEmptySwitchIsReadAtEachDecision) {
    TMarkedSheet sheet;
    TQuorlen q(sheet.Scan, 1, Fresh());
    std::vector<std::string> asked;
    q.OnGetOdp = [&](TQuorlen&, TRect, int, std::string& answer, bool&) { asked.push_back(answer); };
    q.OnAnswerRead = [&](TQuorlen& sender) {
        if (sender.Answers.Count() == 10) sender.CheckEmpty.Set(false);
    };
    q.Run();
    EXPECT_EQ(asked, (std::vector<std::string>{"AC", ""}));
    EXPECT_EQ(q.Answers.Line(7), "8=");
    EXPECT_EQ(q.Answers.Line(11), "12= ");
}

TEST_F(QuorlenTest, AbortOnQuestionFiveKeepsItsLineAndEndsTheRun) {
    const TSheetLayout l = TSheetLayout::Make(5, 30);
    TMonoBitmap page = DrawPage(l, "");
    for (int question = 1; question <= 30; ++question)
        if (question != 5) MarkAnswer(page, l, question, 1);
    TMonoBitmap scan = Scan(page);
    TQuorlen q(scan, 1, Fresh());
    int asked = 0, recorded = 0;
    q.OnGetOdp = [&](TQuorlen&, TRect, int, std::string& answer, bool& ok) {
        ++asked;
        answer = "D";
        ok = false;
    };
    q.OnAnswerRead = [&](TQuorlen&) { ++recorded; };
    q.Run();
    EXPECT_FALSE(q.Ok);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(recorded, 5);
    ASSERT_EQ(q.Answers.Count(), 5);
    EXPECT_EQ(q.Answers.Line(4), "5=D");
}

TEST_F(QuorlenTest, ColumnsFollowTheMarkersAndContinuationPagesNumberFromFirstQuestionNo) {
    // Columns 0 and 1 of a 50-question sheet: the second column holds 20.
    const TSheetLayout l = TSheetLayout::Make(5, 50);
    TMonoBitmap page = DrawPage(l, "");
    for (int question = 1; question <= 50; ++question) MarkAnswer(page, l, question, question % 5);
    TMonoBitmap scan = Scan(page);
    TQuorlen q(scan, 1, Fresh());
    q.Run();
    ASSERT_EQ(q.Answers.Count(), 50);
    EXPECT_EQ(q.Answers.Line(30), "31=B");
    EXPECT_EQ(q.Answers.Line(49), "50=A");

    // The continuation page of 121 questions holds question 121 alone.
    const TSheetLayout second = TSheetLayout::Make(5, 121, 121);
    TMonoBitmap page2 = DrawPage(second, "55");
    MarkAnswer(page2, second, 121, 4);
    TMonoBitmap scan2 = Scan(page2);
    TQuorlen c(scan2, 121, Fresh());
    c.Run();
    EXPECT_EQ(c.MarkerColumns[2], 0);
    EXPECT_EQ(c.Code, "55");
    ASSERT_EQ(c.Answers.Count(), 1);
    EXPECT_EQ(c.Answers.Line(0), "121=E");
}

TEST_F(QuorlenTest, MisreadMarkerRowsStayInsideTheirTables) {
    // 28 marked boxes in the marker row: letters go on past Z.
    {
        const TSheetLayout l = TSheetLayout::Make(2, 3);
        TMonoBitmap page = DrawPage(l, "");
        for (int i = 0; i < 28; ++i) FillBox(page, {4 + 2 * i, l.MarkerRow});
        const TSheetBox end = BoxAt(l.EndMark(1));
        Erase(page, end.Left, end.Top, end.Right + 1, end.Bottom + 1);
        FillBox(page, {4 + 2 * 26, l.FirstQuestionRow});
        TMonoBitmap scan = Scan(page);
        TQuorlen q(scan, 1, Fresh());
        q.Run();
        EXPECT_EQ(q.AnswerCount, 28);
        ASSERT_EQ(q.Answers.Count(), 3);
        EXPECT_EQ(q.Answers.Line(0), "1=[");
        EXPECT_EQ(q.Answers.Line(1), "2=C");  // the end mark counts as box 2 now
    }
    // A marker row inked from column 15 on: the table ends at its 20th entry.
    {
        const TSheetLayout l = TSheetLayout::Make(5, 50);
        TMonoBitmap page = DrawPage(l, "");
        for (int c = 15; c <= 59; ++c) FillBox(page, {c, l.MarkerRow});
        TMonoBitmap scan = Scan(page);
        TQuorlen q(scan, 1, Fresh());
        q.Run();
        EXPECT_EQ(q.AnswerCount, 5);
        EXPECT_EQ(q.MarkerColumns[2], 16);
        EXPECT_EQ(q.MarkerColumns[20], 34);
        EXPECT_LE(q.Answers.Count(), 20 * 30);
    }
    // A stray mark in column 1: the first box column lies left of the
    // question numbers, so the request's area starts left of the ruler.
    {
        const TSheetLayout l = TSheetLayout::Make(5, 30);
        TMonoBitmap page = DrawPage(l, "");
        FillBox(page, {1, l.MarkerRow});
        TMonoBitmap scan = Scan(page);
        TQuorlen q(scan, 1, Fresh());
        std::vector<TRect> areas;
        q.OnGetOdp = [&](TQuorlen&, TRect area, int, std::string&, bool& ok) {
            areas.push_back(area);
            ok = false;
        };
        q.Run();
        EXPECT_EQ(q.MarkerColumns[1], 1);
        ASSERT_EQ(areas.size(), 1u);
        EXPECT_LT(areas[0].Left, q.GridToPixel(0, 25).X);
    }
}

TEST_F(QuorlenTest, RenderedSheetReadsLikeTheLayoutSays) {
    TMonoBitmap page = RenderSheet(40, 4, "8080", "Brenvik Quorlen\rTest");
    const TSheetLayout l = TSheetLayout::Make(4, 40);
    for (int question = 1; question <= 40; question += 3) MarkAnswer(page, l, question, question % 4);
    TMonoBitmap scan = Scan(page);
    TQuorlen q(scan, 1, Fresh());
    q.CheckEmpty.Set(false);
    q.Run();
    EXPECT_EQ(q.Code, "8080");
    ASSERT_EQ(q.Answers.Count(), 40);
    for (int question = 1; question <= 40; ++question)
        EXPECT_EQ(q.Answers.ValueAt(question - 1),
                  question % 3 == 1 ? std::string(1, static_cast<char>('A' + question % 4)) : " ");
}

TEST_F(QuorlenTest, RastersWithoutAUsableGridRaiseInsteadOfGuessing) {
    // Under 32 pixels wide a grid step rounds to 0 pixels.
    TMonoBitmap tiny(31, 40);
    tiny.FrameRect(2, 2, 29, 38, true);
    TQuorlen small(tiny, 1, Fresh());
    EXPECT_THROW(small.Run(), std::domain_error);
    // Tick positions are 16-bit: a wider raster is refused, not wrapped.
    TMonoBitmap wide(65536, 1);
    TQuorlen q(wide, 1, Fresh());
    EXPECT_THROW(q.Run(), std::length_error);
}

TEST_F(QuorlenTest, AmbiguousAndEmptyAnswersFollowTheSwitchAndTheHandler) {
    std::vector<std::vector<int>> boxes = OneEach(10, 1);
    boxes[6] = {0, 2};  // question 7: A and C
    boxes[3] = {};      // question 4: nothing
    TMonoBitmap scan = Scan(10, 5, "", boxes);

    {  // No handler: first letter; empty stays empty with the switch on.
        TMonoBitmap r = scan;
        TQuorlen q(r, 1, Fresh(44));
        q.Run();
        EXPECT_EQ(q.Answers.Value("7"), "A");
        EXPECT_EQ(q.Answers.Line(3), "4=");
        EXPECT_EQ(q.Answers.Value("1"), "B");
    }
    {  // Switch off: an empty answer is one space and nobody is asked for it.
        TMonoBitmap r = scan;
        TQuorlen q(r, 1, Fresh(44));
        q.CheckEmpty.Set(false);
        std::vector<std::string> asked;
        q.OnGetOdp = [&](TQuorlen&, TRect, int, std::string& answer, bool&) {
            asked.push_back(answer);
            answer = "C";
        };
        q.Run();
        EXPECT_EQ(q.Answers.Line(3), "4= ");
        EXPECT_EQ(asked, std::vector<std::string>{"AC"});
        EXPECT_EQ(q.Answers.Value("7"), "C");
    }
    {  // Switch on with a handler: the operator chooses none for question 4.
        TMonoBitmap r = scan;
        TQuorlen q(r, 1, Fresh(44));
        std::vector<TRect> areas;
        q.OnGetOdp = [&](TQuorlen& sender, TRect area, int count, std::string& answer, bool&) {
            EXPECT_EQ(count, 5);
            areas.push_back(area);
            const TPoint a = sender.GridToPixel(sender.MarkerColumns[1] - 3, sender.CodeRuleRow + 14 + 2 * 3 - 1);
            if (areas.size() == 1) {
                EXPECT_EQ(area.Left, a.X);
                EXPECT_EQ(area.Top, a.Y);
            }
            answer = areas.size() == 1 ? "" : "AC";
        };
        q.Run();
        EXPECT_EQ(areas.size(), 2u);
        EXPECT_EQ(q.Answers.Line(3), "4=");
        EXPECT_EQ(q.Answers.Line(6), "7=A");  // only the first character is recorded
    }
}

TEST_F(QuorlenTest, ContinuationPageIsNumberedFromTheGivenFirstQuestion) {
    TMonoBitmap r = Scan(121, 5, "77", OneEach(1, 3), 121);
    TQuorlen q(r, 500, Fresh(44));
    q.Run();
    EXPECT_EQ(q.Code, "77");
    ASSERT_EQ(q.Answers.Count(), 1);
    EXPECT_EQ(q.Answers.Line(0), "500=D");
}
