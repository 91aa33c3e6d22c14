// "Skanuj…" driven as a person does, on SANE's virtual test scanner: clicks
// on the buttons, keys to the focused widget once the dialog is the active
// window, the final question answered by its keys.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "AppTestSupport.h"
#include "app/shell/FormMain.h"
#include "app/shell/ScanDialog.h"
#include "core/scanner/ScannerError.h"
#include "core/settings/ScannerConfig.h"
#include "support/SaneTestConfig.h"

using namespace quorlen;
using quorlen::testing::TempDir;
using quorlen::testing::TSaneTestConfig;

namespace {

// A window with a data folder and a scan folder of its own; its error boxes
// are recorded.
struct TScanWindow {
    TempDir data, scans;
    QByteArray savedData = qgetenv("QUORLEN_DATA_DIR");
    std::unique_ptr<TFormMain> w;
    std::vector<QString> errors;
    TScanWindow() {
        qputenv("QUORLEN_DATA_DIR", QByteArray::fromStdString(data.Path().string()));
        w = std::make_unique<TFormMain>();
        w->UseDemoFiles = false;
        w->Ask = [this](const QString& text, const QString& caption, QMessageBox::Icon, QMessageBox::StandardButtons,
                        QMessageBox::StandardButton) {
            errors.push_back(caption + ": " + text);
            return QMessageBox::Ok;
        };
        w->ChooseScanFolder = [this] { return QString::fromStdString(scans.Path().string()); };
        w->Run().AnswerPause = {};
        // The test scanner's pages hold no sheet: their corner questions are declined.
        w->ExecScaner = [](TFormScaner2&) { return int(QDialog::Rejected); };
        w->show();
    }
    ~TScanWindow() {
        w.reset();
        qputenv("QUORLEN_DATA_DIR", savedData);
    }
    size_t Pages() const {
        return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(scans.Path()), {}));
    }
    // Clicks "Skanuj…" and plays input once the dialog is the active window.
    void OpenScanDialog(const std::function<void(TfrmSkanuj&)>& input) {
        w->ExecSkanuj = [input](TfrmSkanuj& d) {
            QTimer::singleShot(0, &d, [&d, input] {
                EXPECT_TRUE(QTest::qWaitFor([&d] { return QApplication::activeWindow() == &d; }));
                input(d);
            });
            return d.exec();
        };
        QPushButton* scan = quorlen::testing::FindChild<QPushButton>(*w, "btnSkanuj");
        QTest::mouseClick(scan, Qt::LeftButton);
    }
};

void Key(Qt::Key key) {
    QWidget* target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr);
    QTest::keyClick(target, key);
}

// Waits for the search, then moves the focused device list to test:0 by keys.
void ChooseTestScanner(TfrmSkanuj& d) {
    ASSERT_TRUE(QTest::qWaitFor([&d] { return d.btnSzukaj->isEnabled(); }, 20000));
    ASSERT_EQ(QApplication::focusWidget(), d.cbbSkaner);
    Key(Qt::Key_Home);
    for (int i = 0; i < d.cbbSkaner->count() && d.cbbSkaner->currentData() != "test:0"; ++i) Key(Qt::Key_Down);
    ASSERT_EQ(d.cbbSkaner->currentData().toString(), "test:0");
}

}  // namespace

TEST(ScanDialog, TheFeederFillsTheScanFolderAndAnalyzeStartsTheRun) {
    TSaneTestConfig sane;
    TScanWindow win;
    QString question;
    bool windowAlive = false;
    win.OpenScanDialog([&](TfrmSkanuj& d) {
        ChooseTestScanner(d);
        EXPECT_EQ(d.cbbZrodlo->currentData(), "ADF");
        EXPECT_EQ(d.seRozdzielczosc->value(), 200);
        EXPECT_EQ(d.cbbTryb->currentData(), "Gray");
        // The question comes as a box of its own, in a loop of its own: looked
        // for at every tick. Enter takes its default, "Analizuj".
        auto* poll = new QTimer(&d);
        QObject::connect(poll, &QTimer::timeout, [&, poll] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || QApplication::activeWindow() != box) return;
            poll->stop();
            question = box->text();
            windowAlive = true;  // the event loop ran while the batch went on
            Key(Qt::Key_Return);
        });
        poll->start(20);
        Key(Qt::Key_Return);  // "Zacznij", the default button
    });
    EXPECT_EQ(question, QStringLiteral("Zeskanowano 10 stron. Czy przeanalizować folder?"));
    EXPECT_TRUE(windowAlive);
    EXPECT_EQ(win.Pages(), 10u);
    // "Analizuj" started the run on the folder: solid black pages hold no sheet.
    quorlen::testing::WaitForRunEnd(*win.w);
    EXPECT_EQ(win.w->LastResults()["Pominiete"].size(), 10u);
    EXPECT_TRUE(win.errors.empty());

    // The next dialog offers the scanner used, at once.
    const TScannerConfig remembered = ReadScannerConfig(TFormMain::ConfigFilePath().toStdString());
    EXPECT_EQ(remembered.Device, "test:0");
    EXPECT_EQ(remembered.Devices.size(), 4u);
    TfrmSkanuj again(QString::fromStdString(win.scans.Path().string()), remembered);
    EXPECT_EQ(again.cbbSkaner->count(), 4);
    EXPECT_EQ(again.cbbSkaner->currentData(), "test:0");
}

