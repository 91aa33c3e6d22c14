// The first start's demo, fetched from a real web server on loopback (a
// QTcpServer of the test's own that answers with prepared bytes) and from the
// archive the build made, through the window's own start-up.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <set>

#include "AppTestSupport.h"
#include "app/shell/DemoDownload.h"
#include "app/shell/FormMain.h"
#include "core/common/Json.h"
#include "core/demo/DemoArchive.h"
#include "support/DemoRecords.h"
#include "support/TestSupport.h"

using namespace quorlen;
using quorlen::testing::DemoRecord;
using quorlen::testing::ReadFileBytes;
using quorlen::testing::TempDir;
using quorlen::testing::WriteFileBytes;
namespace fs = std::filesystem;

namespace {

// The offer names the folder the files went to, under the test's own home.
QString Offer(const QString& folder = QStringLiteral("~/Documents/QuorlenDemo")) {
    return QStringLiteral("Quorlen pobrał przykładowe pliki skanów\ni umieścił je w folderze %1.\n"
                          "Czy chcesz otworzyć Projekt oparty na tych przykładach ?")
        .arg(folder);
}
const QString kOffer = Offer();
const QString kFailure = QStringLiteral("Wystąpił problem przy pobieraniu przykładowego Projektu");

// Answers every connection with the same bytes, then closes it.
class LoopbackServer {
public:
    explicit LoopbackServer(QByteArray response) : response_(std::move(response)) {
        EXPECT_TRUE(server_.listen(QHostAddress::LocalHost, 0));
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    request_ += socket->readAll();
                    if (!request_.contains("\r\n\r\n")) return;
                    socket->write(response_);
                    socket->disconnectFromHost();
                });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    QString Url() const { return QStringLiteral("http://127.0.0.1:%1/").arg(server_.serverPort()); }
    QByteArray RequestLine() const { return request_.left(request_.indexOf("\r\n")); }

private:
    QTcpServer server_;
    QByteArray response_;
    QByteArray request_;
};

QByteArray Http(int status, const char* reason, const std::string& body, const char* type = "application/octet-stream",
                qint64 declared = -1) {
    return QByteArray("HTTP/1.1 ") + QByteArray::number(status) + ' ' + reason + "\r\nContent-Type: " + type +
           "\r\nContent-Length: " + QByteArray::number(declared < 0 ? qint64(body.size()) : declared) +
           "\r\nConnection: close\r\n\r\n" + QByteArray::fromStdString(body);
}

const std::string kProject = "Nazwa=Demo\r\nIlePytan=20\r\nIleOdpowiedzi=4\r\nWybor=1\r\n";

// A home folder of the test's own, so that Documents/QuorlenDemo is too.
struct Home {
    TempDir dir;
    QByteArray savedHome = qgetenv("HOME"), savedConfig = qgetenv("XDG_CONFIG_HOME");
    TempDir data;
    QByteArray savedData = qgetenv("QUORLEN_DATA_DIR");
    Home() {
        qputenv("HOME", QByteArray::fromStdString(dir.Path().string()));
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((dir.Path() / ".config").string()));
        qputenv("QUORLEN_DATA_DIR", QByteArray::fromStdString(data.Path().string()));
    }
    ~Home() {
        qputenv("HOME", savedHome);
        savedConfig.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", savedConfig);
        qputenv("QUORLEN_DATA_DIR", savedData);
    }
    fs::path Demo() const { return fs::path(TDemoDownload::DemoFolder().toStdString()); }
    std::set<std::string> DemoFiles() const { return quorlen::testing::FolderNames(Demo()); }
};

// A first start: the window comes up with the settings file given (none when
// empty), its demo download attached as the program does, and runs until the
// fetch has ended. Message boxes are recorded and answered.
struct FirstStart {
    std::unique_ptr<TFormMain> w;
    std::vector<std::pair<QString, QString>> asked;  // caption, text
    QMessageBox::StandardButton offerAnswer = QMessageBox::No;
    std::vector<bool> runningWhenAsked;
    std::function<void(TFormMain&)> beforeFetch;

