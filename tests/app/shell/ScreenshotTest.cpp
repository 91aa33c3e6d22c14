// The README's pictures. Skipped unless QUORLEN_SCREENSHOT_DIR names a folder;
// scripts/screenshots.sh runs it under Xvfb.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include "AppTestSupport.h"
#include "app/printing/WhatPrint.h"
#include "app/shell/FormMain.h"
#include "support/TestSupport.h"
#include "testing/ScanSimulator.h"

using namespace quorlen;

TEST(Screenshots, MainWindowOperatorDialogAndResultsView) {
    const QString dir = qEnvironmentVariable("QUORLEN_SCREENSHOT_DIR");
    if (dir.isEmpty()) GTEST_SKIP() << "set QUORLEN_SCREENSHOT_DIR to take the README's pictures";
    quorlen::testing::TempDir scans;
    for (int i = 0; i < 6; ++i) {
        std::vector<std::vector<int>> boxes;
        for (int q = 0; q < 10; ++q) boxes.push_back({(q + i) % 4});
        if (i == 2) boxes[6] = {1, 3};
        quorlen::testing::WriteMarkedScan(scans.File("skan" + std::to_string(i + 1) + ".png"), 10, 4,
                                          std::to_string(1201 + i), boxes, sim::TFileFormat::Png,
                                          "Sprawdzian z fizyki");
    }
    TFormMain w;
    w.UseDemoFiles = false;
    for (auto [name, text] : {std::pair{"edtProjectName", "Sprawdzian z fizyki"}, std::pair{"edtIlePyt", "10"},
                              std::pair{"edtIleOdp", "4"}}) {
        auto* edit = w.findChild<QLineEdit*>(QString::fromLatin1(name));
        edit->clear();
        QTest::keyClicks(edit, QString::fromUtf8(text));
    }
    w.ChooseScanFolder = [&] { return QString::fromStdString(scans.Path().string()); };
    w.edtScanFolderBrowse();
    {
        // A corner question: the three lines of instructions over a crop of
        // the sheet's top-left corner.
        TMonoBitmap corner(160, 120);
        corner.FillRect(30, 40, 160, 42, true);
        corner.FillRect(30, 40, 32, 120, true);
        TFormScaner2 d(&w);
        d.SetMode(qmTopLeft);
        d.ShowScan(corner);
        d.setWindowTitle(QStringLiteral("skan7.png"));
        d.show();
        QTest::qWait(200);
        d.grab().save(dir + QStringLiteral("/operator-corner.png"));
    }
    w.show();
    QTest::qWait(200);
    w.grab().save(dir + QStringLiteral("/main-window.png"));
    {
        TfrmWhatPrint print(w.CurrentSettings(), w.windowTitle(), &w);
        print.findChild<QCheckBox*>(QStringLiteral("chkPreFillStud"))->click();
        print.show();
        QTest::qWait(200);
        print.grab().save(dir + QStringLiteral("/print-options.png"));
    }
    w.ExecScaner = [&](TFormScaner2& d) {
        QTimer::singleShot(300, &d, [&d, dir] {
            d.grab().save(dir + QStringLiteral("/operator-dialog.png"));
            if (QWidget* focused = QApplication::focusWidget()) QTest::keyClick(focused, Qt::Key_B);
        });
        return d.exec();
    };
    w.Run().MaxWorkers = 1;
    w.btnExecuteClick();
    quorlen::testing::WaitForRunEnd(w);
    QTest::qWait(300);
    w.ResultsView()->grab().save(dir + QStringLiteral("/results-view.png"));
}