TEST(ScanDialog, PrzerwijAfterThreePagesKeepsThree) {
    // Small pages that take about half a second each.
    TSaneTestConfig sane(40, 40, "read-delay true\nread-delay-duration 150000\n");
    TScanWindow win;
    QString after;
    win.OpenScanDialog([&](TfrmSkanuj& d) {
        ChooseTestScanner(d);
        QTest::mouseClick(d.btnZacznij, Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&d] { return d.lblPostep->text() == QStringLiteral("Strona 4…"); }, 30000));
        EXPECT_EQ(QApplication::focusWidget(), d.btnPrzerwij);
        Key(Qt::Key_Space);
        ASSERT_TRUE(QTest::qWaitFor([&d] { return d.btnZacznij->isEnabled(); }, 30000));
        after = d.lblPostep->text();
        Key(Qt::Key_Escape);
    });
    EXPECT_EQ(after, QStringLiteral("Skanowanie przerwane. Zeskanowano 3 strony."));
    EXPECT_EQ(win.Pages(), 3u);
    EXPECT_FALSE(win.w->Run().Running) << "no analysis without the question";
}

TEST(ScanDialog, WithoutAScannerItSaysSo) {
    TSaneTestConfig sane;
    quorlen::testing::WriteFileBytes(sane.Dir() + "/dll.conf", "");
    TScanWindow win;
    win.OpenScanDialog([&](TfrmSkanuj& d) {
        ASSERT_TRUE(QTest::qWaitFor([&d] { return d.btnSzukaj->isEnabled(); }, 20000));
        EXPECT_EQ(d.lblPostep->text(), QStringLiteral("Nie znaleziono skanera."));
        EXPECT_FALSE(d.btnZacznij->isEnabled());
        Key(Qt::Key_Escape);
    });
    EXPECT_EQ(win.Pages(), 0u);
}

TEST(ScanDialog, AJamIsReportedInAnErrorBox) {
    TSaneTestConfig sane(80, 100, "read-status-code \"SANE_STATUS_JAMMED\"\n");
    TScanWindow win;
    win.OpenScanDialog([&](TfrmSkanuj& d) {
        ChooseTestScanner(d);
        QTest::mouseClick(d.btnZacznij, Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !win.errors.empty(); }, 30000));
        EXPECT_EQ(d.lblPostep->text(), QStringLiteral("Wystąpił błąd."));
        QTest::mouseClick(d.btnZamknij, Qt::LeftButton);
    });
    ASSERT_EQ(win.errors.size(), 1u);
    EXPECT_EQ(win.errors[0], QStringLiteral("Błąd: ") + QString::fromStdString(ScannerStatusMessage(6)));
    EXPECT_EQ(win.Pages(), 0u);
}

// The README's picture of the dialog in the middle of a batch. Skipped unless
// QUORLEN_SCREENSHOT_DIR names a folder; scripts/screenshots.sh runs it under Xvfb.
TEST(Screenshots, ScanDialog) {
    const QString dir = qEnvironmentVariable("QUORLEN_SCREENSHOT_DIR");
    if (dir.isEmpty()) GTEST_SKIP() << "set QUORLEN_SCREENSHOT_DIR to take the README's pictures";
    TSaneTestConfig sane(40, 40, "read-delay true\nread-delay-duration 150000\n");
    TScanWindow win;
    win.OpenScanDialog([&](TfrmSkanuj& d) {
        ChooseTestScanner(d);
        QTest::mouseClick(d.btnZacznij, Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&d] { return d.lblPostep->text() == QStringLiteral("Strona 3…"); }, 30000));
        QTest::qWait(100);
        d.grab().save(dir + QStringLiteral("/scan-dialog.png"));
        QTest::mouseClick(d.btnPrzerwij, Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&d] { return d.btnZacznij->isEnabled(); }, 30000));
        Key(Qt::Key_Escape);
    });
}
