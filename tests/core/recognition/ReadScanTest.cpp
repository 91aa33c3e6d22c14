#include "core/recognition/ReadScan.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <stdexcept>
#include <thread>

#include "TestSheets.h"
#include "core/common/MonoPng.h"
#include "support/TestSupport.h"

using namespace quorlen;
using namespace quorlen::testsheets;

namespace {

const std::string CR = "\r";

class ScanJob : public ::testing::Test {
protected:
    // A scan of `questions` questions of 5 answers, one mark each except two
    // (A and C) on question 7 and none on 8, saved as a one-bit PNG.
    std::string SaveSheet(int questions, const std::string& code, const std::string& name = "scan.png") {
        const TSheetLayout l = TSheetLayout::Make(5, questions);
        TMonoBitmap page = DrawPage(l, code);
        for (int q = 1; q <= questions; ++q)
            if (q != 8) MarkAnswer(page, l, q, q == 7 ? 0 : q % 5);
        MarkAnswer(page, l, 7, 2);
        const std::string path = dir_.File(name);
        WriteMonoPng(Scan(page), path);
        return path;
    }

    quorlen::testing::TempDir dir_{"skanitem"};
};

// The lock is not recursive, so it is probed from another thread.
bool LockedElsewhere(const TMonoBitmap& raster) {
    bool free = false;
    std::thread probe([&] {
        free = raster.DrawingLock().try_lock();
        if (free) raster.DrawingLock().unlock();
    });
    probe.join();
    return !free;
}

}  // namespace

TEST_F(ScanJob, CodeTravelsBesideTheAnswersAndJoinsThemAsTheStudentLine) {
    for (const std::string code : {"1234", ""}) {
        TReadOptions options;
        options.ExpectedCount = 30;
        int events = 0;
        TScanHandlers handlers;
        handlers.OnAnswerRead = [&](int answersRead) { EXPECT_EQ(answersRead, ++events); };
        const TScanResult r = ReadScan(SaveSheet(30, code), options, handlers);
        EXPECT_EQ(r.Status, TScanStatus::Read) << r.Message;
        EXPECT_EQ(r.Message, "");
        EXPECT_EQ(r.Code, code);
        EXPECT_EQ(events, 30);
        ASSERT_EQ(r.Answers.Count(), 30);
        EXPECT_EQ(r.Answers.IndexOfName("Student"), -1);
        EXPECT_EQ(r.Answers.Line(0), "1=B");
        // No handlers: the job reads like a recognizer without them.
        EXPECT_EQ(r.Answers.Line(6), "7=A");
        EXPECT_EQ(r.Answers.Line(7), "8=");
        EXPECT_EQ(r.Answers.Line(29), "30=A");
        const TAnswerList kept = AnswersWithCode(r);
        ASSERT_EQ(kept.Count(), code.empty() ? 30 : 31);
        if (!code.empty()) {
            EXPECT_EQ(kept.Line(30), "Student=1234");
        }
        EXPECT_EQ(r.Geometry.Left, TPlacement{}.X(0));
        EXPECT_EQ(r.Geometry.Level, 50);
    }
}

TEST_F(ScanJob, CountCheckQuotesBothNumbersUnlessSwitchedOff) {
    const std::string path = SaveSheet(29, "42");
    for (int expected : {30, 0, 29}) {
        TReadOptions options;
        options.CheckEmpty.Set(false);
        options.ExpectedCount = expected;
        options.AnswerPause = {};
        const TScanResult r = ReadScan(path, options);
        ASSERT_EQ(r.Answers.Count(), 29);  // the answers stay in full
        EXPECT_EQ(r.Answers.Line(7), "8= ");
        if (expected == 30) {
            EXPECT_EQ(r.Status, TScanStatus::CountMismatch);
            EXPECT_EQ(static_cast<int>(r.Status), 3);
            EXPECT_EQ(r.Message,
                      "Ilość odczytanych odpowiedzi (29)" + CR + "jest niezgodna z oczekiwaną ilością odpowiedzi (30)");
        } else {
            EXPECT_EQ(r.Status, TScanStatus::Read) << expected;
        }
    }
}

