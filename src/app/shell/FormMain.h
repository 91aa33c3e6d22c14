#pragma once

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
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
    // arguments: the command line without the program's name.
    explicit TFormMain(const QStringList& arguments = {}, QWidget* parent = nullptr);
    ~TFormMain() override;

    // Shell settings remembered in config.json.
    bool DownloadDemoFiles = true;
    bool UseDemoFiles = false;
    bool ConfigDirty = false;
    // False from the end of a run with results until they are written to a
    // file or handed to a plug-in; closing or a new run asks first.
    bool ResultsSaved = true;
    static QString ConfigFilePath();
    static QString DemoProjectPath();

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
    // Shows a dialog that deletes itself when closed (the about box).
    std::function<void(QDialog& dialog)> ExecAbout;
    // The background fetch of the demo archive; started at start-up when
    // downloadDemoFiles is on. main() attaches the demo download
    // (AttachDemoDownload); a window without it fetches nothing.
    std::function<void()> StartDemoDownload;

    // The operator's handlers of the batch's questions, on the GUI thread.
    void GetStartPoint(TSkanItem& sender, TRect area, TPoint& pt, bool& ok);
    void GetOdp(TSkanItem& sender, TRect area, int count, std::string& answer, bool& ok);

    // Replaces the current project by the file's; throws std::runtime_error
    // when it cannot be read, before anything has changed.
    void LoadProjectFile(const QString& path);
    // Shows path in the project-file field and loads it; a file that cannot
    // be read is reported in an error box. False then.
    bool OpenProjectFile(const QString& path);
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
    // The demo question; false when the file dialog must not open.
    bool edtProjectFileBeforeDialog();
    void ShowAboutBox();
    // Keeps the scan-folder row and the track bar sized to the lower panel.
    void Panel2Resize();
    // True when there are no unsaved results or the operator lets them go.
    bool ConfirmDiscardResults();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void Panel1Resize();
    void Panel3Resize();
    void FormCreate(const QStringList& arguments);
    void FormClose();
    // Cancels a run still in progress and waits for every worker before
    // anything they use is freed.
    void StopRunForClose();
    void SetSaveState(bool save);
    void RefreshLetters();
    void ClampField(QLineEdit* edit, int lo, int hi);
    void EnableSettings(bool on);
    void ShowSettings(const TProjectSettings& s);

    TProjectSettings project_;
    bool saveState_ = false;
    bool loading_ = false;
    bool closing_ = false;
    Json lastResults_;
    TQtBatchHost host_;
    std::unique_ptr<TBatchRun> run_;
    std::unique_ptr<TfrmShowWyniki> resultsView_;

    QLabel *lblProjectFile_, *lblProjectName_, *lblIlePyt_, *lblCount_, *lblWYbor_, *Label1_, *Label2_, *lblLetters_,
        *lblStatus_;
    QLineEdit *edtProjectFile_, *edtProjectName_, *edtIlePyt_, *edtIleOdp_, *edtScanFolder_;
    QWidget *Panel1_, *Panel2_, *Panel3_;
    QAction *btnProjectFile_, *btnScanFolder_, *actAbout_;
    QRadioButton *rbOnlyOne_, *rbMultiOne_;
    QCheckBox *chkKontrPuste_, *chkSkanJakPoprzedni_;
    QSlider* tbrPoziom_;
    QPushButton *btnSave_, *btnExecute_, *btnSaveWyniki_;
    QProgressBar* ProgressBar_;
};

// "AB" and the following letters up to the answer count.
QString LettersFor(int answerCount);

}  // namespace quorlen
