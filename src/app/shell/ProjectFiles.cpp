// The window's project files: the chooser, a new project, the scan folder and
// the project the next start reopens. The file dialogs are the standard ones
// behind the window's Choose… hooks, which tests replace.
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include "app/shell/FormMain.h"
#include "app/shell/SpecialFolders.h"
#include "core/settings/ShellConfig.h"

namespace quorlen {

namespace {
const QString kProjectFilter = QStringLiteral("Pliki projektów (*.spf)");
const char* const kLastProject = "lastProject";

QString WithProjectSuffix(const QString& path) {
    return QFileInfo(path).suffix().isEmpty() ? path + QStringLiteral(".spf") : path;
}
}  // namespace

void TFormMain::InstallFileDialogs() {
    // Any name is accepted: one that is not there yet is a new project.
    ChooseProjectFile = [this] {
        QFileDialog dialog(this, QStringLiteral("Wybierz plik projektu ..."), DialogFolder(), kProjectFilter);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(QStringLiteral("spf"));
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    };
    // The system's question guards a file that is there already.
    ChooseSaveProjectFile = [this](const QString& proposed) {
        const QString start =
            proposed.isEmpty() ? QDir(DialogFolder()).filePath(FileBaseName() + QStringLiteral(".spf")) : proposed;
        QFileDialog dialog(this, QStringLiteral("Zapisz projekt jako ..."), start, kProjectFilter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("spf"));
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    };
    ChooseScanFolder = [this] {
        const QString scans = panels_.edtScanFolder->text();
        return QFileDialog::getExistingDirectory(this, QStringLiteral("Folder skanów"),
                                                 QFileInfo(scans).isDir() ? scans : DialogFolder());
    };
    ChooseResultsFile = [this] { return saveWyniki_->RunSaveDialog(DialogFolder(), FileBaseName()); };
}

QString TFormMain::FileBaseName() const {
    const QString file = panels_.edtProjectFile->text();
    if (!file.isEmpty()) return QFileInfo(file).completeBaseName();
    // A name fit for a file: no folder separators, no leading dots.
    QString name = panels_.edtProjectName->text().trimmed();
    name.replace(QLatin1Char('/'), QLatin1Char('-'));
    while (name.startsWith(QLatin1Char('.'))) name.remove(0, 1);
    return name.isEmpty() ? QStringLiteral("wyniki") : name;
}

QString TFormMain::DialogFolder() const {
    const QString project = panels_.edtProjectFile->text();
    if (!project.isEmpty() && QFileInfo(project).absoluteDir().exists()) return QFileInfo(project).absolutePath();
    const QString scans = panels_.edtScanFolder->text();
    if (!scans.isEmpty() && QFileInfo(scans).isDir()) return QFileInfo(scans).absoluteFilePath();
    return TSpecialFolders::DocumentsFolder();
}

void TFormMain::edtProjectFileBrowse() {
    if (!edtProjectFileBeforeDialog()) return;
    const QString chosen = ChooseProjectFile();
    if (chosen.isEmpty()) return;
    const QFileInfo file(chosen);
    if (!file.exists()) {
        NewProject(WithProjectSuffix(chosen));
        return;
    }
    if (!file.isFile()) return;  // a folder is no project; refused like an unreadable file
    try {
        LoadProjectFile(chosen);
    } catch (const std::exception&) {
        // An unreadable choice is refused silently; the project stays as it was.
    }
}

bool TFormMain::NewProject(const QString& file) {
    if (run_->Running) return false;
    if (saveState_ && Ask(QStringLiteral("Projekt został zmieniony.\nCzy na pewno chcesz go porzucić ?"),
                          QStringLiteral("Pytanie"), QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
                          QMessageBox::No) != QMessageBox::Yes)
        return false;
    if (!ConfirmDiscardResults()) return false;
    TProjectSettings fresh;
    fresh.BlackLevel = panels_.tbrPoziom->value();
    project_ = fresh;
    ShowSettings(project_);
    checkEmpty_.Set(project_.CheckEmpty);
    panels_.edtProjectFile->setText(file);
    key_.Reset();
    if (resultsView_) resultsView_->hide();
    run_->Items.clear();
    lastResults_ = Json();
    ResultsSaved = true;
    panels_.btnExecute->setEnabled(false);
    panels_.btnSaveWyniki->setEnabled(false);
    panels_.ProgressBar->setValue(0);
    SetSaveState(true);
    panels_.edtProjectName->setFocus();
    return true;
}

void TFormMain::edtScanFolderBrowse() {
    const QString folder = ChooseScanFolder();
    if (folder.isEmpty()) return;
    if (folder != panels_.edtScanFolder->text()) {
        panels_.edtScanFolder->setText(folder);
        SetSaveState(true);
    }
    panels_.btnExecute->setEnabled(true);
}

void TFormMain::RememberProject(const QString& path) {
    const QString config = ConfigFilePath();
    if (config.isEmpty()) return;
    const std::string absolute = QFileInfo(path).absoluteFilePath().toStdString();
    // A failed write costs only the reopening at the next start.
    UpdateConfigSection(config.toStdString(), [&absolute](Json& section) { section[kLastProject] = absolute; });
}

void TFormMain::OpenLastProject() {
    const QString config = ConfigFilePath();
    if (config.isEmpty()) return;
    const std::optional<Json> section = ReadConfigSection(config.toStdString());
    if (!section || !section->contains(kLastProject) || !(*section)[kLastProject].is_string()) return;
    const QString path = QString::fromStdString((*section)[kLastProject].get<std::string>());
    if (!QFileInfo(path).isFile()) return;
    try {
        LoadProjectFile(path);
    } catch (const std::exception&) {
    }
}

}  // namespace quorlen
