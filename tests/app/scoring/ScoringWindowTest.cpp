#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <filesystem>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "AppTestSupport.h"
#include "app/shell/FormMain.h"
#include "core/common/Json.h"
#include "support/TestSupport.h"

using namespace quorlen;
using quorlen::testing::FindChild;
using quorlen::testing::ReadFileBytes;
using quorlen::testing::TempDir;
using quorlen::testing::WaitForRunEnd;
using quorlen::testing::WriteMarkedScan;

namespace {

// The editor comes up as the active window, so typing reaches its focus.
void ShowActive(QDialog& d) {
    d.show();
    d.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&d));
}

void Click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton); }

void ClickCell(QTableWidget* grid, int row, int column) {
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualItemRect(grid->item(row, column)).center());
}

// Keys go where the focus is, as a person's typing does.
void TypeIntoFocus(const QString& text) {
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    QTest::keyClicks(QApplication::focusWidget(), text);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
}

// A main window with a saved project of 5 questions × 3 answers in dir; the
// message boxes are recorded and answered with `answer`.
struct Window {
    TempDir dir{"scoring-window"};
    TFormMain w;
    QStringList asked;
    QMessageBox::StandardButton answer = QMessageBox::Ok;
    QString opened;

    Window() {
        w.UseDemoFiles = false;
        w.Ask = [this](const QString& text, const QString&, QMessageBox::Icon, QMessageBox::StandardButtons,
                       QMessageBox::StandardButton) {
            asked << text;
            return answer;
        };
        w.OpenInBrowser = [this](const QString& path) {
            opened = path;
            return true;
        };
        for (auto [name, text] : {std::pair{"edtIlePyt", "5"}, std::pair{"edtIleOdp", "3"}}) {
            QLineEdit* e = FindChild<QLineEdit>(w, name);
            e->clear();
            QTest::keyClicks(e, QString::fromLatin1(text));
            emit e->editingFinished();
        }
        w.ChooseSaveProjectFile = [this](const QString&) { return QString::fromStdString(dir.File("klasa.spf")); };
        Click(FindChild<QPushButton>(w, "btnSave"));
    }

    void Analyze(const std::string& folder) {
        w.ChooseScanFolder = [folder] { return QString::fromStdString(folder); };
        w.edtScanFolderBrowse();
        w.Run().AnswerPause = {};
        Click(FindChild<QPushButton>(w, "btnExecute"));
        WaitForRunEnd(w);
    }
};

}  // namespace

TEST(ScoringWindow, KeyEditorKeepsTheKeyBesideTheProject) {
    Window win;
    ASSERT_EQ(win.w.KeyFilePath(), QString::fromStdString(win.dir.File("klasa.klucz.json")));
    QString firstError;
    win.w.ExecKeyEditor = [&](TfrmKeyEditor& d) {
        ShowActive(d);
        auto* grid = FindChild<QTableWidget>(d, "grdKlucz");
        EXPECT_EQ(grid->rowCount(), 5);
        EXPECT_EQ(grid->columnCount(), 5);  // A, B, C, "*" and points
        QPushButton* ok = FindChild<QDialogButtonBox>(d, "buttons")->button(QDialogButtonBox::Ok);
        // An empty key is refused with its reason; the dialog stays.
        Click(ok);
        firstError = FindChild<QLabel>(d, "lblBlad")->text();
        EXPECT_FALSE(d.Key().has_value());
        for (auto [row, column] : {std::pair{0, 0}, {1, 1}, {2, 2}, {2, 0}, {3, 3}, {4, 1}, {4, 2}, {4, 2}})
            ClickCell(grid, row, column);
        ClickCell(grid, 1, 4);
        TypeIntoFocus(QStringLiteral("2"));
        auto* wrong = FindChild<QLineEdit>(d, "edtWrongPoints");
        wrong->setFocus();
        wrong->selectAll();
        TypeIntoFocus(QStringLiteral("-0,5"));
        Click(ok);
        return d.result();
    };
    Click(FindChild<QPushButton>(win.w, "btnKlucz"));
    EXPECT_NE(firstError.indexOf(QStringLiteral("pusta odpowiedź")), -1) << firstError.toStdString();
    ASSERT_TRUE(win.w.AnswerKey().has_value());
    const TAnswerKey& key = *win.w.AnswerKey();
    EXPECT_EQ(key.Answers, (std::vector<std::string>{"A", "B", "AC", "*", "B"}));
    EXPECT_EQ(key.Points, (std::vector<double>{1, 2, 1, 1, 1}));
    EXPECT_EQ(key.WrongPoints, -0.5);

    // A window that opens the project opens its key too.
    TFormMain other;
    other.UseDemoFiles = false;
    other.LoadProjectFile(QString::fromStdString(win.dir.File("klasa.spf")));
    ASSERT_TRUE(other.AnswerKey().has_value());
    EXPECT_EQ(AnswerKeyToJson(*other.AnswerKey()), AnswerKeyToJson(key));
}

