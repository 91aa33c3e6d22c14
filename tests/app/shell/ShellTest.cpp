#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "AppTestSupport.h"
#include "QuorlenVersion.h"
#include "app/shell/AboutBox.h"
#include "app/shell/CommandLine.h"
#include "app/shell/FormMain.h"
#include "app/shell/SpecialFolders.h"
#include "core/common/Json.h"
#include "support/TestSupport.h"
#include "testing/ScanSimulator.h"

using namespace quorlen;
using quorlen::testing::ReadFileBytes;
using quorlen::testing::RunCommand;
using quorlen::testing::TempDir;
using quorlen::testing::WriteFileBytes;

namespace {

// A data folder of the test's own for as long as the object lives.
struct DataDir {
    TempDir dir;
    QByteArray saved = qgetenv("QUORLEN_DATA_DIR");
    DataDir() { qputenv("QUORLEN_DATA_DIR", QByteArray::fromStdString(dir.Path().string())); }
    ~DataDir() { qputenv("QUORLEN_DATA_DIR", saved); }
    std::string Config() const { return dir.File("config.json"); }
};

struct Asked {
    QString Text, Caption;
    QMessageBox::StandardButtons Buttons;
    QMessageBox::StandardButton Default;
};

struct Window {
    TFormMain w;
    std::vector<Asked> asked;
    QMessageBox::StandardButton answer = QMessageBox::Yes;
    explicit Window(const QStringList& args = {}) : w(args) {
        w.Ask = [this](const QString& text, const QString& caption, QMessageBox::Icon,
                       QMessageBox::StandardButtons buttons, QMessageBox::StandardButton def) {
            asked.push_back({text, caption, buttons, def});
            return answer;
        };
    }
    QSlider* Level() { return w.findChild<QSlider*>(QStringLiteral("tbrPoziom")); }
};

const int kDefaultWorkers = DefaultMaxWorkers(std::max(1u, std::thread::hardware_concurrency()));

}  // namespace

TEST(ShellStartUp, ThreadSwitchesTakeTwoCharactersAndTheLastValidValue) {
    EXPECT_EQ(ParseThreadSwitches({"/thread=5"}, 8), 5);
    EXPECT_EQ(ParseThreadSwitches({"/THREAD=12345"}, 8), 12);
    EXPECT_EQ(ParseThreadSwitches({"/THREAD=7", "/THREAD=3"}, 8), 3);
    EXPECT_EQ(ParseThreadSwitches({"/THREAD=3", "/THREAD=0"}, 8), 3);
    EXPECT_EQ(ParseThreadSwitches({"/THREAD=99"}, 8), 8);
    EXPECT_EQ(ParseThreadSwitches({"/THREAD=0"}, 8), 8);
    EXPECT_EQ(ParseThreadSwitches({"/THREAD=-1", "/THREAD=ab", "/THREAD=", "/THREAD", "THREAD=4"}, 8), 8);
    EXPECT_EQ(ParseThreadSwitches({"/Thread=98"}, 8), 98);
    EXPECT_EQ(ParseThreadSwitches({"/THREAD=1x"}, 8), 8);  // "1x" is not a number

    DataDir data;
    Window plain;
    EXPECT_EQ(plain.w.Run().MaxWorkers, kDefaultWorkers);
    EXPECT_GE(plain.w.Run().CpuCount, 1);
    Window switched({"projekt.spf", "/thread=5"});
    EXPECT_EQ(switched.w.Run().MaxWorkers, 5);
}

TEST(ShellStartUp, InfoSwitchesAreExactAndTheFirstCounts) {
    const std::vector<std::pair<QStringList, TInfoSwitch>> cases = {
        {{}, TInfoSwitch::None},
        {{"/THREAD=4", "projekt.spf"}, TInfoSwitch::None},
        {{"--help"}, TInfoSwitch::Help},
        {{"-h"}, TInfoSwitch::Help},
        {{"--version"}, TInfoSwitch::Version},
        {{"--paths"}, TInfoSwitch::Paths},
        {{"/thread=3", "--version", "--help"}, TInfoSwitch::Version},
        {{"--HELP", "-version", "/VERSION", "--version=1"}, TInfoSwitch::None},
    };
    for (const auto& [arguments, expected] : cases)
        EXPECT_EQ(ParseInfoSwitch(arguments), expected) << arguments.join(' ').toStdString();
}

