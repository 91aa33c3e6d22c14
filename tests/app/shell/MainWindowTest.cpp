#include <gtest/gtest.h>

#include <QApplication>
#include <filesystem>
#include <QFileDialog>
#include <QTimer>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>

#include "AppTestSupport.h"
#include "app/shell/FormMain.h"
#include "core/common/Json.h"
#include "support/TestSupport.h"
#include "testing/ScanSimulator.h"

using namespace quorlen;
using quorlen::testing::ReadFileBytes;
using quorlen::testing::TempDir;
using quorlen::testing::WaitForRunEnd;
using quorlen::testing::WriteFileBytes;
using quorlen::testing::WriteMarkedScan;

namespace {

template <class T>
T* Find(TFormMain& w, const char* name) {
    T* widget = w.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

struct Asked {
    QString Text, Caption;
};

// A window whose message boxes are recorded and answered with `answer`.
struct Window {
    TFormMain w;
    std::vector<Asked> asked;
    QMessageBox::StandardButton answer = QMessageBox::Ok;
    Window() {
        w.UseDemoFiles = false;
        w.Ask = [this](const QString& text, const QString& caption, QMessageBox::Icon, QMessageBox::StandardButtons,
                       QMessageBox::StandardButton) {
            asked.push_back({text, caption});
            return answer;
        };
    }
    void Type(const char* name, const QString& text) {
        QLineEdit* e = Find<QLineEdit>(w, name);
        e->clear();
        QTest::keyClicks(e, text);
        emit e->editingFinished();
    }
};

void WriteScan(const std::string& path, const std::string& code) {
    WriteMarkedScan(path, 5, 3, code, {{0}, {1}, {2}, {0}, {1}}, sim::TFileFormat::Jpeg);
}

// Points the window at a scan folder, starts the analysis and waits for its end.
void AnalyzeFolder(TFormMain& w, const std::string& folder) {
    w.ChooseScanFolder = [folder] { return QString::fromStdString(folder); };
    w.edtScanFolderBrowse();
    w.Run().AnswerPause = {};
    w.btnExecuteClick();
    WaitForRunEnd(w);
}

// A 5 × 3 project run over one coded sheet: the window then holds results.
void AnalyzeOneSheet(Window& win, const TempDir& scans) {
    WriteScan(scans.File("a.jpg"), "11");
    win.Type("edtIlePyt", "5");
    win.Type("edtIleOdp", "3");
    AnalyzeFolder(win.w, scans.Path().string());
}

}  // namespace

TEST(MainWindow, StartsWithTheDefaultsInThePrintState) {
    Window win;
    TFormMain& w = win.w;
    EXPECT_EQ(Find<QLineEdit>(w, "edtIlePyt")->text(), "50");
    EXPECT_EQ(Find<QLineEdit>(w, "edtIleOdp")->text(), "5");
    EXPECT_EQ(Find<QLabel>(w, "lblLetters")->text(), "ABCDE");
    EXPECT_TRUE(Find<QRadioButton>(w, "rbOnlyOne")->isChecked());
    EXPECT_TRUE(Find<QCheckBox>(w, "chkKontrPuste")->isChecked());
    EXPECT_EQ(Find<QSlider>(w, "tbrPoziom")->value(), 44);
    EXPECT_EQ(Find<QPushButton>(w, "btnSave")->text(), "Wydrukuj arkusze");
    EXPECT_FALSE(Find<QPushButton>(w, "btnExecute")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>(w, "btnSaveWyniki")->isEnabled());
    EXPECT_EQ(Find<QLineEdit>(w, "edtIleOdp")->toolTip(), "Ilość ospowiedzi na każde pytanie");
    EXPECT_EQ(Find<QCheckBox>(w, "chkSkanJakPoprzedni")->text(), "Wszystkie skany są takie same");
    EXPECT_NE(Find<QProgressBar>(w, "ProgressBar"), nullptr);
}

TEST(MainWindow, NumbersAreClampedWhenTheFieldIsLeft) {
    Window win;
    win.Type("edtIlePyt", "500");
    EXPECT_EQ(Find<QLineEdit>(win.w, "edtIlePyt")->text(), "200");
    win.Type("edtIlePyt", "abc");
    EXPECT_EQ(Find<QLineEdit>(win.w, "edtIlePyt")->text(), "3");
    win.Type("edtIleOdp", "1");
    EXPECT_EQ(Find<QLineEdit>(win.w, "edtIleOdp")->text(), "2");
    EXPECT_EQ(Find<QLabel>(win.w, "lblLetters")->text(), "AB");
    win.Type("edtIleOdp", "16");
    EXPECT_EQ(Find<QLabel>(win.w, "lblLetters")->text(), "ABCDEFGHIJKLMNOP");
}

TEST(MainWindow, ChangesPutTheButtonIntoTheSaveStateAndLoadingBack) {
    TempDir dir;
    Window win;
    TFormMain& w = win.w;
    QTest::keyClicks(Find<QLineEdit>(w, "edtProjectName"), "Test");
    EXPECT_EQ(Find<QPushButton>(w, "btnSave")->text(), "Zapisz projekt");

    WriteFileBytes(dir.File("p.spf"), "Nazwa=Fizyka\r\nIlePytan=40\r\nIleOdpowiedzi=4\r\nWybor=N\r\nPoziom=50\r\n");
    w.LoadProjectFile(QString::fromStdString(dir.File("p.spf")));
    EXPECT_EQ(Find<QPushButton>(w, "btnSave")->text(), "Wydrukuj arkusze");
    EXPECT_EQ(Find<QLineEdit>(w, "edtProjectName")->text(), "Fizyka");
    EXPECT_TRUE(Find<QRadioButton>(w, "rbMultiOne")->isChecked());
    EXPECT_FALSE(Find<QCheckBox>(w, "chkKontrPuste")->isEnabled());
    EXPECT_EQ(Find<QLabel>(w, "lblLetters")->text(), "ABCD");
    EXPECT_EQ(Find<QSlider>(w, "tbrPoziom")->value(), 50);
    EXPECT_TRUE(Find<QPushButton>(w, "btnExecute")->isEnabled());

    Find<QRadioButton>(w, "rbOnlyOne")->click();
    EXPECT_TRUE(Find<QCheckBox>(w, "chkKontrPuste")->isEnabled());
    EXPECT_TRUE(w.SaveState());

    // An unreadable choice in the file chooser is refused silently (a name
    // that is not there at all starts a new project: ProjectPanelTest).
    std::filesystem::create_directory(dir.File("folder.spf"));
    w.ChooseProjectFile = [&] { return QString::fromStdString(dir.File("folder.spf")); };
    w.edtProjectFileBrowse();
    EXPECT_EQ(Find<QLineEdit>(w, "edtProjectFile")->text().toStdString(), dir.File("p.spf"));
    EXPECT_TRUE(win.asked.empty());
}

TEST(MainWindow, SavingWritesTheProjectOrReportsTheError) {
    TempDir dir;
    Window win;
    TFormMain& w = win.w;
    QTest::keyClicks(Find<QLineEdit>(w, "edtProjectName"), "Chemia");
    w.ChooseSaveProjectFile = [](const QString&) { return QString(); };
    w.btnSaveClick();
    EXPECT_TRUE(w.SaveState());  // cancelled: nothing written, the edits still count as unsaved

    QTest::keyClicks(Find<QLineEdit>(w, "edtProjectName"), " 2");
    w.ChooseSaveProjectFile = [&](const QString&) { return QString::fromStdString(dir.File("no/such/dir/p.spf")); };
    w.btnSaveClick();
    ASSERT_EQ(win.asked.size(), 1u);
    EXPECT_EQ(win.asked[0].Caption, "Błąd");
    EXPECT_TRUE(w.SaveState());

    w.ChooseSaveProjectFile = [&](const QString&) { return QString::fromStdString(dir.File("chemia.spf")); };
    w.btnSaveClick();
    EXPECT_FALSE(w.SaveState());
    EXPECT_NE(ReadFileBytes(dir.File("chemia.spf")).find("Nazwa=Chemia 2\r\n"), std::string::npos);
    EXPECT_EQ(Find<QLineEdit>(w, "edtScanFolder")->text().toStdString(), dir.Path().string());
    EXPECT_TRUE(Find<QPushButton>(w, "btnExecute")->isEnabled());
}

TEST(MainWindow, AnalysisRunsTheFolderAndSavesTheResults) {
    TempDir scans, out, empty;
    WriteScan(scans.File("a.jpg"), "11");
    WriteScan(scans.File("b.jpg"), "22");
    WriteScan(scans.File("c.jpg"), "");
    Window win;
    TFormMain& w = win.w;
    win.Type("edtIlePyt", "5");
    win.Type("edtIleOdp", "3");
    w.ChooseScanFolder = [&] { return QString::fromStdString(empty.Path().string()); };
    w.edtScanFolderBrowse();
    w.btnExecuteClick();
    ASSERT_EQ(win.asked.size(), 1u);
    EXPECT_EQ(win.asked[0].Text, "Brak plików ze skanera w podanym folderze.");
    EXPECT_EQ(win.asked[0].Caption, "Uwaga");

    AnalyzeFolder(w, scans.Path().string());
    ASSERT_FALSE(w.Run().Running);
    EXPECT_EQ(Find<QPushButton>(w, "btnExecute")->text(), "Analizuj");
    EXPECT_TRUE(Find<QPushButton>(w, "btnSaveWyniki")->isEnabled());
    EXPECT_EQ(Find<QProgressBar>(w, "ProgressBar")->value(), Find<QProgressBar>(w, "ProgressBar")->maximum());
    EXPECT_EQ(w.LastResults()["Lista"].size(), 2u);
    EXPECT_EQ(w.LastResults()["Pominiete"].size(), 1u);

    w.ChooseResultsFile = [&] { return QString::fromStdString(out.File("wyniki")); };
    w.btnSaveWynikiClick();
    auto saved = ParseJsonFile(out.File("wyniki.json"));
    ASSERT_TRUE(saved);
    EXPECT_EQ((*saved)["Lista"].size(), 2u);
}

TEST(MainWindow, OperatorAnswersTheQuestionsOfABlankPageAndCanEndTheRun) {
    TempDir scans;
    // A blank page: both corners are asked; the operator ends the whole run.
    sim::TGreyPicture blank;
    blank.Width = 620;
    blank.Height = 877;
    blank.Pixels.assign(static_cast<size_t>(blank.Width * blank.Height), 250);
    sim::SavePicture(blank, scans.File("a.png"), sim::TFileFormat::Png);
    WriteScan(scans.File("b.jpg"), "5");
    Window win;
    TFormMain& w = win.w;
    win.Type("edtIlePyt", "5");
    win.Type("edtIleOdp", "3");
    std::vector<QString> titles;
    w.ExecScaner = [&](TFormScaner2& d) {
        titles.push_back(d.windowTitle());
        return ScanerResultAbort;  // "Zakończ"
    };
    AnalyzeFolder(w, scans.Path().string());
    ASSERT_FALSE(w.Run().Running);
    ASSERT_FALSE(titles.empty());
    EXPECT_TRUE(titles[0] == "a.png" || titles[0].startsWith("b.jpg")) << titles[0].toStdString();
    EXPECT_TRUE(w.Run().Cancelled);
}

TEST(MainWindow, AnswerDialogCaptionsSayWhyTheQuestionIsAsked) {
    TempDir scans;
    // Question 2 has two marks, question 4 none.
    WriteMarkedScan(scans.File("s7.jpg"), 5, 3, "9", {{0}, {0, 2}, {1}, {}, {2}}, sim::TFileFormat::Jpeg);
    Window win;
    TFormMain& w = win.w;
    win.Type("edtIlePyt", "5");
    win.Type("edtIleOdp", "3");
    std::vector<QString> titles;
    w.ExecScaner = [&](TFormScaner2& d) {
        titles.push_back(d.windowTitle());
        return static_cast<int>(QDialog::Accepted);  // OK with "X": no answer
    };
    AnalyzeFolder(w, scans.Path().string());
    ASSERT_EQ(titles.size(), 2u);
    EXPECT_EQ(titles[0], "s7.jpg - odpowiedź niejednoznaczna");
    EXPECT_EQ(titles[1], "s7.jpg - brak odpowiedzi");
    EXPECT_EQ(w.LastResults()["Lista"][0]["Wyniki"], Json::array({"A", "", "B", "", "C"}));
}

TEST(MainWindow, OnlyAChangeOfTheChoiceModeMarksTheProjectChanged) {
    Window win;
    TFormMain& w = win.w;
    auto* one = Find<QRadioButton>(w, "rbOnlyOne");
    auto* multi = Find<QRadioButton>(w, "rbMultiOne");
    QTest::mouseClick(one, Qt::LeftButton, {}, QPoint(5, one->height() / 2));
    EXPECT_TRUE(one->isChecked());
    EXPECT_FALSE(w.SaveState());
    QTest::mouseClick(multi, Qt::LeftButton, {}, QPoint(5, multi->height() / 2));
    EXPECT_TRUE(multi->isChecked());
    EXPECT_TRUE(w.SaveState());
    EXPECT_FALSE(Find<QCheckBox>(w, "chkKontrPuste")->isEnabled());
}

TEST(MainWindow, UnsavedResultsAreNeverDroppedWithoutAQuestion) {
    const QString question = QStringLiteral("Wyniki analizy nie zostały zapisane.\nCzy na pewno chcesz je porzucić ?");
    TempDir scans, out;
    Window win;
    TFormMain& w = win.w;
    AnalyzeOneSheet(win, scans);
    ASSERT_EQ(w.LastResults()["Lista"].size(), 1u);
    EXPECT_FALSE(w.ResultsSaved);
    // The project's own question (its fields were typed) is let go each time.
    w.Ask = [&win](const QString& text, const QString& caption, QMessageBox::Icon, QMessageBox::StandardButtons,
                   QMessageBox::StandardButton) {
        if (text.startsWith("Projekt został zmieniony")) return QMessageBox::Yes;
        win.asked.push_back({text, caption});
        return win.answer;
    };

    // Closing: No keeps the window and the results.
    win.answer = QMessageBox::No;
    EXPECT_FALSE(w.close());
    ASSERT_EQ(win.asked.size(), 1u);
    EXPECT_EQ(win.asked[0].Text, question);
    EXPECT_EQ(win.asked[0].Caption, "Pytanie");
    // A new run: No starts nothing.
    w.btnExecuteClick();
    EXPECT_EQ(win.asked.size(), 2u);
    EXPECT_FALSE(w.Run().Running);
    EXPECT_EQ(w.LastResults()["Lista"].size(), 1u);

    // A failed save keeps them unsaved; a good one lets the window go quietly.
    w.ChooseResultsFile = [&] { return QString::fromStdString(out.File("no/such/dir/w.json")); };
    w.btnSaveWynikiClick();
    ASSERT_EQ(win.asked.size(), 3u);
    EXPECT_EQ(win.asked[2].Caption, "Błąd");
    EXPECT_FALSE(w.ResultsSaved);
    EXPECT_EQ(w.LastResults()["Lista"].size(), 1u);
    w.ChooseResultsFile = [&] { return QString::fromStdString(out.File("w.json")); };
    w.btnSaveWynikiClick();
    EXPECT_TRUE(w.ResultsSaved);
    EXPECT_TRUE(w.close());
    EXPECT_EQ(win.asked.size(), 3u);
}

TEST(MainWindow, ResultsSaveDialogAndSavingTwiceToOneName) {
    TempDir scans, out;
    Window win;
    TFormMain& w = win.w;
    AnalyzeOneSheet(win, scans);
    // The real dialog, looked at while it is open, then cancelled.
    QString title, suffix;
    QStringList filters;
    bool confirms = true;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        title = dialog->windowTitle();
        filters = dialog->nameFilters();
        suffix = dialog->defaultSuffix();
        confirms = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
        dialog->reject();
    });
    EXPECT_TRUE(w.ChooseResultsFile().isEmpty());
    EXPECT_EQ(title, "Zapisz wyniki w pliku");
    ASSERT_FALSE(filters.isEmpty());
    EXPECT_EQ(filters[0], "Pliki JSON (*.json)");
    EXPECT_EQ(suffix, "json");
    EXPECT_TRUE(confirms);  // the system's question before a file is replaced

    w.ChooseResultsFile = [&] { return QString::fromStdString(out.File("w")); };
    w.btnSaveWynikiClick();
    const std::string first = ReadFileBytes(out.File("w.json"));
    w.btnSaveWynikiClick();
    EXPECT_TRUE(win.asked.empty());
    EXPECT_EQ(ReadFileBytes(out.File("w.json")), first);
}
