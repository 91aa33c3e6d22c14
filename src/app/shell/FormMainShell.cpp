// The main window's shell duties: start-up settings, the settings file, the
// demo question, the about box and shutting down.
#include <QFileInfo>
#include <thread>

#include "app/automation/AutomationCommand.h"
#include "app/shell/AboutBox.h"
#include "app/shell/CommandLine.h"
#include "app/shell/FormMain.h"
#include "app/shell/SpecialFolders.h"
#include "core/output/ShellConfig.h"

namespace quorlen {

namespace {
const int kMinWidth = 595;
const int kMinHeight = 300;
}  // namespace

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
        tbrPoziom_->setValue(level);
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
    RefreshLetters();

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
    edtProjectFile_->setText(path);
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
    if (commandActive_ &&
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
    if (commandDone_)
        FinishCommandRun(QString::fromStdString(
            ErrorReply(-2, "Program został zamknięty przed końcem analizy.")));
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
    if (!path.isEmpty()) WriteShellConfig(path.toStdString(), {tbrPoziom_->value(), DownloadDemoFiles, UseDemoFiles});
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
