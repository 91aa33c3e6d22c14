#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "app/batch/FormScaner2.h"

using namespace quorlen;

namespace {
TMonoBitmap Square(int side) {
    TMonoBitmap r(side, side);
    r.FillRect(0, 0, side, side, true);
    return r;
}
}  // namespace

TEST(FormScaner2, SmallCropsAreShownTwiceAsLargeAndClicksMapBack) {
    TFormScaner2 d;
    d.SetMode(qmTopLeft);
    d.ShowScan(Square(190));
    EXPECT_EQ(d.Zoom, 2);
    EXPECT_EQ(d.findChild<QLabel*>("Image1")->size(), QSize(380, 380));
    EXPECT_FALSE(d.findChild<QPushButton*>("BitBtn1")->isEnabled());
    d.ImageClicked(101, 40);
    EXPECT_EQ(d.ClickedPoint, (TPoint{50, 20}));
    EXPECT_NE(d.findChild<QPlainTextEdit*>("Memo1")->toPlainText().indexOf("(101,40)"), -1);
    EXPECT_TRUE(d.findChild<QPushButton*>("BitBtn1")->isEnabled());

    TFormScaner2 big;
    big.SetMode(qmBottomRight);
    big.ShowScan(Square(300));
    EXPECT_EQ(big.Zoom, 1);
    EXPECT_NE(big.findChild<QPlainTextEdit*>("Memo1")->toPlainText().indexOf("prawego dolnego"), -1);
    big.ImageClicked(101, 40);
    EXPECT_EQ(big.ClickedPoint, (TPoint{101, 40}));
}

TEST(FormScaner2, WhitePixelsAreRefusedAndKeepTheEarlierPoint) {
    TFormScaner2 d;
    std::vector<QString> errors;
    d.ShowError = [&](const QString& t) { errors.push_back(t); };
    d.SetMode(qmTopLeft);
    TMonoBitmap crop(100, 100);
    crop.FillRect(0, 0, 100, 2, true);
    d.ShowScan(crop);
    d.ImageClicked(10, 1);
    d.ImageClicked(10, 50);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "Program nie może odczytać linii. Spróbuj powtórnie.");
    EXPECT_EQ(d.ClickedPoint, (TPoint{5, 0}));
}

TEST(FormScaner2, KeysChooseTheAnswerAndClose) {
    struct Case {
        const char* key;
        QString expected;
        bool closes;
    };
    for (Case c :
         {Case{"b", "B", true}, Case{" ", "", true}, Case{"x", "", true}, Case{"e", "", false}, Case{"7", "", false}}) {
        TFormScaner2 d;
        d.SetMode(qmAnswer);
        d.BuildAnswers(4);
        d.ShowScan(Square(50));
        d.show();
        QTest::keyClicks(&d, c.key);
        QApplication::processEvents();
        EXPECT_EQ(d.GetAnswer(), c.expected) << c.key;
        EXPECT_EQ(d.result() == QDialog::Accepted, c.closes) << c.key;
    }
    TFormScaner2 d;
    d.SetMode(qmAnswer);
    d.BuildAnswers(4);
    EXPECT_TRUE(d.findChild<QPushButton*>("BitBtn1")->isEnabled());
    EXPECT_EQ(d.GetAnswer(), "");  // OK without a choice gives no answer
}
