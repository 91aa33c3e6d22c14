#pragma once

#include <QCloseEvent>
#include <QDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <functional>
#include <memory>
#include <optional>

#include "app/automation/WindowCommand.h"
#include "app/batch/CodeEntry.h"
#include "app/batch/FormScaner2.h"
#include "app/batch/QtBatchHost.h"
#include "app/batch/ShowWyniki.h"
#include "app/output/SaveWyniki.h"
#include "app/printing/WhatPrint.h"
#include "app/scoring/KeyEditor.h"
#include "app/scoring/ProjectKey.h"
#include "app/shell/MainPanels.h"
#include "app/shell/ScanDialog.h"
#include "core/batch/BatchRun.h"
#include "core/project/ProjectSettings.h"

namespace quorlen {

// The main window: the project panel above, the batch run's button, progress
// and the results' save button below. Dialogs go through replaceable hooks so
// that tests can answer them without a person. Its controls, its answer key
// and another program's command are parts of their own (TMainPanels,
// TProjectKey, TWindowCommand) that it owns.
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
    // Shows the answer-key editor modally and returns its result.
    std::function<int(TfrmKeyEditor& dialog)> ExecKeyEditor = [](TfrmKeyEditor& dialog) { return dialog.exec(); };
    // Shows "Wpisz kod…" modally and returns its result.
    std::function<int(TfrmWpiszKod& dialog)> ExecWpiszKod = [](TfrmWpiszKod& dialog) { return dialog.exec(); };
    // Shows the scan dialog modally and returns its result.
    std::function<int(TfrmSkanuj& dialog)> ExecSkanuj = [](TfrmSkanuj& dialog) { return dialog.exec(); };
    // Opens a file in the desktop's default program (the class report).
    std::function<bool(const QString& path)> OpenInBrowser;
    // Shows a dialog that deletes itself when closed (the about box).
    std::function<void(QDialog& dialog)> ExecAbout;
    // The background fetch of the demo archive; started at start-up when
    // downloadDemoFiles is on. main() attaches the demo download
    // (AttachDemoDownload); a window without it fetches nothing.
    std::function<void()> StartDemoDownload;

    // The operator's handlers of the batch's questions, on the GUI thread.
    void GetStartPoint(const TScanView& scan, TRect area, TPoint& pt, bool& ok);
    void GetOdp(const TScanView& scan, TRect area, int count, std::string& answer, bool& ok);

    // Replaces the current project by the file's; throws std::runtime_error
    // when it cannot be read, before anything has changed.
    void LoadProjectFile(const QString& path);
    // Shows path in the project-file field and loads it; a file that cannot
    // be read is reported in an error box. False then.
    bool OpenProjectFile(const QString& path);
    TProjectSettings CurrentSettings() const;
    bool SaveState() const { return saveState_; }
    TBatchRun& Run() { return *run_; }
    // The check-empty switch the window's runs read: the project's setting,
    // then the operator's clicks.
    const TSharedSwitch& CheckEmptySwitch() const { return checkEmpty_; }
    const Json& LastResults() const { return lastResults_; }
    // The results view, created on first use and kept.
    TfrmShowWyniki* ResultsView();
    // "Wyniki" in the menu: the last run's results again, after the view was closed.
    void ShowLastResults();
    // "Wpisz kod…" on a scan without a result: the operator reads the code off
    // the scan, the sheet is read again under it and becomes an entry.
    void EnterSkippedCode(int skipped);

    // The answer key, kept as <project>.klucz.json beside the project file
    // and loaded with it; with a key, a run's results are scored.
    const std::optional<TAnswerKey>& AnswerKey() const { return key_.Key(); }
    QString KeyFilePath() const { return key_.FilePath(); }
    void btnKluczClick() { key_.Edit(); }
    // Makes the key from the results row's sheet after the teacher confirms.
    void UseRowAsKey(int row) { key_.UseRow(row); }
    // Writes the class report beside the results and opens it.
    void OpenClassReport() { key_.OpenReport(); }

    // Handlers, public so that menus, automation and tests reach them.
    void btnSaveClick();
    void btnExecuteClick();
    // True once the results were written to a file or taken by the plug-in.
    bool btnSaveWynikiClick();
    // The save flow with the exporter plug-in and the save dialog.
    TSaveWyniki& SaveWyniki() { return *saveWyniki_; }
    // The project chooser; a name that is not there yet starts a new project
    // to be saved under it.
    void edtProjectFileBrowse();
    void edtScanFolderBrowse();
    // "Nowy projekt": the defaults (the black level stays, it belongs to the
    // scanner), no key, no results, the main button saving. file is the name
    // it will be saved as; empty asks on save. False when the operator keeps
    // the unsaved project or results instead.
    bool NewProject(const QString& file = QString());
    // Opens the project the last session had open when its file is still
    // there; a file that no longer reads is passed over without a word.
    void OpenLastProject();
    // "Skanuj…": the scanner's pages into the scan folder (chosen first when
    // none is set), then, if the operator says so, the analysis.
    void btnSkanujClick();
    // The demo question; false when the file dialog must not open.
    bool edtProjectFileBeforeDialog();
    void ShowAboutBox();
    // Keeps the scan-folder row and the track bar sized to the lower panel.
    void Panel2Resize() { panels_.LayoutScanPanel(); }
    // True when there are no unsaved results or the operator lets them go.
    bool ConfirmDiscardResults();

    // Another program's command; see TWindowCommand::Run.
    void RunCommand(const QString& params, const TWindowCommand::TSink& sink, TWindowCommand::TDone done) {
        command_.Run(params, sink, std::move(done));
    }
    bool CommandActive() const { return command_.Active(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The parts reach the controls and the results directly.
    friend class TProjectKey;
    friend class TWindowCommand;

    // The controls' signals to the window's handlers.
    void ConnectControls();
    // The batch run's questions and reports to the window.
    void ConnectRun();
    void FormCreate(const QStringList& arguments);
    void FormClose();
    // Cancels a run still in progress and waits for every worker before
    // anything they use is freed.
    void StopRunForClose();
    void SetSaveState(bool save);
    void ShowCancelledProgress();
    void ShowRunCounts();
    // The standard dialogs behind the Choose… hooks.
    void InstallFileDialogs();
    // Where the file dialogs start: the project file's folder, else the scan
    // folder, else the documents folder.
    QString DialogFolder() const;
    // The project file's name without its suffix, else the project's name;
    // what the save dialogs suggest.
    QString FileBaseName() const;
    // Notes the project in config.json for OpenLastProject.
    void RememberProject(const QString& path);
    void ShowSettings(const TProjectSettings& s);

    TMainPanels panels_{*this, this};
    TProjectSettings project_;
    bool saveState_ = false;
    bool loading_ = false;
    bool closing_ = false;
    Json lastResults_;
    TProjectKey key_{*this};
    TSharedSwitch checkEmpty_;
    // Before the batch state, so that the plug-in is unloaded after it.
    std::unique_ptr<TSaveWyniki> saveWyniki_;
    TQtBatchHost host_;
    std::unique_ptr<TBatchRun> run_;
    std::unique_ptr<TfrmShowWyniki> resultsView_;
    TWindowCommand command_{*this};
};

}  // namespace quorlen
