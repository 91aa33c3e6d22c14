#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDBusConnection>
#include <QRadioButton>
#include <filesystem>
#include <memory>

#include "AppTestSupport.h"
#include "AutomationTestSupport.h"
#include "app/automation/QuorlenServer.h"
#include "app/batch/ShowWyniki.h"
#include "app/shell/FormMain.h"
#include "core/scoring/AnswerKey.h"
#include "printing/PrintTestSupport.h"
#include "support/TestSupport.h"

using namespace quorlen;
using namespace quorlen::automationtest;
using quorlen::testing::TempDir;

namespace {

constexpr int kQuestions = 20;
constexpr int kScans = 20;

// Folders of marked scans shared by the suite: twenty for a run with
// progress, two for the cases that only look at the reply.
struct TScanFolders {
    TempDir Many{"quorlen-automation-many"};
    TempDir Few{"quorlen-automation-few"};
    TempDir Empty{"quorlen-automation-empty"};
    TScanFolders() {
        std::vector<std::vector<int>> boxes;
        for (int q = 0; q < kQuestions; ++q) boxes.push_back({q % 4});
        for (int i = 1; i <= kScans; ++i) {
            const std::string name = "scan" + std::to_string(100 + i) + ".png";
            quorlen::testing::WriteMarkedScan(Many.File(name), kQuestions, 4, std::to_string(i), boxes);
            if (i <= 2) std::filesystem::copy_file(Many.File(name), Few.File(name));
        }
        quorlen::testing::WriteFileBytes(Empty.File("notes.txt"), "no scans here");
    }
};

TScanFolders& Folders() {
    static TScanFolders folders;
    return folders;
}

QString Quoted(const std::string& text) { return QString::fromStdString(Json(text).dump()); }

QString AnalysisCommand(const std::string& folder, const QString& extra = QString()) {
    return QStringLiteral("{\"Title\":\"Próba\",\"ScansFolder\":%1%2}").arg(Quoted(folder), extra);
}

class ServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        static int serial = 0;
        bus_ = std::make_unique<TPrivateBus>();
        serverName_ = QStringLiteral("quorlen-test-server-%1").arg(++serial);
        window_ = std::make_unique<TFormMain>();
        window_->Ask = [this](const QString& text, const QString& caption, QMessageBox::Icon,
                              QMessageBox::StandardButtons, QMessageBox::StandardButton) {
            Asked.push_back(caption + QStringLiteral(": ") + text);
            return Answer;
        };
        // A question no scan of these folders should need is refused at once.
        window_->ExecScaner = [](TFormScaner2&) { return static_cast<int>(QDialog::Rejected); };
        server_ =
            std::make_unique<TQuorlenServer>(*window_, QDBusConnection::connectToBus(bus_->Address(), serverName_));
        server_->Quit = [this] { ++Quits; };
        QString why;
        ASSERT_TRUE(server_->Register(&why)) << why.toStdString();
    }
    void TearDown() override {
        server_.reset();
        window_.reset();
        QDBusConnection::disconnectFromBus(serverName_);
        bus_.reset();
    }
    TClient& Client(const QString& name = QStringLiteral("a")) {
        clients_.push_back(std::make_unique<TClient>(bus_->Address(), serverName_ + name));
        return *clients_.back();
    }
    template <typename T>
    T* Find(const char* name) {
        return window_->findChild<T*>(QString::fromLatin1(name));
    }

    std::vector<QString> Asked;
    QMessageBox::StandardButton Answer = QMessageBox::No;
    int Quits = 0;
    std::unique_ptr<TPrivateBus> bus_;
    QString serverName_;
    std::unique_ptr<TFormMain> window_;
    std::unique_ptr<TQuorlenServer> server_;
    std::vector<std::unique_ptr<TClient>> clients_;
};

bool ResultsViewShown() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<TfrmShowWyniki*>(w) && w->isVisible()) return true;
    return false;
}

}  // namespace

