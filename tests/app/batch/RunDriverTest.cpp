// Whole runs through the main window with a driver that answers the modal
// operator dialog the way a person would: key presses and mouse clicks.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "AppTestSupport.h"
#include "app/shell/FormMain.h"
#include "core/common/Json.h"
#include "support/TestSupport.h"
#include "testing/ScanSimulator.h"

using namespace quorlen;
using quorlen::testing::TempDir;

namespace {

void WriteSheet(const std::string& path, const std::string& code, const std::vector<std::vector<int>>& boxes) {
    quorlen::testing::WriteMarkedScan(path, 5, 3, code, boxes);
}

struct Window {
    TFormMain w;
    int asked = 0;
    QMessageBox::StandardButton answer = QMessageBox::No;
    Window() {
        w.UseDemoFiles = false;
        w.Ask = [this](const QString&, const QString&, QMessageBox::Icon, QMessageBox::StandardButtons,
                       QMessageBox::StandardButton) {
            ++asked;
            return answer;
        };
        w.findChild<QLineEdit*>(QStringLiteral("edtIlePyt"))->setText(QStringLiteral("5"));
        w.findChild<QLineEdit*>(QStringLiteral("edtIleOdp"))->setText(QStringLiteral("3"));
        w.Run().AnswerPause = {};
    }
    void Start(const std::string& folder) {
        w.ChooseScanFolder = [folder] { return QString::fromStdString(folder); };
        w.edtScanFolderBrowse();
        w.btnExecuteClick();
    }
    void WaitForEnd() { quorlen::testing::WaitForRunEnd(w); }
    Json AnswersOf(const std::string& code) const {
        for (const Json& entry : w.LastResults()["Lista"])
            if (entry["Student"] == code) return entry["Wyniki"];
        return Json();
    }
};

// Runs the dialog for real and, once it is up, plays the driver's input.
int Drive(TFormScaner2& d, const std::function<void(TFormScaner2&)>& input) {
    QTimer::singleShot(0, &d, [&d, input] {
        // Activation comes asynchronously; until then keys go elsewhere.
        EXPECT_TRUE(QTest::qWaitFor([&d] { return QApplication::activeWindow() == &d; }));
        input(d);
    });
    return d.exec();
}

// A key as a keyboard sends it: to whatever has the focus.
void Key(Qt::Key key) {
    QWidget* target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr);
    QTest::keyClick(target, key);
}

}  // namespace

TEST(RunDriver, OperatorAnswersByKeysAndClicksEndUpInTheDocument) {
    TempDir scans;
    WriteSheet(scans.File("a.png"), "1", {{0}, {1}, {2}, {0}, {1}});
    WriteSheet(scans.File("b.png"), "2", {{0}, {0, 2}, {2}, {0}, {1}});  // question 2 double
    WriteSheet(scans.File("c.png"), "3", {{0}, {1}, {2}, {}, {1}});      // question 4 empty
    WriteSheet(scans.File("d.png"), "4", {{0}, {1}, {2}, {}, {1}});      // question 4 empty
    Window win;
    std::vector<QString> titles;
    win.w.ExecScaner = [&](TFormScaner2& d) {
        titles.push_back(d.windowTitle());
        // Space after a click on a choice: still "no answer", never "Zakończ".
        if (d.windowTitle().startsWith("c.png"))
            return Drive(d, [](TFormScaner2& dlg) {
                auto choices =
                    dlg.findChild<QWidget*>(QStringLiteral("PanelOdpowiedzi"))->findChildren<QRadioButton*>();
                QTest::mouseClick(choices.at(1), Qt::LeftButton, {}, QPoint(5, 5));
                Key(Qt::Key_Space);
            });
        if (d.windowTitle().startsWith("b.png"))
            return Drive(d, [](TFormScaner2&) { Key(Qt::Key_C); });
        // Click "B" among X, A, B, C, then OK.
        return Drive(d, [](TFormScaner2& dlg) {
            auto choices = dlg.findChild<QWidget*>(QStringLiteral("PanelOdpowiedzi"))->findChildren<QRadioButton*>();
            QTest::mouseClick(choices.at(2), Qt::LeftButton, {}, QPoint(5, 5));
            QTest::mouseClick(dlg.findChild<QPushButton*>(QStringLiteral("BitBtn1")), Qt::LeftButton);
        });
    };
    win.Start(scans.Path().string());
    win.WaitForEnd();
    ASSERT_EQ(titles.size(), 3u);
    EXPECT_EQ(win.AnswersOf("1"), Json::array({"A", "B", "C", "A", "B"}));
    EXPECT_EQ(win.AnswersOf("2"), Json::array({"A", "C", "C", "A", "B"}));
    EXPECT_EQ(win.AnswersOf("3"), Json::array({"A", "B", "C", "", "B"}));
    EXPECT_EQ(win.AnswersOf("4"), Json::array({"A", "B", "C", "B", "B"}));
    EXPECT_FALSE(win.w.Run().Cancelled);
}