TEST(ScoringWindow, AScannedSheetBecomesTheKeyAndTheRunIsScored) {
    Window win;
    TempDir scans("scoring-scans");
    WriteMarkedScan(scans.File("klucz.jpg"), 5, 3, "1", {{0}, {1}, {2}, {0}, {1}}, sim::TFileFormat::Jpeg);
    WriteMarkedScan(scans.File("ewa.jpg"), 5, 3, "2", {{0}, {1}, {0}, {0}, {2}}, sim::TFileFormat::Jpeg);
    win.Analyze(scans.Path().string());
    TfrmShowWyniki& view = *win.w.ResultsView();
    auto* grid = FindChild<QTableWidget>(view, "sgrdWyniki");
    ASSERT_EQ(grid->rowCount(), 2);
    EXPECT_EQ(grid->columnCount(), 7);  // no key yet: the columns of old
    EXPECT_FALSE(FindChild<QPushButton>(view, "btnRaport")->isVisible());
    auto* useAsKey = FindChild<QPushButton>(view, "btnUseAsKey");
    EXPECT_FALSE(useAsKey->isEnabled());

    const int keyRow = grid->item(0, 0)->text() == "1" ? 0 : 1;
    ClickCell(grid, keyRow, 0);
    ASSERT_TRUE(useAsKey->isEnabled());
    // Declined: nothing changes.
    win.answer = QMessageBox::No;
    Click(useAsKey);
    ASSERT_EQ(win.asked.size(), 1);
    EXPECT_NE(win.asked[0].indexOf(QStringLiteral("1. A  2. B  3. C  4. A  5. B")), -1) << win.asked[0].toStdString();
    EXPECT_FALSE(win.w.AnswerKey().has_value());
    win.answer = QMessageBox::Yes;
    Click(useAsKey);
    ASSERT_TRUE(win.w.AnswerKey().has_value());
    EXPECT_EQ(win.w.AnswerKey()->Sheet, "klucz.jpg");

    ASSERT_EQ(grid->columnCount(), 10);
    EXPECT_EQ(grid->horizontalHeaderItem(6)->text(), "Skan");
    EXPECT_EQ(grid->horizontalHeaderItem(7)->text(), "Punkty");
    EXPECT_EQ(grid->horizontalHeaderItem(8)->text(), "%");
    EXPECT_EQ(grid->horizontalHeaderItem(9)->text(), "Ocena");
    const int ewa = 1 - keyRow;
    EXPECT_EQ(grid->item(ewa, 7)->text(), "3");
    EXPECT_EQ(grid->item(ewa, 8)->text(), "60,0");
    EXPECT_EQ(grid->item(ewa, 9)->text(), "3");
    EXPECT_EQ(grid->item(keyRow, 8)->text(), "100,0");

    QPushButton* raport = FindChild<QPushButton>(view, "btnRaport");
    ASSERT_TRUE(raport->isVisible());
    Click(raport);
    ASSERT_EQ(win.opened, QString::fromStdString(win.dir.File("klasa.raport.html")));
    const std::string html = ReadFileBytes(win.opened.toStdString());
    EXPECT_NE(html.find("<td>1</td>"), std::string::npos);  // one student: the key sheet is not counted
    EXPECT_NE(html.find("ewa.jpg"), std::string::npos);

    // The key was saved with the project, and the next run is scored as it ends.
    EXPECT_TRUE(ParseJsonFile(win.dir.File("klasa.klucz.json")).has_value());
    win.Analyze(scans.Path().string());
    EXPECT_TRUE(win.w.LastResults().contains("Klucz"));
    EXPECT_EQ(grid->columnCount(), 10);
}