// The smallest analysis command: single choice, the check-empty switch off,
// the counts as given, every scan in the reply; the window hidden, no results
// view, and the project and settings file left as they were.
TEST_F(ServerTest, AnalysisRepliesWithTheResultsDocument) {
    const int level = Find<QSlider>("tbrPoziom")->value();
    const TCallResult r =
        Client().Call(AnalysisCommand(Folders().Many.Path().string(), QStringLiteral(",\"QCnt\":20,\"ACnt\":4")));
    ASSERT_FALSE(r.Failed) << r.ErrorMessage.toStdString();
    const Json reply = r.ReplyJson();
    EXPECT_FALSE(reply.contains("Error"));
    EXPECT_EQ(reply["QCnt"], 20);
    EXPECT_EQ(reply["ACnt"], 4);
    ASSERT_EQ(reply["Lista"].size(), static_cast<size_t>(kScans));
    EXPECT_EQ(reply["Lista"][0]["Wyniki"].size(), static_cast<size_t>(kQuestions));
    EXPECT_TRUE(r.Reply.toStdString().find("Pr\\u00f3ba") != std::string::npos) << "ASCII-escaped reply";
    EXPECT_TRUE(Find<QRadioButton>("rbOnlyOne")->isChecked());
    EXPECT_FALSE(Find<QCheckBox>("chkKontrPuste")->isChecked());
    EXPECT_EQ(Find<QSlider>("tbrPoziom")->value(), level);
    EXPECT_FALSE(window_->isVisible());
    EXPECT_FALSE(ResultsViewShown());
    EXPECT_FALSE(window_->SaveState());
    EXPECT_FALSE(window_->ConfigDirty);
    EXPECT_EQ(window_->LastResults()["Lista"].size(), static_cast<size_t>(kScans));
}

// The counts are brought into their ranges before the run; a black level set
// by an analysis is not remembered.
TEST_F(ServerTest, AnalysisClampsTheCounts) {
    struct Case {
        const char* Extra;
        int QCnt, ACnt;
    };
    for (const Case& c :
         {Case{",\"QCnt\":500,\"ACnt\":4", 200, 4}, Case{",\"ACnt\":4", 3, 4}, Case{",\"QCnt\":20,\"ACnt\":1", 20, 2},
          Case{",\"QCnt\":20,\"ACnt\":99,\"BlackLevel\":60", 20, 16}}) {
        const TCallResult r =
            Client().Call(AnalysisCommand(Folders().Few.Path().string(), QString::fromLatin1(c.Extra)));
        ASSERT_FALSE(r.Failed) << c.Extra << ": " << r.ErrorMessage.toStdString();
        const Json reply = r.ReplyJson();
        EXPECT_EQ(reply["QCnt"], c.QCnt) << c.Extra;
        EXPECT_EQ(reply["ACnt"], c.ACnt) << c.Extra;
        EXPECT_FALSE(window_->ConfigDirty) << c.Extra;
    }
}

// Commands that cannot run reply at once, and nothing waits for a run.
TEST_F(ServerTest, AnalysisThatCannotRunRepliesMinusOne) {
    struct Case {
        QString Command;
        const char* Text;
    };
    const std::string few = Folders().Few.Path().string();
    for (const Case& c : {
             Case{QStringLiteral("{\"Title\":\"  \",\"ScansFolder\":%1}").arg(Quoted(few)),
                  "Podaj poprawne parametry wywołania."},
             Case{QStringLiteral("{\"Title\":\"T\"}"), "Podaj poprawne parametry wywołania."},
             Case{AnalysisCommand(few + "/missing"), "Podaj poprawne parametry wywołania."},
             Case{AnalysisCommand(Folders().Empty.Path().string()), "Brak plików ze skanera w podanym folderze."},
             Case{QStringLiteral("{}"), "Podaj poprawne parametry wywołania."},
         }) {
        const TCallResult r = Client().Call(c.Command);
        ASSERT_FALSE(r.Failed) << c.Command.toStdString();
        EXPECT_EQ(r.ReplyJson(), Json({{"Error", -1}, {"ErrorStr", c.Text}})) << c.Command.toStdString();
        EXPECT_FALSE(window_->Run().Running);
    }
    EXPECT_TRUE(Asked.empty()) << "no message box for a command";
}

