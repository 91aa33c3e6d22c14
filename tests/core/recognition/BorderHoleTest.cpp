// A printed line with a hole where a location search crosses it: the rotation
// and the scan's grain leave such holes in lines one to three pixels thin, and
// a search that ran through one located the sheet a row or a column off, so
// that a true code was refused and every answer read empty.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "TestSheets.h"
#include "core/common/Json.h"
#include "core/common/Rounding.h"
#include "core/project/SheetLayout.h"
#include "core/recognition/Quorlen.h"
#include "core/recognition/ReadScan.h"
#include "support/TestSupport.h"
#include "testing/SimulateSheets.h"

using namespace quorlen;
using namespace quorlen::testsheets;

namespace {

// The middle row and column of the scan, where the corner searches run, fall
// between two ruler ticks: 1360 × 1780 pixels, sheet pixels doubled.
const TPlacement At{2, 50, 40, 30, 40};

struct TLocated {
    TScanGeometry Geometry;
    int CodeRuleRow = 0;
    std::string Code;
    int Empty = 0;  // questions read without a mark
};

TLocated Read(TMonoBitmap scan) {
    TQuorlen q(scan, 1, TScanGeometry{0, 0, 0, 0, 0.0f, 44});
    q.CheckEmpty.Set(false);
    q.Run();
    TLocated out{q.Geometry, q.CodeRuleRow, q.Code, 0};
    for (int i = 0; i < q.Answers.Count(); ++i) out.Empty += q.Answers.ValueAt(i) == " ";
    return out;
}

TMonoBitmap MarkedScan(const TSheetLayout& l) {
    TMonoBitmap page = DrawPage(l, "4711");
    for (int q = 1; q <= 30; ++q) MarkAnswer(page, l, q, q % 4);
    return Scan(page, At);
}

void ExpectSameLocation(const TLocated& got, const TLocated& want, const std::string& what) {
    EXPECT_EQ(got.Geometry.Left, want.Geometry.Left) << what;
    EXPECT_EQ(got.Geometry.Top, want.Geometry.Top) << what;
    EXPECT_EQ(got.Geometry.Right, want.Geometry.Right) << what;
    EXPECT_EQ(got.Geometry.Bottom, want.Geometry.Bottom) << what;
    EXPECT_EQ(got.CodeRuleRow, want.CodeRuleRow) << what;
    EXPECT_EQ(got.Code, "4711") << what;
    EXPECT_EQ(got.Empty, 0) << what;
}

}  // namespace

// A hole five pixels long in each line a search meets, right where it
// crosses: the four frame borders, the code's top rule, and the border that
// is each ruler's tick 0. The sheet is located and read as it is whole.
TEST(BorderHole, AHoleWhereTheSearchCrossesALineLeavesTheLocationAsItIs) {
    const TSheetLayout l = TSheetLayout::Make(4, 30);
    const TLocated whole = Read(MarkedScan(l));
    ASSERT_EQ(whole.Code, "4711");
    ASSERT_EQ(whole.Empty, 0);
    const int w = 1360, h = 1780;
    const int probe = Round(20 * (w / 640.0) + At.X(0));  // where the walk down to the code's rule runs
    const int hx = Round(GridStep * w / 640.0) / 2, hy = Round(GridStep * h / 850.0) / 2;
    const int left = whole.Geometry.Left, top = whole.Geometry.Top;
    const int right = whole.Geometry.Right, bottom = whole.Geometry.Bottom;
    struct THole {
        const char* Line;
        int X0, Y0, X1, Y1;  // painted white, ends excluded
    };
    const std::vector<THole> holes = {
        {"top border", w / 2 - 2, At.Y(0), w / 2 + 3, At.Y(1)},
        {"bottom border", w / 2 - 2, At.Y(849), w / 2 + 3, At.Y(850)},
        {"left border", At.X(0), h / 2 - 2, At.X(1), h / 2 + 3},
        {"right border", At.X(639), h / 2 - 2, At.X(640), h / 2 + 3},
        {"code's top rule", probe - 2, At.Y(GridStep * l.CodeTopRule), probe + 3, At.Y(GridStep * l.CodeTopRule + 1)},
        // Tick 0 of each ruler: the border across it, where its walk runs.
        {"top ruler's tick 0", At.X(0), top + hy - 2, At.X(1), top + hy + 3},
        {"bottom ruler's tick 0", At.X(0), bottom - hy - 2, At.X(1), bottom - hy + 3},
        {"left ruler's tick 0", left + hx - 2, At.Y(0), left + hx + 3, At.Y(1)},
        {"right ruler's tick 0", right - hx - 2, At.Y(0), right - hx + 3, At.Y(1)},
    };
    for (const THole& hole : holes) {
        TMonoBitmap scan = MarkedScan(l);
        scan.FillRect(hole.X0, hole.Y0, hole.X1, hole.Y1, false);
        ExpectSameLocation(Read(std::move(scan)), whole, hole.Line);
    }
}