TEST(ScoringWindow, KeyEditorVersionsAndGrades) {
    Window win;
    win.w.ExecKeyEditor = [&](TfrmKeyEditor& d) {
        ShowActive(d);
        auto* grid = FindChild<QTableWidget>(d, "grdKlucz");
        for (int q = 0; q < 5; ++q) ClickCell(grid, q, 0);  // main key: all A
        Click(FindChild<QPushButton>(d, "btnDodajWersje"));
        // The new version starts as a copy of the main key; B on question 1.
        ClickCell(grid, 0, 0);
        ClickCell(grid, 0, 1);
        auto* codes = FindChild<QLineEdit>(d, "edtKody");
        EXPECT_TRUE(codes->isEnabled());
        codes->setFocus();
        TypeIntoFocus(QStringLiteral("300-200"));
        auto* grades = FindChild<QLineEdit>(d, "edtOceny");
        EXPECT_EQ(grades->text(), "30:2; 50:3; 75:4; 90:5; 100:6");
        grades->setFocus();
        grades->selectAll();
        TypeIntoFocus(QStringLiteral("40:2; 60:3,5"));
        QPushButton* ok = FindChild<QDialogButtonBox>(d, "buttons")->button(QDialogButtonBox::Ok);
        Click(ok);
        EXPECT_NE(FindChild<QLabel>(d, "lblBlad")->text().indexOf(QStringLiteral("300-200")), -1);
        codes->setFocus();
        codes->selectAll();
        TypeIntoFocus(QStringLiteral("200-299, 305"));
        Click(ok);
        return d.result();
    };
    Click(FindChild<QPushButton>(win.w, "btnKlucz"));
    ASSERT_TRUE(win.w.AnswerKey().has_value());
    const Json key = AnswerKeyToJson(*win.w.AnswerKey());
    EXPECT_EQ(key["Answers"], Json({"A", "A", "A", "A", "A"}));
    EXPECT_EQ(key["Grades"].dump(), "[[40,2],[60,3.5]]");
    ASSERT_EQ(key["Versions"].size(), 1u);
    EXPECT_EQ(key["Versions"][0]["Codes"], Json({"200-299", "305"}));
    EXPECT_EQ(key["Versions"][0]["Answers"], Json({"B", "A", "A", "A", "A"}));
    EXPECT_FALSE(key["Versions"][0].contains("Points"));

    // Opened again, the editor shows the version as it was saved.
    win.w.ExecKeyEditor = [&](TfrmKeyEditor& d) {
        auto* version = FindChild<QComboBox>(d, "cbxWersja");
        EXPECT_EQ(version->count(), 2);
        version->setCurrentIndex(1);
        EXPECT_EQ(FindChild<QLineEdit>(d, "edtKody")->text(), "200-299, 305");
        EXPECT_EQ(FindChild<QTableWidget>(d, "grdKlucz")->item(0, 1)->text(), "B");
        return static_cast<int>(QDialog::Rejected);
    };
    Click(FindChild<QPushButton>(win.w, "btnKlucz"));
}

