#include "app/shell/FormMain.h"

#include <QFileDialog>
#include <QFileInfo>
#include <algorithm>
#include <filesystem>
#include <limits>
#include <map>
#include <thread>

#include "app/automation/AutomationCommand.h"
#include "app/shell/AboutBox.h"
#include "app/shell/CommandLine.h"
#include "app/shell/SpecialFolders.h"
#include "core/project/ProjectFile.h"
#include "core/recognition/ReadScan.h"
#include "core/results/RepeatedCodes.h"
#include "core/settings/ScannerConfig.h"
#include "core/settings/ShellConfig.h"

namespace quorlen {

namespace {
const int kMinWidth = 595;
const int kMinHeight = 300;
}  // namespace

TFormMain::TFormMain(const QStringList& arguments, QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("FormMain"));
    ConnectControls();

    saveWyniki_ = std::make_unique<TSaveWyniki>(this);
    InstallFileDialogs();
    Ask = [this](const QString& text, const QString& caption, QMessageBox::Icon icon,
                 QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton) {
        // Texts of the reading and the plug-in end their lines with CR, as
        // they are stored; a box shows line feeds.
        QString shown = text;
        shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
        QMessageBox box(icon, caption, shown, buttons, this);
        box.setDefaultButton(defaultButton);
        return static_cast<QMessageBox::StandardButton>(box.exec());
    };
    ExecScaner = [](TFormScaner2& dialog) { return dialog.exec(); };
    ExecAbout = [](QDialog& dialog) { dialog.exec(); };

    ConnectRun();
    ShowSettings(project_);
    checkEmpty_.Set(project_.CheckEmpty);
    FormCreate(arguments);
}

TFormMain::~TFormMain() { StopRunForClose(); }

TfrmShowWyniki* TFormMain::ResultsView() {
    if (!resultsView_) {
        resultsView_ = std::make_unique<TfrmShowWyniki>();
        resultsView_->UseAsKey = [this](int row) { UseRowAsKey(row); };
        resultsView_->OpenReport = [this] { OpenClassReport(); };
        resultsView_->EnterCode = [this](int skipped) { EnterSkippedCode(skipped); };
    }
    return resultsView_.get();
}