// What the searches beside a line may not take for a hole: a dash in the
// margin that ends short of the search's own path, and a dark scanner edge
// with a notch, which a search beside it leaves early but the search itself
// crosses as black, not as paper.
TEST(BorderHole, LinesBesideTheSearchThatDoNotCrossItsPaperAreNoHole) {
    const TSheetLayout l = TSheetLayout::Make(4, 30);
    const TLocated whole = Read(MarkedScan(l));
    const int w = 1360;
    {
        TMonoBitmap scan = MarkedScan(l);
        scan.FillRect(w / 2 - 44, 20, w / 2 - 4, 21, true);
        ExpectSameLocation(Read(std::move(scan)), whole, "a dash in the top margin");
    }
    {
        TMonoBitmap scan = MarkedScan(l);
        scan.FillRect(0, 0, w, 22, true);
        scan.FillRect(w / 2 + 3, 10, w / 2 + 4, 11, false);
        ExpectSameLocation(Read(std::move(scan)), whole, "a notched dark edge");
    }
}

// The office scans in which the fault was seen (simulate --preset office
// --format jpg): a sheet of each shape and seed whose frame border had a
// hole on the search's path. Each now reads its own code and every answer.
TEST(BorderHole, OfficeScansOnceLocatedWronglyReadTheirCodeAndAnswers) {
    struct TCase {
        int Questions, Answers;
        uint32_t Seed;
        int Sheet;  // 1-based, as scanNNNN
    };
    const std::vector<TCase> cases = {
        {30, 4, 33, 37},  // the border under the top search
        {50, 5, 11, 10},
    };
    for (const TCase& c : cases) {
        quorlen::testing::TempDir dir("hole");
        sim::TBatchOptions o;
        sim::ApplyPreset("office", o);
        o.Questions = c.Questions;
        o.Answers = c.Answers;
        o.Seed = c.Seed;
        o.Count = c.Sheet;
        o.Format = sim::TFileFormat::Jpeg;
        o.OutDir = dir.Path().string();
        const Json truth = sim::SimulateBatch(o);
        const Json& sheet = truth["Files"][static_cast<size_t>(c.Sheet - 1)];
        TReadOptions options;
        options.Level = 44;
        options.ExpectedCount = c.Questions;
        options.AnswerPause = std::chrono::microseconds(0);
        const TScanResult r = ReadScan((dir.Path() / sheet["File"].get<std::string>()).string(), options, {});
        const std::string name = std::to_string(c.Questions) + "x" + std::to_string(c.Answers) + " seed " +
                                 std::to_string(c.Seed) + " sheet " + std::to_string(c.Sheet);
        EXPECT_EQ(r.Status, TScanStatus::Read) << name << ": " << r.Message;
        EXPECT_EQ(r.Code, sheet["Code"].get<std::string>()) << name << ": " << r.Message;
        ASSERT_EQ(r.Answers.Count(), c.Questions) << name;
        for (int q = 0; q < c.Questions; ++q)
            EXPECT_EQ(r.Answers.ValueAt(q), sheet["Answers"][static_cast<size_t>(q)].get<std::string>())
                << name << ", question " << q + 1;
    }
}