TEST_F(ScanJob, OperatorAbortAtQuestionFive) {
    const TSheetLayout l = TSheetLayout::Make(5, 30);
    TMonoBitmap page = DrawPage(l, "1234");
    for (int q = 1; q <= 30; ++q)
        if (q != 5) MarkAnswer(page, l, q, 2);
    const std::string path = dir_.File("abort.png");
    WriteMonoPng(Scan(page), path);

    for (int expected : {30, 0}) {
        TReadOptions options;
        options.ExpectedCount = expected;
        int asked = 0, recorded = 0;
        TScanHandlers handlers{
            [](const TScanView&, TRect, TPoint&, bool&) { ADD_FAILURE() << "the corners are in place"; },
            [&](const TScanView& scan, TRect, int count, std::string& answer, bool& ok) {
                ++asked;
                EXPECT_EQ(scan.FileName, path);
                EXPECT_EQ(count, 5);
                EXPECT_EQ(scan.Raster.Width(), 1360);
                EXPECT_TRUE(LockedElsewhere(scan.Raster));
                answer = "E";
                ok = false;
            },
            [&](int) { ++recorded; }};
        const TScanResult r = ReadScan(path, options, handlers);
        EXPECT_EQ(asked, 1);
        ASSERT_EQ(r.Answers.Count(), 5);
        EXPECT_EQ(r.Answers.Line(4), "5=E");
        EXPECT_EQ(AnswersWithCode(r).Line(5), "Student=1234");
        EXPECT_EQ(recorded, 5);
        if (expected == 30) {
            EXPECT_EQ(r.Status, TScanStatus::CountMismatch);
            EXPECT_EQ(r.Message,
                      "Ilość odczytanych odpowiedzi (5)" + CR + "jest niezgodna z oczekiwaną ilością odpowiedzi (30)");
        } else {
            EXPECT_EQ(r.Status, TScanStatus::Aborted);
            EXPECT_EQ(static_cast<int>(r.Status), 2);
            EXPECT_EQ(r.Message, "Procedura przerwana przez Użytkownika.");
        }
    }
}

// A code the check refuses ends the operator's part of the sheet: its answers
// would go to nobody. The check's message is what stays, even when the answer
// count is off as well; a code the operator gives is taken unchecked.
TEST_F(ScanJob, ARefusedCodeAsksNothingKeepsItsMessageAndAGivenCodeReadsTheSheet) {
    const TSheetLayout l = TSheetLayout::Make(5, 30);
    TMonoBitmap page = DrawPage(l, "47");
    FillBox(page, l.CodeBox(1, 9));  // position 1 holds 4 and 9
    for (int q = 1; q <= 30; ++q)
        if (q != 8) MarkAnswer(page, l, q, q % 5);
    const std::string path = dir_.File("twodigits.png");
    WriteMonoPng(Scan(page), path);
    struct TCase {
        int Expected;
        std::string Given;
        int Asked;
        std::string Code, Message;
        TScanStatus Status;
    };
    const std::string refused = "Kod arkusza nie został przyjęty: na pozycji 1 zaczernione są dwie cyfry lub więcej.";
    for (const TCase& c : {TCase{30, "", 0, "", refused, TScanStatus::Read},
                           TCase{31, "", 0, "", refused, TScanStatus::Read},
                           TCase{0, "", 0, "", refused, TScanStatus::Read},
                           TCase{30, "1234", 1, "1234", "", TScanStatus::Read},
                           TCase{31, "1234", 1, "1234",
                                 "Ilość odczytanych odpowiedzi (30)" + CR +
                                     "jest niezgodna z oczekiwaną ilością odpowiedzi (31)",
                                 TScanStatus::CountMismatch}}) {
        TReadOptions options;
        options.ExpectedCount = c.Expected;
        options.GivenCode = c.Given;
        options.AnswerPause = {};
        int asked = 0;
        TScanHandlers handlers{{}, [&](const TScanView&, TRect, int, std::string& answer, bool&) {
                                   ++asked;
                                   answer = "B";
                               }};
        const TScanResult r = ReadScan(path, options, handlers);
        const std::string name = std::to_string(c.Expected) + "/" + c.Given;
        EXPECT_EQ(asked, c.Asked) << name;
        EXPECT_EQ(r.Code, c.Code) << name;
        EXPECT_EQ(r.Message, c.Message) << name;
        EXPECT_EQ(r.Status, c.Status) << name;
        EXPECT_EQ(AnswersWithCode(r).IndexOfName("Student") >= 0, !c.Code.empty()) << name;
        ASSERT_EQ(r.Answers.Count(), 30) << name;  // read, though never asked
        EXPECT_EQ(r.Answers.Line(7), c.Given.empty() ? "8=" : "8=B") << name;
    }
}

