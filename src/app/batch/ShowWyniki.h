#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QWidget>
#include <functional>

#include "core/common/Json.h"

namespace quorlen {

// The results view: one row per scan with a code, the answers in question
// columns, and under the grid the scans that gave no result, one line each.
// A click on a column's header sorts by it, the search field keeps the rows
// whose code or scan name holds its text, and a right click offers the row's
// actions. One instance, non-modal; closing only hides it.
class TfrmShowWyniki : public QWidget {
    Q_OBJECT
public:
    explicit TfrmShowWyniki(QWidget* parent = nullptr);
    void FillResults(const Json& document);
    void ShowResultsView(const Json& document);
    bool Sized = false;
    // The callbacks name an entry by its index in the document's "Lista"
    // (or "Pominiete"), whatever order the grid shows the rows in.
    // "Użyj jako klucza" on the selected row; "Raport" of a scored run.
    std::function<void(int entry)> UseAsKey;
    std::function<void()> OpenReport;
    // "Wpisz kod…" on a line of the scans without a result.
    std::function<void(int skipped)> EnterCode;
    // "Otwórz skan": the scan file in the desktop's program for pictures.
    std::function<void(const QString& path)> OpenScan;

    // The least number of rows a fitted window shows, screen permitting.
    static constexpr int MinFittedRows = 15;
    // The scan's file as the document names it: the run's folder and the file
    // name without a page suffix ("plik.pdf#3" is a page of plik.pdf).
    static QString ScanFilePath(const Json& document, const QString& fileName);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The scores of a run with an answer key and the two buttons under the grid.
    void FillScores(const Json& lista, int firstColumn);
    void FillSkipped(const Json& skipped);
    // Fits the window to every column, the skipped-scans part and the buttons.
    void FitWindow();
    void PlaceFrozenColumn();
    // A click on a header: the same column again turns the order round.
    void SortBy(int column);
    void ApplySort();
    void ApplyFilter();
    void ShowContextMenu(QTableView* view, const QPoint& pos);
    // The cells of the rows, tab-separated, one line each, as the grid shows them.
    void CopyRows(QTableWidget* grid, const QList<int>& rows) const;
    // The entry index of a grid row (kept in its first cell).
    static int EntryOf(const QTableWidget* grid, int row);

    QPushButton *btnUseAsKey_, *btnRaport_;
    QLineEdit* edtSzukaj_;
    QTableWidget* sgrdWyniki_;
    // The code column drawn again over the grid's left edge, so that it stays
    // in view while the answers scroll sideways.
    QTableView* frozen_;
    QLabel* lblPominiete_;
    QTableWidget* sgrdPominiete_;
    Json document_;
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
    bool placed_ = false;
};

}  // namespace quorlen
