// The key follows the project's file name: loaded when the project is, saved
// when the project or the key is. Scoring writes into the results document in
// place; a key the results do not fit leaves them unscored and says why.
#include "app/scoring/ProjectKey.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>
#include <algorithm>

#include "app/shell/FormMain.h"
#include "core/scoring/ClassReport.h"
#include "core/scoring/Scoring.h"

namespace quorlen {

namespace {
const QString kKeySuffix = QStringLiteral(".klucz.json");
}  // namespace

void TProjectKey::ShowError(const QString& text) {
    window_.Ask(text, QStringLiteral("Błąd"), QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok);
}

QString TProjectKey::FilePath() const {
    QString project = window_.panels_.edtProjectFile->text();
    if (project.isEmpty()) return QString();
    if (project.endsWith(QStringLiteral(".spf"), Qt::CaseInsensitive)) project.chop(4);
    return project + kKeySuffix;
}

void TProjectKey::Load() {
    key_.reset();
    const QString path = FilePath();
    owner_ = path;
    if (path.isEmpty() || !QFileInfo::exists(path)) return;
    try {
        key_ = ReadAnswerKeyFile(path.toStdString());
    } catch (const TKeyError& e) {
        // The project still opens; the teacher sees why its key did not.
        ShowError(QString::fromStdString(e.what()));
    }
}

void TProjectKey::Reset() {
    key_.reset();
    owner_.clear();
}

void TProjectKey::Save() {
    const QString path = FilePath();
    if (path.isEmpty()) return;
    if (!owner_.isEmpty() && owner_ != path) {
        Load();
        return;
    }
    owner_ = path;
    if (!key_) return;
    try {
        WriteAnswerKeyFile(path.toStdString(), *key_);
    } catch (const std::exception& e) {
        ShowError(QString::fromStdString(e.what()));
    }
}

void TProjectKey::Score() {
    Json& results = window_.lastResults_;
    if (!key_ || !results.is_object()) return;
    try {
        ScoreDocument(results, *key_);
    } catch (const TKeyError& e) {
        QLabel* status = window_.panels_.lblStatus;
        status->setText(status->text() + QStringLiteral("; bez oceny: ") + QString::fromStdString(e.what()));
    }
}

void TProjectKey::Edit() {
    const TProjectSettings s = window_.CurrentSettings();
    TfrmKeyEditor dialog(key_, s.QuestionCount, s.AnswerCount, &window_);
    if (window_.ExecKeyEditor(dialog) != QDialog::Accepted || !dialog.Key()) return;
    key_ = dialog.Key();
    Save();
    TfrmShowWyniki* view = window_.resultsView_.get();
    if (window_.lastResults_.is_object() && view && view->isVisible()) {
        Score();
        view->FillResults(window_.lastResults_);
    }
}

void TProjectKey::UseRow(int row) {
    const Json& results = window_.lastResults_;
    if (!results.is_object() || row < 0 || row >= static_cast<int>(results["Lista"].size())) return;
    const Json& entry = results["Lista"][static_cast<size_t>(row)];
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
    // A blank on the key sheet is a question the teacher still has to answer:
    // annulled silently, it would give every student its points.
    QStringList blanks;
    for (size_t q = 0; q < answers.size() && q < key.Answers.size(); ++q)
        if (std::none_of(answers[q].begin(), answers[q].end(), [](char c) { return c >= 'A' && c <= 'P'; })) {
            key.Answers[q].clear();
            blanks << QString::number(q + 1);
        }
    const QString sheet = QStringLiteral("%1 (%2)").arg(QString::fromStdString(entry.value("Student", std::string())),
                                                        QString::fromStdString(entry.value("FileName", std::string())));
    const QString replace = QStringLiteral("Zastąpić obecny klucz?");
    if (!blanks.isEmpty()) {
        if (key_ && window_.Ask(replace, QStringLiteral("Klucz odpowiedzi"), QMessageBox::Question,
                                QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
            return;
        const TProjectSettings s = window_.CurrentSettings();
        TfrmKeyEditor dialog(key, s.QuestionCount, s.AnswerCount, &window_);
        dialog.ShowMessage(QStringLiteral("Arkusz %1 nie ma odpowiedzi na pytania: %2. Uzupełnij je "
                                          "(albo unieważnij gwiazdką) i zatwierdź klucz.")
                               .arg(sheet, blanks.join(QStringLiteral(", "))));
        if (window_.ExecKeyEditor(dialog) != QDialog::Accepted || !dialog.Key()) return;
        key = *dialog.Key();
    } else {
        QStringList letters;
        for (size_t q = 0; q < key.Answers.size(); ++q)
            letters << QStringLiteral("%1. %2").arg(q + 1).arg(QString::fromStdString(key.Answers[q]));
        const QString question = key_ ? replace + QStringLiteral("\n\nNowy klucz z arkusza %1:").arg(sheet)
                                      : QStringLiteral("Utworzyć klucz odpowiedzi z arkusza %1?").arg(sheet);
        if (window_.Ask(question + QStringLiteral("\n\n") + letters.join(QStringLiteral("  ")),
                        QStringLiteral("Klucz odpowiedzi"), QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
                        QMessageBox::No) != QMessageBox::Yes)
            return;
    }
    key_ = std::move(key);
    Save();
    Score();
    window_.ResultsView()->FillResults(window_.lastResults_);
}

void TProjectKey::OpenReport() {
    if (!key_ || !window_.lastResults_.is_object()) return;
    const QString results = FilePath();
    const QString path = results.isEmpty()
                             ? QDir(QStandardPaths::writableLocation(QStandardPaths::TempLocation))
                                   .filePath(QStringLiteral("raport.html"))
                             : results.left(results.size() - kKeySuffix.size()) + QStringLiteral(".raport.html");
    try {
        WriteClassReport(path.toStdString(), window_.lastResults_, *key_);
    } catch (const std::exception& e) {
        ShowError(QString::fromStdString(e.what()));
        return;
    }
    const bool opened = window_.OpenInBrowser ? window_.OpenInBrowser(path)
                                              : QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    // The report stays as a file beside the project; the teacher is told where,
    // most of all when no browser showed it.
    const QString where = QStringLiteral("Raport klasy zapisano w pliku:\n") + path;
    if (opened)
        window_.Ask(where, QStringLiteral("Raport"), QMessageBox::Information, QMessageBox::Ok, QMessageBox::Ok);
    else
        window_.Ask(QStringLiteral("Nie udało się otworzyć przeglądarki.\n") + where, QStringLiteral("Raport"),
                    QMessageBox::Warning, QMessageBox::Ok, QMessageBox::Ok);
}

}  // namespace quorlen