// The program answers --version, --help and --paths with no display, no bus
// and no window, and --paths creates nothing.
TEST(ShellStartUp, ProgramAnswersInfoSwitchesWithoutADisplay) {
    TempDir home("quorlen-info-home");
    const std::string data = home.File("data");
    const std::string run = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u DBUS_SESSION_BUS_ADDRESS HOME='" +
                            home.Path().string() + "' QUORLEN_DATA_DIR='" + data + "' '" QUORLEN_APP_PATH "' ";
    std::string out;
    ASSERT_EQ(RunCommand(run + "--version", &out), 0);
    EXPECT_EQ(out, "quorlen " QUORLEN_VERSION "\n");
    ASSERT_EQ(RunCommand(run + "--help", &out), 0);
    EXPECT_EQ(QString::fromStdString(out), UsageText());
    EXPECT_EQ(out.rfind("Usage: quorlen ", 0), 0u);

    ASSERT_EQ(RunCommand(run + "--paths /THREAD=4", &out), 0);
    EXPECT_NE(out.find("data folder: " + data + "\n"), std::string::npos) << out;
    EXPECT_NE(out.find("settings file: " + data + "/config.json (not written yet)\n"), std::string::npos) << out;
    EXPECT_NE(out.find("demo archive: " QUORLEN_DEMO_ARCHIVE "\n"), std::string::npos) << out;
    EXPECT_NE(out.find("demo project: " + home.File("Documents/QuorlenDemo/Demo.spf") + "\n"), std::string::npos)
        << out;
#ifdef QUORLEN_SHIPPED_EXPORTER
    EXPECT_NE(out.find("exporter plug-in: " +
                       std::filesystem::path(QUORLEN_SHIPPED_EXPORTER).lexically_normal().string() + "\n"),
              std::string::npos)
        << out;
#endif
    EXPECT_FALSE(std::filesystem::exists(data));

    // An archive named in the settings file wins, and a missing one says so.
    std::filesystem::create_directories(data);
    WriteFileBytes(data + "/config.json", R"({"config":{"demoUrl":"file:///nie/ma/quorlen.demo"}})");
    ASSERT_EQ(RunCommand(run + "--paths", &out), 0);
    EXPECT_NE(out.find("demo archive: /nie/ma/quorlen.demo (missing)\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("(not written yet)"), std::string::npos) << out;
}

TEST(ShellStartUp, CaptionSizeLimitsAndAboutBox) {
    DataDir data;
    Window win;
    TFormMain& w = win.w;
    EXPECT_EQ(w.windowTitle(), "Brenvik Analizator arkuszy odpowiedzi");
    EXPECT_GE(w.minimumWidth(), 595);
    EXPECT_GE(w.minimumHeight(), 300);
    EXPECT_EQ(w.maximumHeight(), w.height());

    QAction* about = w.findChild<QAction*>(QStringLiteral("actAbout"));
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->text(), "&O programie");
    QPointer<QDialog> shown;
    w.ExecAbout = [&](QDialog& box) {
        shown = &box;
        box.show();
        EXPECT_EQ(box.windowTitle(), "O programie");
        EXPECT_EQ(box.size(), QSize(630, 364));
        EXPECT_TRUE(box.windowFlags() & Qt::FramelessWindowHint);
        QLabel* info = box.findChild<QLabel*>(QStringLiteral("lblInfo"));
        ASSERT_NE(info, nullptr);
        EXPECT_TRUE(info->text().contains(QStringLiteral("Wersja " QUORLEN_VERSION))) << info->text().toStdString();
        QLabel* x = box.findChild<QLabel*>(QStringLiteral("lblClose"));
        ASSERT_NE(x, nullptr);
        EXPECT_EQ(x->cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseClick(x, Qt::LeftButton);
    };
    about->trigger();
    ASSERT_FALSE(shown.isNull());
    EXPECT_FALSE(shown->isVisible());
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(shown.isNull());  // the box deletes itself when closed
}

TEST(ShellStartUp, LowerPanelFollowsTheWindowWidth) {
    DataDir data;
    Window win;
    TFormMain& w = win.w;
    w.show();
    for (int width : {595, 900}) {
        w.resize(width, w.height());
        QApplication::processEvents();
        QWidget* panel = w.findChild<QWidget*>(QStringLiteral("Panel2"));
        auto* folder = w.findChild<QLineEdit*>(QStringLiteral("edtScanFolder"));
        auto* execute = w.findChild<QPushButton*>(QStringLiteral("btnExecute"));
        auto* save = w.findChild<QPushButton*>(QStringLiteral("btnSave"));
        auto* alike = w.findChild<QWidget*>(QStringLiteral("chkSkanJakPoprzedni"));
        EXPECT_EQ(folder->width(), panel->width() - folder->x() - execute->width() - 10) << width;
        EXPECT_EQ(win.Level()->width(), folder->width() + 2);
        EXPECT_EQ(alike->geometry().right(), win.Level()->geometry().right() - 2);
        EXPECT_EQ(execute->x(), save->x());
        EXPECT_EQ(execute->width(), save->width());
        EXPECT_EQ(save->geometry().right(), panel->width() - 3);  // 2 pixels inside the right edge
        EXPECT_LT(folder->geometry().right(), execute->x());
    }
}

TEST(ShellConfigFile, MissingFileOffersTheDemoProject) {
    DataDir data;
    Window win;
    TFormMain& w = win.w;
    EXPECT_TRUE(w.DownloadDemoFiles);
    EXPECT_TRUE(w.UseDemoFiles);
    EXPECT_FALSE(w.ConfigDirty);
    EXPECT_EQ(win.Level()->value(), 44);

    int dialogs = 0;
    w.ChooseProjectFile = [&] {
        ++dialogs;
        return QString();
    };
    // Cancel: neither the dialog nor any change.
    win.answer = QMessageBox::Cancel;
    w.edtProjectFileBrowse();
    ASSERT_EQ(win.asked.size(), 1u);
    EXPECT_EQ(win.asked[0].Text, "Czy chcesz użyć skanów demonstracyjnych ?");
    EXPECT_EQ(win.asked[0].Caption, "Pytanie");
    EXPECT_EQ(win.asked[0].Buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(dialogs, 0);
    EXPECT_TRUE(w.UseDemoFiles);

    // Yes with no demo files on disk: the error is shown, the path stays.
    win.answer = QMessageBox::Yes;
    w.edtProjectFileBrowse();
    ASSERT_EQ(win.asked.size(), 3u);
    EXPECT_EQ(win.asked[2].Caption, "Błąd");
    EXPECT_EQ(w.findChild<QLineEdit*>(QStringLiteral("edtProjectFile"))->text(), TFormMain::DemoProjectPath());
    EXPECT_EQ(dialogs, 0);

    // No: the question is switched off for good and the dialog opens.
    win.answer = QMessageBox::No;
    w.edtProjectFileBrowse();
    EXPECT_EQ(dialogs, 1);
    EXPECT_FALSE(w.UseDemoFiles);
    EXPECT_TRUE(w.ConfigDirty);
    w.edtProjectFileBrowse();
    EXPECT_EQ(dialogs, 2);
    EXPECT_EQ(win.asked.size(), 4u);
}

TEST(ShellConfigFile, YesLoadsTheDemoProjectFromTheDocumentsFolder) {
    DataDir data;
    TempDir home;
    const QByteArray savedHome = qgetenv("HOME"), savedXdg = qgetenv("XDG_DOCUMENTS_DIR");
    qputenv("HOME", QByteArray::fromStdString(home.Path().string()));
    const std::filesystem::path demo = std::filesystem::path(TFormMain::DemoProjectPath().toStdString());
    std::filesystem::create_directories(demo.parent_path());
    WriteFileBytes(demo.string(), "Nazwa=Demo\r\nIlePytan=20\r\nIleOdpowiedzi=4\r\n");
    {
        Window win;
        win.answer = QMessageBox::Yes;
        win.w.edtProjectFileBrowse();
        EXPECT_EQ(win.w.CurrentSettings().ProjectName, "Demo");
        EXPECT_EQ(win.w.CurrentSettings().QuestionCount, 20);
        EXPECT_FALSE(win.w.ConfigDirty);
    }
    qputenv("HOME", savedHome);
    if (!savedXdg.isNull()) qputenv("XDG_DOCUMENTS_DIR", savedXdg);
}

TEST(ShellConfigFile, LevelOutsideTheRangeIsIgnoredAndFlagsReadFromTheFile) {
    struct Case {
        const char* text;
        int level;
        bool download, useDemo;
    };
    for (const Case& c : {
             Case{R"({"config":{"tbrPoziom":4,"downloadDemoFiles":false}})", 44, false, false},
             Case{R"({"config":{"tbrPoziom":100,"downloadDemoFiles":false,"useDemoFiles":true}})", 100, false, true},
             Case{R"({"config":{}})", 44, false, false},
             Case{R"({"ustawienia":{"tbrPoziom":70}})", 44, true, true},
             Case{R"({"config":{"tbrPoziom":5,"downloadDemoFiles":true}})", 5, true, true},
             Case{"nie json", 44, true, true},
         }) {
        DataDir data;
        WriteFileBytes(data.Config(), c.text);
        Window win;
        EXPECT_EQ(win.Level()->value(), c.level) << c.text;
        EXPECT_EQ(win.w.CurrentSettings().BlackLevel, c.level) << c.text;
        EXPECT_EQ(win.w.DownloadDemoFiles, c.download) << c.text;
        EXPECT_EQ(win.w.UseDemoFiles, c.useDemo) << c.text;
        EXPECT_FALSE(win.w.ConfigDirty) << c.text;
        EXPECT_FALSE(win.w.SaveState()) << c.text;
    }
}

TEST(ShellConfigFile, WrittenAtCloseOnlyWhenTheLevelMoved) {
    DataDir data;
    const std::string original = R"({"okno":[1,2],"config":{"tbrPoziom":60,"downloadDemoFiles":false}})";
    WriteFileBytes(data.Config(), original);
    {
        Window win;
        EXPECT_TRUE(win.w.close());
    }
    EXPECT_EQ(ReadFileBytes(data.Config()), original);

    TempDir project;
    WriteFileBytes(project.File("p.spf"), "Poziom=30\r\n");
    {
        Window win;
        win.w.LoadProjectFile(QString::fromStdString(project.File("p.spf")));
        EXPECT_EQ(win.Level()->value(), 30);
        EXPECT_FALSE(win.w.ConfigDirty);  // a load moves the bar without marking the settings
        win.Level()->setValue(72);
        EXPECT_TRUE(win.w.ConfigDirty);
        win.answer = QMessageBox::Yes;  // leave the changed project unsaved
        EXPECT_TRUE(win.w.close());
    }
    const Json written = *ParseJsonFile(data.Config());
    EXPECT_EQ(written["okno"], Json::array({1, 2}));
    EXPECT_EQ(written["config"]["tbrPoziom"], 72);
    EXPECT_EQ(written["config"]["downloadDemoFiles"], false);
    EXPECT_EQ(written["config"]["useDemoFiles"], false);
}

TEST(ShellConfigFile, AFileWithoutConfigObjectGetsOneAtClose) {
    DataDir data;
    WriteFileBytes(data.Config(), R"({"inne":"\u0141\u00f3d\u017a"})");
    {
        Window win;
        win.Level()->setValue(50);
        win.answer = QMessageBox::Yes;
        EXPECT_TRUE(win.w.close());
    }
    const std::string bytes = ReadFileBytes(data.Config());
    EXPECT_NE(bytes.find(R"("inne":"\u0141\u00f3d\u017a")"), std::string::npos);
    const Json written = *ParseJson(bytes);
    EXPECT_EQ(written["config"], Json::parse(R"({"tbrPoziom":50,"downloadDemoFiles":true,"useDemoFiles":true})"));
}

TEST(ShellClose, ChangedProjectAsksBeforeClosing) {
    DataDir data;
    Window win;
    TFormMain& w = win.w;
    w.show();
    EXPECT_TRUE(w.close());  // an unchanged project closes without a question
    EXPECT_TRUE(win.asked.empty());

    w.show();
    QTest::keyClicks(w.findChild<QLineEdit*>(QStringLiteral("edtProjectName")), "Zmiana");
    ASSERT_TRUE(w.SaveState());
    win.answer = QMessageBox::No;
    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isVisible());
    ASSERT_EQ(win.asked.size(), 1u);
    EXPECT_EQ(win.asked[0].Text, "Projekt został zmieniony.\nCzy na pewno chcesz wyjść bez zapisu projektu ?");
    EXPECT_EQ(win.asked[0].Caption, "Pytanie");
    EXPECT_EQ(win.asked[0].Buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(win.asked[0].Default, QMessageBox::No);
    win.answer = QMessageBox::Yes;
    EXPECT_TRUE(w.close());
    EXPECT_FALSE(w.isVisible());
}

TEST(ShellClose, ClosingDuringARunStopsAndJoinsEveryWorker) {
    DataDir data;
    TempDir scans;
    // The first sheet reads cleanly on the GUI thread; the others have an
    // empty question each, so their workers ask the operator.
    for (int i = 0; i < 8; ++i) {
        std::vector<std::vector<int>> boxes = {{0}, {1}, {2}, {0}, {1}};
        if (i > 0) boxes[2].clear();
        quorlen::testing::WriteMarkedScan(scans.File("s" + std::to_string(i) + ".png"), 5, 3, std::to_string(i + 1),
                                          boxes);
    }
    auto win = std::make_unique<Window>();
    TFormMain& w = win->w;
    w.findChild<QLineEdit*>(QStringLiteral("edtIlePyt"))->setText(QStringLiteral("5"));
    w.findChild<QLineEdit*>(QStringLiteral("edtIleOdp"))->setText(QStringLiteral("3"));
    w.ChooseScanFolder = [&] { return QString::fromStdString(scans.Path().string()); };
    w.edtScanFolderBrowse();
    w.Run().MaxWorkers = 4;
    w.Run().AnswerPause = std::chrono::milliseconds(20);
    int questionsAfterClose = 0;
    bool closed = false;
    w.ExecScaner = [&](TFormScaner2&) {
        if (closed) ++questionsAfterClose;
        return static_cast<int>(QDialog::Accepted);
    };
    w.show();
    w.btnExecuteClick();
    ASSERT_TRUE(w.Run().Running);
    closed = true;
    EXPECT_TRUE(w.close());
    EXPECT_TRUE(w.Run().WorkersFinished());
    EXPECT_EQ(questionsAfterClose, 0);
    win.reset();                    // frees the items and the workers' state
    QApplication::processEvents();  // the workers' queued reports die with the window
}

TEST(SpecialFolders, DataFolderIsCreatedUnderBrenvikAndTempFilesAreUnique) {
    TempDir home;
    const QByteArray savedData = qgetenv("QUORLEN_DATA_DIR"), savedXdg = qgetenv("XDG_DATA_HOME");
    qunsetenv("QUORLEN_DATA_DIR");
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(home.File("data")));
    EXPECT_EQ(TSpecialFolders::AppName(), "app_tests");
    const QString folder = TSpecialFolders::DataFolder(false);
    EXPECT_EQ(folder.toStdString(), home.File("data") + "/Brenvik/app_tests");
    EXPECT_FALSE(std::filesystem::exists(folder.toStdString()));
    EXPECT_EQ(TSpecialFolders::DataFolder(true), folder);
    EXPECT_TRUE(std::filesystem::is_directory(folder.toStdString()));
    qputenv("QUORLEN_DATA_DIR", savedData);
    if (savedXdg.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", savedXdg);

    const QString a = TSpecialFolders::TempFileName(), b = TSpecialFolders::TempFileName();
    EXPECT_NE(a, b);
    for (const QString& f : {a, b}) {
        EXPECT_TRUE(std::filesystem::exists(f.toStdString()));
        EXPECT_EQ(std::filesystem::file_size(f.toStdString()), 0u);
        std::filesystem::remove(f.toStdString());
    }
}

TEST(ShellStartUp, StandardButtonsSpeakPolish) {
    // The suite's main installs the translations as the program's does.
    QMessageBox box(QMessageBox::Question, QStringLiteral("Pytanie"), QStringLiteral("?"),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text().remove('&'), "Tak");
    EXPECT_EQ(box.button(QMessageBox::No)->text().remove('&'), "Nie");
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text().remove('&'), "Anuluj");
}
