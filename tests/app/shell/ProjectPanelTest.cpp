// The project panel as a teacher uses it: a new project, the chooser given a
// name that is not there yet, the scan folder typed or pasted, and the
// project the next start reopens.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <filesystem>

#include "AppTestSupport.h"
#include "DialogDriver.h"
#include "app/shell/FormMain.h"
#include "core/project/ProjectFile.h"
#include "support/TestSupport.h"

using namespace quorlen;
using quorlen::testing::FindChild;
using quorlen::testing::TDialogWatchdog;
using quorlen::testing::TempDir;
using quorlen::testing::WhenActive;

namespace {

// A window up and active whose message boxes are recorded and answered with
// `answer`, with a saved 12-question project in dir.
struct Panel {
    TempDir dir{"project-panel"};
    TFormMain w;
    QStringList asked;
    QMessageBox::StandardButton answer = QMessageBox::Yes;
    std::string project = dir.File("fizyka.spf");

    Panel() {
        w.UseDemoFiles = false;
        w.Ask = [this](const QString& text, const QString&, QMessageBox::Icon, QMessageBox::StandardButtons,
                       QMessageBox::StandardButton) {
            asked << text;
            return answer;
        };
        TProjectSettings s;
        s.ProjectName = "Fizyka";
        s.QuestionCount = 12;
        s.AnswerCount = 4;
        s.MultipleChoice = true;
        s.ScanFolder = dir.Path().string();
        s.PrintLine1 = "Klasa 3b";
        WriteProjectFile(project, s);
        w.LoadProjectFile(QString::fromStdString(project));
        w.show();
        w.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
    }
    QLineEdit* Field(const char* name) { return FindChild<QLineEdit>(w, name); }
    QPushButton* Button(const char* name) { return FindChild<QPushButton>(w, name); }
    TProjectSettings Saved(const std::string& path) { return ReadProjectFile(path, TProjectSettings{}); }
};

void Click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton); }

// A click into the field, then keys through whatever has the focus.
void ReplaceText(QLineEdit* field, const QString& text) {
    Click(field);
    ASSERT_EQ(QApplication::focusWidget(), field);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    bool ascii = true;
    for (QChar c : text) ascii = ascii && c.unicode() < 128;
    if (ascii) {
        QTest::keyClicks(QApplication::focusWidget(), text);
        return;
    }
    // Polish letters come as a paste: the test keyboard has only ASCII keys.
    QApplication::clipboard()->setText(text);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_V, Qt::ControlModifier);
}

}  // namespace

TEST(ProjectPanel, NowyProjektStartsFromTheDefaultsAndIsSavedAsANewFile) {
    Panel p;
    auto* level = FindChild<QSlider>(p.w, "tbrPoziom");
    level->setValue(57);  // the scanner's calibration, not the project's
    // A changed project is kept when the teacher says no.
    ReplaceText(p.Field("edtProjectName"), QStringLiteral("Fizyka 2"));
    p.answer = QMessageBox::No;
    Click(p.Button("btnNowy"));
    ASSERT_EQ(p.asked.size(), 1);
    EXPECT_EQ(p.Field("edtProjectName")->text(), "Fizyka 2");
    EXPECT_EQ(p.Field("edtProjectFile")->text().toStdString(), p.project);

    p.answer = QMessageBox::Yes;
    Click(p.Button("btnNowy"));
    EXPECT_EQ(p.Field("edtProjectFile")->text(), "");
    EXPECT_EQ(p.Field("edtProjectName")->text(), "");
    EXPECT_EQ(p.Field("edtIlePyt")->text(), "50");
    EXPECT_EQ(p.Field("edtIleOdp")->text(), "5");
    EXPECT_EQ(p.Field("edtScanFolder")->text(), "");
    EXPECT_EQ(level->value(), 57);
    EXPECT_FALSE(p.w.AnswerKey().has_value());
    EXPECT_FALSE(p.Button("btnExecute")->isEnabled());
    EXPECT_EQ(p.Button("btnSave")->text(), "Zapisz projekt");
    EXPECT_EQ(QApplication::focusWidget(), p.Field("edtProjectName"));

    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Chemia"));
    const std::string chemia = p.dir.File("chemia.spf");
    p.w.ChooseSaveProjectFile = [&](const QString&) { return QString::fromStdString(chemia); };
    Click(p.Button("btnSave"));
    TProjectSettings expected;
    expected.ProjectName = "Chemia";
    expected.BlackLevel = 57;
    expected.ScanFolder = p.dir.Path().string();  // a new project's scans default to its folder
    EXPECT_EQ(p.Saved(chemia), expected);
    EXPECT_EQ(p.Saved(p.project).QuestionCount, 12);  // the old project untouched
}