// Text that is not a JSON object fails the call with a D-Bus error that says
// where it breaks; there is no reply.
TEST_F(ServerTest, InvalidJsonFailsTheCall) {
    for (const char* text : {"{\"Title\": \"T\",", "{'Title':1}", "", "[1, 2]", "{\"a\":1} trailing"}) {
        const TCallResult r = Client().Call(QString::fromUtf8(text));
        EXPECT_TRUE(r.Failed) << text;
        EXPECT_EQ(r.ErrorName.toStdString(), InvalidCommandError) << text;
        EXPECT_FALSE(r.ErrorMessage.isEmpty()) << text;
    }
    const TCallResult r = Client().Call(QStringLiteral("{\"Title\":"));
    EXPECT_TRUE(r.ErrorMessage.contains(QStringLiteral("column"))) << r.ErrorMessage.toStdString();
}

// The caller gets 0, 0 first, then questions × scans as the maximum with
// positions that only rise and end at it; another client gets nothing.
TEST_F(ServerTest, ProgressOfAnAnalysisGoesToTheCallerOnly) {
    TClient& caller = Client(QStringLiteral("caller"));
    TClient& other = Client(QStringLiteral("other"));
    const TCallResult r =
        caller.Call(AnalysisCommand(Folders().Many.Path().string(), QStringLiteral(",\"QCnt\":20,\"ACnt\":4")));
    ASSERT_FALSE(r.Failed);
    const auto& events = caller.Events;
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events.front(), std::make_pair(0, 0));
    const int max = kQuestions * kScans;
    for (size_t i = 1; i < events.size(); ++i) {
        EXPECT_EQ(events[i].first, max) << i;
        if (i > 1) {
            EXPECT_GE(events[i].second, events[i - 1].second) << i;
        }
    }
    EXPECT_EQ(events.back(), std::make_pair(max, max));
    EXPECT_TRUE(other.Events.empty());
}

TEST_F(ServerTest, ProgressOfPrintingCountsTheSheets) {
    TempDir out("quorlen-automation-print");
    TClient& caller = Client(QStringLiteral("caller"));
    TClient& other = Client(QStringLiteral("other"));
    const TCallResult r =
        caller.Call(QStringLiteral("{\"QCnt\":10,\"PrintCount\":3,\"Printer\":\"Plik PDF\",\"PdfFile\":%1}")
                        .arg(Quoted(out.File("a.pdf"))));
    ASSERT_FALSE(r.Failed) << r.ErrorMessage.toStdString();
    EXPECT_EQ(r.ReplyJson(), Json({{"PrintCount", 3}}));
    EXPECT_EQ(caller.Events, (std::vector<std::pair<int, int>>{{3, 1}, {3, 2}, {3, 3}}));
    EXPECT_TRUE(other.Events.empty());
}

// Print mode end to end: the reply and the codes read back from the PDF.
TEST_F(ServerTest, PrintCommandsPrintTheSheetsTheyDescribe) {
    struct Case {
        const char* Keys;
        Json Reply;
        std::vector<std::string> Codes;
    };
    const std::vector<Case> cases{
        {"\"PrintCount\":3", {{"PrintCount", 3}}, {"", "", ""}},
        {"\"PrintFrom\":100,\"PrintCount\":3", {{"PrintCount", 3}}, {"100", "101", "102"}},
        {"\"PrintFrom\":100", {{"Error", -1}}, {}},
        {"\"PrintFrom\":100,\"PrintCount\":-5", {{"PrintCount", 1}}, {"100"}},
        {"\"PrintList\":[5,12345678901,\"77\"]", {{"PrintCount", 2}}, {"5", "77"}},
        {"\"PrintList\":[-4]", {{"PrintCount", 1}}, {""}},
        {"\"PrintFrom\":100,\"PrintList\":[7]", {{"PrintCount", 1}}, {"7"}},
        {"\"PrintFrom\":100,\"PrintCount\":2,\"PrintList\":[]", {{"Error", -1}}, {}},
        {"\"PrintCount\":1,\"PrintList\":\"5\"", {{"PrintCount", 1}}, {""}},
        {"\"PrintCount\":100001",
         {{"Error", -1}, {"ErrorStr", "Zbyt wiele arkuszy do wydruku (najwyżej 100000)."}},
         {}},
    };
    TempDir out("quorlen-automation-print");
    int n = 0;
    for (const Case& c : cases) {
        const std::string pdf = out.File("sheets" + std::to_string(++n) + ".pdf");
        const TCallResult r =
            Client().Call(QStringLiteral("{\"Title\":\"T\",\"QCnt\":10,\"ACnt\":4,\"Printer\":\"pLIK pdf\","
                                         "\"PdfFile\":%1,%2}")
                              .arg(Quoted(pdf), QString::fromLatin1(c.Keys)));
        ASSERT_FALSE(r.Failed) << c.Keys << ": " << r.ErrorMessage.toStdString();
        EXPECT_EQ(r.ReplyJson(), c.Reply) << c.Keys;
        if (c.Codes.empty())
            EXPECT_FALSE(std::filesystem::exists(pdf)) << c.Keys;
        else
            EXPECT_EQ(printtest::ReadCodes(pdf), c.Codes) << c.Keys;
    }
}