TEST(RunDriver, SpaceAndEnterInTheFirstDialogAnswerTheQuestionAndTheRunGoesOn) {
    for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return}) {
        TempDir scans;
        WriteSheet(scans.File("a.png"), "1", {{0}, {1}, {}, {0}, {1}});
        WriteSheet(scans.File("b.png"), "2", {{0}, {1}, {}, {0}, {1}});
        WriteSheet(scans.File("c.png"), "3", {{0}, {1}, {2}, {0}, {1}});
        Window win;
        win.w.show();  // the operator's window is up, with the focus in one of its fields
        win.w.ExecScaner = [key](TFormScaner2& d) { return Drive(d, [key](TFormScaner2&) { Key(key); }); };
        win.Start(scans.Path().string());
        win.WaitForEnd();
        EXPECT_FALSE(win.w.Run().Cancelled) << key;
        ASSERT_EQ(win.w.LastResults()["Lista"].size(), 3u) << key;
        EXPECT_EQ(win.AnswersOf("1"), Json::array({"A", "B", "", "A", "B"})) << key;
        EXPECT_EQ(win.AnswersOf("2"), Json::array({"A", "B", "", "A", "B"})) << key;
    }
}

TEST(RunDriver, EscapeInTheFirstScansDialogSkipsOnlyThatAnswer) {
    TempDir scans;
    WriteSheet(scans.File("a.png"), "1", {{0}, {1}, {}, {0}, {1}});
    Window win;
    win.w.ExecScaner = [&](TFormScaner2& d) {
        return Drive(d, [](TFormScaner2&) { Key(Qt::Key_Escape); });
    };
    win.Start(scans.Path().string());
    win.WaitForEnd();
    EXPECT_FALSE(win.w.Run().Cancelled);
    ASSERT_EQ(win.w.LastResults()["Lista"].size(), 1u);
    EXPECT_EQ(win.AnswersOf("1")[0], "A");
}

TEST(RunDriver, MainButtonCancelAnsweredNoKeepsReadingYesStops) {
    TempDir scans;
    for (int i = 0; i < 6; ++i)
        WriteSheet(scans.File("s" + std::to_string(i) + ".png"), std::to_string(i + 1), {{0}, {1}, {2}, {0}, {1}});
    for (QMessageBox::StandardButton answer : {QMessageBox::No, QMessageBox::Yes}) {
        Window win;
        win.answer = answer;
        win.w.Run().MaxWorkers = 1;
        win.w.Run().AnswerPause = std::chrono::milliseconds(30);
        win.Start(scans.Path().string());
        ASSERT_TRUE(win.w.Run().Running);
        QPushButton* button = win.w.findChild<QPushButton*>(QStringLiteral("btnExecute"));
        EXPECT_EQ(button->text(), "Zakończ");
        button->click();
        EXPECT_EQ(win.asked, 1);
        win.WaitForEnd();
        EXPECT_EQ(button->text(), "Analizuj");
        if (answer == QMessageBox::No) {
            EXPECT_FALSE(win.w.Run().Cancelled);
            EXPECT_EQ(win.w.LastResults()["Lista"].size(), 6u);
        } else {
            EXPECT_TRUE(win.w.Run().Cancelled);
            EXPECT_LT(win.w.LastResults()["Lista"].size(), 6u);
        }
    }
}

TEST(RunDriver, TwoRunsInARowReuseOneResultsViewWithTheSecondRunsRows) {
    TempDir first, second;
    for (int i = 0; i < 3; ++i)
        WriteSheet(first.File("a" + std::to_string(i) + ".png"), std::to_string(10 + i), {{0}, {1}, {2}, {0}, {1}});
    WriteSheet(second.File("b.png"), "77", {{2}, {2}, {2}, {2}, {2}});
    Window win;
    win.answer = QMessageBox::Yes;  // the first run's results may go
    win.Start(first.Path().string());
    win.WaitForEnd();
    TfrmShowWyniki* view = win.w.ResultsView();
    ASSERT_TRUE(view->isVisible());
    auto* grid = view->findChild<QTableWidget*>(QStringLiteral("sgrdWyniki"));
    EXPECT_EQ(grid->rowCount(), 3);
    view->resize(view->width() + 40, view->height());
    const QSize operatorSize = view->size();

    win.Start(second.Path().string());
    win.WaitForEnd();
    EXPECT_EQ(win.w.ResultsView(), view);
    EXPECT_TRUE(view->isVisible());
    EXPECT_EQ(view->size(), operatorSize);  // fitted once; the operator's size stays
    ASSERT_EQ(grid->rowCount(), 1);
    EXPECT_EQ(grid->item(0, 0)->text(), "77");
    EXPECT_EQ(win.w.LastResults()["Lista"].size(), 1u);
}

