#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QToolButton>
#include <functional>
#include <memory>

#include "app/batch/FormScaner2.h"
#include "app/batch/QtBatchHost.h"
#include "app/batch/ShowWyniki.h"
#include "app/printing/WhatPrint.h"
#include "core/batch/BatchRun.h"
#include "core/project/ProjectSettings.h"

namespace quorlen {

// The main window: the project panel above, the batch run's button, progress
// and the results' save button below. Dialogs go through replaceable hooks so
// that tests can answer them without a person.
class TFormMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TFormMain(QWidget* parent = nullptr);
    ~TFormMain() override;

    // Hooks for the standard dialogs; an empty string means cancelled.
    std::function<QString()> ChooseProjectFile;
    std::function<QString(const QString& proposed)> ChooseSaveProjectFile;
    std::function<QString()> ChooseScanFolder;
    std::function<QString()> ChooseResultsFile;
    // Shows the print options modally; they print on OK.
    std::function<int(TfrmWhatPrint& dialog)> ExecWhatPrint = [](TfrmWhatPrint& dialog) { return dialog.exec(); };
    std::function<QMessageBox::StandardButton(const QString& text, const QString& caption, QMessageBox::Icon icon,
                                              QMessageBox::StandardButtons buttons,
                                              QMessageBox::StandardButton defaultButton)>
        Ask;
    // Shows the operator dialog modally and returns its result.
    std::function<int(TFormScaner2& dialog)> ExecScaner;

    // The operator's handlers of the batch's questions, on the GUI thread.
    void GetStartPoint(TSkanItem& sender, TRect area, TPoint& pt, bool& ok);
    void GetOdp(TSkanItem& sender, TRect area, int count, std::string& answer, bool& ok);

    // Replaces the current project by the file's; throws std::runtime_error
    // when it cannot be read, before anything has changed.
    void LoadProjectFile(const QString& path);
    TProjectSettings CurrentSettings() const;
    bool SaveState() const { return saveState_; }
    TBatchRun& Run() { return *run_; }
    const Json& LastResults() const { return lastResults_; }
    // The results view, created on first use and kept.
    TfrmShowWyniki* ResultsView();

    // Handlers, public so that menus, automation and tests reach them.
    void btnSaveClick();
    void btnExecuteClick();
    void btnSaveWynikiClick();
    void edtProjectFileBrowse();
    void edtScanFolderBrowse();

private:
    void BuildControls();
    void SetSaveState(bool save);
    void RefreshLetters();
    void ClampField(QLineEdit* edit, int lo, int hi);
    void EnableSettings(bool on);
    void ShowSettings(const TProjectSettings& s);

    TProjectSettings project_;
    bool saveState_ = false;
    bool loading_ = false;
    Json lastResults_;
    TQtBatchHost host_;
    std::unique_ptr<TBatchRun> run_;
    std::unique_ptr<TfrmShowWyniki> resultsView_;

    QLabel *lblProjectFile_, *lblProjectName_, *lblIlePyt_, *lblCount_, *lblWYbor_, *Label1_, *Label2_, *lblLetters_,
        *lblStatus_;
    QLineEdit *edtProjectFile_, *edtProjectName_, *edtIlePyt_, *edtIleOdp_, *edtScanFolder_;
    QToolButton *btnProjectFile_, *btnScanFolder_;
    QRadioButton *rbOnlyOne_, *rbMultiOne_;
    QCheckBox *chkKontrPuste_, *chkSkanJakPoprzedni_;
    QSlider* tbrPoziom_;
    QPushButton *btnSave_, *btnExecute_, *btnSaveWyniki_;
    QProgressBar* ProgressBar_;
};

// "AB" and the following letters up to the answer count.
QString LettersFor(int answerCount);

}  // namespace quorlen
