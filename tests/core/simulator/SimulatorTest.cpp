#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/printing/RenderSheet.h"
#include "core/project/SheetLayout.h"
#include "core/recognition/LoadScan.h"
#include "support/TestSupport.h"
#include "testing/ScanSimulator.h"
#include "testing/SimulateSheets.h"

namespace quorlen {
namespace {

int BlackIn(const TMonoBitmap& page, const TSheetBox& b) {
    int n = 0;
    for (int y = b.Top; y <= b.Bottom; ++y)
        for (int x = b.Left; x <= b.Right; ++x) n += page.IsBlack(x, y) ? 1 : 0;
    return n;
}

// Every mark shape must cover the box well above the reader's default 44 %
// level, and must not spill into the neighbouring boxes of the same question.
TEST(ScanSimulator, MarksLandInTheChosenBoxesOnly) {
    const int questions = 8, answers = 4;
    const TMonoBitmap blank = RenderSheet(questions, answers, "123", "Test");
    TMonoBitmap page = blank;
    sim::TPageMarks marks;
    for (int q = 0; q < questions; ++q) {
        marks.Boxes.push_back({q % answers});
        marks.Shapes.push_back(static_cast<sim::TMarkShape>(q % 4));
    }
    sim::MarkAnswers(page, questions, answers, 1, marks, 7);
    const TSheetLayout layout = TSheetLayout::Make(answers, questions);
    for (int q = 1; q <= questions; ++q)
        for (int i = 1; i <= answers; ++i) {  // boxes are numbered from 1 on the grid
            const TSheetBox box = BoxAt(layout.AnswerBox(q, i));
            const int area = (box.Right - box.Left + 1) * (box.Bottom - box.Top + 1);
            const int black = BlackIn(page, box);
            if (i == (q - 1) % answers + 1)
                EXPECT_GT(black * 100, 55 * area) << "question " << q << " box " << i;
            else
                EXPECT_EQ(black, BlackIn(blank, box)) << "question " << q << " box " << i;
        }
}

sim::TBatchOptions SmallBatch(const std::string& dir) {
    sim::TBatchOptions o;
    o.Questions = 3;
    o.Answers = 2;
    o.Count = 2;
    o.Dpi = 150;
    o.OutDir = dir;
    o.Seed = 42;
    o.Noise = 0.3;
    o.Border = true;
    o.RotateMax = 2;
    return o;
}

TEST(ScanSimulator, SameSeedGivesTheSameBytes) {
    quorlen::testing::TempDir a, b;
    sim::SimulateBatch(SmallBatch(a.Path().string()));
    sim::SimulateBatch(SmallBatch(b.Path().string()));
    for (const char* name : {"scan0001.png", "scan0002.png", "truth.json"})
        EXPECT_EQ(quorlen::testing::ReadFileBytes((a.Path() / name).string()),
                  quorlen::testing::ReadFileBytes((b.Path() / name).string()))
            << name;
    auto other = SmallBatch(b.Path().string());
    other.Seed = 43;
    sim::SimulateBatch(other);
    EXPECT_NE(quorlen::testing::ReadFileBytes((a.Path() / "scan0001.png").string()),
              quorlen::testing::ReadFileBytes((b.Path() / "scan0001.png").string()));
}

TEST(ScanSimulator, TruthNamesEveryPageWithItsCodeAndAnswers) {
    quorlen::testing::TempDir dir;
    auto o = SmallBatch(dir.Path().string());
    o.Questions = 200;
    o.Answers = 5;
    o.Count = 1;
    o.CodesFrom = 9876543210ull;
    const auto truth = sim::SimulateBatch(o);
    ASSERT_EQ(truth["Files"].size(), 2u);  // 200 questions need a continuation page
    int answered = 0;
    for (const auto& f : truth["Files"]) {
        EXPECT_TRUE(std::filesystem::exists(dir.Path() / f["File"].get<std::string>()));
        EXPECT_EQ(f["Code"], "9876543210");
        for (const auto& a : f["Answers"]) {
            EXPECT_EQ(a.get<std::string>().size(), 1u);
            ++answered;
        }
    }
    EXPECT_EQ(answered, 200);
    EXPECT_EQ(truth["Files"][1]["FirstQuestion"].get<int>(), truth["Files"][0]["Answers"].size() + 1);
}

}  // namespace
}  // namespace quorlen

namespace quorlen {
namespace {

// Each writer must produce a file our own loader takes back at the page's size,
// with ink where the sheet is and paper in the page's blank corner.
TEST(ScanSimulator, EveryFormatWritesAndLoadsBack) {
    quorlen::testing::TempDir dir;
    const TMonoBitmap page = RenderSheet(3, 2, "7", "Test");
    sim::TScanParams params;
    params.Dpi = 150;
    const sim::TGreyPicture picture = sim::PlaceOnA4(page, params);
    for (auto format : {sim::TFileFormat::Png, sim::TFileFormat::Jpeg, sim::TFileFormat::JpegColour,
                        sim::TFileFormat::Bmp24, sim::TFileFormat::Bmp1}) {
        const std::string path = (dir.Path() / ("page" + sim::FileExtension(format))).string();
        sim::SavePicture(picture, path, format, 85);
        TMonoBitmap loaded;
        std::string detail;
        ASSERT_TRUE(LoadScan(path, loaded, &detail)) << path << ": " << detail;
        EXPECT_EQ(loaded.Width(), picture.Width) << path;
        EXPECT_EQ(loaded.Height(), picture.Height) << path;
        int ink = 0;
        for (int y = 0; y < loaded.Height(); y += 4)
            for (int x = 0; x < loaded.Width(); x += 4) ink += loaded.IsBlack(x, y) ? 1 : 0;
        EXPECT_GT(ink, 100) << path;
        EXPECT_TRUE(loaded.IsWhite(2, 2)) << path;
    }
}

}  // namespace
}  // namespace quorlen