void TFormMain::ConnectRun() {
    run_ = std::make_unique<TBatchRun>(host_);
    host_.Handler = [this](const TBatchMessage& m) { run_->HandleMessage(m); };
    TBatchOwner& owner = run_->Owner;
    owner.GetStartPoint = [this](const TScanView& scan, TRect area, TPoint& pt, bool& ok) {
        GetStartPoint(scan, area, pt, ok);
    };
    owner.GetOdp = [this](const TScanView& scan, TRect area, int count, std::string& answer, bool& ok) {
        GetOdp(scan, area, count, answer, ok);
    };
    owner.NoScanFiles = [this] {
        Ask(QStringLiteral("Brak plików ze skanera w podanym folderze."), QStringLiteral("Uwaga"),
            QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok);
    };
    owner.ConfirmCancel = [this] {
        return Ask(QStringLiteral("Czy na pewno przerwać cały proces analizy ?"), QStringLiteral("Pytanie"),
                   QMessageBox::Critical, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
    };
    owner.RunningChanged = [this](bool running) {
        panels_.btnExecute->setText(running ? QStringLiteral("Zakończ") : QStringLiteral("Analizuj"));
        if (running) panels_.ProgressBar->setFormat(QStringLiteral("%p%"));
        panels_.btnSave->setEnabled(!running);
        panels_.btnSaveWyniki->setEnabled(!running);
        panels_.btnSkanuj->setEnabled(!running);
        panels_.actWyniki->setEnabled(!running && lastResults_.is_object());
        panels_.EnableSettings(!running);
    };
    owner.ProgressBar = [this](int maximum, int position) {
        panels_.ProgressBar->setMaximum(std::max(maximum, 1));
        panels_.ProgressBar->setValue(position);
    };
    owner.Finished = [this] {
        lastResults_ = run_->Results.Snapshot();
        ResultsSaved = lastResults_["Lista"].empty();
        if (run_->Cancelled) ShowCancelledProgress();
        ShowRunCounts();
        // A command's run answers its caller instead of opening the view.
        if (command_.AwaitsRun()) {
            command_.FinishRun(command_.ResultsReply());
            return;
        }
        panels_.actWyniki->setEnabled(true);
        key_.Score();
        ResultsView()->ShowResultsView(lastResults_);
    };
}

void TFormMain::ConnectControls() {
    auto changed = [this] {
        if (!loading_) SetSaveState(true);
    };
    connect(panels_.edtProjectName, &QLineEdit::textEdited, this, changed);
    connect(panels_.edtIlePyt, &QLineEdit::textEdited, this, changed);
    connect(panels_.edtPrintLine1, &QLineEdit::textEdited, this, changed);
    connect(panels_.edtPrintLine2, &QLineEdit::textEdited, this, changed);
    connect(panels_.edtIleOdp, &QLineEdit::textEdited, this, [this, changed] {
        changed();
        panels_.RefreshLetters();
    });
    connect(panels_.edtIlePyt, &QLineEdit::editingFinished, this, [this] {
        TMainPanels::ClampField(panels_.edtIlePyt, TProjectSettings::MinQuestions, TProjectSettings::MaxQuestions);
    });
    connect(panels_.edtIleOdp, &QLineEdit::editingFinished, this, [this] {
        TMainPanels::ClampField(panels_.edtIleOdp, TProjectSettings::MinAnswers, TProjectSettings::MaxAnswers);
        panels_.RefreshLetters();
    });
    // Only a change of the choice mode counts: a click on the button already
    // selected changes nothing.
    connect(panels_.rbMultiOne, &QRadioButton::toggled, this, [this, changed] {
        changed();
        panels_.chkKontrPuste->setEnabled(panels_.rbOnlyOne->isChecked());
    });
    connect(panels_.chkKontrPuste, &QCheckBox::clicked, this, [this, changed](bool on) {
        changed();
        checkEmpty_.Set(on);
    });
    connect(panels_.chkSkanJakPoprzedni, &QCheckBox::clicked, this, changed);
    // tbrPoziomPosChange: a load moves the bar without touching the settings file.
    connect(panels_.tbrPoziom, &QSlider::valueChanged, this, [this, changed] {
        changed();
        if (!loading_) ConfigDirty = true;
    });
    connect(panels_.btnSave, &QPushButton::clicked, this, [this] { btnSaveClick(); });
    connect(panels_.btnExecute, &QPushButton::clicked, this, [this] { btnExecuteClick(); });
    connect(panels_.btnSaveWyniki, &QPushButton::clicked, this, [this] { btnSaveWynikiClick(); });
    connect(panels_.btnKlucz, &QPushButton::clicked, this, [this] { btnKluczClick(); });
    connect(panels_.btnSkanuj, &QPushButton::clicked, this, [this] { btnSkanujClick(); });
    connect(panels_.btnNowy, &QPushButton::clicked, this, [this] { NewProject(); });
    // A typed or pasted folder counts as much as a chosen one.
    connect(panels_.edtScanFolder, &QLineEdit::textEdited, this, [this, changed](const QString& text) {
        changed();
        panels_.btnExecute->setEnabled(!text.trimmed().isEmpty());
    });
    connect(panels_.btnProjectFile, &QAction::triggered, this, [this] { edtProjectFileBrowse(); });
    connect(panels_.btnScanFolder, &QAction::triggered, this, [this] { edtScanFolderBrowse(); });
    connect(panels_.actWyniki, &QAction::triggered, this, [this] { ShowLastResults(); });
    connect(panels_.actAbout, &QAction::triggered, this, [this] { ShowAboutBox(); });
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize) {
        panels_.Layout(watched);
    }
    return QMainWindow::eventFilter(watched, event);
}

void TFormMain::SetSaveState(bool save) {
    saveState_ = save;
    panels_.ShowSaveState(save);
}

void TFormMain::ShowSettings(const TProjectSettings& s) {
    loading_ = true;
    panels_.ShowSettings(s);
    loading_ = false;
}

TProjectSettings TFormMain::CurrentSettings() const { return panels_.ReadSettings(project_); }

void TFormMain::LoadProjectFile(const QString& path) {
    TProjectSettings loaded = ReadProjectFile(path.toStdString(), CurrentSettings());
    project_ = loaded;
    ShowSettings(project_);
    checkEmpty_.Set(project_.CheckEmpty);
    panels_.edtProjectFile->setText(path);
    key_.Load();
    RememberProject(path);
    panels_.btnExecute->setEnabled(true);
    SetSaveState(false);
    panels_.btnSaveWyniki->setEnabled(false);
    panels_.ProgressBar->setValue(0);
    run_->Items.clear();
    lastResults_ = Json();
    panels_.actWyniki->setEnabled(false);
    ResultsSaved = true;
}

bool TFormMain::ConfirmDiscardResults() {
    if (ResultsSaved) return true;
    return Ask(QStringLiteral("Wyniki analizy nie zostały zapisane.\nCzy na pewno chcesz je porzucić ?"),
               QStringLiteral("Pytanie"), QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
               QMessageBox::No) == QMessageBox::Yes;
}

