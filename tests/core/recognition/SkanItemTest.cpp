#include <gtest/gtest.h>

#include <stdexcept>

#include "core/common/Json.h"
#include "core/printing/RenderSheet.h"
#include "core/project/DM.h"
#include "core/recognition/SkanItem.h"
#include "support/TestSupport.h"
#include "testing/ScanSimulator.h"

using namespace quorlen;
using namespace quorlen::sim;
using quorlen::testing::TempDir;

namespace {

// Writes a scanned sheet of `questions` questions of 5 answers to a PNG file.
std::string ScanFile(const TempDir& dir, const std::string& name, int questions, const std::string& code,
                     std::vector<std::vector<int>> boxes = {}, int printedQuestions = 0) {
    TMonoBitmap page = RenderSheet(printedQuestions ? printedQuestions : questions, 5, code, "Brenvik Quorlen\rTest");
    if (boxes.empty()) boxes.assign(static_cast<size_t>(questions), {2});
    TPageMarks marks;
    marks.Boxes = boxes;
    MarkAnswers(page, printedQuestions ? printedQuestions : questions, 5, 1, marks, 1);
    const std::string path = dir.File(name);
    SavePicture(PlaceOnA4(page, TScanParams{}), path, TFileFormat::Png);
    return path;
}

struct Job {
    TItem item;
    std::unique_ptr<TSkanItem> job;
    explicit Job(const std::string& path) {
        item.FileName = path;
        job = std::make_unique<TSkanItem>(item);
        job->AnswerPause = {};
    }
};

class SkanItemTest : public ::testing::Test {
protected:
    void SetUp() override { DM().CheckEmpty = true; }
    TempDir dir{"skan"};
};

}  // namespace

TEST_F(SkanItemTest, CodeAddsTheStudentLineAfterTheAnswers) {
    Job j(ScanFile(dir, "a.png", 30, "1234"));
    j.job->ExpectedCount = 30;
    int events = 0;
    j.job->OnAnswerRead = [&](TItem& item) { EXPECT_EQ(item.AnswersRead, ++events); };
    j.job->Run();
    EXPECT_EQ(j.job->Status, 0);
    EXPECT_EQ(j.job->Message, "");
    ASSERT_EQ(j.item.Answers.Count(), 31);
    EXPECT_EQ(j.item.Answers.Line(30), "Student=1234");
    EXPECT_EQ(j.item.Answers.Line(0), "1=C");
    EXPECT_EQ(j.item.Code, "1234");
    EXPECT_EQ(j.item.AnswersRead, 30);
    EXPECT_EQ(events, 30);
    EXPECT_NE(j.job->Geometry.Left, 0);
    EXPECT_TRUE(j.job->Raster.Empty());

    Job plain(ScanFile(dir, "b.png", 30, ""));
    plain.job->ExpectedCount = 30;
    plain.job->Run();
    EXPECT_EQ(plain.job->Status, 0);
    EXPECT_EQ(plain.item.Answers.Count(), 30);
    EXPECT_EQ(plain.item.Answers.IndexOfName("Student"), -1);
}

TEST_F(SkanItemTest, CountMismatchQuotesBothNumbers) {
    Job j(ScanFile(dir, "c.png", 29, "5"));
    j.job->ExpectedCount = 30;
    j.job->Run();
    EXPECT_EQ(j.job->Status, 3);
    EXPECT_EQ(j.job->Message, "Ilość odczytanych odpowiedzi (29)\rjest niezgodna z oczekiwaną ilością odpowiedzi (30)");
    EXPECT_EQ(j.item.Answers.Count(), 30);  // the answers stay in full, plus Student

    Job unchecked(ScanFile(dir, "d.png", 29, ""));
    unchecked.job->Run();
    EXPECT_EQ(unchecked.job->Status, 0);
}

