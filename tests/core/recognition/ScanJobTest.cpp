#include "core/recognition/SkanItem.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <stdexcept>
#include <thread>

#include "TestSheets.h"
#include "core/common/MonoPng.h"
#include "core/project/DM.h"
#include "support/TestSupport.h"

using namespace quorlen;
using namespace quorlen::testsheets;

namespace {

const std::string CR = "\r";

class ScanJob : public ::testing::Test {
protected:
    void SetUp() override { saved_ = DM().CheckEmpty; }
    void TearDown() override { DM().CheckEmpty = saved_; }

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
    bool saved_ = true;
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

TEST_F(ScanJob, CodeAddsStudentLineAfterTheAnswers) {
    DM().CheckEmpty = true;
    for (const std::string code : {"1234", ""}) {
        TItem item;
        item.FileName = SaveSheet(30, code);
        item.Answers.Add("old", "line");
        TSkanItem job(item);
        job.ExpectedCount = 30;
        int events = 0;
        job.OnAnswerRead = [&](TItem& sender) {
            EXPECT_EQ(&sender, &item);
            EXPECT_EQ(sender.AnswersRead, ++events);
        };
        job.Run();
        EXPECT_EQ(job.Status, 0) << job.Message;
        EXPECT_EQ(job.Message, "");
        EXPECT_EQ(item.Code, code);
        EXPECT_EQ(events, 30);
        ASSERT_EQ(item.Answers.Count(), code.empty() ? 30 : 31);
        EXPECT_EQ(item.Answers.Line(0), "1=B");
        // No handlers: the job reads like a recognizer without them.
        EXPECT_EQ(item.Answers.Line(6), "7=A");
        EXPECT_EQ(item.Answers.Line(7), "8=");
        EXPECT_EQ(item.Answers.Line(29), "30=A");
        if (!code.empty()) {
            EXPECT_EQ(item.Answers.Line(30), "Student=1234");
        }
        EXPECT_EQ(item.Answers.IndexOfName("Student"), code.empty() ? -1 : 30);
        EXPECT_EQ(job.Geometry.Left, TPlacement{}.X(0));
        EXPECT_EQ(job.Geometry.Level, 50);
        EXPECT_TRUE(job.Raster.Empty());
        EXPECT_EQ(job.Raster.Bits().capacity(), 0u);
    }
}

TEST_F(ScanJob, CountCheckQuotesBothNumbersUnlessSwitchedOff) {
    DM().CheckEmpty = false;
    const std::string path = SaveSheet(29, "42");
    for (int expected : {30, 0, 29}) {
        TItem item;
        item.FileName = path;
        TSkanItem job(item);
        job.ExpectedCount = expected;
        job.AnswerPause = {};
        job.Run();
        ASSERT_EQ(item.Answers.Count(), 30);  // the answers stay in full
        EXPECT_EQ(item.Answers.Line(7), "8= ");
        if (expected == 30) {
            EXPECT_EQ(job.Status, 3);
            EXPECT_EQ(job.Message,
                      "Ilość odczytanych odpowiedzi (29)" + CR + "jest niezgodna z oczekiwaną ilością odpowiedzi (30)");
        } else {
            EXPECT_EQ(job.Status, 0) << expected;
        }
    }
}

TEST_F(ScanJob, OperatorAbortAtQuestionFive) {
    DM().CheckEmpty = true;
    const TSheetLayout l = TSheetLayout::Make(5, 30);
    TMonoBitmap page = DrawPage(l, "1234");
    for (int q = 1; q <= 30; ++q)
        if (q != 5) MarkAnswer(page, l, q, 2);
    const std::string path = dir_.File("abort.png");
    WriteMonoPng(Scan(page), path);

    for (int expected : {30, 0}) {
        TItem item;
        item.FileName = path;
        TSkanItem job(item);
        job.ExpectedCount = expected;
        int asked = 0;
        job.SetHandlers([](TSkanItem&, TRect, TPoint&, bool&) { ADD_FAILURE() << "the corners are in place"; },
                        [&](TSkanItem& sender, TRect, int count, std::string& answer, bool& ok) {
                            ++asked;
                            EXPECT_EQ(&sender, &job);
                            EXPECT_EQ(count, 5);
                            EXPECT_EQ(sender.Raster.Width(), 1360);
                            EXPECT_TRUE(LockedElsewhere(sender.Raster));
                            answer = "E";
                            ok = false;
                        });
        job.Run();
        EXPECT_EQ(asked, 1);
        ASSERT_EQ(item.Answers.Count(), 6);
        EXPECT_EQ(item.Answers.Line(4), "5=E");
        EXPECT_EQ(item.Answers.Line(5), "Student=1234");
        EXPECT_EQ(item.AnswersRead, 5);
        if (expected == 30) {
            EXPECT_EQ(job.Status, 3);
            EXPECT_EQ(job.Message,
                      "Ilość odczytanych odpowiedzi (5)" + CR + "jest niezgodna z oczekiwaną ilością odpowiedzi (30)");
        } else {
            EXPECT_EQ(job.Status, 2);
            EXPECT_EQ(job.Message, "Procedura przerwana przez Użytkownika.");
        }
        EXPECT_TRUE(job.Raster.Empty());
        EXPECT_FALSE(LockedElsewhere(job.Raster));
    }
}

TEST_F(ScanJob, CornerAbortOnABlankPage) {
    const std::string path = dir_.File("blank.png");
    WriteMonoPng(TMonoBitmap(1344, 1785), path);
    TItem item;
    item.FileName = path;
    item.Answers.Add("7", "B");
    TSkanItem job(item);
    std::vector<TRect> areas;
    job.SetHandlers(
        [&](TSkanItem&, TRect area, TPoint&, bool& ok) {
            areas.push_back(area);
            ok = false;
        },
        [](TSkanItem&, TRect, int, std::string&, bool&) { ADD_FAILURE() << "nothing is read"; });
    job.Run();
    ASSERT_EQ(areas.size(), 1u);
    EXPECT_EQ(areas[0], (TRect{0, 0, 210, 210}));
    EXPECT_EQ(job.Status, 2);
    EXPECT_EQ(item.Answers.Count(), 0);  // the recognizer's empty list replaced it
    EXPECT_EQ(job.Geometry.Left, 0);
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
        TItem item;
        item.FileName = path;
        item.Code = "99";
        item.Answers.Add("1", "A");
        TSkanItem job(item);
        bool called = false;
        job.SetHandlers([&](TSkanItem&, TRect, TPoint&, bool&) { called = true; },
                        [&](TSkanItem&, TRect, int, std::string&, bool&) { called = true; });
        job.OnAnswerRead = [&](TItem&) { called = true; };
        job.Run();
        EXPECT_EQ(job.Status, -1) << path;
        EXPECT_EQ(job.Message, "Nieznany format pliku graficznego:" + CR + path + CR + "lub ten plik jest uszkodzony.");
        EXPECT_FALSE(called);
        EXPECT_EQ(item.Code, "99");
        EXPECT_EQ(item.Answers.Count(), 1);
        EXPECT_TRUE(job.Raster.Empty());
    }
}

TEST_F(ScanJob, ErrorInsideRecognitionGivesStatusOneAndKeepsTheItem) {
    DM().CheckEmpty = true;
    TItem item;
    item.FileName = SaveSheet(30, "5");
    item.Answers.Add("1", "C");
    TSkanItem job(item);
    job.Geometry = {0, 0, 0, 0, 0.0f, 44};
    job.SetHandlers(nullptr, [](TSkanItem&, TRect, int, std::string&, bool&) { throw std::runtime_error("boom"); });
    job.Run();
    EXPECT_EQ(job.Status, 1);
    EXPECT_EQ(job.Message, "Wystąpił nieznany błąd.");
    EXPECT_EQ(item.Answers.Count(), 1);
    EXPECT_EQ(item.Code, "");
    EXPECT_EQ(item.AnswersRead, 6);  // questions 1..6 were recorded before 7 asked
    EXPECT_EQ(job.Geometry.Left, 0);
    EXPECT_EQ(job.Geometry.Level, 44);
    EXPECT_TRUE(job.Raster.Empty());
    EXPECT_FALSE(LockedElsewhere(job.Raster));
}

TEST_F(ScanJob, PictureTooSmallForAGridIsAnError) {
    const std::string path = dir_.File("tiny.png");
    WriteMonoPng(TMonoBitmap(20, 28), path);
    TItem item;
    item.FileName = path;
    TSkanItem job(item);
    job.Run();
    EXPECT_EQ(job.Status, 1);
    EXPECT_EQ(job.Message, "Wystąpił nieznany błąd.");
}

TEST_F(ScanJob, JobWithoutGeometryReadsAtLevelFifty) {
    // 1440 × 2125: one grid cell counts 5.625 · Level pixels, so 260 black
    // pixels lie between level 44 (247.5) and level 50 (281.25).
    DM().CheckEmpty = false;
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
        TItem item;
        item.FileName = path;
        TSkanItem job(item);
        if (level != 50) job.Geometry.Level = level;
        job.Run();
        ASSERT_EQ(job.Status, 0);
        EXPECT_EQ(item.Answers.Line(0), level == 50 ? "1= " : "1=B");
    }
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
        quorlen::testing::RunCommand(cli + " read --level 60 --questions 31 --no-check-empty '" + path + "'", &out), 0);
    for (unsigned char c : out) ASSERT_LT(c, 0x80) << out;
    EXPECT_NE(out.find("Ilo\\u015b\\u0107"), std::string::npos) << out;
    j = nlohmann::json::parse(out);
    EXPECT_EQ(j["Status"], 3);
    EXPECT_EQ(j["Message"],
              "Ilość odczytanych odpowiedzi (30)" + CR + "jest niezgodna z oczekiwaną ilością odpowiedzi (31)");
    EXPECT_EQ(j["Answers"][7], " ");
    EXPECT_EQ(j["Geometry"]["Level"], 60);

    ASSERT_EQ(quorlen::testing::RunCommand(cli + " read '" + dir_.File("none.bmp") + "'", &out), 0);
    EXPECT_EQ(nlohmann::json::parse(out)["Status"], -1);

    for (const char* bad :
         {" read", " read a b", " read --level 4 x", " read --questions -1 x", " read --frobnicate x"})
        EXPECT_EQ(quorlen::testing::RunCommand(cli + bad + " 2>/dev/null", &out), 2) << bad;
}