// A printer name that matches nothing keeps the current printer (here the
// PDF file chosen before); the PDF file needs a name, and without one the
// call fails as a printer failure does.
TEST_F(ServerTest, PrinterSelection) {
    TempDir out("quorlen-automation-printer");
    const auto print = [&](const QString& keys) {
        return Client().Call(QStringLiteral("{\"QCnt\":10,\"PrintCount\":1,%1}").arg(keys));
    };
    ASSERT_FALSE(
        print(QStringLiteral("\"Printer\":\"PLIK PDF\",\"PdfFile\":%1").arg(Quoted(out.File("a.pdf")))).Failed);
    EXPECT_EQ(printtest::PdfPageCount(out.File("a.pdf")), 1);
    ASSERT_FALSE(
        print(QStringLiteral("\"Printer\":\"no such queue\",\"PdfFile\":%1").arg(Quoted(out.File("b.pdf")))).Failed);
    EXPECT_EQ(printtest::PdfPageCount(out.File("b.pdf")), 1);
    const TCallResult failed = print(QStringLiteral("\"Printer\":\"Plik PDF\""));
    EXPECT_TRUE(failed.Failed);
    EXPECT_EQ(failed.ErrorName.toStdString(), FailedError);
    const TCallResult unwritable =
        print(QStringLiteral("\"PdfFile\":%1").arg(Quoted(out.File("no/such/folder/c.pdf"))));
    EXPECT_TRUE(unwritable.Failed);
    EXPECT_EQ(unwritable.ErrorName.toStdString(), FailedError);
    EXPECT_FALSE(unwritable.ErrorMessage.isEmpty());
}

// Multiple choice leaves the check-empty switch alone; single choice sets
// it. Print mode keeps the project's changed mark.
TEST_F(ServerTest, CheckEmptyFollowsOnlySingleChoice) {
    TempDir out("quorlen-automation-check");
    auto* check = Find<QCheckBox>("chkKontrPuste");
    for (const bool before : {false, true}) {
        if (check->isChecked() != before) {
            Find<QRadioButton>("rbOnlyOne")->click();
            check->click();
        }
        ASSERT_EQ(window_->CheckEmptySwitch().On(), before);
        const QString pdf = Quoted(out.File("m.pdf"));
        ASSERT_FALSE(Client()
                         .Call(QStringLiteral("{\"MultiChoice\":true,\"CheckEmpty\":%1,\"PrintCount\":1,\"Printer\":"
                                              "\"Plik PDF\",\"PdfFile\":%2}")
                                   .arg(before ? QStringLiteral("false") : QStringLiteral("true"), pdf))
                         .Failed);
        EXPECT_TRUE(Find<QRadioButton>("rbMultiOne")->isChecked());
        EXPECT_EQ(check->isChecked(), before);
        EXPECT_EQ(window_->CheckEmptySwitch().On(), before);
        EXPECT_TRUE(window_->SaveState());
        ASSERT_FALSE(
            Client()
                .Call(QStringLiteral("{\"CheckEmpty\":%1,\"PrintCount\":1,\"Printer\":\"Plik PDF\",\"PdfFile\":%2}")
                          .arg(before ? QStringLiteral("false") : QStringLiteral("true"), pdf))
                .Failed);
        EXPECT_EQ(check->isChecked(), !before);
        EXPECT_EQ(window_->CheckEmptySwitch().On(), !before);
    }
}

