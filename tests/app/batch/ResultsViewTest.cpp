// The results view used as an operator uses it: header clicks, typing into
// the search field, right clicks on rows and the menu bar of the main window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "AppTestSupport.h"
#include "app/batch/ShowWyniki.h"
#include "app/shell/FormMain.h"
#include "support/TestSupport.h"

using namespace quorlen;
using quorlen::testing::ClickAt;
using quorlen::testing::FindChild;
using quorlen::testing::TempDir;

namespace {

struct TRow {
    std::string Code, File;
    std::vector<std::string> Answers;
    Json Points;  // null: not scored
};

Json Document(const std::vector<TRow>& rows, bool scored = false) {
    Json doc = {{"Project", "Sortowanie"}, {"QCnt", 3},       {"ACnt", 4},
                {"MultiChoice", false},    {"Folder", "/skany"}, {"Lista", Json::array()},
                {"Pominiete", Json::array()}};
    for (const TRow& r : rows) {
        Json e = {{"Student", r.Code}, {"FileName", r.File}, {"Wyniki", r.Answers}};
        if (scored) e["Punkty"] = r.Points;
        doc["Lista"].push_back(e);
    }
    if (scored) doc["Klucz"] = Json::object();
    return doc;
}

// The view shown and exposed, so that clicks reach it through its window.
void Show(TfrmShowWyniki& view, const Json& doc) {
    view.ShowResultsView(doc);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
}

QStringList Column(const QTableWidget* grid, int column, bool visibleOnly = false) {
    QStringList cells;
    for (int r = 0; r < grid->rowCount(); ++r)
        if (!visibleOnly || !grid->isRowHidden(r)) cells << grid->item(r, column)->text();
    return cells;
}

// A click on the header where the column's title is drawn.
void ClickHeader(QTableWidget* grid, int column) {
    QHeaderView* header = grid->horizontalHeader();
    const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
    ClickAt(header->viewport(), QPoint(x, header->height() / 2));
}

QPoint CellCentre(const QTableWidget* grid, int row, int column) {
    return grid->visualItemRect(grid->item(row, column)).center();
}

// A right click on the cell, then the menu's action; false when no menu came.
void RightClickAndChoose(QTableWidget* grid, int row, int column, const char* action) {
    bool chosen = false;
    QTimer::singleShot(0, grid, [&chosen, action] {
        quorlen::testing::ChooseFromMenu(quorlen::testing::WaitForMenu(), action);
        chosen = true;
    });
    ClickAt(grid->viewport(), CellCentre(grid, row, column), Qt::RightButton);
    EXPECT_TRUE(QTest::qWaitFor([&chosen] { return chosen; }, 6000));
}

}  // namespace

TEST(ResultsView, HeaderClicksSortEachColumnUpThenDown) {
    const std::vector<TRow> rows = {{"0012", "s2.png", {"B", "A", "C"}, 12.5},
                                    {"7", "s10.png", {"A", "", "C"}, 3},
                                    {"300", "s1.png", {"C", "B", "C"}, 20},
                                    {"41", "s3.png", {"D", "C", "A"}, nullptr}};
    struct TCase {
        int Column;
        QStringList Up;  // codes in ascending order of the column
    };
    // Codes and scan names by their numbers, answers by letter with blanks
    // first, points by value with the unscored sheet last.
    const TCase cases[] = {{0, {"7", "0012", "41", "300"}},
                           {2, {"7", "0012", "300", "41"}},
                           {4, {"300", "0012", "41", "7"}},
                           {5, {"7", "0012", "300", "41"}}};
    for (const TCase& c : cases) {
        TfrmShowWyniki view;
        Show(view, Document(rows, true));
        auto* grid = FindChild<QTableWidget>(view, "sgrdWyniki");
        ClickHeader(grid, c.Column);
        EXPECT_EQ(Column(grid, 0), c.Up) << c.Column;
        ClickHeader(grid, c.Column);
        QStringList down = c.Up;
        std::reverse(down.begin(), down.end());
        EXPECT_EQ(Column(grid, 0), down) << c.Column;
        // The frozen code column shows the same order: it draws the same rows.
        auto* frozen = FindChild<QTableView>(view, "sgrdWynikiFixedColumn");
        EXPECT_EQ(frozen->model()->index(0, 0).data().toString(), down.front()) << c.Column;
    }
}

TEST(ResultsView, UseAsKeyAfterASortNamesTheEntryOfTheClickedRow) {
    TfrmShowWyniki view;
    Show(view, Document({{"5", "a.png", {"A", "A", "A"}}, {"1", "b.png", {"B", "B", "B"}}}));
    int used = -1;
    view.UseAsKey = [&used](int entry) { used = entry; };
    auto* grid = FindChild<QTableWidget>(view, "sgrdWyniki");
    ClickHeader(grid, 0);
    ASSERT_EQ(grid->item(0, 0)->text(), "1");
    ClickAt(grid->viewport(), CellCentre(grid, 0, 2));
    ClickAt(FindChild<QPushButton>(view, "btnUseAsKey"), QPoint(5, 5));
    EXPECT_EQ(used, 1);  // "1" is the document's second entry
}