void TFormMain::btnSkanujClick() {
    if (run_->Running) return;
    if (panels_.edtScanFolder->text().isEmpty()) edtScanFolderBrowse();
    const QString folder = panels_.edtScanFolder->text();
    if (folder.isEmpty()) return;
    const QString config = ConfigFilePath();
    TfrmSkanuj dialog(folder, ReadScannerConfig(config.toStdString()), this);
    dialog.ShowError = [this](const QString& text) {
        Ask(text, QStringLiteral("Błąd"), QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok);
    };
    dialog.SaveConfig = [config](const TScannerConfig& c) {
        if (!config.isEmpty()) WriteScannerConfig(config.toStdString(), c);
    };
    if (ExecSkanuj(dialog) == QDialog::Accepted && dialog.AnalyzeRequested()) btnExecuteClick();
}

void TFormMain::btnSaveClick() {
    if (!saveState_) {
        TfrmWhatPrint dialog(CurrentSettings(), windowTitle(), this);
        dialog.ShowError = [this](const QString& text) {
            Ask(text, QStringLiteral("Błąd"), QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok);
        };
        ExecWhatPrint(dialog);
        return;
    }
    // A save that did not happen keeps the save state, so that the edits do
    // not look saved and the close query still asks.
    const QString name = ChooseSaveProjectFile(panels_.edtProjectFile->text());
    if (name.isEmpty()) return;
    TProjectSettings s = CurrentSettings();
    try {
        WriteProjectFile(name.toStdString(), s);
    } catch (const std::exception& e) {
        Ask(QString::fromStdString(e.what()), QStringLiteral("Błąd"), QMessageBox::Critical, QMessageBox::Ok,
            QMessageBox::Ok);
        return;  // stays in the save state, the file name unchanged
    }
    project_ = s;
    panels_.edtProjectFile->setText(name);
    key_.Save();
    RememberProject(name);
    if (panels_.edtScanFolder->text().isEmpty()) panels_.edtScanFolder->setText(QFileInfo(name).absolutePath());
    panels_.btnExecute->setEnabled(true);
    SetSaveState(false);
}

void TFormMain::btnExecuteClick() {
    if (run_->Running) {
        run_->RequestCancel();
        return;
    }
    if (!ConfirmDiscardResults()) return;
    if (resultsView_) resultsView_->hide();
    const TProjectSettings s = CurrentSettings();
    checkEmpty_.Set(s.CheckEmpty);
    TRunSettings settings = FromProject(s);
    settings.CheckEmpty = checkEmpty_;
    run_->StartRun(settings);
}

// A run cut short by "Zakończ" shows how many scans it went through, so
// that a full bar does not say every sheet was read.
void TFormMain::ShowCancelledProgress() {
    const int total = static_cast<int>(run_->Items.size());
    int unread = 0;
    for (const Json& p : lastResults_["Pominiete"]) unread += p.value("Status", 0) == NotAnalysedStatus;
    const int read = std::max(total - unread, 0);
    panels_.ProgressBar->setRange(0, std::max(total, 1));
    panels_.ProgressBar->setValue(read);
    panels_.ProgressBar->setFormat(QStringLiteral("%1 z %2 skanów").arg(read).arg(total));
}

void TFormMain::ShowRunCounts() {
    panels_.lblStatus->setText(QStringLiteral("Odczytane arkusze: %1, pominięte skany: %2")
                                   .arg(lastResults_["Lista"].size())
                                   .arg(lastResults_["Pominiete"].size()));
}

