#pragma once

#include <QLabel>
#include <QTableWidget>
#include <QWidget>

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

private:
    QTableWidget* sgrdWyniki_;
    QLabel* lblPominiete_;
};

}  // namespace quorlen