namespace {

// The window up and active, so that clicks and keys reach it as a person's do.
void ShowWindow(TFormMain& w) {
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
}

// A click into the field, select all, the text, then Tab out of it.
void TypeIntoField(QWidget& parent, const char* name, const QString& text) {
    auto* field = FindChild<QLineEdit>(parent, name);
    Click(field);
    ASSERT_EQ(QApplication::focusWidget(), field) << name;
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), text);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
}

// Marks the given letters, one question per entry, and confirms the editor.
std::function<int(TfrmKeyEditor&)> EnterKey(std::vector<int> columns) {
    return [columns](TfrmKeyEditor& d) {
        ShowActive(d);
        auto* grid = FindChild<QTableWidget>(d, "grdKlucz");
        for (size_t q = 0; q < columns.size(); ++q) ClickCell(grid, static_cast<int>(q), columns[q]);
        Click(FindChild<QDialogButtonBox>(d, "buttons")->button(QDialogButtonBox::Ok));
        return d.result();
    };
}

std::vector<std::string> KeyAnswers(TFormMain& w) {
    return w.AnswerKey() ? w.AnswerKey()->Answers : std::vector<std::string>{};
}

}  // namespace

TEST(ScoringWindow, AnotherProjectStartsWithoutThePreviousKey) {
    Window win;
    ShowWindow(win.w);
    win.w.ExecKeyEditor = EnterKey({0, 0, 0, 0, 0});
    Click(FindChild<QPushButton>(win.w, "btnKlucz"));
    ASSERT_EQ(KeyAnswers(win.w), (std::vector<std::string>{"A", "A", "A", "A", "A"}));

    // Another name and 4 questions, saved as a file of its own.
    TypeIntoField(win.w, "edtProjectName", QStringLiteral("Inny"));
    TypeIntoField(win.w, "edtIlePyt", QStringLiteral("4"));
    win.w.ChooseSaveProjectFile = [&](const QString&) { return QString::fromStdString(win.dir.File("inny.spf")); };
    Click(FindChild<QPushButton>(win.w, "btnSave"));
    ASSERT_TRUE(std::filesystem::exists(win.dir.File("inny.spf")));
    EXPECT_FALSE(win.w.AnswerKey().has_value());
    EXPECT_FALSE(std::filesystem::exists(win.dir.File("inny.klucz.json")));
    int rows = -1;
    QStringList marked;
    win.w.ExecKeyEditor = [&](TfrmKeyEditor& d) {
        auto* grid = FindChild<QTableWidget>(d, "grdKlucz");
        rows = grid->rowCount();
        for (int r = 0; r < grid->rowCount(); ++r)
            for (int c = 0; c < grid->columnCount() - 1; ++c)
                if (!grid->item(r, c)->text().isEmpty()) marked << grid->item(r, c)->text();
        return static_cast<int>(QDialog::Rejected);
    };
    Click(FindChild<QPushButton>(win.w, "btnKlucz"));
    EXPECT_EQ(rows, 4);
    EXPECT_TRUE(marked.isEmpty()) << marked.join(' ').toStdString();

    // The first project keeps its key, and gets it back when opened.
    win.w.LoadProjectFile(QString::fromStdString(win.dir.File("klasa.spf")));
    EXPECT_EQ(KeyAnswers(win.w), (std::vector<std::string>{"A", "A", "A", "A", "A"}));
    win.w.LoadProjectFile(QString::fromStdString(win.dir.File("inny.spf")));
    EXPECT_FALSE(win.w.AnswerKey().has_value());
}

