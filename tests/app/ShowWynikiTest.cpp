#include <gtest/gtest.h>

#include <QFontMetrics>
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

TEST(ShowWyniki, SizeIsFittedOnceAndSkippedScansAreShown) {
    TfrmShowWyniki view;
    Json doc = Document(3, false, {});
    doc["Pominiete"].push_back({{"FileName", "x.png"}, {"Status", -1}, {"Message", "Nieznany format"}});
    view.FillResults(doc);
    auto* grid = view.findChild<QTableWidget*>("sgrdWyniki");
    EXPECT_EQ(grid->rowCount(), 0);
    EXPECT_TRUE(view.Sized);
    auto* skipped = view.findChild<QLabel*>("lblPominiete");
    EXPECT_NE(skipped->text().indexOf("x.png"), -1);
    const QSize first = view.size();
    view.FillResults(Document(30, false, {{"1", std::vector<std::string>(30, "A")}, {"2", {}}}));
    EXPECT_EQ(view.size(), first);
    EXPECT_EQ(grid->rowCount(), 2);
}
