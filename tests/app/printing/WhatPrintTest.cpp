#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPrinterInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "PrintTestSupport.h"
#include "app/printing/PrintJob.h"
#include "app/printing/WhatPrint.h"
#include "app/shell/FormMain.h"
#include "support/TestSupport.h"

using namespace quorlen;
using namespace quorlen::printtest;
using quorlen::testing::TempDir;
using quorlen::testing::WriteFileBytes;

namespace {

template <class T>
T* Find(QWidget& w, const char* name) {
    T* widget = w.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

TProjectSettings Project() {
    TProjectSettings p;
    p.QuestionCount = 20;
    p.AnswerCount = 4;
    p.ProjectName = "Klasówka";
    return p;
}

// A dialog whose standard dialogs answer from the test: the PDF destination
// writes `pdf`, errors are recorded.
struct Dialog {
    TfrmWhatPrint d{Project(), QStringLiteral("Brenvik Analizator arkuszy odpowiedzi")};
    std::string pdf;
    int pdfAsked = 0;
    std::vector<QString> errors;
    explicit Dialog(std::string pdfPath) : pdf(std::move(pdfPath)) {
        d.ChoosePdfFile = [this] {
            ++pdfAsked;
            return QString::fromStdString(pdf);
        };
        d.ShowError = [this](const QString& text) { errors.push_back(text); };
        d.ChooseCodesFile = [](const QString&) -> QString {
            ADD_FAILURE() << "unexpected file chooser";
            return {};
        };
        QComboBox* printers = Find<QComboBox>(d, "cbbPrinters");
        printers->setCurrentIndex(printers->findText(QStringLiteral("Plik PDF")));
    }
    void SetCodesFile(const std::string& path) {
        d.ChooseCodesFile = [path](const QString&) { return QString::fromStdString(path); };
        d.edtCodesFileBrowse();
    }
    void PreFill(bool on) { Find<QCheckBox>(d, "chkPreFillStud")->setChecked(on); }
    void Count(int n) { Find<QSpinBox>(d, "sePageCount")->setValue(n); }
    void ClickOK() { QTest::mouseClick(Find<QPushButton>(d, "btnOK"), Qt::LeftButton); }
};

}  // namespace

TEST(WhatPrint, ControlsStartAsTheOperatorExpects) {
    TfrmWhatPrint d(Project(), QStringLiteral("x"));
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Opcje wydruku"));
    EXPECT_EQ(Find<QCheckBox>(d, "chkPreFillStud")->text(), QStringLiteral("Wstępnie wypełnij kod arkusza"));
    EXPECT_FALSE(Find<QCheckBox>(d, "chkPreFillStud")->isChecked());
    EXPECT_EQ(Find<QRadioButton>(d, "rgPreFillCodeItem0")->text(), QStringLiteral("pobierz z pliku"));
    EXPECT_EQ(Find<QRadioButton>(d, "rgPreFillCodeItem1")->text(), QStringLiteral("zacznij od"));
    EXPECT_EQ(d.PreFillCodeIndex(), TfrmWhatPrint::StartFrom);
    EXPECT_EQ(Find<QLineEdit>(d, "edtCodesFile")->toolTip(),
              QStringLiteral("Nazwa pliku z kodami arkuszy.\nW jednym wierszu pliku należy podać unikalny kod "
                             "(maxymalnie 10 cyfr)\nIlość wierszy(kodów) jest nieograniczona"));
    QSpinBox* start = Find<QSpinBox>(d, "seStartFrom");
    EXPECT_EQ(start->minimum(), 1);
    EXPECT_EQ(start->maximum(), 999999);
    EXPECT_EQ(start->value(), 1);
    EXPECT_EQ(start->toolTip(), QStringLiteral("Quorlen wydrukuje kody arkuszy zaczynając od numeru .."));
    QSpinBox* count = Find<QSpinBox>(d, "sePageCount");
    EXPECT_EQ(count->minimum(), 1);
    EXPECT_EQ(count->maximum(), 1000);
    EXPECT_EQ(count->value(), 1);
    EXPECT_EQ(count->toolTip(), QStringLiteral("Ilość wydrukowanych arkuszy"));
    EXPECT_EQ(Find<QLabel>(d, "lblPageCount")->text(), QStringLiteral("Ilość arkuszy"));
    EXPECT_EQ(Find<QLabel>(d, "lblPrinters")->text(), QStringLiteral("Drukarka"));
    EXPECT_EQ(Find<QPushButton>(d, "btnPrinterSetup")->toolTip(), QStringLiteral("Ustawienia drukarki"));
    EXPECT_TRUE(Find<QProgressBar>(d, "pbProgressBar")->isHidden());
    EXPECT_EQ(Find<QPushButton>(d, "btnOK")->text(), QStringLiteral("OK"));
    EXPECT_TRUE(Find<QPushButton>(d, "btnOK")->isDefault());
    EXPECT_EQ(Find<QPushButton>(d, "btnCancel")->text(), QStringLiteral("Anuluj"));

    // Every print queue, then the PDF file; the default queue is chosen when
    // there is one, the PDF file otherwise.
    QComboBox* printers = Find<QComboBox>(d, "cbbPrinters");
    const QStringList queues = InstalledPrinters();
    ASSERT_EQ(printers->count(), queues.size() + 1);
    for (int i = 0; i < queues.size(); ++i) EXPECT_EQ(printers->itemText(i), queues[i]);
    EXPECT_EQ(printers->itemText(printers->count() - 1), QStringLiteral("Plik PDF"));
    EXPECT_EQ(printers->currentIndex(), 0);
    if (queues.isEmpty())
        EXPECT_EQ(d.Printer().outputFormat(), QPrinter::PdfFormat);
    else
        EXPECT_EQ(d.Printer().printerName(), queues[0]);
}

TEST(WhatPrint, EnablingFollowsThePreFillChoice) {
    TfrmWhatPrint d(Project(), QStringLiteral("x"));
    QCheckBox* preFill = Find<QCheckBox>(d, "chkPreFillStud");
    struct Case {
        bool PreFill;
        int Index;
        bool Codes, PageCount;
    };
    for (const Case& c :
         {Case{false, TfrmWhatPrint::StartFrom, false, true}, Case{false, TfrmWhatPrint::FromFile, false, true},
          Case{true, TfrmWhatPrint::StartFrom, true, true}, Case{true, TfrmWhatPrint::FromFile, true, false}}) {
        SCOPED_TRACE(std::to_string(c.PreFill) + "/" + std::to_string(c.Index));
        preFill->setChecked(c.PreFill);
        d.SetPreFillCodeIndex(c.Index);
        EXPECT_EQ(Find<QGroupBox>(d, "rgPreFillCode")->isEnabled(), c.Codes);
        EXPECT_EQ(Find<QLineEdit>(d, "edtCodesFile")->isEnabled(), c.Codes);
        EXPECT_EQ(Find<QSpinBox>(d, "seStartFrom")->isEnabled(), c.Codes);
        EXPECT_EQ(Find<QSpinBox>(d, "sePageCount")->isEnabled(), c.PageCount);
    }
}

TEST(WhatPrint, ChoosingAFileOrAStartSelectsItsWay) {
    TempDir dir("whatprint");
    const std::string codes = dir.File("kody.txt");
    WriteFileBytes(codes, "1\r\n");
    Dialog t(dir.File("unused.pdf"));
    t.PreFill(true);
    t.SetCodesFile(codes);
    EXPECT_EQ(t.d.PreFillCodeIndex(), TfrmWhatPrint::FromFile);
    EXPECT_FALSE(Find<QSpinBox>(t.d, "sePageCount")->isEnabled());
    Find<QSpinBox>(t.d, "seStartFrom")->setValue(17);
    EXPECT_EQ(t.d.PreFillCodeIndex(), TfrmWhatPrint::StartFrom);
    EXPECT_TRUE(Find<QSpinBox>(t.d, "sePageCount")->isEnabled());
    t.SetCodesFile(dir.File("nie-ma.txt"));
    EXPECT_EQ(Find<QLineEdit>(t.d, "edtCodesFile")->text().toStdString(), dir.File("nie-ma.txt"));
    EXPECT_EQ(t.d.PreFillCodeIndex(), TfrmWhatPrint::StartFrom);
    // Declining the chooser changes nothing.
    t.SetCodesFile(codes);
    t.d.ChooseCodesFile = [](const QString&) { return QString(); };
    t.d.edtCodesFileBrowse();
    EXPECT_EQ(t.d.PreFillCodeIndex(), TfrmWhatPrint::FromFile);
}

TEST(WhatPrint, OkBuildsTheCodesListEachWay) {
    TempDir dir("whatprint");
    const std::string codesFile = dir.File("kody.txt");
    WriteFileBytes(codesFile, "12\r\n\r\nabc\r\n");
    struct Case {
        const char* Name;
        std::function<void(Dialog&)> Setup;
        std::vector<std::string> Codes;
    };
    const std::vector<Case> cases = {
        {"pre-fill off", [](Dialog& t) { t.Count(3); }, {"", "", ""}},
        {"file: the lines decide, the count is ignored",
         [&](Dialog& t) {
             t.Count(5);
             t.PreFill(true);
             t.SetCodesFile(codesFile);
         },
         {"12", "", ""}},
        {"file missing: the count without codes",
         [&](Dialog& t) {
             t.PreFill(true);
             t.SetCodesFile(codesFile);
             Find<QLineEdit>(t.d, "edtCodesFile")->setText(QString::fromStdString(dir.File("gone.txt")));
             t.Count(2);
         },
         {"", ""}},
        {"file name empty: the count without codes",
         [](Dialog& t) {
             t.PreFill(true);
             t.d.SetPreFillCodeIndex(TfrmWhatPrint::FromFile);
             t.Count(2);
         },
         {"", ""}},
        {"start from 5",
         [](Dialog& t) {
             t.PreFill(true);
             Find<QSpinBox>(t.d, "seStartFrom")->setValue(5);
             t.Count(2);
         },
         {"5", "6"}},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Dialog t(dir.File("out" + std::to_string(n++) + ".pdf"));
        c.Setup(t);
        t.ClickOK();
        EXPECT_EQ(t.d.result(), QDialog::Accepted);
        EXPECT_TRUE(t.errors.empty());
        EXPECT_EQ(t.pdfAsked, 1);
        EXPECT_EQ(t.d.SheetsPrinted(), static_cast<int>(c.Codes.size()));
        QProgressBar* bar = Find<QProgressBar>(t.d, "pbProgressBar");
        EXPECT_EQ(bar->maximum(), static_cast<int>(c.Codes.size()));
        EXPECT_EQ(bar->value(), bar->maximum());
        EXPECT_TRUE(Find<QPushButton>(t.d, "btnOK")->isHidden());
        EXPECT_EQ(ReadCodes(t.pdf), c.Codes);
    }
}

TEST(WhatPrint, CancelBeforeOkPrintsNothing) {
    TempDir dir("whatprint");
    Dialog t(dir.File("never.pdf"));
    t.Count(3);
    t.d.show();
    QTest::mouseClick(Find<QPushButton>(t.d, "btnCancel"), Qt::LeftButton);
    EXPECT_EQ(t.d.result(), QDialog::Rejected);
    EXPECT_FALSE(t.d.isVisible());
    EXPECT_EQ(t.pdfAsked, 0);
    EXPECT_FALSE(std::filesystem::exists(t.pdf));
}

TEST(WhatPrint, DecliningThePdfNameLeavesTheDialogReady) {
    TempDir dir("whatprint");
    Dialog t(dir.File("never.pdf"));
    t.d.show();
    t.d.ChoosePdfFile = [] { return QString(); };
    t.ClickOK();
    EXPECT_TRUE(t.d.isVisible());
    EXPECT_FALSE(Find<QPushButton>(t.d, "btnOK")->isHidden());
    EXPECT_TRUE(Find<QProgressBar>(t.d, "pbProgressBar")->isHidden());
    EXPECT_FALSE(std::filesystem::exists(t.pdf));
}

TEST(WhatPrint, CancelDuringTheThirdOfTenSheetsStopsAfterIt) {
    TempDir dir("whatprint");
    Dialog t(dir.File("stopped.pdf"));
    t.Count(10);
    t.d.show();
    QPushButton* cancel = Find<QPushButton>(t.d, "btnCancel");
    // The operator clicks while the third sheet is being printed: the click
    // waits in the queue until the job lets input through after that sheet.
    QObject::connect(Find<QProgressBar>(t.d, "pbProgressBar"), &QProgressBar::valueChanged, cancel, [cancel](int v) {
        if (v == 2) QTimer::singleShot(0, cancel, [cancel] { QTest::mouseClick(cancel, Qt::LeftButton); });
    });
    t.ClickOK();
    EXPECT_FALSE(t.d.isVisible());
    EXPECT_EQ(t.d.SheetsPrinted(), 3);
    EXPECT_EQ(PdfPageCount(t.pdf), 3);
    ASSERT_EQ(t.errors.size(), 1u);
    EXPECT_EQ(t.errors[0], QStringLiteral("Wydruk przerwany przez Użytkownika."));
}

TEST(WhatPrint, AFailingPrinterClosesTheDialogAndShowsTheError) {
    TempDir dir("whatprint");
    Dialog t(dir.File("no-such-folder/x.pdf"));
    t.d.show();
    t.ClickOK();
    EXPECT_FALSE(t.d.isVisible());
    EXPECT_EQ(t.d.result(), QDialog::Accepted);
    ASSERT_EQ(t.errors.size(), 1u);
    EXPECT_TRUE(t.errors[0].startsWith(QStringLiteral("Nie można rozpocząć wydruku"))) << t.errors[0].toStdString();
}

TEST(WhatPrint, PrinterSetupShapesTheJob) {
    TempDir dir("whatprint");
    Dialog t(dir.File("letter.pdf"));
    int setups = 0;
    t.d.ExecPrinterSetup = [&](QPrinter& printer) {
        ++setups;
        EXPECT_EQ(printer.outputFormat(), QPrinter::PdfFormat);
        printer.setPageSize(QPageSize(QPageSize::Letter));
    };
    QTest::mouseClick(Find<QPushButton>(t.d, "btnPrinterSetup"), Qt::LeftButton);
    EXPECT_EQ(setups, 1);
    t.ClickOK();
    ASSERT_EQ(PdfPageCount(t.pdf), 1);
    std::string info;
    quorlen::testing::RunCommand("pdfinfo '" + t.pdf + "'", &info);
    EXPECT_NE(info.find("(letter)"), std::string::npos) << info;
}

TEST(WhatPrint, ChoosingAQueueMovesThePrinterThereAndBack) {
    const QStringList queues = InstalledPrinters();
    if (queues.isEmpty()) GTEST_SKIP() << "the print service lists no queue";
    TempDir dir("whatprint");
    Dialog t(dir.File("unused.pdf"));
    QComboBox* printers = Find<QComboBox>(t.d, "cbbPrinters");
    printers->setCurrentIndex(0);
    EXPECT_EQ(t.d.Printer().outputFormat(), QPrinter::NativeFormat);
    EXPECT_EQ(t.d.Printer().printerName(), queues[0]);
    printers->setCurrentIndex(printers->count() - 1);
    EXPECT_EQ(t.d.Printer().outputFormat(), QPrinter::PdfFormat);
}

TEST(WhatPrint, MainWindowPrintsTheCurrentProjectUnderItsCaption) {
    TempDir dir("whatprint");
    TFormMain w;
    std::vector<std::pair<QString, QString>> asked;
    w.Ask = [&](const QString& text, const QString& caption, QMessageBox::Icon, QMessageBox::StandardButtons,
                QMessageBox::StandardButton) {
        asked.emplace_back(text, caption);
        return QMessageBox::Ok;
    };
    for (const auto& [name, text] : {std::pair{"edtIlePyt", "200"}, std::pair{"edtIleOdp", "16"}}) {
        QLineEdit* edit = Find<QLineEdit>(w, name);
        edit->setText(QString::fromLatin1(text));
        emit edit->editingFinished();
    }
    ASSERT_FALSE(w.SaveState());
    std::string pdf = dir.File("main.pdf");
    int opened = 0;
    w.ExecWhatPrint = [&](TfrmWhatPrint& d) {
        ++opened;
        EXPECT_EQ(d.parentWidget(), &w);
        QComboBox* printers = Find<QComboBox>(d, "cbbPrinters");
        printers->setCurrentIndex(printers->count() - 1);
        d.ChoosePdfFile = [&] { return QString::fromStdString(pdf); };
        d.btnOKClick();
        return d.result();
    };
    w.btnSaveClick();
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(asked.empty());
    // 200 questions of 16 answers need the continuation page.
    EXPECT_EQ(PdfPageCount(pdf), 2);
    EXPECT_EQ(PdfTitle(pdf), w.windowTitle().toStdString());

    // The job's error reaches the operator through the window's message box.
    pdf = dir.File("no-such-folder/main.pdf");
    w.btnSaveClick();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].second, QStringLiteral("Błąd"));
    EXPECT_TRUE(asked[0].first.startsWith(QStringLiteral("Nie można rozpocząć wydruku")));
}