TEST_F(SkanItemTest, OperatorAbortAtQuestionFiveKeepsFiveLinesAndReportsTheCount) {
    std::vector<std::vector<int>> boxes(30, {1});
    boxes[4] = {};  // question 5 is blank and gets asked
    const std::string path = ScanFile(dir, "e.png", 30, "42", boxes);
    Job j(path);
    j.job->ExpectedCount = 30;
    j.job->SetHandlers(nullptr, [](TSkanItem& sender, TRect, int, std::string&, bool& ok) {
        EXPECT_FALSE(sender.Raster.Empty());  // the handler may look at the scan
        ok = false;
    });
    j.job->Run();
    EXPECT_EQ(j.job->Status, 3);
    EXPECT_EQ(j.item.Answers.Count(), 6);
    EXPECT_EQ(j.item.Answers.Line(4), "5=");
    EXPECT_EQ(j.item.Answers.Line(5), "Student=42");

    Job noCount(path);
    noCount.job->SetHandlers(nullptr, [](TSkanItem&, TRect, int, std::string&, bool& ok) { ok = false; });
    noCount.job->Run();
    EXPECT_EQ(noCount.job->Status, 2);
    EXPECT_EQ(noCount.job->Message, "Procedura przerwana przez Użytkownika.");
}

TEST_F(SkanItemTest, AHandlerThatThrowsGivesStatusOne) {
    std::vector<std::vector<int>> boxes(10, {0});
    boxes[2] = {0, 1};
    Job j(ScanFile(dir, "f.png", 10, "", boxes));
    j.job->SetHandlers(nullptr, [](TSkanItem&, TRect, int, std::string&, bool&) { throw std::runtime_error("x"); });
    j.job->Run();
    EXPECT_EQ(j.job->Status, 1);
    EXPECT_EQ(j.job->Message, "Wystąpił nieznany błąd.");
    EXPECT_EQ(j.job->Geometry.Left, 0);  // the input geometry stays when the run did not return
    EXPECT_TRUE(j.job->Raster.Empty());
}

TEST_F(SkanItemTest, WithoutHandlersTheJobReadsAsTheRecognizerDoes) {
    std::vector<std::vector<int>> boxes(10, {3});
    boxes[6] = {0, 2};
    Job j(ScanFile(dir, "g.png", 10, "9", boxes));
    j.job->Run();
    EXPECT_EQ(j.job->Status, 0);
    EXPECT_EQ(j.item.Answers.Value("7"), "A");
}

TEST_F(SkanItemTest, DefaultGeometryReadsWithLevelFifty) {
    TItem item;
    TSkanItem job(item);
    EXPECT_EQ(job.Geometry.Level, 50);
    EXPECT_EQ(job.Geometry.Left, 0);
    EXPECT_EQ(job.Status, 0);
    EXPECT_EQ(job.FirstQuestionNo, 1);
    EXPECT_EQ(job.ExpectedCount, 0);
    EXPECT_EQ(job.AnswerPause.count(), 1000);
}

TEST_F(SkanItemTest, ReadCommandPrintsTheJobAsJson) {
    const std::string path = ScanFile(dir, "h.png", 20, "314");
    std::string out;
    ASSERT_EQ(quorlen::testing::RunCommand(std::string(QUORLEN_CLI_PATH) + " read " + path + " --questions 20", &out),
              0);
    auto json = ParseJson(out);
    ASSERT_TRUE(json) << out;
    EXPECT_EQ((*json)["Status"], 0);
    EXPECT_EQ((*json)["Code"], "314");
    EXPECT_EQ((*json)["Answers"].size(), 20u);
    EXPECT_EQ((*json)["Answers"][0], "C");
    EXPECT_EQ((*json)["Geometry"]["Level"], 44);

    ASSERT_EQ(quorlen::testing::RunCommand(std::string(QUORLEN_CLI_PATH) + " read " + dir.File("none.png"), &out), 0);
    EXPECT_EQ((*ParseJson(out))["Status"], -1);
    EXPECT_EQ(quorlen::testing::RunCommand(std::string(QUORLEN_CLI_PATH) + " read 2>/dev/null"), 2);
    EXPECT_EQ(quorlen::testing::RunCommand(std::string(QUORLEN_CLI_PATH) + " read " + path + " --level 3 2>/dev/null"),
              2);
}