TEST_F(ScanJob, CornerAbortOnABlankPage) {
    const std::string path = dir_.File("blank.png");
    WriteMonoPng(TMonoBitmap(1344, 1785), path);
    std::vector<TRect> areas;
    TScanHandlers handlers{
        [&](const TScanView&, TRect area, TPoint&, bool& ok) {
            areas.push_back(area);
            ok = false;
        },
        [](const TScanView&, TRect, int, std::string&, bool&) { ADD_FAILURE() << "nothing is read"; },
        {}};
    const TScanResult r = ReadScan(path, TReadOptions{}, handlers);
    ASSERT_EQ(areas.size(), 1u);
    EXPECT_EQ(areas[0], (TRect{0, 0, 210, 210}));
    EXPECT_EQ(r.Status, TScanStatus::Aborted);
    EXPECT_EQ(r.Answers.Count(), 0);
    EXPECT_EQ(r.Geometry.Left, 0);
}

TEST_F(ScanJob, UnloadableFilesGiveStatusMinusOneWithThePath) {
    const std::string text = dir_.File("notes.JPG");
    quorlen::testing::WriteFileBytes(text, "This is not a picture.\n");
    const std::string png = quorlen::testing::ReadFileBytes(SaveSheet(30, ""));
    const std::string pngAsJpeg = dir_.File("sheet.JPG");
    quorlen::testing::WriteFileBytes(pngAsJpeg, png);
    const std::string pngAsText = dir_.File("sheet.txt");
    quorlen::testing::WriteFileBytes(pngAsText, png);
    for (const std::string& path : {text, pngAsJpeg, pngAsText, dir_.File("missing.png")}) {
        bool called = false;
        TScanHandlers handlers{[&](const TScanView&, TRect, TPoint&, bool&) { called = true; },
                               [&](const TScanView&, TRect, int, std::string&, bool&) { called = true; },
                               [&](int) { called = true; }};
        TReadOptions options;
        options.StoredGeometry = {70, 50, 1230, 1650, 0.5f, 0};
        options.Level = 44;
        const TScanResult r = ReadScan(path, options, handlers);
        EXPECT_EQ(r.Status, TScanStatus::LoadFailed) << path;
        EXPECT_EQ(static_cast<int>(r.Status), -1);
        EXPECT_EQ(r.Message, "Nieznany format pliku graficznego:" + CR + path + CR + "lub ten plik jest uszkodzony.");
        EXPECT_FALSE(called);
        EXPECT_EQ(r.Code, "");
        EXPECT_EQ(r.Answers.Count(), 0);
        // The geometry it was given comes back, with the read's level.
        EXPECT_EQ(r.Geometry.Right, 1230);
        EXPECT_EQ(r.Geometry.Level, 44);
    }
}