void TFormMain::EnterSkippedCode(int k) {
    if (run_->Running || !lastResults_.is_object()) return;
    const Json& skipped = lastResults_["Pominiete"];
    if (k < 0 || k >= static_cast<int>(skipped.size())) return;
    const std::string fileName = skipped[static_cast<size_t>(k)].value("FileName", std::string());
    const std::string folder = lastResults_.value("Folder", std::string());
    const std::string path = folder.empty() ? fileName : folder + "/" + fileName;
    TfrmWpiszKod dialog(QString::fromStdString(path), QString::fromStdString(fileName),
                        QString::fromStdString(skipped[static_cast<size_t>(k)].value("Message", std::string())),
                        ResultsView());
    if (ExecWpiszKod(dialog) != QDialog::Accepted || dialog.Code().isEmpty()) return;

    // Read again from the start under the operator's code, so that the sheet
    // gets its own answers and questions like any other.
    TReadOptions options;
    options.CheckEmpty = checkEmpty_;
    options.Level = CurrentSettings().BlackLevel;
    options.ExpectedCount = lastResults_.value("QCnt", 0);
    options.AnswerPause = {};
    options.GivenCode = dialog.Code().toStdString();
    TScanHandlers handlers;
    handlers.OnGetStartPoint = [this](const TScanView& scan, TRect area, TPoint& pt, bool& ok) {
        GetStartPoint(scan, area, pt, ok);
    };
    handlers.OnGetOdp = [this](const TScanView& scan, TRect area, int count, std::string& answer, bool& ok) {
        GetOdp(scan, area, count, answer, ok);
    };
    const TScanResult read = ReadScan(path, options, handlers);
    if (read.Status == TScanStatus::LoadFailed) {
        Ask(QString::fromStdString(read.Message).replace('\r', '\n'), QStringLiteral("Błąd"), QMessageBox::Critical,
            QMessageBox::Ok, QMessageBox::Ok);
        return;
    }
    // The entry is made as the run makes its entries.
    TResultsDocument one(TRunDescription{});
    one.AddResultEntry(AnswersWithCode(read), fileName, static_cast<int>(read.Status), read.Message);
    const Json made = one.Snapshot();
    if (made["Lista"].empty()) return;
    lastResults_["Pominiete"].erase(lastResults_["Pominiete"].begin() + k);
    // The entry takes its scan's place in the scan list, as the run's own
    // entries do, and the codes are flagged again: the operator's code may
    // already stand on another sheet.
    std::map<std::string, int64_t> place;
    for (const auto& item : run_->Items) place[std::filesystem::path(item->FileName).filename().string()] = item->Index;
    auto rank = [&place](const std::string& name) {
        const auto found = place.find(name);
        return found == place.end() ? std::numeric_limits<int64_t>::max() : found->second;
    };
    Json& list = lastResults_["Lista"];
    const int64_t mine = rank(fileName);
    list.insert(std::find_if(list.begin(), list.end(),
                             [&](const Json& e) { return rank(e.value("FileName", std::string())) > mine; }),
                made["Lista"][0]);
    FlagRepeatedCodes(lastResults_);
    ResultsSaved = false;
    panels_.btnSaveWyniki->setEnabled(true);
    ShowRunCounts();
    key_.Score();
    ResultsView()->FillResults(lastResults_);
}

void TFormMain::ShowLastResults() {
    if (run_->Running || !lastResults_.is_object()) return;
    ResultsView()->ShowResultsView(lastResults_);
}

bool TFormMain::btnSaveWynikiClick() {
    const bool saved = saveWyniki_->Save(lastResults_, ChooseResultsFile, Ask) == TSaveResult::Saved;
    if (saved) ResultsSaved = true;
    return saved;
}

void TFormMain::GetStartPoint(const TScanView& scan, TRect area, TPoint& pt, bool& ok) {
    if (closing_) {
        ok = false;
        return;
    }
    TFormScaner2 dialog(this);
    dialog.ShowScan(CropRaster(scan.Raster, area));
    dialog.SetMode(area.Left < scan.Raster.Width() / 2 ? qmTopLeft : qmBottomRight);
    dialog.setWindowTitle(QFileInfo(QString::fromStdString(scan.FileName)).fileName());
    const int result = ExecScaner(dialog);
    ok = result == QDialog::Accepted;
    pt = dialog.ClickedPoint;
    if (result == ScanerResultAbort) run_->CancelRun();
}

void TFormMain::GetOdp(const TScanView& scan, TRect area, int count, std::string& answer, bool& ok) {
    if (closing_) {
        ok = false;
        return;
    }
    QString suffix;
    if (answer.empty())
        suffix = QStringLiteral(" - brak odpowiedzi");
    else if (panels_.rbOnlyOne->isChecked())
        suffix = QStringLiteral(" - odpowiedź niejednoznaczna");
    TFormScaner2 dialog(this);
    dialog.SetMode(qmAnswer);
    dialog.BuildAnswers(count);
    dialog.ShowScan(CropRaster(scan.Raster, area));
    dialog.setWindowTitle(QFileInfo(QString::fromStdString(scan.FileName)).fileName() + suffix);
    const int result = ExecScaner(dialog);
    ok = result == QDialog::Accepted;
    answer = dialog.GetAnswer().toStdString();
    if (result == ScanerResultAbort) run_->CancelRun();
}

// --- Start-up, the settings file, the demo question and shutting down ---

QString TFormMain::ConfigFilePath() {
    const QString folder = TSpecialFolders::DataFolder(true);
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/config.json");
}

QString TFormMain::DemoProjectPath() {
    return TSpecialFolders::DocumentsFolder() + QStringLiteral("/QuorlenDemo/Demo.spf");
}

