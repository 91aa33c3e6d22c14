// A command drives the window through its own controls and buttons, so that
// a caller gets exactly what an operator would; only the replies and the
// progress events are the command's own.
#include "app/automation/WindowCommand.h"

#include <QApplication>
#include <QFileInfo>
#include <QPrinter>
#include <filesystem>

#include "app/automation/AutomationCommand.h"
#include "app/printing/PrintJob.h"
#include "app/shell/FormMain.h"
#include "app/shell/SpecialFolders.h"
#include "core/batch/ScanList.h"
#include "core/printing/CodesList.h"
#include "core/scoring/Scoring.h"

namespace quorlen {

namespace {

// Clears the sink on every way out of a print, errors included.
struct SinkGuard {
    TWindowCommand::TSink& Sink;
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

void TWindowCommand::Run(const QString& params, const TSink& sink, TDone done) {
    // No second command over the first, and none over the operator's own run,
    // an open dialog of theirs or results of theirs not yet saved (a command's
    // run would replace them); a refused command leaves their window be.
    if (active_ || window_.Run().Running || QApplication::activeModalWidget() || !window_.ResultsSaved) {
        done(QString::fromStdString(ErrorReply(-3, BusyText)));
        return;
    }
    // Once another program drives the window, nobody is in front of it.
    window_.hide();
    const TAutomationCommand command = ParseAutomationCommand(params.toStdString());
    SetProject(command);
    if (IsPrintMode(command)) {
        active_ = true;
        sink_ = sink;
        SinkGuard guard{sink_, active_};
        done(Print(command));
        return;
    }

    // A key only scores an analysis. One that cannot score it is refused
    // before the run: it would only fail once every scan has been read.
    std::string keyProblem = command.KeyError;
    if (command.Key) {
        const TProjectSettings settings = window_.CurrentSettings();
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

    const TMainPanels& panels = window_.panels_;
    const QString name = panels.edtProjectName->text().trimmed();
    const QString folder = panels.edtScanFolder->text();
    if (name.isEmpty() || folder.trimmed().isEmpty() || !QFileInfo(folder).isDir()) {
        done(QString::fromStdString(ErrorReply(-1, BadParametersText)));
        return;
    }
    // The run would only show its message box and never end.
    if (!HasScanFiles(folder.toStdString())) {
        done(QString::fromStdString(ErrorReply(-1, NoScanFilesText)));
        return;
    }
    key_ = command.Key;
    sink_ = sink;
    StartAnalysis(std::move(done));
}

QString TWindowCommand::ResultsReply() const {
    if (!key_) return QString::fromStdString(DumpJsonCompact(window_.LastResults()));
    // The caller's key scores the reply only; the window's results and its
    // own key are the operator's.
    Json scored = window_.LastResults();
    try {
        ScoreDocument(scored, *key_);
    } catch (const TKeyError& e) {
        return QString::fromStdString(ErrorReply(-1, e.what()));
    }
    return QString::fromStdString(DumpJsonCompact(scored));
}

void TWindowCommand::SetProject(const TAutomationCommand& command) {
    TMainPanels& p = window_.panels_;
    TypeInto(p.edtProjectName, QString::fromStdString(command.Title));
    TypeInto(p.edtIlePyt, QString::number(command.QCnt));
    TMainPanels::ClampField(p.edtIlePyt, TProjectSettings::MinQuestions, TProjectSettings::MaxQuestions);
    TypeInto(p.edtIleOdp, QString::number(command.ACnt));
    TMainPanels::ClampField(p.edtIleOdp, TProjectSettings::MinAnswers, TProjectSettings::MaxAnswers);
    p.RefreshLetters();
    (command.MultiChoice ? p.rbMultiOne : p.rbOnlyOne)->click();
    if (p.rbOnlyOne->isChecked() && p.chkKontrPuste->isChecked() != command.CheckEmpty) p.chkKontrPuste->click();
    p.edtScanFolder->setText(QString::fromStdString(command.ScansFolder));
    p.btnExecute->setEnabled(true);
    if (command.BlackLevel >= TProjectSettings::MinLevel && command.BlackLevel <= TProjectSettings::MaxLevel)
        p.tbrPoziom->setValue(command.BlackLevel);
}

QString TWindowCommand::Print(const TAutomationCommand& command) {
    const TPrintPlan plan = PlanPrint(command);
    if (plan.TooMany) return QString::fromStdString(ErrorReply(-1, TooManySheetsText));
    if (!printer_) {
        // The print service's default queue; the PDF file when there is none.
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        const QStringList installed = InstalledPrinters();
        if (installed.isEmpty())
            SetPdfOutput(*printer_, QString());
        else
            printer_->setPrinterName(installed.first());
    }
    const QString wanted = QString::fromStdString(command.Printer);
    if (wanted.compare(PdfDestinationName(), Qt::CaseInsensitive) == 0) {
        SetPdfOutput(*printer_, QString());
    } else {
        for (const QString& name : InstalledPrinters())
            if (name.compare(wanted, Qt::CaseInsensitive) == 0) {
                printer_->setOutputFormat(QPrinter::NativeFormat);
                printer_->setPrinterName(name);
            }
    }
    const std::vector<std::string>* codes = plan.Codes.empty() ? nullptr : &plan.Codes;
    if (SheetCountFor(plan.Count, codes) == 0) return QString::fromStdString(ErrorReply(-1));
    if (printer_->outputFormat() == QPrinter::PdfFormat) {
        if (command.PdfFile.empty())
            throw std::runtime_error("Drukarka \"" + PdfDestinationName().toStdString() +
                                     "\" potrzebuje nazwy pliku w kluczu PdfFile.");
        std::string file;
        try {
            file = PdfFileForCommand(command.PdfFile, TSpecialFolders::DocumentsFolder().toStdString());
        } catch (const std::runtime_error& e) {
            return QString::fromStdString(ErrorReply(-1, e.what()));
        }
        printer_->setOutputFileName(QString::fromStdString(file));
    }
    const int printed = PrintSheets(*printer_, window_.CurrentSettings(), window_.windowTitle(), plan.Count, codes,
                                    [this](int done, int count) {
                                        if (sink_) sink_(count, done);
                                    });
    return QString::fromStdString(printed > 0 ? PrintedReply(printed) : ErrorReply(-1));
}

void TWindowCommand::StartAnalysis(TDone done) {
    active_ = true;
    done_ = std::move(done);
    try {
        if (sink_) sink_(0, 0);
        window_.Run().Progress = [this](int maximum, int position) {
            if (sink_) sink_(maximum, position);
        };
        window_.btnExecuteClick();
        // The folder emptied since it was looked at: no run, no end to wait for.
        if (!window_.Run().Running) FinishRun(QString::fromStdString(ErrorReply(-1, NoScanFilesText)));
    } catch (const std::exception& e) {
        // A run that did start keeps going; its end no longer has a caller.
        FinishRun(QString::fromStdString(ErrorReply(-2, e.what())));
    }
}

void TWindowCommand::FinishRun(const QString& reply) {
    auto done = std::move(done_);
    done_ = nullptr;
    key_.reset();
    sink_ = nullptr;
    window_.Run().Progress = nullptr;
    active_ = false;
    // The command's settings are not the operator's: nothing to save, and the
    // black level it set is not remembered.
    window_.SetSaveState(false);
    window_.ConfigDirty = false;
    // The caller has the document; the window holds no results of its own.
    window_.ResultsSaved = true;
    if (done) done(reply);
}

}  // namespace quorlen