TEST_F(ScanJob, ErrorInsideRecognitionGivesStatusOneAndNoAnswers) {
    TReadOptions options;
    options.Level = 44;
    int recorded = 0;
    TScanHandlers handlers{nullptr,
                           [](const TScanView&, TRect, int, std::string&, bool&) { throw std::runtime_error("boom"); },
                           [&](int n) { recorded = n; }};
    const TScanResult r = ReadScan(SaveSheet(30, "5"), options, handlers);
    EXPECT_EQ(r.Status, TScanStatus::Failed);
    EXPECT_EQ(static_cast<int>(r.Status), 1);
    EXPECT_EQ(r.Message, "Wystąpił nieznany błąd.");
    EXPECT_EQ(r.Answers.Count(), 0);
    EXPECT_EQ(r.Code, "");
    EXPECT_EQ(recorded, 6);         // questions 1..6 were recorded before 7 asked
    EXPECT_EQ(r.Geometry.Left, 0);  // the input geometry stays when the run did not return
    EXPECT_EQ(r.Geometry.Level, 44);
}

TEST_F(ScanJob, PictureTooSmallForAGridIsAnError) {
    const std::string path = dir_.File("tiny.png");
    WriteMonoPng(TMonoBitmap(20, 28), path);
    const TScanResult r = ReadScan(path, TReadOptions{});
    EXPECT_EQ(r.Status, TScanStatus::Failed);
    EXPECT_EQ(r.Message, "Wystąpił nieznany błąd.");
}

TEST_F(ScanJob, DefaultOptionsReadAtLevelFiftyWithPausesAndTheCheckOn) {
    const TReadOptions defaults;
    EXPECT_EQ(defaults.Level, 50);
    EXPECT_EQ(defaults.StoredGeometry.Left, 0);
    EXPECT_EQ(defaults.FirstQuestionNo, 1);
    EXPECT_EQ(defaults.ExpectedCount, 0);
    EXPECT_EQ(defaults.AnswerPause.count(), 1000);
    EXPECT_TRUE(defaults.CheckEmpty.On());

    // 1440 × 2125: one grid cell counts 5.625 · Level pixels, so 260 black
    // pixels lie between level 44 (247.5) and level 50 (281.25).
    const TSheetLayout l = TSheetLayout::Make(5, 30);
    TPlacement at;
    at.Top = 210;
    at.Right = 120;
    at.Bottom = 215;
    TMonoBitmap scan = Scan(DrawPage(l, ""), at);
    const int cx = at.X(10 * 6), cy = at.Y(10 * 25);  // box B of question 1
    scan.FillRect(cx - 11, cy - 12, cx + 12, cy + 13, false);
    for (int i = 0; i < 260; ++i) scan.SetPixel(cx - 11 + i % 23, cy - 12 + i / 23, true);
    const std::string path = dir_.File("faint.png");
    WriteMonoPng(scan, path);

    for (int level : {50, 44}) {
        TReadOptions options;
        options.CheckEmpty.Set(false);
        if (level != 50) options.Level = level;
        const TScanResult r = ReadScan(path, options);
        ASSERT_EQ(r.Status, TScanStatus::Read);
        EXPECT_EQ(r.Answers.Line(0), level == 50 ? "1= " : "1=B");
    }
}

TEST_F(ScanJob, TheSwitchIsTheOwnersAndIsReadAtEachQuestion) {
    // Questions 8.. are blank: the first asks, then the owner turns the check
    // off and the rest read as a space without asking.
    const TSheetLayout l = TSheetLayout::Make(5, 12);
    TMonoBitmap page = DrawPage(l, "");
    for (int q = 1; q <= 7; ++q) MarkAnswer(page, l, q, 1);
    const std::string path = dir_.File("switch.png");
    WriteMonoPng(Scan(page), path);
    TReadOptions options;
    options.AnswerPause = {};
    const TSharedSwitch owners = options.CheckEmpty;
    int asked = 0;
    TScanHandlers handlers{nullptr,
                           [&](const TScanView&, TRect, int, std::string& answer, bool&) {
                               ++asked;
                               answer = "D";
                               owners.Set(false);
                           },
                           {}};
    const TScanResult r = ReadScan(path, options, handlers);
    EXPECT_EQ(asked, 1);
    ASSERT_EQ(r.Answers.Count(), 12);
    EXPECT_EQ(r.Answers.Line(7), "8=D");
    EXPECT_EQ(r.Answers.Line(8), "9= ");
    EXPECT_FALSE(options.CheckEmpty.On());
}

// --- quorlen-cli read -----------------------------------------------------

