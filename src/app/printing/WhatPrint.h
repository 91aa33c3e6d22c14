#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QToolButton>
#include <functional>
#include <memory>

#include "core/project/ProjectSettings.h"

namespace quorlen {

// The print options: how many sheets, which codes, which printer. OK prints
// the project's sheets while the dialog stays open with a progress bar, and
// "Anuluj" stops the job after the sheet in progress. Standard dialogs go
// through replaceable hooks so that tests answer them without a person.
class TfrmWhatPrint : public QDialog {
    Q_OBJECT
public:
    // Items of rgPreFillCode.
    static constexpr int FromFile = 0, StartFrom = 1;

    TfrmWhatPrint(const TProjectSettings& project, const QString& documentTitle, QWidget* parent = nullptr);
    ~TfrmWhatPrint() override;

    // The codes file chooser, given the current name; empty means cancelled.
    std::function<QString(const QString& current)> ChooseCodesFile;
    // The name of the PDF file to write; empty means cancelled.
    std::function<QString()> ChoosePdfFile;
    // The setup dialog of the chosen printer.
    std::function<void(QPrinter& printer)> ExecPrinterSetup;
    // An error of the job, shown after the dialog has closed.
    std::function<void(const QString& text)> ShowError;

    int PreFillCodeIndex() const;
    void SetPreFillCodeIndex(int index);
    // The printer the job goes to, set up as the operator chose.
    QPrinter& Printer() { return *printer_; }
    bool Printing() const { return printing_; }
    // Sheets the last job sent to the printer, also when it stopped early.
    int SheetsPrinted() const { return sheetsPrinted_; }

    // Handlers, public so that tests reach them.
    void chkPreFillStudClick();
    void edtCodesFileBrowse();
    void edtCodesFileAfterDialog();
    void seStartFromChange();
    void cbbPrintersChange();
    void btnPrinterSetupClick();
    void btnOKClick();
    void btnCancelClick();

    void reject() override;

private:
    void BuildControls();
    QButtonGroup* BuildCodeGroup();
    void BuildPrinterRows();
    void BuildButtonRow();
    void ArrangeControls();
    void ConnectControls(QButtonGroup* group);
    void FormCreate();
    void Progress(int done, int count);

    TProjectSettings project_;
    QString documentTitle_;
    std::unique_ptr<QPrinter> printer_;
    bool printing_ = false;
    bool cancelRequested_ = false;
    bool progressStarted_ = false;
    int sheetsPrinted_ = 0;

    QCheckBox* chkPreFillStud_;
    QGroupBox* rgPreFillCode_;
    QRadioButton *rbFromFile_, *rbStartFrom_;
    QLineEdit* edtCodesFile_;
    QToolButton* btnCodesFile_;
    QSpinBox *seStartFrom_, *sePageCount_;
    QLabel *lblPageCount_, *lblPrinters_;
    QComboBox* cbbPrinters_;
    QPushButton* btnPrinterSetup_;
    QProgressBar* pbProgressBar_;
    QPushButton *btnOK_, *btnCancel_;
};

// The text the job stops with when the operator cancels it.
extern const char* const PrintAbortedMessage;

}  // namespace quorlen