    void Run(const std::string& configJson) {
        if (!configJson.empty()) WriteFileBytes(TFormMain::ConfigFilePath().toStdString(), configJson);
        w = std::make_unique<TFormMain>();
        w->ChooseProjectFile = [] { return QString(); };
        w->Ask = [this](const QString& text, const QString& caption, QMessageBox::Icon, QMessageBox::StandardButtons,
                        QMessageBox::StandardButton) {
            asked.emplace_back(caption, text);
            runningWhenAsked.push_back(w->Run().Running);
            return caption == QStringLiteral("Pytanie") ? offerAnswer : QMessageBox::Ok;
        };
        TDemoDownload* download = AttachDemoDownload(*w);
        if (beforeFetch) beforeFetch(*w);
        QSignalSpy ended(download, &TDemoDownload::Finished);
        EXPECT_TRUE(ended.wait(30000));
        EXPECT_FALSE(download->Busy());
    }
    void RunFrom(const QString& url) {
        Run(R"({"config":{"downloadDemoFiles":true,"demoUrl":")" + url.toStdString() + "\"}}");
    }
};

std::set<std::string> Scans(std::initializer_list<const char*> names) {
    std::set<std::string> set = {"Demo.spf"};
    for (const char* n : names) set.insert(n);
    return set;
}

}  // namespace

TEST(DemoDownload, ArchivesFromTheWebServerAreUnpackedAndOffered) {
    struct Case {
        const char* name;
        std::string archive;
        QMessageBox::StandardButton answer;
        std::set<std::string> files;
    };
    std::set<std::string> copies = Scans({"Skan1.png", "Skan2.png"});
    for (int i = 1; i <= 12; ++i)
        copies.insert(std::string("Skan1") + (i < 10 ? "0" : "") + std::to_string(i) + ".png");
    for (const Case& c : {
             Case{"three scans, No", DemoRecord(kProject) + DemoRecord("a") + DemoRecord("b") + DemoRecord("c"),
                  QMessageBox::No, Scans({"Skan1.png", "Skan2.png", "Skan3.png"})},
             Case{"base 1 × 12, Yes",
                  DemoRecord(kProject + "BaseFile=1\r\nRepeatCount=12\r\n") + DemoRecord("a") + DemoRecord("b"),
                  QMessageBox::Yes, copies},
             Case{"project only, Yes", DemoRecord(kProject), QMessageBox::Yes, Scans({})},
         }) {
        Home home;
        LoopbackServer server(Http(200, "OK", c.archive));
        FirstStart start;
        start.offerAnswer = c.answer;
        start.RunFrom(server.Url());
        EXPECT_EQ(server.RequestLine(), "GET /quorlen.demo HTTP/1.1") << c.name;
        ASSERT_EQ(start.asked.size(), 1u) << c.name;
        EXPECT_EQ(start.asked[0], std::make_pair(QStringLiteral("Pytanie"), kOffer)) << c.name;
        EXPECT_EQ(home.DemoFiles(), c.files) << c.name;
        const TProjectSettings project = start.w->CurrentSettings();
        const bool yes = c.answer == QMessageBox::Yes;
        EXPECT_EQ(start.w->DownloadDemoFiles, !yes) << c.name;  // No: the next start fetches again
        EXPECT_TRUE(start.w->UseDemoFiles) << c.name;
        EXPECT_EQ(start.w->ConfigDirty, yes) << c.name;
        EXPECT_EQ(project.ProjectName, yes ? "Demo" : "") << c.name;
        if (yes) {
            EXPECT_EQ(project.ScanFolder, home.Demo().string()) << c.name;
            EXPECT_EQ(start.w->findChild<QLineEdit*>(QStringLiteral("edtProjectFile"))->text(),
                      TFormMain::DemoProjectPath());
        }
    }
}

