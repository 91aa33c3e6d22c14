// The real save dialogs, played as a person plays them: where they start,
// what they suggest, and the system's question before a file is replaced.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "AppTestSupport.h"
#include "DialogDriver.h"
#include "app/shell/FormMain.h"
#include "core/project/ProjectFile.h"
#include "support/TestSupport.h"

using namespace quorlen;
using quorlen::testing::FindChild;
using quorlen::testing::ReadFileBytes;
using quorlen::testing::TDialogWatchdog;
using quorlen::testing::TempDir;
using quorlen::testing::WhenActive;
using quorlen::testing::WriteFileBytes;

namespace {

struct Seen {
    QString Folder, Suggested, Question;
};

// Plays the next file dialog: notes where it starts and the name it offers,
// puts name into its name field and presses Enter; the replace question, when
// it comes, is noted and answered by a click on replace's button. A dialog
// still open after that (the question said no) is cancelled.
void PlayFileDialog(Seen& seen, const QString& name, QMessageBox::StandardButton replace) {
    WhenActive<QFileDialog>([&seen, name, replace](QFileDialog& d) {
        seen.Folder = d.directory().absolutePath();
        seen.Suggested = FindChild<QLineEdit>(d, "fileNameEdit")->text();
        WhenActive<QMessageBox>([&seen, replace](QMessageBox& box) {
            seen.Question = box.text();
            QTest::mouseClick(box.button(replace), Qt::LeftButton);
            if (replace != QMessageBox::Yes) WhenActive<QFileDialog>([](QFileDialog& again) { again.reject(); });
        });
        auto* field = FindChild<QLineEdit>(d, "fileNameEdit");
        // Set whole, as a paste would: the completer's list, shown while a
        // name of the folder is typed, would take the Return.
        field->setFocus();
        field->setText(name);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    });
}

struct Window {
    TempDir dir{"save-dialogs"};
    TFormMain w;
    std::string project = dir.File("fizyka.spf");
    Window() {
        w.UseDemoFiles = false;
        w.Ask = [](const QString&, const QString&, QMessageBox::Icon, QMessageBox::StandardButtons,
                   QMessageBox::StandardButton) { return QMessageBox::Ok; };
        TProjectSettings s;
        s.ProjectName = "Fizyka";
        s.QuestionCount = 5;
        s.AnswerCount = 3;
        WriteProjectFile(project, s);
        w.LoadProjectFile(QString::fromStdString(project));
        w.show();
        w.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
    }
};

}  // namespace

TEST(SaveDialogs, SavingAProjectOverAnotherFileAsksFirst) {
    Window win;
    const std::string other = win.dir.File("chemia.spf");
    WriteFileBytes(other, "Nazwa=Chemia\r\n");
    struct Case {
        QMessageBox::StandardButton replace;
        bool written;
    };
    for (const Case c : {Case{QMessageBox::No, false}, Case{QMessageBox::Yes, true}}) {
        QTest::keyClicks(FindChild<QLineEdit>(win.w, "edtProjectName"), QStringLiteral(" 2"));
        ASSERT_TRUE(win.w.SaveState());
        TDialogWatchdog watchdog;
        Seen seen;
        PlayFileDialog(seen, QStringLiteral("chemia.spf"), c.replace);
        QTest::mouseClick(FindChild<QPushButton>(win.w, "btnSave"), Qt::LeftButton);
        EXPECT_EQ(watchdog.Rejected(), 0);
        EXPECT_EQ(seen.Folder.toStdString(), win.dir.Path().string());
        EXPECT_EQ(seen.Suggested, "fizyka.spf");
        EXPECT_NE(seen.Question.indexOf(QStringLiteral("chemia.spf")), -1) << seen.Question.toStdString();
        EXPECT_EQ(ReadFileBytes(other).find("Nazwa=Chemia\r\n") == std::string::npos, c.written) << c.written;
        EXPECT_EQ(win.w.SaveState(), !c.written);
    }
}

TEST(SaveDialogs, ANewProjectIsSuggestedUnderItsNameInTheScanFolder) {
    Window win;
    TempDir scans("save-dialogs-scans");
    ASSERT_TRUE(win.w.NewProject());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Biologia"));
    auto* folder = FindChild<QLineEdit>(win.w, "edtScanFolder");
    folder->setFocus();
    QTest::keyClicks(folder, QString::fromStdString(scans.Path().string()));
    TDialogWatchdog watchdog;
    Seen seen;
    PlayFileDialog(seen, QStringLiteral("biologia.spf"), QMessageBox::Yes);
    QTest::mouseClick(FindChild<QPushButton>(win.w, "btnSave"), Qt::LeftButton);
    EXPECT_EQ(seen.Folder.toStdString(), scans.Path().string());
    EXPECT_EQ(seen.Suggested, "Biologia.spf");
    EXPECT_EQ(seen.Question, "");  // nothing there to replace
    EXPECT_TRUE(std::filesystem::exists(scans.File("biologia.spf")));
}

TEST(SaveDialogs, ResultsAreSuggestedAsTheProjectsJsonAndReplacedOnlyWhenAsked) {
    Window win;
    TempDir scans("save-dialogs-results");
    quorlen::testing::WriteMarkedScan(scans.File("a.png"), 5, 3, "11", {{0}, {1}, {2}, {0}, {1}});
    win.w.SaveWyniki().Search = [] { return TExporterSearch{"/nonexistent", "/nonexistent"}; };
    win.w.ChooseScanFolder = [&] { return QString::fromStdString(scans.Path().string()); };
    win.w.edtScanFolderBrowse();
    win.w.Run().AnswerPause = {};
    win.w.btnExecuteClick();
    quorlen::testing::WaitForRunEnd(win.w);
    ASSERT_EQ(win.w.LastResults()["Lista"].size(), 1u);

    const std::string results = win.dir.File("fizyka.json");
    WriteFileBytes(results, "{}");
    for (auto replace : {QMessageBox::No, QMessageBox::Yes}) {
        TDialogWatchdog watchdog;
        Seen seen;
        PlayFileDialog(seen, QStringLiteral("fizyka.json"), replace);
        const bool saved = win.w.btnSaveWynikiClick();
        EXPECT_EQ(seen.Folder.toStdString(), win.dir.Path().string());
        EXPECT_EQ(seen.Suggested, "fizyka.json");
        EXPECT_NE(seen.Question.indexOf(QStringLiteral("fizyka.json")), -1) << seen.Question.toStdString();
        EXPECT_EQ(saved, replace == QMessageBox::Yes);
        EXPECT_EQ(ReadFileBytes(results) == "{}", replace == QMessageBox::No);
    }
}