// No second run over the first: a command during a command's run, and one
// during the operator's own run, are refused at once; the first goes on, and
// the operator's window stays in view.
TEST_F(ServerTest, BusyWindowRefusesACommand) {
    const Json busy{{"Error", -3}, {"ErrorStr", "Program jest zajęty innym zadaniem."}};
    TClient& first = Client(QStringLiteral("first"));
    first.Start(AnalysisCommand(Folders().Many.Path().string(), QStringLiteral(",\"QCnt\":20,\"ACnt\":4")));
    ASSERT_TRUE(ServeUntil([&] { return window_->Run().Running; }));
    const TCallResult refused = Client(QStringLiteral("second")).Call(AnalysisCommand(Folders().Few.Path().string()));
    EXPECT_EQ(refused.ReplyJson(), busy);
    const TCallResult done = first.Wait();
    ASSERT_FALSE(done.Failed);
    EXPECT_EQ(done.ReplyJson()["Lista"].size(), static_cast<size_t>(kScans));

    window_->ChooseScanFolder = [] { return QString::fromStdString(Folders().Many.Path().string()); };
    window_->edtScanFolderBrowse();
    window_->show();
    window_->btnExecuteClick();
    ASSERT_TRUE(window_->Run().Running);
    EXPECT_EQ(Client(QStringLiteral("third")).Call(QStringLiteral("{\"PrintCount\":1}")).ReplyJson(), busy);
    EXPECT_TRUE(window_->isVisible()) << "the operator's window stays";
    quorlen::testing::WaitForRunEnd(*window_);
}

// A client that leaves during its command: the run ends, its results stay in
// the window, and with the last client gone the process ends.
TEST_F(ServerTest, ClientThatLeavesMidRun) {
    TClient& leaving = Client(QStringLiteral("leaving"));
    leaving.Start(AnalysisCommand(Folders().Many.Path().string(), QStringLiteral(",\"QCnt\":20,\"ACnt\":4")));
    ASSERT_TRUE(ServeUntil([&] { return leaving.Events.size() >= 2; }));
    leaving.Disconnect();
    ASSERT_TRUE(ServeUntil([&] { return !window_->CommandActive(); }));
    EXPECT_EQ(window_->LastResults()["Lista"].size(), static_cast<size_t>(kScans));
    ASSERT_TRUE(ServeUntil([&] { return Quits > 0; }, 5000));
    EXPECT_EQ(server_->ClientCount(), 0);
    EXPECT_EQ(Quits, 1);
}

// Closing the window while a command runs asks first; No keeps it and the
// command ends normally, Yes closes it and the caller hears why.
TEST_F(ServerTest, ClosingDuringACommandAsks) {
    TClient& caller = Client();
    for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        Answer = answer;
        Asked.clear();
        caller.Start(AnalysisCommand(Folders().Many.Path().string(), QStringLiteral(",\"QCnt\":20,\"ACnt\":4")));
        ASSERT_TRUE(ServeUntil([&] { return window_->Run().Running; }));
        EXPECT_EQ(window_->close(), answer == QMessageBox::Yes);
        ASSERT_FALSE(Asked.empty());
        EXPECT_EQ(
            Asked.front(),
            QStringLiteral("Pytanie: Inny program korzysta teraz z Quorlen.\nCzy na pewno chcesz zamknąć program ?"));
        const TCallResult r = caller.Wait();
        ASSERT_FALSE(r.Failed);
        if (answer == QMessageBox::No)
            EXPECT_EQ(r.ReplyJson()["Lista"].size(), static_cast<size_t>(kScans));
        else
            EXPECT_EQ(r.ReplyJson()["Error"], -2);
    }
}