TEST(DemoDownload, TheOfferWaitsForTheEndOfARunInProgress) {
    Home home;
    LoopbackServer server(Http(200, "OK", DemoRecord(kProject)));
    FirstStart start;
    start.offerAnswer = QMessageBox::Yes;
    // A load under a running analysis would clear the scan list its workers use.
    start.beforeFetch = [](TFormMain& w) {
        w.Run().Running = true;
        QTimer::singleShot(1000, &w, [&w] { w.Run().Running = false; });
    };
    start.RunFrom(server.Url());
    ASSERT_EQ(start.asked.size(), 1u);
    EXPECT_EQ(start.asked[0].second, kOffer);
    EXPECT_FALSE(start.runningWhenAsked[0]);
    EXPECT_EQ(start.w->CurrentSettings().ProjectName, "Demo");
}

TEST(DemoDownload, BrokenResponsesFailOnceAndUnpackNothingHalf) {
    struct Case {
        const char* name;
        QByteArray response;
        std::set<std::string> files;
    };
    const std::string good = DemoRecord(kProject) + DemoRecord("a");
    for (const Case& c : {
             Case{"an HTML 404 page", Http(404, "Not Found", "<html><body>Nie ma</body></html>", "text/html"), {}},
             Case{"an archive sent with 500", Http(500, "Internal Server Error", good), {}},
             // Every record is measured before the first file is written.
             Case{"a truncated archive", Http(200, "OK", good + DemoRecord("second scan", 11).substr(0, 9)), {}},
             Case{"a negative length", Http(200, "OK", good + DemoRecord("x", -5)), {}},
             Case{"the connection cut short", Http(200, "OK", good, "application/octet-stream", 5000), {}},
         }) {
        Home home;
        LoopbackServer server(c.response);
        FirstStart start;
        start.offerAnswer = QMessageBox::Yes;
        start.RunFrom(server.Url());
        ASSERT_EQ(start.asked.size(), 1u) << c.name;
        EXPECT_EQ(start.asked[0], std::make_pair(QStringLiteral("Uwaga"), kFailure)) << c.name;
        EXPECT_EQ(home.DemoFiles(), c.files) << c.name;
        EXPECT_FALSE(start.w->UseDemoFiles) << c.name;
        EXPECT_TRUE(start.w->DownloadDemoFiles) << c.name;
        EXPECT_FALSE(start.w->ConfigDirty) << c.name;  // a failed fetch is not written
    }
}

TEST(DemoDownload, NoNetworkOrNoArchiveShowsNothingAndStillOffersTheDemo) {
    int closedPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        closedPort = probe.serverPort();
    }
    for (const QString& url : {QStringLiteral("http://127.0.0.1:%1/").arg(closedPort),
                               QUrl::fromLocalFile(QStringLiteral("/nonexistent/quorlen.demo")).toString()}) {
        Home home;
        FirstStart start;
        start.RunFrom(url);
        EXPECT_TRUE(start.asked.empty()) << url.toStdString();
        EXPECT_TRUE(start.w->UseDemoFiles) << url.toStdString();
        EXPECT_TRUE(start.w->DownloadDemoFiles) << url.toStdString();
        EXPECT_FALSE(fs::exists(home.Demo())) << url.toStdString();

        // The chooser still offers the demo; Yes reports the missing file.
        start.offerAnswer = QMessageBox::Yes;
        start.w->edtProjectFileBrowse();
        ASSERT_EQ(start.asked.size(), 2u);
        EXPECT_EQ(start.asked[0].second, QStringLiteral("Czy chcesz użyć skanów demonstracyjnych ?"));
        EXPECT_EQ(start.asked[1].first, QStringLiteral("Błąd"));
    }
}