TEST(ScoringWindow, AKeySheetAsksBeforeReplacingAndLeavesItsBlanksToTheTeacher) {
    Window win;
    ShowWindow(win.w);
    // Blanks stay blank in the run, without the operator's question.
    Click(FindChild<QCheckBox>(win.w, "chkKontrPuste"));
    win.w.ExecKeyEditor = EnterKey({0, 0, 0, 0, 0});
    Click(FindChild<QPushButton>(win.w, "btnKlucz"));
    TempDir scans("scoring-blank-key");
    WriteMarkedScan(scans.File("klucz.jpg"), 5, 3, "1", {{0}, {1}, {}, {0}, {1}}, sim::TFileFormat::Jpeg);
    WriteMarkedScan(scans.File("ewa.jpg"), 5, 3, "2", {{0}, {1}, {0}, {0}, {2}}, sim::TFileFormat::Jpeg);
    win.Analyze(scans.Path().string());
    TfrmShowWyniki& view = *win.w.ResultsView();
    auto* grid = FindChild<QTableWidget>(view, "sgrdWyniki");
    ASSERT_EQ(grid->rowCount(), 2);
    const int keyRow = grid->item(0, 0)->text() == "1" ? 0 : 1;
    auto* useAsKey = FindChild<QPushButton>(view, "btnUseAsKey");
    const std::vector<std::string> typed{"A", "A", "A", "A", "A"};

    // A complete sheet: one question that names the key being replaced.
    ClickCell(grid, 1 - keyRow, 0);
    win.answer = QMessageBox::No;
    Click(useAsKey);
    ASSERT_EQ(win.asked.size(), 1);
    EXPECT_TRUE(win.asked[0].startsWith(QStringLiteral("Zastąpić obecny klucz?"))) << win.asked[0].toStdString();
    EXPECT_NE(win.asked[0].indexOf(QStringLiteral("5. C")), -1) << win.asked[0].toStdString();
    EXPECT_EQ(KeyAnswers(win.w), typed);

    // A sheet with a blank: asked first, then the editor with question 3 open.
    ClickCell(grid, keyRow, 0);
    win.asked.clear();
    bool editorOpened = false;
    win.w.ExecKeyEditor = [&](TfrmKeyEditor&) {
        editorOpened = true;
        return static_cast<int>(QDialog::Rejected);
    };
    Click(useAsKey);
    EXPECT_EQ(win.asked, QStringList{QStringLiteral("Zastąpić obecny klucz?")});
    EXPECT_FALSE(editorOpened);
    EXPECT_EQ(KeyAnswers(win.w), typed);

    win.answer = QMessageBox::Yes;
    QString note, refusal;
    QStringList row3;
    win.w.ExecKeyEditor = [&](TfrmKeyEditor& d) {
        ShowActive(d);
        editorOpened = true;
        note = FindChild<QLabel>(d, "lblBlad")->text();
        auto* keyGrid = FindChild<QTableWidget>(d, "grdKlucz");
        for (int c = 0; c <= 3; ++c) row3 << keyGrid->item(2, c)->text();
        QPushButton* ok = FindChild<QDialogButtonBox>(d, "buttons")->button(QDialogButtonBox::Ok);
        Click(ok);  // the blank is refused, not annulled
        refusal = FindChild<QLabel>(d, "lblBlad")->text();
        ClickCell(keyGrid, 2, 2);
        Click(ok);
        return d.result();
    };
    Click(useAsKey);
    ASSERT_TRUE(editorOpened);
    EXPECT_NE(note.indexOf(QStringLiteral("pytania: 3.")), -1) << note.toStdString();
    EXPECT_EQ(row3, (QStringList{"", "", "", ""}));
    EXPECT_NE(refusal.indexOf(QStringLiteral("pusta odpowiedź")), -1) << refusal.toStdString();
    EXPECT_EQ(KeyAnswers(win.w), (std::vector<std::string>{"A", "B", "C", "A", "B"}));
    EXPECT_EQ(win.w.AnswerKey()->Sheet, "klucz.jpg");
    EXPECT_EQ(grid->columnCount(), 10);  // the run is scored with the new key
}

