#pragma once

#include <QComboBox>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <optional>
#include <string>
#include <vector>

#include "core/scoring/AnswerKey.h"

namespace quorlen {

// The answer-key editor: a grid of questions × letters (a click marks or
// clears a correct letter, the "*" column annuls the question; from the
// keyboard a letter toggles that letter of the current question, "*" annuls
// it, Space goes on to the next question) with the points
// per question, the wrong-answer points, the multiple-choice mode, the grade
// thresholds and the test versions. OK checks the key against the project and
// stays open with the reason when it does not fit.
class TfrmKeyEditor : public QDialog {
    Q_OBJECT
public:
    TfrmKeyEditor(const std::optional<TAnswerKey>& key, int questionCount, int answerCount, QWidget* parent = nullptr);

    // The key as accepted; set by OK.
    const std::optional<TAnswerKey>& Key() const { return result_; }
    void accept() override;
    // A note above the buttons, where a refused key shows its reason.
    void ShowMessage(const QString& text) { lblBlad_->setText(text); }

    // "30:2; 50:3" ↔ grade steps.
    static QString GradesText(const std::vector<TGradeStep>& grades);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The window's frame is known once it is shown; the fit then leaves room for it.
    void showEvent(QShowEvent* event) override;

private:
    struct TSheet {
        QString Name;  // empty: the main key
        QString Codes;
        std::vector<std::string> Answers;
        std::vector<double> Points;
    };

    void ShowSheet(int index);
    void StoreSheet();
    void ToggleCell(int row, int column);
    void AddVersion();
    Json BuildJson() const;
    void RefreshRow(int row);
    // The grid's keys; true when the key was the grid's to take.
    bool GridKey(const QKeyEvent& key);
    // Tall enough for every question, up to the screen's height.
    void FitToScreen();

    int questions_, answers_;
    std::vector<TSheet> sheets_;
    int current_ = 0;
    std::string sheetFile_;
    std::optional<TAnswerKey> result_;

    QTableWidget* grdKlucz_;
    QLineEdit *edtWrongPoints_, *edtOceny_, *edtKody_;
    QComboBox *cbxMulti_, *cbxWersja_;
    QPushButton* btnDodajWersje_;
    QLabel* lblBlad_;
};

}  // namespace quorlen
