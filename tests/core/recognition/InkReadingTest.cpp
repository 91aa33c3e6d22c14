#include <gtest/gtest.h>

#include <string>

#include "core/printing/RenderSheet.h"
#include "core/project/SheetLayout.h"
#include "core/recognition/ReadScan.h"
#include "support/TestSupport.h"
#include "testing/ScanSimulator.h"
#include "testing/ScoreReading.h"
#include "testing/SimulateSheets.h"

using namespace quorlen;

namespace {

// Sheets of one ink, preset and resolution, read against their truth.
struct Family {
    sim::TInk Ink;
    const char* Preset;
    int Dpi;
};

std::string NameOf(const Family& f) {
    const char* ink = f.Ink == sim::TInk::Pen ? "pen" : f.Ink == sim::TInk::HbPencil ? "HB" : "light pencil";
    return std::string(ink) + ", " + f.Preset + ", " + std::to_string(f.Dpi) + " dpi";
}

sim::TReadingScore ReadFamily(const Family& f, int count, uint32_t seed) {
    quorlen::testing::TempDir dir("inks");
    sim::TBatchOptions o;
    sim::ApplyPreset(f.Preset, o);
    o.Questions = 30;
    o.Answers = 5;
    o.Count = count;
    o.Dpi = f.Dpi;
    o.Ink = f.Ink;
    o.Format = sim::TFileFormat::Jpeg;
    o.Seed = seed;
    o.CodesFrom = 4711;
    o.OutDir = dir.Path().string();
    return sim::ScoreReading(o.OutDir, sim::SimulateBatch(o));
}

std::string Faults(const sim::TReadingScore& s) {
    std::string all;
    for (const std::string& f : s.Faults) all += "\n  " + f;
    return all;
}

// Pencil of either hand reads as pen does at 200 and 300 dpi: every answer
// and every code.
TEST(InkReading, OfficeScansReadWholeInEveryInk) {
    for (sim::TInk ink : {sim::TInk::Pen, sim::TInk::HbPencil, sim::TInk::LightPencil})
        for (int dpi : {200, 300}) {
            const Family f{ink, "office", dpi};
            const sim::TReadingScore s = ReadFamily(f, 2, 5);
            EXPECT_EQ(s.AnswersRight, s.Questions) << NameOf(f) << Faults(s);
            EXPECT_EQ(s.CodesRight, s.Sheets) << NameOf(f) << Faults(s);
        }
}

TEST(InkReading, CleanPenScansReadWholeAtEveryResolution) {
    for (int dpi : {150, 200, 300}) {
        const Family f{sim::TInk::Pen, "clean", dpi};
        const sim::TReadingScore s = ReadFamily(f, 2, 9);
        EXPECT_EQ(s.AnswersRight, s.Questions) << NameOf(f) << Faults(s);
        EXPECT_EQ(s.CodesRight, s.Sheets) << NameOf(f) << Faults(s);
    }
}

// Where the grid or the blur make a code uncertain, the sheet keeps no code
// rather than another student's.
TEST(InkReading, RoughScansNeverGiveAWrongCode) {
    for (sim::TInk ink : {sim::TInk::Pen, sim::TInk::HbPencil, sim::TInk::LightPencil})
        for (int dpi : {150, 200}) {
            const Family f{ink, "rough", dpi};
            const sim::TReadingScore s = ReadFamily(f, 3, 21);
            EXPECT_EQ(s.CodesWrong, 0) << NameOf(f) << Faults(s);
        }
}

// A code block that reads two ways gives no code and says why; the clear one
// reads as printed.
TEST(InkReading, AmbiguousCodeBlocksGiveNoCodeAndAMessage) {
    struct Case {
        const char* Name;
        int ExtraDigit;  // at position 1, beside the printed 4
        int FilledRows;  // of the box's 10 sheet pixels, from its top
        std::string Code, MessagePart;
    };
    quorlen::testing::TempDir dir("codes");
    for (const Case& c :
         {Case{"clear", -1, 0, "47", ""}, Case{"two digits", 9, 10, "", "na pozycji 1 zaczernione są dwie cyfry"},
          Case{"a box near the black level", 7, 4, "", "kratka cyfry 7 na pozycji 1"}}) {
        const int questions = 10, answers = 4;
        // Four header lines, as the layout below assumes by default.
        TMonoBitmap page = RenderSheet(questions, answers, "47", "Brenvik Quorlen\rTest");
        const TSheetLayout layout = TSheetLayout::Make(answers, questions);
        sim::TPageMarks marks;
        for (int q = 0; q < questions; ++q) marks.Boxes.push_back({q % answers});
        sim::MarkAnswers(page, questions, answers, 1, marks, 3);
        if (c.ExtraDigit >= 0) {
            const TSheetBox b = BoxAt(layout.CodeBox(1, c.ExtraDigit));
            page.FillRect(b.Left, b.Top, b.Right + 1, b.Top + c.FilledRows, true);
        }
        sim::TScanParams params;
        params.AngleDegrees = 0.4;
        const std::string path = dir.File(std::string(c.Name) + ".png");
        sim::SavePicture(sim::PlaceOnA4(page, params), path, sim::TFileFormat::Png);
        TReadOptions options;
        options.AnswerPause = {};
        options.Level = 44;
        const TScanResult job = ReadScan(path, options);
        EXPECT_EQ(job.Status, TScanStatus::Read) << c.Name;
        EXPECT_EQ(job.Code, c.Code) << c.Name;
        EXPECT_EQ(AnswersWithCode(job).IndexOfName("Student") >= 0, !c.Code.empty()) << c.Name;
        if (c.MessagePart.empty())
            EXPECT_EQ(job.Message, "") << c.Name;
        else
            EXPECT_NE(job.Message.find(c.MessagePart), std::string::npos) << c.Name << ": " << job.Message;
        EXPECT_EQ(job.Answers.Count(), questions) << c.Name;
    }
}

}  // namespace
