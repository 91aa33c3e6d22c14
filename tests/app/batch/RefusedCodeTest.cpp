// A sheet whose code the check refuses: nothing more is asked, the view says
// why, and the operator can give the code from the results view.
#include <gtest/gtest.h>
#include <filesystem>

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "AppTestSupport.h"
#include "app/batch/CodeEntry.h"
#include "app/shell/FormMain.h"
#include "core/printing/RenderSheet.h"
#include "core/project/SheetLayout.h"
#include "support/TestSupport.h"
#include "testing/ScanSimulator.h"

using namespace quorlen;
using quorlen::testing::ClickAt;
using quorlen::testing::FindChild;
using quorlen::testing::TempDir;

namespace {

constexpr int kQuestions = 5, kAnswers = 3;

// A sheet with code "47" and one more digit (9) marked at position 1, which
// the code check refuses; question 3 is left empty, so reading it asks.
void WriteTwoDigitSheet(const std::string& path) {
    TMonoBitmap page = RenderSheet(kQuestions, kAnswers, "47", "Brenvik Quorlen\rTest");
    const TSheetBox b = BoxAt(TSheetLayout::Make(kAnswers, kQuestions).CodeBox(1, 9));
    page.FillRect(b.Left, b.Top, b.Right + 1, b.Bottom + 1, true);
    sim::TPageMarks marks;
    marks.Boxes = {{0}, {1}, {}, {0}, {1}};
    sim::MarkAnswers(page, kQuestions, kAnswers, 1, marks, 1);
    sim::TScanParams params;
    params.Dpi = 150;
    sim::SavePicture(sim::PlaceOnA4(page, params), path, sim::TFileFormat::Png);
}

struct Window {
    TFormMain w;
    QStringList questions;  // titles of the operator's answer dialogs
    explicit Window(int questionCount = kQuestions) {
        w.UseDemoFiles = false;
        w.Ask = [](const QString&, const QString&, QMessageBox::Icon, QMessageBox::StandardButtons,
                   QMessageBox::StandardButton) { return QMessageBox::Yes; };
        FindChild<QLineEdit>(w, "edtIlePyt")->setText(QString::number(questionCount));
        FindChild<QLineEdit>(w, "edtIleOdp")->setText(QString::number(kAnswers));
        w.Run().AnswerPause = {};
        // Each question is answered "B" by a key through the focused widget.
        w.ExecScaner = [this](TFormScaner2& d) {
            questions << d.windowTitle();
            QTimer::singleShot(0, &d, [&d] {
                EXPECT_TRUE(QTest::qWaitFor([&d] { return QApplication::activeWindow() == &d; }));
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_B);
            });
            return d.exec();
        };
    }
    void Analyze(const std::string& folder) {
        w.ChooseScanFolder = [folder] { return QString::fromStdString(folder); };
        w.edtScanFolderBrowse();
        w.btnExecuteClick();
        quorlen::testing::WaitForRunEnd(w);
    }
};

}  // namespace

TEST(RefusedCode, AsksNothingAndTheViewShowsTheCodeChecksMessage) {
    TempDir scans;
    WriteTwoDigitSheet(scans.File("a.png"));
    quorlen::testing::WriteMarkedScan(scans.File("b.png"), kQuestions, kAnswers, "12", {{0}, {1}, {2}, {0}, {1}});
    // The project expects one question more than the sheets hold, so the
    // count check disagrees too; the code check is still what the view says.
    Window win(kQuestions + 1);
    win.Analyze(scans.Path().string());
    EXPECT_TRUE(win.questions.isEmpty()) << win.questions.join(", ").toStdString();
    ASSERT_EQ(win.w.LastResults()["Lista"].size(), 1u);
    auto* skipped = FindChild<QTableWidget>(*win.w.ResultsView(), "sgrdPominiete");
    ASSERT_EQ(skipped->rowCount(), 1);
    EXPECT_EQ(skipped->item(0, 0)->text(), "a.png");
    const QString why = skipped->item(0, 1)->text();
    EXPECT_TRUE(why.contains("na pozycji 1 zaczernione są dwie cyfry")) << why.toStdString();
    EXPECT_FALSE(why.contains("Ilość odczytanych")) << why.toStdString();
}

