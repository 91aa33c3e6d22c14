// The main window's side of another program's command: the project set
// through the controls, then the print job or the batch run as the buttons
// start them.
#include <QApplication>
#include <QFileInfo>
#include <QPrinter>
#include <filesystem>

#include "app/automation/AutomationCommand.h"
#include "app/printing/PrintJob.h"
#include "app/shell/FormMain.h"
#include "core/batch/ScanList.h"
#include "core/printing/CodesList.h"
#include "core/scoring/Scoring.h"

namespace quorlen {

namespace {

// Clears the sink on every way out of a print, errors included.
struct SinkGuard {
    TFormMain::TCommandSink& Sink;
    bool& Active;
    ~SinkGuard() {
        Sink = nullptr;
        Active = false;
    }
};

bool HasScanFiles(const std::string& folder) {
    try {
        return !ListScanFiles(folder).empty();
    } catch (const std::exception&) {
        return false;
    }
}

// Replaces a field's text as typing would, so that its edit handlers run.
void TypeInto(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    edit->insert(text);
}

}  // namespace

void TFormMain::RunCommand(const QString& params, const TCommandSink& sink, std::function<void(const QString&)> done) {
    // No second command over the first, and none over the operator's own run,
    // an open dialog of theirs or results of theirs not yet saved (a command's
    // run would replace them); a refused command leaves their window be.
    if (commandActive_ || run_->Running || QApplication::activeModalWidget() || !ResultsSaved) {
        done(QString::fromStdString(ErrorReply(-3, BusyText)));
        return;
    }
    // Once another program drives the window, nobody is in front of it.
    hide();
    const TAutomationCommand command = ParseAutomationCommand(params.toStdString());
    SetProjectFromCommand(command);
    if (IsPrintMode(command)) {
        commandActive_ = true;
        CommandSink = sink;
        SinkGuard guard{CommandSink, commandActive_};
        done(PrintForCommand(command));
        return;
    }

    // A key only scores an analysis. One that cannot score it is refused
    // before the run: it would only fail once every scan has been read.
    std::string keyProblem = command.KeyError;
    if (command.Key) {
        const TProjectSettings settings = CurrentSettings();
        try {
            CheckKeyFits(*command.Key, settings.QuestionCount, settings.AnswerCount);
        } catch (const TKeyError& e) {
            keyProblem = e.what();
        }
    }
    if (!keyProblem.empty()) {
        done(QString::fromStdString(ErrorReply(-1, keyProblem)));
        return;
    }

    const QString name = edtProjectName_->text().trimmed();
    const QString folder = edtScanFolder_->text();
    if (name.isEmpty() || folder.trimmed().isEmpty() || !QFileInfo(folder).isDir()) {
        done(QString::fromStdString(ErrorReply(-1, BadParametersText)));
        return;
    }
    // The run would only show its message box and never end.
    if (!HasScanFiles(folder.toStdString())) {
        done(QString::fromStdString(ErrorReply(-1, NoScanFilesText)));
        return;
    }
    commandKey_ = command.Key;
    CommandSink = sink;
    StartAnalysisForCommand(std::move(done));
}

QString TFormMain::CommandResultsReply() const {
    if (!commandKey_) return QString::fromStdString(DumpJsonCompact(lastResults_));
    // The caller's key scores the reply only; the window's results and its
    // own key are the operator's.
    Json scored = lastResults_;
    try {
        ScoreDocument(scored, *commandKey_);
    } catch (const TKeyError& e) {
        return QString::fromStdString(ErrorReply(-1, e.what()));
    }
    return QString::fromStdString(DumpJsonCompact(scored));
}

void TFormMain::SetProjectFromCommand(const TAutomationCommand& command) {
    TypeInto(edtProjectName_, QString::fromStdString(command.Title));
    TypeInto(edtIlePyt_, QString::number(command.QCnt));
    ClampField(edtIlePyt_, TProjectSettings::MinQuestions, TProjectSettings::MaxQuestions);
    TypeInto(edtIleOdp_, QString::number(command.ACnt));
    ClampField(edtIleOdp_, TProjectSettings::MinAnswers, TProjectSettings::MaxAnswers);
    RefreshLetters();
    (command.MultiChoice ? rbMultiOne_ : rbOnlyOne_)->click();
    if (rbOnlyOne_->isChecked() && chkKontrPuste_->isChecked() != command.CheckEmpty) chkKontrPuste_->click();
    edtScanFolder_->setText(QString::fromStdString(command.ScansFolder));
    btnExecute_->setEnabled(true);
    if (command.BlackLevel >= TProjectSettings::MinLevel && command.BlackLevel <= TProjectSettings::MaxLevel)
        tbrPoziom_->setValue(command.BlackLevel);
}

QString TFormMain::PrintForCommand(const TAutomationCommand& command) {
    const TPrintPlan plan = PlanPrint(command);
    if (plan.TooMany) return QString::fromStdString(ErrorReply(-1, TooManySheetsText));
    if (!commandPrinter_) {
        // The print service's default queue; the PDF file when there is none.
        commandPrinter_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        const QStringList installed = InstalledPrinters();
        if (installed.isEmpty())
            SetPdfOutput(*commandPrinter_, QString());
        else
            commandPrinter_->setPrinterName(installed.first());
    }
    const QString wanted = QString::fromStdString(command.Printer);
    if (wanted.compare(PdfDestinationName(), Qt::CaseInsensitive) == 0) {
        SetPdfOutput(*commandPrinter_, QString());
    } else {
        for (const QString& name : InstalledPrinters())
            if (name.compare(wanted, Qt::CaseInsensitive) == 0) {
                commandPrinter_->setOutputFormat(QPrinter::NativeFormat);
                commandPrinter_->setPrinterName(name);
            }
    }
    const std::vector<std::string>* codes = plan.Codes.empty() ? nullptr : &plan.Codes;
    if (SheetCountFor(plan.Count, codes) == 0) return QString::fromStdString(ErrorReply(-1));
    if (commandPrinter_->outputFormat() == QPrinter::PdfFormat) {
        if (command.PdfFile.empty())
            throw std::runtime_error("Drukarka \"" + PdfDestinationName().toStdString() +
                                     "\" potrzebuje nazwy pliku w kluczu PdfFile.");
        commandPrinter_->setOutputFileName(QString::fromStdString(command.PdfFile));
    }
    const int printed =
        PrintSheets(*commandPrinter_, CurrentSettings(), windowTitle(), plan.Count, codes, [this](int done, int count) {
            if (CommandSink) CommandSink(count, done);
        });
    return QString::fromStdString(printed > 0 ? PrintedReply(printed) : ErrorReply(-1));
}

void TFormMain::StartAnalysisForCommand(std::function<void(const QString&)> done) {
    commandActive_ = true;
    commandDone_ = std::move(done);
    try {
        if (CommandSink) CommandSink(0, 0);
        run_->Progress = [this](int maximum, int position) {
            if (CommandSink) CommandSink(maximum, position);
        };
        btnExecuteClick();
        // The folder emptied since it was looked at: no run, no end to wait for.
        if (!run_->Running) FinishCommandRun(QString::fromStdString(ErrorReply(-1, NoScanFilesText)));
    } catch (const std::exception& e) {
        // A run that did start keeps going; its end no longer has a caller.
        FinishCommandRun(QString::fromStdString(ErrorReply(-2, e.what())));
    }
}

void TFormMain::FinishCommandRun(const QString& reply) {
    auto done = std::move(commandDone_);
    commandDone_ = nullptr;
    commandKey_.reset();
    CommandSink = nullptr;
    run_->Progress = nullptr;
    commandActive_ = false;
    // The command's settings are not the operator's: nothing to save, and the
    // black level it set is not remembered.
    SetSaveState(false);
    ConfigDirty = false;
    // The caller has the document; the window holds no results of its own.
    ResultsSaved = true;
    if (done) done(reply);
}

}  // namespace quorlen