TEST(DemoDownload, DefaultUrlIsTheArchiveTheBuildMade) {
    Home home;
    EXPECT_EQ(TDemoDownload::DefaultUrl(), QUrl::fromLocalFile(QStringLiteral(QUORLEN_DEMO_ARCHIVE)));
    EXPECT_EQ(TDemoDownload::ConfiguredUrl(), TDemoDownload::DefaultUrl());
    WriteFileBytes(TFormMain::ConfigFilePath().toStdString(), R"({"config":{"demoUrl":"http://127.0.0.1:1/x/"}})");
    EXPECT_EQ(TDemoDownload::ConfiguredUrl(), QUrl(QStringLiteral("http://127.0.0.1:1/x/")));

    // A file:// URL in the settings works as well as the maker's web server.
    FirstStart start;
    start.RunFrom(QUrl::fromLocalFile(QStringLiteral(QUORLEN_DEMO_ARCHIVE)).toString());
    ASSERT_EQ(start.asked.size(), 1u);
    EXPECT_EQ(start.asked[0].second, kOffer);
    EXPECT_EQ(home.DemoFiles().size(), 1u + 12u + 18u);
}

// The whole first start with the installed-style default: the demo is
// unpacked and offered, Yes opens it, and "Analizuj" reads every sheet with
// the operator's questions answered as a person would.
TEST(DemoFirstStart, YesOpensTheDemoAndARunReadsEverySheet) {
    Home home;
    FirstStart start;
    start.offerAnswer = QMessageBox::Yes;
    start.Run("");
    ASSERT_EQ(start.asked.size(), 1u);
    TFormMain& w = *start.w;
    EXPECT_EQ(w.CurrentSettings().ProjectName, "Demo — sprawdzian");
    EXPECT_EQ(w.CurrentSettings().QuestionCount, 20);
    EXPECT_EQ(w.CurrentSettings().AnswerCount, 4);
    EXPECT_EQ(w.findChild<QLineEdit*>(QStringLiteral("edtScanFolder"))->text().toStdString(), home.Demo().string());

    int questions = 0;
    w.ExecScaner = [&](TFormScaner2& d) {
        ++questions;
        // Click "A" (after "X", no answer), then OK.
        QTimer::singleShot(0, &d, [&d] {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(&d));
            auto choices = d.findChild<QWidget*>(QStringLiteral("PanelOdpowiedzi"))->findChildren<QRadioButton*>();
            ASSERT_GE(choices.size(), 2);
            QTest::mouseClick(choices.at(1), Qt::LeftButton, {}, QPoint(5, 5));
            QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("BitBtn1")), Qt::LeftButton);
        });
        return d.exec();
    };
    w.show();
    QPushButton* analyse = w.findChild<QPushButton*>(QStringLiteral("btnExecute"));
    ASSERT_TRUE(analyse->isEnabled());
    QTest::mouseClick(analyse, Qt::LeftButton);
    quorlen::testing::WaitForRunEnd(w);

    const Json& results = w.LastResults();
    EXPECT_EQ(results["Lista"].size(), 30u);
    EXPECT_TRUE(results["Pominiete"].empty()) << results["Pominiete"].dump();
    EXPECT_GE(questions, 4);  // blank and double marks reach the operator
    for (const Json& entry : results["Lista"]) EXPECT_EQ(entry["Wyniki"].size(), 20u) << entry.dump();
    auto* grid = w.ResultsView()->findChild<QTableWidget*>(QStringLiteral("sgrdWyniki"));
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->rowCount(), 30);

    const QString shots = qEnvironmentVariable("QUORLEN_SCREENSHOT_DIR");
    if (!shots.isEmpty()) {
        QTest::qWait(200);
        w.ResultsView()->grab().save(shots + QStringLiteral("/demo-results.png"));
    }
    EXPECT_TRUE(w.close());
}

TEST(DemoDownload, TheOfferNamesTheDesktopsDocumentsFolder) {
    Home home;
    fs::create_directories(home.dir.Path() / ".config");
    fs::create_directories(home.dir.Path() / "Dokumenty");
    WriteFileBytes((home.dir.Path() / ".config/user-dirs.dirs").string(), "XDG_DOCUMENTS_DIR=\"$HOME/Dokumenty\"\n");
    LoopbackServer server(Http(200, "OK", DemoRecord(kProject)));
    FirstStart start;
    start.RunFrom(server.Url());
    ASSERT_EQ(start.asked.size(), 1u);
    EXPECT_EQ(start.asked[0].second, Offer(QStringLiteral("~/Dokumenty/QuorlenDemo")));
    EXPECT_TRUE(fs::exists(home.dir.Path() / "Dokumenty/QuorlenDemo/Demo.spf"));
}