TEST(ProjectPanel, TheChooserGivenANewNameStartsANewProject) {
    Panel p;
    TDialogWatchdog watchdog;
    QString title;
    WhenActive<QFileDialog>([&](QFileDialog& d) {
        title = d.windowTitle();
        d.setDirectory(QString::fromStdString(p.dir.Path().string()));
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("biologia"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    });
    p.w.edtProjectFileBrowse();
    EXPECT_EQ(watchdog.Rejected(), 0) << "the chooser refused the new name";
    EXPECT_EQ(title, QStringLiteral("Wybierz plik projektu ..."));
    EXPECT_EQ(p.Field("edtProjectFile")->text().toStdString(), p.dir.File("biologia.spf"));
    EXPECT_EQ(p.Field("edtIlePyt")->text(), "50");
    EXPECT_TRUE(p.w.SaveState());
    EXPECT_FALSE(std::filesystem::exists(p.dir.File("biologia.spf")));  // written on save only
}

TEST(ProjectPanel, ATypedOrPastedScanFolderIsSavedWithTheProject) {
    TempDir scans("project-panel-scans");
    struct Case {
        const char* name;
        std::function<void(Panel&, const QString&)> enter;
    };
    const std::vector<Case> cases = {
        {"typed", [](Panel& p, const QString& folder) { ReplaceText(p.Field("edtScanFolder"), folder); }},
        {"pasted",
         [](Panel& p, const QString& folder) {
             QApplication::clipboard()->setText(folder);
             ReplaceText(p.Field("edtScanFolder"), QString());
             QTest::keyClick(QApplication::focusWidget(), Qt::Key_V, Qt::ControlModifier);
         }},
        {"chosen",
         [](Panel& p, const QString& folder) {
             p.w.ChooseScanFolder = [folder] { return folder; };
             p.w.edtScanFolderBrowse();
         }},
    };
    for (const Case& c : cases) {
        Panel p;
        const QString folder = QString::fromStdString(scans.Path().string());
        p.Button("btnExecute")->setEnabled(false);
        c.enter(p, folder);
        EXPECT_EQ(p.Field("edtScanFolder")->text(), folder) << c.name;
        EXPECT_TRUE(p.w.SaveState()) << c.name;
        EXPECT_TRUE(p.Button("btnExecute")->isEnabled()) << c.name;
        p.w.ChooseSaveProjectFile = [&](const QString& proposed) { return proposed; };
        Click(p.Button("btnSave"));
        EXPECT_FALSE(p.w.SaveState()) << c.name;
        EXPECT_EQ(p.Saved(p.project).ScanFolder, scans.Path().string()) << c.name;
        EXPECT_EQ(p.Saved(p.project).PrintLine1, "Klasa 3b") << c.name;
    }
}

TEST(ProjectPanel, TheNextStartReopensTheLastProject) {
    std::string last;
    {
        Panel p;
        last = p.project;
        const std::string copy = p.dir.File("kopia.spf");
        std::filesystem::copy_file(p.project, copy);
        p.w.LoadProjectFile(QString::fromStdString(copy));
        p.w.LoadProjectFile(QString::fromStdString(p.project));
        TFormMain next;
        next.OpenLastProject();
        EXPECT_EQ(FindChild<QLineEdit>(next, "edtProjectFile")->text().toStdString(), p.project);
        EXPECT_EQ(FindChild<QLineEdit>(next, "edtIlePyt")->text(), "12");
        EXPECT_FALSE(next.SaveState());
    }
    // Gone since: the next start opens nothing and says nothing.
    ASSERT_FALSE(std::filesystem::exists(last));
    TFormMain next;
    int asked = 0;
    next.Ask = [&](const QString&, const QString&, QMessageBox::Icon, QMessageBox::StandardButtons,
                   QMessageBox::StandardButton) {
        ++asked;
        return QMessageBox::Ok;
    };
    next.OpenLastProject();
    EXPECT_EQ(FindChild<QLineEdit>(next, "edtProjectFile")->text(), "");
    EXPECT_EQ(asked, 0);
}

TEST(ProjectPanel, ThePrintLinesAreEditedInTheWindowAndSavedWithTheProject) {
    Panel p;
    EXPECT_EQ(p.Field("edtPrintLine1")->text(), "Klasa 3b");
    EXPECT_EQ(p.Field("edtPrintLine2")->text(), "");
    const QString name = QStringLiteral("Imię i nazwisko: ……………"), date = QStringLiteral("Data: 10.12.2026");
    ReplaceText(p.Field("edtPrintLine1"), name);
    EXPECT_TRUE(p.w.SaveState());
    ReplaceText(p.Field("edtPrintLine2"), date);
    EXPECT_EQ(p.w.CurrentSettings().PrintLine1, name.toStdString());  // what the print options get
    EXPECT_EQ(p.w.CurrentSettings().PrintLine2, date.toStdString());
    p.w.ChooseSaveProjectFile = [](const QString& proposed) { return proposed; };
    Click(p.Button("btnSave"));
    EXPECT_FALSE(p.w.SaveState());
    EXPECT_EQ(p.Saved(p.project).PrintLine1, name.toStdString());
    EXPECT_EQ(p.Saved(p.project).PrintLine2, date.toStdString());

    // Emptied, a line is gone from the file; a new project starts without them.
    ReplaceText(p.Field("edtPrintLine1"), QString());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
    Click(p.Button("btnSave"));
    EXPECT_EQ(p.Saved(p.project).PrintLine1, "");
    ASSERT_TRUE(p.w.NewProject());
    EXPECT_EQ(p.Field("edtPrintLine2")->text(), "");
}

// The window's own message box shows stored texts' CR line ends as lines.
TEST(ProjectPanel, MessageBoxesCarryNoCarriageReturns) {
    TFormMain w;
    w.UseDemoFiles = false;
    for (const QString& text : {QStringLiteral("Nieznany format pliku graficznego:\r/s/b.png\rlub ten plik jest uszkodzony."),
                                QStringLiteral("Nieznany format pliku graficznego:\r\n/s/b.png\r\nlub ten plik jest uszkodzony.")}) {
        TDialogWatchdog watchdog;
        QString shown;
        WhenActive<QMessageBox>([&](QMessageBox& box) {
            shown = box.text();
            QTest::mouseClick(box.button(QMessageBox::Ok), Qt::LeftButton);
        });
        w.Ask(text, QStringLiteral("Błąd"), QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok);
        EXPECT_EQ(shown, QStringLiteral("Nieznany format pliku graficznego:\n/s/b.png\nlub ten plik jest uszkodzony."));
    }
}
