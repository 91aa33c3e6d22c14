#include "app/printing/WhatPrint.h"

#include <QApplication>
#include <QButtonGroup>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>
#include <stdexcept>

#include "app/printing/PrintJob.h"
#include "core/printing/CodesList.h"

namespace quorlen {

const char* const PrintAbortedMessage = "Wydruk przerwany przez Użytkownika.";

namespace {

// Hints are written with Windows line ends; a tooltip breaks lines at LF.
QString Hint(const char* text) { return QString::fromUtf8(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

}  // namespace

TfrmWhatPrint::TfrmWhatPrint(const TProjectSettings& project, const QString& documentTitle, QWidget* parent)
    : QDialog(parent),
      project_(project),
      documentTitle_(documentTitle),
      printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
    setObjectName(QStringLiteral("frmWhatPrint"));
    setWindowTitle(QStringLiteral("Opcje wydruku"));
    BuildControls();

    ChooseCodesFile = [this](const QString& current) {
        QFileDialog dialog(this, QStringLiteral("Wybierz plik z kodami"), current,
                           QStringLiteral("Pliki tekstowe (*.txt)"));
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        // A name that does not exist is allowed: it switches to "zacznij od".
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(QStringLiteral("txt"));
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    };
    ChoosePdfFile = [this] {
        QFileDialog dialog(this, PdfDestinationName(), QString(), QStringLiteral("Pliki PDF (*.pdf)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("pdf"));
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    };
    ExecPrinterSetup = [this](QPrinter& printer) {
        QPageSetupDialog dialog(&printer, this);
        dialog.exec();
    };
    ShowError = [this](const QString& text) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Błąd"), text, QMessageBox::Ok, parentWidget());
        box.exec();
    };

    FormCreate();
}

TfrmWhatPrint::~TfrmWhatPrint() = default;

void TfrmWhatPrint::BuildControls() {
    QButtonGroup* group = BuildCodeGroup();
    BuildPrinterRows();
    BuildButtonRow();
    ArrangeControls();
    ConnectControls(group);
}

// The sheet codes: none, from a file or counted from a number.
QButtonGroup* TfrmWhatPrint::BuildCodeGroup() {
    chkPreFillStud_ = new QCheckBox(QStringLiteral("Wstępnie wypełnij kod arkusza"), this);
    chkPreFillStud_->setObjectName(QStringLiteral("chkPreFillStud"));

    rgPreFillCode_ = new QGroupBox(this);
    rgPreFillCode_->setObjectName(QStringLiteral("rgPreFillCode"));
    rbFromFile_ = new QRadioButton(QStringLiteral("pobierz z pliku"), rgPreFillCode_);
    rbFromFile_->setObjectName(QStringLiteral("rgPreFillCodeItem0"));
    rbStartFrom_ = new QRadioButton(QStringLiteral("zacznij od"), rgPreFillCode_);
    rbStartFrom_->setObjectName(QStringLiteral("rgPreFillCodeItem1"));
    auto* group = new QButtonGroup(rgPreFillCode_);
    group->addButton(rbFromFile_, FromFile);
    group->addButton(rbStartFrom_, StartFrom);
    rbStartFrom_->setChecked(true);

    edtCodesFile_ = new QLineEdit(rgPreFillCode_);
    edtCodesFile_->setObjectName(QStringLiteral("edtCodesFile"));
    edtCodesFile_->setToolTip(
        Hint("Nazwa pliku z kodami arkuszy.\r\nW jednym wierszu pliku należy podać unikalny kod "
             "(maxymalnie 10 cyfr)\r\nIlość wierszy(kodów) jest nieograniczona"));
    btnCodesFile_ = new QToolButton(rgPreFillCode_);
    btnCodesFile_->setObjectName(QStringLiteral("btnCodesFile"));
    btnCodesFile_->setText(QStringLiteral("…"));
    btnCodesFile_->setToolTip(edtCodesFile_->toolTip());

    seStartFrom_ = new QSpinBox(rgPreFillCode_);
    seStartFrom_->setObjectName(QStringLiteral("seStartFrom"));
    seStartFrom_->setRange(1, 999999);
    seStartFrom_->setValue(1);
    seStartFrom_->setToolTip(Hint("Quorlen wydrukuje kody arkuszy zaczynając od numeru .."));

    auto* groupLayout = new QGridLayout(rgPreFillCode_);
    groupLayout->addWidget(rbFromFile_, 0, 0);
    groupLayout->addWidget(edtCodesFile_, 0, 1);
    groupLayout->addWidget(btnCodesFile_, 0, 2);
    groupLayout->addWidget(rbStartFrom_, 1, 0);
    groupLayout->addWidget(seStartFrom_, 1, 1, 1, 2);
    return group;
}

// The sheet count and the printer.
void TfrmWhatPrint::BuildPrinterRows() {
    lblPageCount_ = new QLabel(QStringLiteral("Ilość arkuszy"), this);
    lblPageCount_->setObjectName(QStringLiteral("lblPageCount"));
    sePageCount_ = new QSpinBox(this);
    sePageCount_->setObjectName(QStringLiteral("sePageCount"));
    sePageCount_->setRange(1, 1000);
    sePageCount_->setValue(1);
    sePageCount_->setToolTip(Hint("Ilość wydrukowanych arkuszy"));
    lblPageCount_->setBuddy(sePageCount_);

    lblPrinters_ = new QLabel(QStringLiteral("Drukarka"), this);
    lblPrinters_->setObjectName(QStringLiteral("lblPrinters"));
    cbbPrinters_ = new QComboBox(this);
    cbbPrinters_->setObjectName(QStringLiteral("cbbPrinters"));
    lblPrinters_->setBuddy(cbbPrinters_);
    btnPrinterSetup_ = new QPushButton(QStringLiteral("…"), this);
    btnPrinterSetup_->setObjectName(QStringLiteral("btnPrinterSetup"));
    btnPrinterSetup_->setToolTip(Hint("Ustawienia drukarki"));
}

// The print's progress beside OK and Cancel.
void TfrmWhatPrint::BuildButtonRow() {
    pbProgressBar_ = new QProgressBar(this);
    pbProgressBar_->setObjectName(QStringLiteral("pbProgressBar"));
    pbProgressBar_->setFormat(QStringLiteral("%p%"));
    pbProgressBar_->setValue(0);
    pbProgressBar_->hide();

    btnOK_ = new QPushButton(QStringLiteral("OK"), this);
    btnOK_->setObjectName(QStringLiteral("btnOK"));
    btnOK_->setDefault(true);
    btnCancel_ = new QPushButton(QStringLiteral("Anuluj"), this);
    btnCancel_->setObjectName(QStringLiteral("btnCancel"));
}

void TfrmWhatPrint::ArrangeControls() {
    auto* form = new QGridLayout;
    form->addWidget(lblPageCount_, 0, 0);
    form->addWidget(sePageCount_, 0, 1, 1, 2);
    form->addWidget(lblPrinters_, 1, 0);
    form->addWidget(cbbPrinters_, 1, 1);
    form->addWidget(btnPrinterSetup_, 1, 2);
    form->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(pbProgressBar_, 1);
    buttons->addStretch();
    buttons->addWidget(btnOK_);
    buttons->addWidget(btnCancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(chkPreFillStud_);
    layout->addWidget(rgPreFillCode_);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TfrmWhatPrint::ConnectControls(QButtonGroup* group) {
    connect(chkPreFillStud_, &QCheckBox::toggled, this, [this] { chkPreFillStudClick(); });
    connect(group, &QButtonGroup::idToggled, this, [this](int, bool) { chkPreFillStudClick(); });
    connect(btnCodesFile_, &QToolButton::clicked, this, [this] { edtCodesFileBrowse(); });
    connect(seStartFrom_, &QSpinBox::valueChanged, this, [this] { seStartFromChange(); });
    connect(cbbPrinters_, &QComboBox::currentIndexChanged, this, [this] { cbbPrintersChange(); });
    connect(btnPrinterSetup_, &QPushButton::clicked, this, [this] { btnPrinterSetupClick(); });
    connect(btnOK_, &QPushButton::clicked, this, [this] { btnOKClick(); });
    connect(btnCancel_, &QPushButton::clicked, this, [this] { btnCancelClick(); });
}

void TfrmWhatPrint::FormCreate() {
    const QStringList printers = InstalledPrinters();
    for (const QString& name : printers) cbbPrinters_->addItem(name, name);
    // The PDF file is the destination of last resort: chosen at start only on
    // a machine without a print queue.
    cbbPrinters_->addItem(PdfDestinationName(), QString());
    cbbPrinters_->setCurrentIndex(0);
    cbbPrintersChange();
    chkPreFillStudClick();
}

int TfrmWhatPrint::PreFillCodeIndex() const { return rbFromFile_->isChecked() ? FromFile : StartFrom; }

void TfrmWhatPrint::SetPreFillCodeIndex(int index) {
    (index == FromFile ? rbFromFile_ : rbStartFrom_)->setChecked(true);
}

void TfrmWhatPrint::chkPreFillStudClick() {
    const bool preFill = chkPreFillStud_->isChecked();
    rgPreFillCode_->setEnabled(preFill);
    edtCodesFile_->setEnabled(preFill);
    btnCodesFile_->setEnabled(preFill);
    seStartFrom_->setEnabled(preFill);
    sePageCount_->setEnabled(!(preFill && PreFillCodeIndex() == FromFile));
}

void TfrmWhatPrint::edtCodesFileBrowse() {
    const QString chosen = ChooseCodesFile(edtCodesFile_->text());
    if (chosen.isEmpty()) return;
    edtCodesFile_->setText(chosen);
    edtCodesFileAfterDialog();
}

void TfrmWhatPrint::edtCodesFileAfterDialog() {
    SetPreFillCodeIndex(QFileInfo(edtCodesFile_->text()).isFile() ? FromFile : StartFrom);
}

void TfrmWhatPrint::seStartFromChange() { SetPreFillCodeIndex(StartFrom); }

void TfrmWhatPrint::cbbPrintersChange() {
    const QString name = cbbPrinters_->currentData().toString();
    if (name.isEmpty()) {
        if (printer_->outputFormat() != QPrinter::PdfFormat) SetPdfOutput(*printer_, QString());
    } else if (printer_->outputFormat() != QPrinter::NativeFormat || printer_->printerName() != name) {
        printer_->setPrinterName(name);
    }
}

void TfrmWhatPrint::btnPrinterSetupClick() {
    cbbPrintersChange();
    ExecPrinterSetup(*printer_);
}

void TfrmWhatPrint::btnOKClick() {
    if (printing_) return;
    cbbPrintersChange();
    if (printer_->outputFormat() == QPrinter::PdfFormat) {
        // Asked before anything changes: declining the name leaves the dialog
        // as it was, ready for another choice.
        const QString file = ChoosePdfFile();
        if (file.isEmpty()) return;
        printer_->setOutputFileName(file);
        if (printer_->outputFormat() != QPrinter::PdfFormat) SetPdfOutput(*printer_, file);
    }
    btnOK_->hide();
    pbProgressBar_->show();
    // The job must not move to another printer or page size under way.
    cbbPrinters_->setEnabled(false);
    btnPrinterSetup_->setEnabled(false);
    const int count = std::max(1, sePageCount_->value());

    QString error;
    printing_ = true;
    cancelRequested_ = false;
    progressStarted_ = false;
    sheetsPrinted_ = 0;
    try {
        std::optional<std::vector<std::string>> codes;
        if (chkPreFillStud_->isChecked()) {
            if (PreFillCodeIndex() == FromFile) {
                const QString file = edtCodesFile_->text();
                codes.emplace();
                if (!file.isEmpty() && QFileInfo(file).isFile()) *codes = ReadCodesFile(file.toStdString());
            } else {
                codes = CodesStartingFrom(seStartFrom_->value(), count);
            }
        }
        sheetsPrinted_ = PrintSheets(*printer_, project_, documentTitle_, count, codes ? &*codes : nullptr,
                                     [this](int done, int total) { Progress(done, total); });
    } catch (const std::exception& e) {
        error = QString::fromStdString(e.what());
    }
    printing_ = false;
    done(QDialog::Accepted);
    if (!error.isEmpty()) ShowError(error);
}

void TfrmWhatPrint::Progress(int done, int count) {
    // Lets the cancel click, and repaints, arrive between sheets.
    QApplication::processEvents();
    if (!progressStarted_) {
        pbProgressBar_->setMaximum(count);
        progressStarted_ = true;
    }
    pbProgressBar_->setValue(done);
    sheetsPrinted_ = done;
    if (cancelRequested_) throw std::runtime_error(PrintAbortedMessage);
}

void TfrmWhatPrint::btnCancelClick() { reject(); }

void TfrmWhatPrint::reject() {
    // While printing, closing would leave the job painting into a dead
    // dialog; the job stops at its next progress call and closes it.
    if (printing_) {
        cancelRequested_ = true;
        return;
    }
    QDialog::reject();
}

}  // namespace quorlen