TEST_F(ScanJob, ReadCommandPrintsTheJobAsAsciiJson) {
    const std::string path = SaveSheet(30, "1234");
    const std::string cli = QUORLEN_CLI_PATH;
    std::string out;
    ASSERT_EQ(quorlen::testing::RunCommand(cli + " read '" + path + "'", &out), 0);
    nlohmann::json j = nlohmann::json::parse(out);
    EXPECT_EQ(j["Status"], 0);
    EXPECT_EQ(j["Message"], "");
    EXPECT_EQ(j["Code"], "1234");
    ASSERT_EQ(j["Answers"].size(), 30u);
    EXPECT_EQ(j["Answers"][0], "B");
    EXPECT_EQ(j["Answers"][6], "A");
    EXPECT_EQ(j["Answers"][7], "");
    EXPECT_EQ(j["Geometry"]["Left"], TPlacement{}.X(0));
    EXPECT_EQ(j["Geometry"]["Top"], TPlacement{}.Y(0));
    EXPECT_EQ(j["Geometry"]["Right"], TPlacement{}.X(639) + 1);
    EXPECT_EQ(j["Geometry"]["Bottom"], TPlacement{}.Y(849) + 1);
    EXPECT_EQ(j["Geometry"]["Angle"], 0.0);
    EXPECT_EQ(j["Geometry"]["Level"], 44);

    ASSERT_EQ(
        quorlen::testing::RunCommand(cli + " read --level 45 --questions 31 --no-check-empty '" + path + "'", &out), 0);
    for (unsigned char c : out) ASSERT_LT(c, 0x80) << out;
    EXPECT_NE(out.find("Ilo\\u015b\\u0107"), std::string::npos) << out;
    j = nlohmann::json::parse(out);
    EXPECT_EQ(j["Status"], 3);
    EXPECT_EQ(j["Message"],
              "Ilość odczytanych odpowiedzi (30)" + CR + "jest niezgodna z oczekiwaną ilością odpowiedzi (31)");
    EXPECT_EQ(j["Answers"][7], " ");
    EXPECT_EQ(j["Geometry"]["Level"], 45);

    ASSERT_EQ(quorlen::testing::RunCommand(cli + " read '" + dir_.File("none.bmp") + "'", &out), 0);
    EXPECT_EQ(nlohmann::json::parse(out)["Status"], -1);

    for (const char* bad :
         {" read", " read a b", " read --level 4 x", " read --questions -1 x", " read --frobnicate x"})
        EXPECT_EQ(quorlen::testing::RunCommand(cli + bad + " 2>/dev/null", &out), 2) << bad;
}

// An option the command does not know is called unknown by name wherever it
// stands; only a known option at the end lacks its value.
TEST_F(ScanJob, CliNamesAnUnknownOptionWhereverItStands) {
    const std::string cli = QUORLEN_CLI_PATH;
    const std::string scan = " '" + dir_.File("none.bmp") + "'";
    struct Case {
        std::string Arguments;
        const char* Says;
    };
    for (const Case& c : {Case{" read" + scan + " --frobnicate", "unknown option --frobnicate"},
                          Case{" read --frobnicate" + scan, "unknown option --frobnicate"},
                          Case{" read" + scan + " --frobnicate=3", "unknown option --frobnicate"},
                          Case{" read" + scan + " --level", "option --level needs a value"},
                          Case{" read" + scan + " --no-check-empty --dpi", "unknown option --dpi"},
                          Case{" analyze /tmp --out", "option --out needs a value"},
                          Case{" analyze /tmp --outt", "unknown option --outt"}}) {
        std::string out;
        EXPECT_EQ(quorlen::testing::RunCommand(cli + c.Arguments + " 2>&1", &out), 2) << c.Arguments;
        EXPECT_NE(out.find(c.Says), std::string::npos) << c.Arguments << ": " << out;
        EXPECT_EQ(out.find("needs a value") != std::string::npos, std::string(c.Says).find("needs") != std::string::npos)
            << c.Arguments << ": " << out;
    }
}
