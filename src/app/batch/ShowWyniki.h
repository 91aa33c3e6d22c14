#pragma once

#include <QLabel>
#include <QTableView>
#include <QTableWidget>
#include <QWidget>
#include <QPushButton>
#include <functional>

#include "core/common/Json.h"

namespace quorlen {

// The results view: one row per scan with a code, the answers in question
// columns, and under the grid the scans that gave no result. One instance,
// non-modal; closing only hides it.
class TfrmShowWyniki : public QWidget {
    Q_OBJECT
public:
    explicit TfrmShowWyniki(QWidget* parent = nullptr);
    void FillResults(const Json& document);
    void ShowResultsView(const Json& document);
    bool Sized = false;
    // "Użyj jako klucza" on the selected row; "Raport" of a scored run.
    std::function<void(int row)> UseAsKey;
    std::function<void()> OpenReport;

private:
    // The scores of a run with an answer key and the two buttons under the grid.
    void FillScores(const Json& lista, int firstColumn);
    QPushButton *btnUseAsKey_, *btnRaport_;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Fits the window to every column, the skipped-scans line and the buttons.
    void FitWindow();
    void PlaceFrozenColumn();

    QTableWidget* sgrdWyniki_;
    // The code column drawn again over the grid's left edge, so that it stays
    // in view while the answers scroll sideways.
    QTableView* frozen_;
    QLabel* lblPominiete_;
    bool placed_ = false;
};

}  // namespace quorlen
