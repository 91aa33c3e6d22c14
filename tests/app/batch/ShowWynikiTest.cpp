#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>

#include "app/batch/ShowWyniki.h"

using namespace quorlen;

namespace {

Json Document(int qcnt, bool multi, std::vector<std::pair<std::string, std::vector<std::string>>> entries) {
    Json doc = {{"Project", "Próba"},   {"QCnt", qcnt},           {"ACnt", 4},
                {"MultiChoice", multi}, {"Lista", Json::array()}, {"Pominiete", Json::array()}};
    for (auto& [code, answers] : entries)
        doc["Lista"].push_back({{"Student", code}, {"FileName", "s" + code + ".png"}, {"Wyniki", answers}});
    return doc;
}

int W(const QTableWidget* g, int letters) { return QFontMetrics(g->font()).horizontalAdvance(QString(letters, 'W')); }

}  // namespace

TEST(ShowWyniki, GridHoldsHeaderCodesAnswersAndFileNames) {
    TfrmShowWyniki view;
    view.FillResults(Document(3, false, {{"0012", {"B", "", " "}}, {"7", {"A", "A", "C"}}}));
    auto* grid = view.findChild<QTableWidget*>("sgrdWyniki");
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(view.windowTitle(), "Próba");
    EXPECT_EQ(grid->columnCount(), 5);
    EXPECT_EQ(grid->rowCount(), 2);
    EXPECT_EQ(grid->horizontalHeaderItem(0)->text(), "ID");
    EXPECT_EQ(grid->horizontalHeaderItem(3)->text(), "3");
    EXPECT_EQ(grid->horizontalHeaderItem(4)->text(), "Skan");
    EXPECT_EQ(grid->item(0, 0)->text(), "0012");
    EXPECT_EQ(grid->item(0, 1)->text(), "B");
    EXPECT_EQ(grid->item(0, 3)->text(), " ");
    EXPECT_EQ(grid->item(0, 4)->text(), "s0012.png");
}

TEST(ShowWyniki, ColumnWidthsFollowTheDigitsAndTheLongestAnswer) {
    TfrmShowWyniki view;
    view.FillResults(Document(12, false, {{"1", std::vector<std::string>(12, "A")}}));
    auto* grid = view.findChild<QTableWidget*>("sgrdWyniki");
    EXPECT_EQ(grid->columnWidth(1), W(grid, 2));
    view.FillResults(Document(9, true, {{"1", std::vector<std::string>(9, "A")}}));
    EXPECT_EQ(grid->columnWidth(1), W(grid, 1));
    view.FillResults(Document(10, true, {{"1", std::vector<std::string>(10, "A")}}));
    EXPECT_EQ(grid->columnWidth(1), W(grid, 2));
}

TEST(ShowWyniki, SizeIsFittedByTheFirstFillWithRowsAndSkippedScansAreShown) {
    TfrmShowWyniki view;
    Json doc = Document(3, false, {});
    doc["Pominiete"].push_back({{"FileName", "x.png"}, {"Status", -1}, {"Message", "Nieznany format"}});
    view.FillResults(doc);
    auto* grid = view.findChild<QTableWidget*>("sgrdWyniki");
    EXPECT_EQ(grid->rowCount(), 0);
    EXPECT_FALSE(view.Sized);  // an aborted run without rows must not freeze the size
    auto* skipped = view.findChild<QTableWidget*>("sgrdPominiete");
    ASSERT_EQ(skipped->rowCount(), 1);
    EXPECT_EQ(skipped->item(0, 0)->text(), "x.png");

    Json withRows = Document(30, false, {{"1", std::vector<std::string>(30, "A")}, {"2", {}}});
    withRows["Pominiete"] = doc["Pominiete"];
    view.FillResults(withRows);
    EXPECT_TRUE(view.Sized);
    const QSize first = view.size();
    view.FillResults(Document(40, false, {{"1", {}}, {"2", {}}, {"3", {}}}));
    EXPECT_EQ(view.size(), first);
    EXPECT_EQ(grid->rowCount(), 3);
}

