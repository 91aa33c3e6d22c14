#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/printing/RenderSheet.h"
#include "core/project/SheetLayout.h"
#include "core/recognition/Binarize.h"
#include "core/recognition/Quorlen.h"
#include "core/recognition/ReadScan.h"
#include "core/recognition/Threshold.h"
#include "support/TestSupport.h"
#include "testing/ScanSimulator.h"

using namespace quorlen;
using namespace quorlen::sim;

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

TScanGeometry Level(int level) { return TScanGeometry{0, 0, 0, 0, 0, level}; }

struct Request {
    TRect Area;
};

class QuorlenTest : public ::testing::Test {
protected:
};

}  // namespace

TEST_F(QuorlenTest, CornerWindowBoundsAreStrictAndUseSx) {
    // 1280 × 1700: sx = sy = 2, so the window is 2 < Left < 200.
    for (int left : {199, 200}) {
        TMonoBitmap r = Frame(1280, 1700, left, 50, 1230, 1650);
        TQuorlen q(r, 1, Level(44));
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
    TQuorlen q(r, 1, Level(44));
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
        TQuorlen q(r, 1, Level(44));
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
    TQuorlen q(r, 1, Level(44));
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

TEST_F(QuorlenTest, MarkerRowGivesAnswerCountAndColumns) {
    TMonoBitmap r = Scan(50, 4, "", OneEach(50));
    TQuorlen q(r, 1, Level(44));
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
    TQuorlen q(r, 1, Level(44));
    q.Run();
    EXPECT_EQ(q.Code, "905612_3");

    TMonoBitmap none = Scan(10, 3, "", OneEach(10));
    TQuorlen empty(none, 1, Level(44));
    empty.Run();
    EXPECT_EQ(empty.Code, "");
}

TEST_F(QuorlenTest, AmbiguousAndEmptyAnswersFollowTheSwitchAndTheHandler) {
    std::vector<std::vector<int>> boxes = OneEach(10, 1);
    boxes[6] = {0, 2};  // question 7: A and C
    boxes[3] = {};      // question 4: nothing
    TMonoBitmap scan = Scan(10, 5, "", boxes);

    {  // No handler: first letter; empty stays empty with the switch on.
        TMonoBitmap r = scan;
        TQuorlen q(r, 1, Level(44));
        q.Run();
        EXPECT_EQ(q.Answers.Value("7"), "A");
        EXPECT_EQ(q.Answers.Line(3), "4=");
        EXPECT_EQ(q.Answers.Value("1"), "B");
    }
    {  // Switch off: an empty answer is one space and nobody is asked for it.
        TMonoBitmap r = scan;
        TQuorlen q(r, 1, Level(44));
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
        TQuorlen q(r, 1, Level(44));
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

TEST_F(QuorlenTest, MissingRulerTickIsPlacedOneStepOn) {
    const TMonoBitmap whole = Scan(50, 5, "", OneEach(50));
    TMonoBitmap broken = Scan(50, 5, "", OneEach(50), 1, 0, [](TMonoBitmap& page) {
        page.FillRect(100, 1, 101, 10, false);     // top tick of column 10
        page.FillRect(100, 840, 101, 849, false);  // bottom tick of column 10
    });
    TMonoBitmap a = whole, b = broken;
    TQuorlen qa(a, 1, Level(44)), qb(b, 1, Level(44));
    qa.LocateSheet();
    qb.LocateSheet();
    EXPECT_EQ(qb.GridToPixel(9, 40).X, qa.GridToPixel(9, 40).X);
    EXPECT_NEAR(qb.GridToPixel(10, 40).X, qa.GridToPixel(10, 40).X, 1);
    EXPECT_NEAR(qb.GridToPixel(30, 40).X, qa.GridToPixel(30, 40).X, 1);
}

TEST_F(QuorlenTest, ContinuationPageIsNumberedFromTheGivenFirstQuestion) {
    TMonoBitmap r = Scan(121, 5, "77", OneEach(1, 3), 121);
    TQuorlen q(r, 500, Level(44));
    q.Run();
    EXPECT_EQ(q.Code, "77");
    ASSERT_EQ(q.Answers.Count(), 1);
    EXPECT_EQ(q.Answers.Line(0), "500=D");
}

TEST_F(QuorlenTest, SkewedSheetIsTurnedBackBeforeReading) {
    TMonoBitmap r = Scan(30, 5, "1", OneEach(30, 4), 1, 1.0);
    TQuorlen q(r, 1, Level(44));
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