void TFormMain::FormCreate(const QStringList& arguments) {
    const int cpus = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    run_->MaxWorkers = ParseThreadSwitches(arguments, DefaultMaxWorkers(cpus));
    run_->CpuCount = cpus;
    setWindowTitle(QStringLiteral("Brenvik Analizator arkuszy odpowiedzi"));

    DownloadDemoFiles = true;
    int level = 0;
    const QString config = ConfigFilePath();
    if (!config.isEmpty() && QFileInfo::exists(config)) {
        const TShellConfig read = ReadShellConfig(config.toStdString());
        level = read.BlackLevel;
        DownloadDemoFiles = read.DownloadDemoFiles;
        UseDemoFiles = read.UseDemoFiles;
    }
    if (level >= TProjectSettings::MinLevel && level <= TProjectSettings::MaxLevel) {
        project_.BlackLevel = level;
        loading_ = true;
        panels_.tbrPoziom->setValue(level);
        loading_ = false;
    }
    ConfigDirty = false;
    if (DownloadDemoFiles) {
        UseDemoFiles = true;
        // Queued so that the window is up first and never waits for the fetch.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (StartDemoDownload) StartDemoDownload();
            },
            Qt::QueuedConnection);
    }
    SetSaveState(false);
    panels_.RefreshLetters();

    // Only the width may change.
    setMinimumSize(kMinWidth, kMinHeight);
    resize(kMinWidth, std::max(kMinHeight, sizeHint().height()));
    setMaximumHeight(height());
}

bool TFormMain::edtProjectFileBeforeDialog() {
    if (!UseDemoFiles) return true;
    const auto answer =
        Ask(QStringLiteral("Czy chcesz użyć skanów demonstracyjnych ?"), QStringLiteral("Pytanie"),
            QMessageBox::Question, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    if (answer == QMessageBox::No) {
        UseDemoFiles = false;
        ConfigDirty = true;
        return true;
    }
    if (answer == QMessageBox::Yes) OpenProjectFile(DemoProjectPath());
    return false;
}

bool TFormMain::OpenProjectFile(const QString& path) {
    panels_.edtProjectFile->setText(path);
    try {
        LoadProjectFile(path);
    } catch (const std::exception& e) {
        Ask(QString::fromStdString(e.what()), QStringLiteral("Błąd"), QMessageBox::Critical, QMessageBox::Ok,
            QMessageBox::Ok);
        return false;
    }
    return true;
}

void TFormMain::ShowAboutBox() {
    auto* box = new TfrmAbout(this);
    ExecAbout(*box);
}

void TFormMain::closeEvent(QCloseEvent* event) {
    if (command_.Active() &&
        Ask(QStringLiteral("Inny program korzysta teraz z Quorlen.\nCzy na pewno chcesz zamknąć program ?"),
            QStringLiteral("Pytanie"), QMessageBox::Critical, QMessageBox::Yes | QMessageBox::No,
            QMessageBox::No) != QMessageBox::Yes) {
        event->ignore();
        return;
    }
    if (saveState_ && Ask(QStringLiteral("Projekt został zmieniony.\nCzy na pewno chcesz wyjść bez zapisu projektu ?"),
                          QStringLiteral("Pytanie"), QMessageBox::Critical, QMessageBox::Yes | QMessageBox::No,
                          QMessageBox::No) != QMessageBox::Yes) {
        event->ignore();
        return;
    }
    if (!run_->Running && !ConfirmDiscardResults()) {
        event->ignore();
        return;
    }
    StopRunForClose();
    // The stopped run never reaches its end; its caller must not wait for it.
    if (command_.AwaitsRun())
        command_.FinishRun(QString::fromStdString(ErrorReply(-2, "Program został zamknięty przed końcem analizy.")));
    FormClose();
    // The results view is a window of its own; left open it would keep the
    // program alive after its main window is gone.
    if (resultsView_) resultsView_->close();
    event->accept();
}

void TFormMain::FormClose() {
    if (!ConfigDirty) return;
    const QString path = ConfigFilePath();
    // A failed write never keeps the window open.
    if (!path.isEmpty())
        WriteShellConfig(path.toStdString(), {panels_.tbrPoziom->value(), DownloadDemoFiles, UseDemoFiles});
    ConfigDirty = false;
}

void TFormMain::StopRunForClose() {
    if (closing_ || !run_) return;
    closing_ = true;
    if (!run_->Running) return;
    run_->CancelRun();
    host_.ServeUntil([this] { return run_->WorkersFinished(); });
    // The workers' last reports are still queued; nobody is left to show them.
    host_.Handler = nullptr;
}

}  // namespace quorlen