TEST(ResultsView, SearchKeepsTheRowsWhoseCodeOrScanNameHoldsTheTypedText) {
    TfrmShowWyniki view;
    Show(view, Document({{"1001", "klasa-a-01.png", {}}, {"2002", "klasa-b-01.png", {}}, {"1003", "x.png", {}}}));
    auto* grid = FindChild<QTableWidget>(view, "sgrdWyniki");
    auto* search = FindChild<QLineEdit>(view, "edtSzukaj");
    ClickAt(search, QPoint(10, search->height() / 2));
    ASSERT_EQ(QApplication::focusWidget(), search);
    struct TCase {
        QString Typed;
        QStringList Shown;
    };
    const TCase cases[] = {{"100", {"1001", "1003"}},
                           {"KLASA-B", {"2002"}},  // letter case does not matter
                           {"01.png", {"1001", "2002"}},
                           {"999", {}},
                           {"", {"1001", "2002", "1003"}}};
    for (const TCase& c : cases) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
        QTest::keyClicks(QApplication::focusWidget(), c.Typed);
        EXPECT_EQ(Column(grid, 0, true), c.Shown) << c.Typed.toStdString();
    }
    // A refill (a new key, a typed code) keeps the search.
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("2002"));
    view.FillResults(Document({{"1001", "a.png", {}}, {"2002", "b.png", {}}}));
    EXPECT_EQ(Column(grid, 0, true), QStringList{"2002"});
}

TEST(ResultsView, RightClickCopiesTheRowOrOpensItsScan) {
    TfrmShowWyniki view;
    Json doc = Document({{"7", "s7.png", {"A", "", "C"}}, {"8", "zeszyt.pdf#2", {"B", "B", "B"}}});
    Show(view, doc);
    QStringList opened;
    view.OpenScan = [&opened](const QString& path) { opened << path; };
    auto* grid = FindChild<QTableWidget>(view, "sgrdWyniki");

    QGuiApplication::clipboard()->clear();
    RightClickAndChoose(grid, 0, 2, "actKopiuj");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "7\tA\t\tC\ts7.png");
    // On the code column, which the frozen column covers, the menu comes too.
    RightClickAndChoose(grid, 1, 0, "actOtworzSkan");
    RightClickAndChoose(grid, 0, 3, "actOtworzSkan");
    EXPECT_EQ(opened, (QStringList{"/skany/zeszyt.pdf", "/skany/s7.png"}));
}

TEST(ResultsView, OpensTallEnoughForFifteenRowsButNeverTallerThanTheScreen) {
    const int screen = QGuiApplication::primaryScreen()->availableGeometry().height();
    for (int count : {2, 15, 400}) {
        std::vector<TRow> rows;
        for (int i = 0; i < count; ++i) rows.push_back({std::to_string(i + 1), "s.png", {"A", "B", "C"}});
        TfrmShowWyniki view;
        Show(view, Document(rows));
        auto* grid = FindChild<QTableWidget>(view, "sgrdWyniki");
        const int visibleRows = grid->viewport()->height() / grid->verticalHeader()->defaultSectionSize();
        if (count < 400)
            EXPECT_GE(visibleRows, TfrmShowWyniki::MinFittedRows) << count;
        EXPECT_LE(view.frameGeometry().height(), screen) << count;
    }
}

TEST(ResultsView, WynikiInTheMenuBarShowsTheLastRunAgainAfterTheViewWasClosed) {
    TempDir scans;
    for (int i = 0; i < 2; ++i)
        quorlen::testing::WriteMarkedScan(scans.File("s" + std::to_string(i) + ".png"), 5, 3, std::to_string(i + 1),
                                          {{0}, {1}, {2}, {0}, {1}});
    TFormMain w;
    w.UseDemoFiles = false;
    w.Ask = [](const QString&, const QString&, QMessageBox::Icon, QMessageBox::StandardButtons,
               QMessageBox::StandardButton) { return QMessageBox::Yes; };
    FindChild<QLineEdit>(w, "edtIlePyt")->setText(QStringLiteral("5"));
    FindChild<QLineEdit>(w, "edtIleOdp")->setText(QStringLiteral("3"));
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QMenuBar* bar = w.menuBar();
    QAction* wyniki = nullptr;
    for (QAction* a : bar->actions())
        if (a->objectName() == "actWyniki") wyniki = a;
    ASSERT_NE(wyniki, nullptr);
    EXPECT_FALSE(wyniki->isEnabled());  // no run, nothing to show

    w.ChooseScanFolder = [&scans] { return QString::fromStdString(scans.Path().string()); };
    w.edtScanFolderBrowse();
    w.Run().AnswerPause = {};
    w.btnExecuteClick();
    quorlen::testing::WaitForRunEnd(w);
    TfrmShowWyniki* view = w.ResultsView();
    ASSERT_TRUE(view->isVisible());
    view->close();
    ASSERT_FALSE(view->isVisible());

    ASSERT_TRUE(wyniki->isEnabled());
    ClickAt(bar, bar->actionGeometry(wyniki).center());
    EXPECT_TRUE(QTest::qWaitFor([view] { return view->isVisible(); }, 2000));
    EXPECT_EQ(FindChild<QTableWidget>(*view, "sgrdWyniki")->rowCount(), 2);
}
