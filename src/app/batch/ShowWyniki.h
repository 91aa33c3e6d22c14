#pragma once

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QWidget>
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
    void FillScores(const Json& lista, int firstColumn);

    QTableWidget* sgrdWyniki_;
    QLabel* lblPominiete_;
    QPushButton *btnUseAsKey_, *btnRaport_;
};

}  // namespace quorlen