TEST(ShowWyniki, FittedWindowShowsEveryColumnTheSkippedLineAndAFrozenCodeColumn) {
    TfrmShowWyniki view;
    Json doc = Document(5, false, {{"0012", {"A", "B", "C", "D", "A"}}, {"7", {"A", "A", "C", "D", "A"}}});
    doc["Lista"][1]["FileName"] = "a-rather-long-scan-file-name.png";
    doc["Pominiete"].push_back({{"FileName", "x.png"}, {"Status", -1}, {"Message", "Nieznany format"}});
    view.ShowResultsView(doc);
    auto* grid = view.findChild<QTableWidget*>("sgrdWyniki");
    int columns = 0;
    for (int c = 0; c < grid->columnCount(); ++c) columns += grid->columnWidth(c);
    EXPECT_GE(view.width(), columns);  // "Skan" included
    EXPECT_EQ(grid->horizontalHeader()->height(), 20);
    const int rowsHeight = (grid->rowCount() + 1) * 21;
    EXPECT_GE(view.height(), rowsHeight + view.findChild<QLabel*>("lblPominiete")->heightForWidth(view.width()));
    // Placed at the screen's centre on first show.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(std::abs(view.geometry().center().x() - screen.center().x()), 2);

    auto* frozen = view.findChild<QTableView*>("sgrdWynikiFixedColumn");
    ASSERT_NE(frozen, nullptr);
    EXPECT_EQ(frozen->model(), grid->model());
    EXPECT_FALSE(frozen->isColumnHidden(0));
    for (int c = 1; c < grid->columnCount(); ++c) EXPECT_TRUE(frozen->isColumnHidden(c)) << c;
    EXPECT_EQ(frozen->columnWidth(0), grid->columnWidth(0));
}

TEST(ShowWyniki, RowsOfInterruptedSheetsAreMarkedWithTheirMessage) {
    TfrmShowWyniki view;
    Json doc = Document(2, false, {{"1", {"A", "B"}}, {"2", {"A"}}});
    doc["Lista"][1]["Status"] = 2;
    doc["Lista"][1]["Message"] = "Procedura przerwana przez Użytkownika.";
    view.FillResults(doc);
    auto* grid = view.findChild<QTableWidget*>("sgrdWyniki");
    for (int c = 0; c < grid->columnCount(); ++c) {
        ASSERT_NE(grid->item(1, c), nullptr) << c;
        EXPECT_EQ(grid->item(1, c)->toolTip(), "Procedura przerwana przez Użytkownika.") << c;
        EXPECT_NE(grid->item(1, c)->background().color(), grid->item(0, 0)->background().color()) << c;
        EXPECT_TRUE(grid->item(0, c)->toolTip().isEmpty()) << c;
    }
}

TEST(ShowWyniki, RowsOfARepeatedCodeAreColouredAndSaySo) {
    TfrmShowWyniki view;
    Json doc = Document(2, false, {{"1001", {"A", "B"}}, {"5", {"A", "A"}}, {"1001", {"B", "B"}}});
    view.FillResults(doc);
    auto* grid = view.findChild<QTableWidget*>("sgrdWyniki");
    const QColor plain = grid->item(1, 0)->background().color();
    for (int row : {0, 2})
        for (int c = 0; c < grid->columnCount(); ++c) {
            ASSERT_NE(grid->item(row, c), nullptr) << row << "," << c;
            EXPECT_NE(grid->item(row, c)->background().color(), plain) << row << "," << c;
            EXPECT_EQ(grid->item(row, c)->toolTip(), "Kod 1001 powtarza się na 2 arkuszach.") << row << "," << c;
        }
    EXPECT_TRUE(grid->item(1, 0)->toolTip().isEmpty());
}
