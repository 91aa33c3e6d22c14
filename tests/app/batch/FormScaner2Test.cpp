#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QRadioButton>
#include <QTimer>
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
// Result of a dialog still open after the keys: none of them closed it.
constexpr int kStillOpen = 99;

// Opens the dialog for real and, once it is up, does what a person does:
// `before` (a click), then each key into whatever widget has the focus.
// '\n' is Enter, '\x1b' Esc.
int Press(TFormScaner2& d, const QString& keys, const std::function<void(TFormScaner2&)>& before = nullptr) {
    QTimer::singleShot(0, &d, [&d, keys, before] {
        // Activation comes asynchronously; until then keys go elsewhere.
        EXPECT_TRUE(QTest::qWaitFor([&d] { return QApplication::activeWindow() == &d; }));
        if (before) before(d);
        for (QChar k : keys) {
            QWidget* target = QApplication::focusWidget();
            EXPECT_TRUE(target && (target == &d || d.isAncestorOf(target)));
            if (!target) break;
            if (k == '\n')
                QTest::keyClick(target, Qt::Key_Return);
            else if (k == '\x1b')
                QTest::keyClick(target, Qt::Key_Escape);
            else
                QTest::keyClick(target, k.toLatin1());
        }
        QApplication::processEvents();
        if (d.isVisible()) d.done(kStillOpen);
    });
    return d.exec();
}

void AnswerDialog(TFormScaner2& d, int boxes = 4) {
    d.SetMode(qmAnswer);
    d.BuildAnswers(boxes);
    d.ShowScan(Square(50));
}

void ClickChoice(TFormScaner2& d, int k) {
    auto choices = d.findChild<QWidget*>("PanelOdpowiedzi")->findChildren<QRadioButton*>();
    QTest::mouseClick(choices.at(k), Qt::LeftButton, {}, QPoint(5, 5));
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
    EXPECT_NE(d.findChild<QLabel*>("Memo1")->text().indexOf("(101,40)"), -1);
    EXPECT_TRUE(d.findChild<QPushButton*>("BitBtn1")->isEnabled());

    TFormScaner2 big;
    big.SetMode(qmBottomRight);
    big.ShowScan(Square(300));
    EXPECT_EQ(big.Zoom, 1);
    EXPECT_NE(big.findChild<QLabel*>("Memo1")->text().indexOf("prawego dolnego"), -1);
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


TEST(FormScaner2, KeysReachTheDialogWhateverHasTheFocus) {
    struct Case {
        const char* Keys;
        int ClickedChoice;  // -1: no click before the keys
        QString Answer;
        int Result;
    };
    const int ok = QDialog::Accepted, rejected = QDialog::Rejected;
    for (const Case& c : {
             Case{"b", -1, "B", ok},
             Case{" ", -1, "", ok},
             Case{"x", -1, "", ok},
             Case{"e", -1, "", kStillOpen},
             Case{"7", -1, "", kStillOpen},
             Case{"\n", -1, "", ok},  // Enter: the default button, with "X" checked
             Case{"\x1b", -1, "", rejected},
             Case{" ", 3, "", ok},  // after a click on C, Space still means "no answer"
             Case{"b", 3, "B", ok},
             Case{"\n", 3, "C", ok},
         }) {
        TFormScaner2 d;
        AnswerDialog(d);
        const int result = Press(d, QString::fromLatin1(c.Keys), [&c](TFormScaner2& dlg) {
            if (c.ClickedChoice >= 0) ClickChoice(dlg, c.ClickedChoice);
        });
        EXPECT_EQ(result, c.Result) << c.Keys << " after click " << c.ClickedChoice;
        EXPECT_NE(result, ScanerResultAbort) << c.Keys;
        EXPECT_EQ(d.GetAnswer(), c.Answer) << c.Keys << " after click " << c.ClickedChoice;
    }
    TFormScaner2 d;
    AnswerDialog(d);
    EXPECT_TRUE(d.findChild<QPushButton*>("BitBtn1")->isEnabled());
    EXPECT_EQ(d.GetAnswer(), "");  // OK without a choice gives no answer
}

TEST(FormScaner2, EnterInACornerQuestionWaitsForTheClickedPoint) {
    TFormScaner2 early;
    early.SetMode(qmTopLeft);
    early.ShowScan(Square(190));
    EXPECT_EQ(Press(early, "\n"), kStillOpen);  // neither OK (disabled) nor "Zakończ"

    TFormScaner2 d;
    d.SetMode(qmTopLeft);
    d.ShowScan(Square(190));
    const int result = Press(d, "\n", [](TFormScaner2& dlg) {
        QTest::mouseClick(dlg.findChild<QLabel*>("Image1"), Qt::LeftButton, {}, QPoint(101, 40));
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(d.ClickedPoint, (TPoint{50, 20}));
}

TEST(FormScaner2, InstructionsAreThreeCentredLinesInADialogWithoutTitleBarButtons) {
    TFormScaner2 d;
    d.SetMode(qmBottomRight);
    auto* memo = d.findChild<QLabel*>("Memo1");
    ASSERT_NE(memo, nullptr);
    EXPECT_EQ(memo->text().count('\n'), 2);
    EXPECT_TRUE(memo->alignment() & Qt::AlignHCenter);
    EXPECT_FALSE(memo->wordWrap());
    EXPECT_LE(memo->sizeHint().height(), memo->height());
    EXPECT_LE(memo->sizeHint().width(), memo->width());
    EXPECT_FALSE(d.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(d.windowFlags() & Qt::WindowSystemMenuHint);
}
