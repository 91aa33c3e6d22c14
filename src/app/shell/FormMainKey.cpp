// The main window's answer key: the editor, the key file beside the project,
// scoring a run's results, a key taken from a scanned sheet and the report.
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include "app/shell/FormMain.h"
#include "core/scoring/ClassReport.h"
#include "core/scoring/Scoring.h"

namespace quorlen {

namespace {
const QString kKeySuffix = QStringLiteral(".klucz.json");

void ShowError(TFormMain& w, const QString& text) {
    w.Ask(text, QStringLiteral("Błąd"), QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok);
}
}  // namespace

QString TFormMain::KeyFilePath() const {
    QString project = edtProjectFile_->text();
    if (project.isEmpty()) return QString();
    if (project.endsWith(QStringLiteral(".spf"), Qt::CaseInsensitive)) project.chop(4);
    return project + kKeySuffix;
}

void TFormMain::LoadKey() {
    key_.reset();
    const QString path = KeyFilePath();
    if (path.isEmpty() || !QFileInfo::exists(path)) return;
    try {
        key_ = ReadAnswerKeyFile(path.toStdString());
    } catch (const TKeyError& e) {
        // The project still opens; the teacher sees why its key did not.
        ShowError(*this, QString::fromStdString(e.what()));
    }
}

void TFormMain::SaveKey() {
    const QString path = KeyFilePath();
    if (!key_ || path.isEmpty()) return;
    try {
        WriteAnswerKeyFile(path.toStdString(), *key_);
    } catch (const std::exception& e) {
        ShowError(*this, QString::fromStdString(e.what()));
    }
}

void TFormMain::ScoreResults() {
    if (!key_ || !lastResults_.is_object()) return;
    try {
        ScoreDocument(lastResults_, *key_);
    } catch (const TKeyError& e) {
        lblStatus_->setText(lblStatus_->text() + QStringLiteral("; bez oceny: ") + QString::fromStdString(e.what()));
    }
}

void TFormMain::btnKluczClick() {
    const TProjectSettings s = CurrentSettings();
    TfrmKeyEditor dialog(key_, s.QuestionCount, s.AnswerCount, this);
    if (ExecKeyEditor(dialog) != QDialog::Accepted || !dialog.Key()) return;
    key_ = dialog.Key();
    SaveKey();
    if (lastResults_.is_object() && resultsView_ && resultsView_->isVisible()) {
        ScoreResults();
        resultsView_->FillResults(lastResults_);
    }
}

void TFormMain::UseRowAsKey(int row) {
    if (!lastResults_.is_object() || row < 0 || row >= static_cast<int>(lastResults_["Lista"].size())) return;
    const Json& entry = lastResults_["Lista"][static_cast<size_t>(row)];
    std::vector<std::string> answers;
    for (const Json& a : entry.value("Wyniki", Json::array()))
        answers.push_back(a.is_string() ? a.get<std::string>() : "");
    TAnswerKey key = KeyFromSheet(answers, entry.value("FileName", std::string()));
    if (key_) {
        // The teacher's scale and rules stay; only the answers come from the sheet.
        key.WrongPoints = key_->WrongPoints;
        key.Multi = key_->Multi;
        key.Grades = key_->Grades;
    }
    QStringList letters;
    for (size_t q = 0; q < key.Answers.size(); ++q)
        letters << QStringLiteral("%1. %2").arg(q + 1).arg(QString::fromStdString(key.Answers[q]));
    const QString text =
        QStringLiteral("Utworzyć klucz odpowiedzi z arkusza %1 (%2)?\n\n%3")
            .arg(QString::fromStdString(entry.value("Student", std::string())),
                 QString::fromStdString(entry.value("FileName", std::string())), letters.join(QStringLiteral("  ")));
    if (Ask(text, QStringLiteral("Klucz odpowiedzi"), QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
            QMessageBox::No) != QMessageBox::Yes)
        return;
    key_ = std::move(key);
    SaveKey();
    ScoreResults();
    ResultsView()->FillResults(lastResults_);
}

void TFormMain::OpenClassReport() {
    if (!key_ || !lastResults_.is_object()) return;
    const QString results = KeyFilePath();
    const QString path = results.isEmpty()
                             ? QDir(QStandardPaths::writableLocation(QStandardPaths::TempLocation))
                                   .filePath(QStringLiteral("raport.html"))
                             : results.left(results.size() - kKeySuffix.size()) + QStringLiteral(".raport.html");
    try {
        WriteClassReport(path.toStdString(), lastResults_, *key_);
    } catch (const std::exception& e) {
        ShowError(*this, QString::fromStdString(e.what()));
        return;
    }
    if (OpenInBrowser)
        OpenInBrowser(path);
    else
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

}  // namespace quorlen