TEST(RunDriver, ZakonczListsEveryUnreadScanOnALineOfItsOwnAndTheBarSaysHowManyWereRead) {
    TempDir scans;
    WriteSheet(scans.File("a.png"), "1", {{0}, {1}, {}, {0}, {1}});  // question 3 empty: the operator is asked
    for (char c = 'b'; c <= 'f'; ++c)
        WriteSheet(scans.File(std::string(1, c) + ".png"), std::to_string(c - 'a' + 1), {{0}, {1}, {2}, {0}, {1}});
    Window win;
    win.w.show();
    win.w.ExecScaner = [](TFormScaner2& d) {
        return Drive(d, [](TFormScaner2& dlg) {
            QTest::mouseClick(dlg.findChild<QPushButton*>(QStringLiteral("BitBtn3")), Qt::LeftButton);
        });
    };
    win.Start(scans.Path().string());
    win.WaitForEnd();
    ASSERT_TRUE(win.w.Run().Cancelled);

    auto* skipped = win.w.ResultsView()->findChild<QTableWidget*>(QStringLiteral("sgrdPominiete"));
    ASSERT_NE(skipped, nullptr);
    ASSERT_EQ(skipped->rowCount(), 5);
    QStringList files;
    for (int r = 0; r < 5; ++r) {
        files << skipped->item(r, 0)->text();
        EXPECT_EQ(skipped->item(r, 1)->text(), "Nie przeanalizowano: analiza została przerwana.") << r;
    }
    files.sort();
    EXPECT_EQ(files, (QStringList{"b.png", "c.png", "d.png", "e.png", "f.png"}));
    auto* bar = win.w.findChild<QProgressBar*>(QStringLiteral("ProgressBar"));
    EXPECT_EQ(bar->value(), 1);
    EXPECT_EQ(bar->maximum(), 6);
    EXPECT_EQ(bar->text(), "1 z 6 skanów");
}

// A copier's PDF in the window: each page is a row named "skany.pdf#N" in the
// results view, the blank back is listed on its own line, nobody is asked.
TEST(RunDriver, PagesOfAPdfAreTheResultsViewsScansAndItsBlankBackIsListed) {
    TempDir work, scans;
    std::string pages;
    for (int i = 0; i < 3; ++i) {
        const std::string file = work.File("p" + std::to_string(i) + ".png");
        WriteSheet(file, std::to_string(31 + i), {{0}, {1}, {2}, {0}, {1}});
        pages += " '" + file + "'";
    }
    ASSERT_EQ(quorlen::testing::RunCommand("convert -size 620x877 xc:'gray(98%)' '" + work.File("back.png") +
                                           "' && img2pdf -o '" + scans.File("skany.pdf") + "'" + pages + " '" +
                                           work.File("back.png") + "'"),
              0);
    Window win;
    win.Start(scans.Path().string());
    win.WaitForEnd();
    EXPECT_EQ(win.asked, 0);
    TfrmShowWyniki* view = win.w.ResultsView();
    ASSERT_TRUE(view->isVisible());
    auto column = [](QTableWidget* grid, const QString& title) {
        QStringList cells;
        for (int c = 0; c < grid->columnCount(); ++c)
            if (grid->horizontalHeaderItem(c) && grid->horizontalHeaderItem(c)->text() == title)
                for (int r = 0; r < grid->rowCount(); ++r) cells << grid->item(r, c)->text();
        return cells;
    };
    auto* grid = view->findChild<QTableWidget*>(QStringLiteral("sgrdWyniki"));
    auto* skipped = view->findChild<QTableWidget*>(QStringLiteral("sgrdPominiete"));
    EXPECT_EQ(column(grid, QStringLiteral("Skan")), (QStringList{"skany.pdf#1", "skany.pdf#2", "skany.pdf#3"}));
    EXPECT_EQ(column(skipped, QStringLiteral("Skan")), QStringList{"skany.pdf#4"});
    EXPECT_EQ(column(skipped, QStringLiteral("Powód")), QStringList{"Pusta strona"});
}