TEST(ScoringWindow, KeyEditorWorksFromTheKeyboard) {
    Window win;
    int points = -1;
    win.w.ExecKeyEditor = [&](TfrmKeyEditor& d) {
        ShowActive(d);
        auto* grid = FindChild<QTableWidget>(d, "grdKlucz");
        EXPECT_EQ(QApplication::focusWidget(), grid);
        auto keys = [](const QString& text) { QTest::keyClicks(QApplication::focusWidget(), text); };
        auto key = [](Qt::Key k, int times = 1) {
            for (int i = 0; i < times; ++i) QTest::keyClick(QApplication::focusWidget(), k);
        };
        keys(QStringLiteral("ad"));  // D is no letter of a 3-answer question
        keys(QStringLiteral(" bc"));
        key(Qt::Key_Right, 4);  // the points column takes digits as before
        keys(QStringLiteral("2"));
        key(Qt::Key_Tab);  // kept, and on to the next question's first letter
        points = grid->item(1, 4)->text().toInt();
        EXPECT_EQ(grid->currentRow(), 2);
        keys(QStringLiteral("* ccb a "));  // the last Space stays on the last question
        EXPECT_EQ(grid->currentRow(), 4);
        Click(FindChild<QDialogButtonBox>(d, "buttons")->button(QDialogButtonBox::Ok));
        return d.result();
    };
    Click(FindChild<QPushButton>(win.w, "btnKlucz"));
    EXPECT_EQ(points, 2);
    EXPECT_EQ(KeyAnswers(win.w), (std::vector<std::string>{"A", "BC", "*", "B", "A"}));
    ASSERT_TRUE(win.w.AnswerKey().has_value());
    EXPECT_EQ(win.w.AnswerKey()->Points, (std::vector<double>{1, 2, 1, 1, 1}));
}

TEST(ScoringWindow, KeyEditorIsAsTallAsItsQuestionsUpToTheScreen) {
    for (int questions : {5, 12, 50, 200}) {
        TfrmKeyEditor d(std::nullopt, questions, 4);
        ShowActive(d);
        const int screen = d.screen()->availableGeometry().height();
        auto* grid = FindChild<QTableWidget>(d, "grdKlucz");
        const int rowHeight = grid->rowHeight(0);
        // Rows whole in sight: every one when they fit, else the screen is used up.
        int visible = 0;
        for (int r = 0; r < questions; ++r)
            if (grid->visualRect(grid->model()->index(r, 0)).bottom() < grid->viewport()->height()) ++visible;
        EXPECT_LE(d.frameGeometry().height(), screen) << questions;
        if (visible < questions) {
            EXPECT_GT(d.frameGeometry().height(), screen - rowHeight) << questions;
        } else {
            EXPECT_LT(grid->viewport()->height() - visible * rowHeight, 2 * rowHeight) << questions;
        }
    }
}

TEST(ScoringWindow, TheReportSaysWhereItIsMostOfAllWhenNoBrowserOpens) {
    Window win;
    win.w.ExecKeyEditor = EnterKey({0, 1, 2, 0, 1});
    Click(FindChild<QPushButton>(win.w, "btnKlucz"));
    TempDir scans("scoring-report");
    WriteMarkedScan(scans.File("ewa.jpg"), 5, 3, "2", {{0}, {1}, {0}, {0}, {2}}, sim::TFileFormat::Jpeg);
    win.Analyze(scans.Path().string());
    const QString report = QString::fromStdString(win.dir.File("klasa.raport.html"));
    for (bool browser : {true, false}) {
        win.asked.clear();
        win.w.OpenInBrowser = [&](const QString& path) {
            win.opened = path;
            return browser;
        };
        Click(FindChild<QPushButton>(*win.w.ResultsView(), "btnRaport"));
        EXPECT_EQ(win.opened, report);
        ASSERT_EQ(win.asked.size(), 1) << browser;
        EXPECT_TRUE(win.asked[0].endsWith(QStringLiteral("zapisano w pliku:\n") + report)) << win.asked[0].toStdString();
        EXPECT_EQ(win.asked[0].startsWith(QStringLiteral("Nie udało się otworzyć przeglądarki.")), !browser)
            << win.asked[0].toStdString();
        EXPECT_FALSE(win.asked[0].contains(QLatin1Char('\r')));
    }
}
