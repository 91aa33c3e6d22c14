#include "app/output/SaveWyniki.h"

#include <QCoreApplication>
#include <QFileInfo>

#include "app/shell/SpecialFolders.h"
#include "core/results/ResultsFile.h"

namespace quorlen {

namespace {
const QString kError = QStringLiteral("Błąd");

// "*.xlsx" → "xlsx"; nothing for a pattern that is not one plain extension.
QString SuffixOf(const QString& nameFilter) {
    const int open = nameFilter.lastIndexOf(QStringLiteral("(*."));
    if (open < 0) return {};
    const QString suffix = nameFilter.mid(open + 3).chopped(1);
    for (QChar c : suffix)
        if (!c.isLetterOrNumber()) return {};
    return suffix;
}
}  // namespace

QStringList NameFilters(const std::string& filters) {
    const QStringList parts = QString::fromStdString(filters).split(QLatin1Char('|'));
    QStringList names;
    for (int i = 0; i + 1 < parts.size(); i += 2) names << parts[i] + QStringLiteral(" (") + parts[i + 1] + ')';
    return names;
}

TSaveWyniki::TSaveWyniki(QWidget* window) : window_(window) {
    Search = [] {
        return TExporterSearch{TSpecialFolders::DataFolder(false).toStdString(),
                               QCoreApplication::applicationDirPath().toStdString()};
    };
    dlgSaveWyniki_ = new QFileDialog(window, QStringLiteral("Zapisz wyniki w pliku"));
    dlgSaveWyniki_->setObjectName(QStringLiteral("dlgSaveWyniki"));
    dlgSaveWyniki_->setAcceptMode(QFileDialog::AcceptSave);
    dlgSaveWyniki_->setOption(QFileDialog::DontUseNativeDialog);
    dlgSaveWyniki_->setNameFilters(NameFilters(host_.Filters()));
    dlgSaveWyniki_->setDefaultSuffix(QStringLiteral("json"));
    // The extension added to a bare name follows the chosen type.
    QObject::connect(dlgSaveWyniki_, &QFileDialog::filterSelected, dlgSaveWyniki_,
                     [this](const QString& filter) { dlgSaveWyniki_->setDefaultSuffix(SuffixOf(filter)); });
}

QString TSaveWyniki::RunSaveDialog(const QString& folder, const QString& base) {
    if (!folder.isEmpty()) dlgSaveWyniki_->setDirectory(folder);
    if (!base.isEmpty()) {
        const QString suffix = dlgSaveWyniki_->defaultSuffix();
        dlgSaveWyniki_->selectFile(suffix.isEmpty() ? base : base + '.' + suffix);
    }
    return dlgSaveWyniki_->exec() == QDialog::Accepted ? dlgSaveWyniki_->selectedFiles().value(0) : QString();
}

void TSaveWyniki::LoadExporter(const TAsk& ask) {
    if (host_.Loaded() || host_.LoadFailed()) return;
    const TLoadStatus status = host_.LoadExporter(Search());
    if (status == TLoadStatus::Failed) {
        ask(QString::fromStdString(host_.LoadError()), kError, QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok);
    } else if (status == TLoadStatus::Loaded) {
        dlgSaveWyniki_->setNameFilters(NameFilters(host_.Filters()));
    }
}

int TSaveWyniki::ChooseDestination() {
    if (!host_.VirtualDevices()) return DestinationFile;
    QStringList devices;
    for (const std::string& name : host_.DeviceNames()) devices << QString::fromStdString(name);
    TfrmDeviceChoice dialog(devices, window_);
    return ExecDeviceChoice(dialog) == QDialog::Accepted ? dialog.Selection() : DestinationCancelled;
}

int TSaveWyniki::FilterIndex() const {
    return static_cast<int>(dlgSaveWyniki_->nameFilters().indexOf(dlgSaveWyniki_->selectedNameFilter())) + 1;
}

void TSaveWyniki::ShowOutcome(const TExporterOutcome& outcome, const TAsk& ask) {
    QString text = QString::fromStdString(outcome.Text);
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    ask(text, QString::fromStdString(outcome.Caption), outcome.Ok ? QMessageBox::Information : QMessageBox::Critical,
        QMessageBox::Ok, QMessageBox::Ok);
}

TSaveResult TSaveWyniki::Save(const Json& document, const std::function<QString()>& chooseFile, const TAsk& ask) {
    LoadExporter(ask);
    const int destination = ChooseDestination();
    if (destination == DestinationCancelled) return TSaveResult::Cancelled;
    if (destination >= 0) {
        const TExporterOutcome outcome = host_.SaveResultsToDevice(destination, document);
        ShowOutcome(outcome, ask);
        return outcome.Ok ? TSaveResult::Saved : TSaveResult::Failed;
    }
    QString name = chooseFile();
    if (name.isEmpty()) return TSaveResult::Cancelled;
    const int index = std::max(1, FilterIndex());
    const QString suffix = index == 1 ? QStringLiteral("json") : SuffixOf(dlgSaveWyniki_->selectedNameFilter());
    if (QFileInfo(name).suffix().isEmpty() && !suffix.isEmpty()) name += '.' + suffix;
    if (index >= 2) {
        const TExporterOutcome outcome = host_.SaveResultsToFile(name.toStdString(), index, document);
        ShowOutcome(outcome, ask);
        return outcome.Ok ? TSaveResult::Saved : TSaveResult::Failed;
    }
    try {
        WriteResultsFile(name.toStdString(), document);
    } catch (const std::exception& e) {
        ask(QString::fromStdString(e.what()), kError, QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok);
        return TSaveResult::Failed;
    }
    return TSaveResult::Saved;
}

}  // namespace quorlen
