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

// Pencil of either hand reads as pen does at every resolution: every answer
// and every code.
TEST(InkReading, OfficeScansReadWholeInEveryInk) {
    for (sim::TInk ink : {sim::TInk::Pen, sim::TInk::HbPencil, sim::TInk::LightPencil})
        for (int dpi : {150, 200, 300}) {
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

// Rough scans at the lowest resolution: a dark scanner border, up to 1.5
// degrees (the frame's lower left may slide under the border), specks that
// break or imitate ruler ticks, uneven lighting, double and blank marks.
TEST(InkReading, RoughScansAt150DpiReadWholeInEveryInk) {
    for (sim::TInk ink : {sim::TInk::Pen, sim::TInk::HbPencil, sim::TInk::LightPencil}) {
        const Family f{ink, "rough", 150};
        const sim::TReadingScore s = ReadFamily(f, 4, 17);
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

// A code block that reads two ways, or has lost a digit, gives no code and
// says why; the clear one reads as printed.
TEST(InkReading, AmbiguousCodeBlocksGiveNoCodeAndAMessage) {
    struct Case {
        const char* Name;
        const char* Printed;
        int Position, Digit;  // a box changed on the printed sheet
        int FilledRows;       // of the box's 10 sheet pixels, from its top; 0 erases the box
        std::string Code, MessagePart;
    };
    quorlen::testing::TempDir dir("codes");
    for (const Case& c : {Case{"clear", "47", 0, 0, 0, "47", ""},
                          Case{"two digits", "47", 1, 9, 10, "", "na pozycji 1 zaczernione są dwie cyfry"},
                          Case{"a box near the black level", "47", 1, 7, 4, "", "kratka cyfry 7 na pozycji 1"},
                          Case{"the last digit's box lost", "127", 3, 7, 0, "", "kratki cyfry 7 na pozycji 3 nie"},
                          Case{"an empty box lost", "127", 8, 2, 0, "", "kratki cyfry 2 na pozycji 8 nie"},
                          Case{"a gap before a digit", "12", 4, 5, 10, "", "pozycja 3 jest pusta, a pozycja 4"}}) {
        const int questions = 10, answers = 4;
        // Four header lines, as the layout below assumes by default.
        TMonoBitmap page = RenderSheet(questions, answers, c.Printed, "Brenvik Quorlen\rTest");
        const TSheetLayout layout = TSheetLayout::Make(answers, questions);
        sim::TPageMarks marks;
        for (int q = 0; q < questions; ++q) marks.Boxes.push_back({q % answers});
        sim::MarkAnswers(page, questions, answers, 1, marks, 3);
        if (c.Position > 0) {
            const TSheetBox b = BoxAt(layout.CodeBox(c.Position, c.Digit));
            if (c.FilledRows > 0)
                page.FillRect(b.Left, b.Top, b.Right + 1, b.Top + c.FilledRows, true);
            else
                page.FillRect(b.Left - 1, b.Top - 1, b.Right + 2, b.Bottom + 2, false);
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