TEST(RefusedCode, WpiszKodOnItsLineShowsTheScanAndMakesTheSheetAnEntry) {
    TempDir scans;
    WriteTwoDigitSheet(scans.File("a.png"));
    quorlen::testing::WriteMarkedScan(scans.File("b.png"), kQuestions, kAnswers, "12", {{0}, {1}, {2}, {0}, {1}});
    Window win;
    bool scanShown = false;
    QString reason;
    win.w.ExecWpiszKod = [&](TfrmWpiszKod& d) {
        scanShown = d.ScanShown() && !FindChild<QLabel>(d, "imgSkan")->pixmap().isNull();
        reason = FindChild<QLabel>(d, "lblPowod")->text();
        QTimer::singleShot(0, &d, [&d] {
            EXPECT_TRUE(QTest::qWaitFor([&d] { return QApplication::activeWindow() == &d; }));
            QWidget* focus = QApplication::focusWidget();
            ASSERT_NE(focus, nullptr);
            // b.png's own code: a letter is refused by the field.
            QTest::keyClicks(focus, QStringLiteral("1x2"));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        });
        return d.exec();
    };
    win.Analyze(scans.Path().string());
    TfrmShowWyniki* view = win.w.ResultsView();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view));
    auto* skipped = FindChild<QTableWidget>(*view, "sgrdPominiete");
    ASSERT_EQ(skipped->rowCount(), 1);

    bool chosen = false;
    QTimer::singleShot(0, view, [&chosen] {
        quorlen::testing::ChooseFromMenu(quorlen::testing::WaitForMenu(), "actWpiszKod");
        chosen = true;
    });
    ClickAt(skipped->viewport(), skipped->visualItemRect(skipped->item(0, 0)).center(), Qt::RightButton);
    ASSERT_TRUE(QTest::qWaitFor([&chosen] { return chosen; }, 6000));
    QTest::qWaitFor([&win] { return win.w.LastResults()["Lista"].size() == 2; }, 10000);

    EXPECT_TRUE(scanShown);
    EXPECT_TRUE(reason.contains("dwie cyfry")) << reason.toStdString();
    // Read again under the given code: the empty question is asked now.
    EXPECT_EQ(win.questions, QStringList{"a.png - brak odpowiedzi"});
    const Json& results = win.w.LastResults();
    ASSERT_EQ(results["Lista"].size(), 2u);
    EXPECT_TRUE(results["Pominiete"].empty());
    // The entry stands at its scan's place in the scan list (the folder's
    // own listing order), and the code it shares with b.png is flagged on both.
    std::vector<std::string> listed;
    for (const auto& f : std::filesystem::directory_iterator(scans.Path())) listed.push_back(f.path().filename().string());
    const size_t at = listed.front() == "a.png" ? 0 : 1;
    const Json& added = results["Lista"][at];
    EXPECT_EQ(added["Student"], "12");
    for (const Json& e : results["Lista"]) EXPECT_EQ(e.value("Uwagi", ""), "Kod 12 powtarza się na 2 arkuszach.");
    EXPECT_EQ(added["FileName"], "a.png");
    EXPECT_EQ(added["Wyniki"], Json::array({"A", "B", "B", "A", "B"}));
    EXPECT_FALSE(win.w.ResultsSaved);
    EXPECT_EQ(skipped->rowCount(), 0);
    auto* grid = FindChild<QTableWidget>(*view, "sgrdWyniki");
    QStringList codes;
    for (int r = 0; r < grid->rowCount(); ++r) codes << grid->item(r, 0)->text();
    EXPECT_EQ(codes, QStringList({"12", "12"}));
}

TEST(RefusedCode, TheCodeFieldTakesOneToTenDigitsOnly) {
    TempDir dir;
    const std::string path = dir.File("a.png");
    WriteTwoDigitSheet(path);
    TfrmWpiszKod d(QString::fromStdString(path), "a.png", "powód");
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
    auto* ok = FindChild<QDialogButtonBox>(d, "btnsKod")->button(QDialogButtonBox::Ok);
    struct TCase {
        QString Typed, Kept;
        bool Ok;
    };
    for (const TCase& c : {TCase{"", "", false}, TCase{"0", "0", true}, TCase{"12a3", "123", true},
                           TCase{"12345678901", "1234567890", true}, TCase{" -", "", false}}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
        QTest::keyClicks(QApplication::focusWidget(), c.Typed);
        EXPECT_EQ(d.Code(), c.Kept) << c.Typed.toStdString();
        EXPECT_EQ(ok->isEnabled(), c.Ok) << c.Typed.toStdString();
    }
}