// What a foreign client sees by introspection is the interface file.
TEST_F(ServerTest, IntrospectionIsTheInterfaceFile) {
    QString xml, err;
    ASSERT_EQ(RunProgram(QStringLiteral("gdbus"),
                         {QStringLiteral("introspect"), QStringLiteral("--xml"), QStringLiteral("--address"),
                          bus_->Address(), QStringLiteral("--dest"), QString::fromLatin1(ServerService),
                          QStringLiteral("--object-path"), QString::fromLatin1(ServerPath)},
                         &xml, &err),
              0)
        << err.toStdString();
    const QString expected = ServerInterfaceXml().trimmed();
    EXPECT_TRUE(expected.contains(QStringLiteral("<arg name=\"Params\" type=\"s\" direction=\"in\"/>")));
    EXPECT_TRUE(expected.contains(QStringLiteral("<arg name=\"Position\" type=\"i\"/>")));
    EXPECT_TRUE(xml.contains(expected)) << xml.toStdString();
}

// A key in the command scores that reply only: the window keeps its results
// unscored and the next command without a key gets none. A key that cannot
// be read, or does not fit the run, answers -1 with the key reader's text and
// no scan is read.
TEST_F(ServerTest, AKeyInTheCommandScoresTheReply) {
    // Every scan marks box q % 4; the key agrees on the first 15 questions.
    Json key{{"Version", 1}, {"Answers", Json::array()}};
    for (int q = 0; q < kQuestions; ++q)
        key["Answers"].push_back(std::string(1, static_cast<char>('A' + (q < 15 ? q % 4 : (q + 1) % 4))));
    const std::string few = Folders().Few.Path().string();
    const auto command = [&](const std::string& klucz) {
        return AnalysisCommand(few,
                               QStringLiteral(",\"QCnt\":20,\"ACnt\":4%1")
                                   .arg(klucz.empty() ? QString() : ",\"Klucz\":" + QString::fromStdString(klucz)));
    };
    const TCallResult scored = Client().Call(command(key.dump()));
    ASSERT_FALSE(scored.Failed) << scored.ErrorMessage.toStdString();
    const Json reply = scored.ReplyJson();
    EXPECT_EQ(reply["Klucz"], AnswerKeyToJson(ParseAnswerKey(key)));
    ASSERT_EQ(reply["Lista"].size(), 2u);
    for (const Json& e : reply["Lista"]) {
        EXPECT_EQ(e["Punkty"], 15) << e.dump();
        EXPECT_EQ(e["Max"], 20) << e.dump();
        EXPECT_EQ(e["Procent"], 75) << e.dump();
        EXPECT_EQ(e["Ocena"], 4) << e.dump();
        EXPECT_EQ(e["Wersja"], "") << e.dump();
    }
    EXPECT_FALSE(window_->LastResults().contains("Klucz"));
    const Json plain = Client().Call(command("")).ReplyJson();
    EXPECT_FALSE(plain.contains("Klucz"));
    EXPECT_FALSE(plain["Lista"][0].contains("Punkty"));

    struct Case {
        std::string Klucz;
        const char* Text;
    };
    Json beyond = key;
    beyond["Answers"][1] = "E";
    for (const Case& c : {
             Case{"[\"A\"]", "klucz odpowiedzi musi być obiektem JSON"},
             Case{R"({"Version":1,"Answers":[]})", "Answers: potrzebna niepusta lista odpowiedzi"},
             Case{R"({"Version":1,"Answers":["A","B","C","D","A"]})", "klucz ma 5 pytań, a projekt 20"},
             Case{beyond.dump(), "Answers[2]: \"E\" wskazuje pole poza 4 polami odpowiedzi"},
         }) {
        const TCallResult r = Client().Call(command(c.Klucz));
        ASSERT_FALSE(r.Failed) << c.Klucz;
        EXPECT_EQ(r.ReplyJson(), Json({{"Error", -1}, {"ErrorStr", c.Text}})) << c.Klucz;
        EXPECT_FALSE(window_->Run().Running);
        EXPECT_FALSE(window_->CommandActive());
    }
    EXPECT_TRUE(Asked.empty()) << "no message box for a command";
}
