#include "app/batch/ShowWyniki.h"

#include <QClipboard>
#include <QCollator>
#include <QDesktopServices>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <map>

#include "core/recognition/ReadScan.h"
#include "core/recognition/ScanPages.h"
#include "core/results/RepeatedCodes.h"
#include "core/scoring/ScoreTable.h"

namespace quorlen {

namespace {
constexpr int kRowHeight = 20;
// Rows of an entry whose scan job did not end cleanly: shown, but marked.
const QColor kIncompleteRow(255, 224, 192);
// A code on more than one sheet: two entries for one student.
const QColor kRepeatedCodeRow(255, 246, 170);

// The first cell of a row keeps the index of its entry in the document.
constexpr int kEntryRole = Qt::UserRole;
// A cell that sorts by a number (points, per cent, grade) keeps it here.
constexpr int kNumberRole = Qt::UserRole + 1;
// Lines of the skipped-scans part shown before it scrolls.
constexpr int kSkippedRowsShown = 5;

QString Text(const Json& v) { return v.is_string() ? QString::fromStdString(v.get<std::string>()) : QString(); }

// Cells sort as a reader expects: numbers by value, blanks after them, and
// text with its digits taken as numbers, so that code 7 comes before 0012.
class TCell : public QTableWidgetItem {
public:
    using QTableWidgetItem::QTableWidgetItem;
    bool operator<(const QTableWidgetItem& other) const override {
        const QVariant a = data(kNumberRole), b = other.data(kNumberRole);
        if (a.isValid() && b.isValid()) return a.toDouble() < b.toDouble();
        if (a.isValid() != b.isValid()) return a.isValid();
        static const QCollator collator = [] {
            QCollator c(QLocale(QLocale::Polish));
            c.setNumericMode(true);
            c.setCaseSensitivity(Qt::CaseInsensitive);
            return c;
        }();
        const int order = collator.compare(text(), other.text());
        // Equal texts keep the document's order, so a sort is the same every time.
        return order != 0 ? order < 0 : data(kEntryRole).toInt() < other.data(kEntryRole).toInt();
    }
};
}  // namespace

TfrmShowWyniki::TfrmShowWyniki(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmShowWyniki"));
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    setFont(font);
    edtSzukaj_ = new QLineEdit(this);
    edtSzukaj_->setObjectName(QStringLiteral("edtSzukaj"));
    edtSzukaj_->setPlaceholderText(QStringLiteral("Szukaj kodu lub nazwy skanu…"));
    edtSzukaj_->setClearButtonEnabled(true);
    connect(edtSzukaj_, &QLineEdit::textChanged, this, [this] { ApplyFilter(); });

    sgrdWyniki_ = new QTableWidget(this);
    sgrdWyniki_->setObjectName(QStringLiteral("sgrdWyniki"));
    sgrdWyniki_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    sgrdWyniki_->setSelectionBehavior(QAbstractItemView::SelectRows);
    sgrdWyniki_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    sgrdWyniki_->verticalHeader()->hide();
    // Columns are as wide as the rules make them, however narrow.
    sgrdWyniki_->horizontalHeader()->setMinimumSectionSize(1);
    // The width rules leave room for the text itself only: no cell padding and
    // no ellipsis eating the last digits of a code.
    sgrdWyniki_->setTextElideMode(Qt::ElideNone);
    // Whole rows are selected, so the current cell needs no focus frame of its
    // own; in a code column sized to its text the frame would cover a digit.
    sgrdWyniki_->setStyleSheet(
        QStringLiteral("QTableView { outline: 0; } QTableView::item { padding: 0px 1px; }"));
    sgrdWyniki_->verticalHeader()->setDefaultSectionSize(kRowHeight);
    sgrdWyniki_->horizontalHeader()->setFixedHeight(kRowHeight);
    sgrdWyniki_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    sgrdWyniki_->installEventFilter(this);

    frozen_ = new QTableView(sgrdWyniki_);
    frozen_->setObjectName(QStringLiteral("sgrdWynikiFixedColumn"));
    frozen_->setModel(sgrdWyniki_->model());
    frozen_->setSelectionModel(sgrdWyniki_->selectionModel());
    frozen_->setFocusPolicy(Qt::NoFocus);
    frozen_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    frozen_->setSelectionBehavior(QAbstractItemView::SelectRows);
    frozen_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    frozen_->setTextElideMode(Qt::ElideNone);
    frozen_->setStyleSheet(sgrdWyniki_->styleSheet());
    frozen_->verticalHeader()->hide();
    frozen_->verticalHeader()->setDefaultSectionSize(kRowHeight);
    frozen_->horizontalHeader()->setFixedHeight(kRowHeight);
    frozen_->horizontalHeader()->setMinimumSectionSize(1);
    frozen_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    frozen_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    frozen_->setFrameShape(QFrame::NoFrame);
    sgrdWyniki_->viewport()->stackUnder(frozen_);
    connect(frozen_->verticalScrollBar(), &QAbstractSlider::valueChanged, sgrdWyniki_->verticalScrollBar(),
            &QAbstractSlider::setValue);
    connect(sgrdWyniki_->verticalScrollBar(), &QAbstractSlider::valueChanged, frozen_->verticalScrollBar(),
            &QAbstractSlider::setValue);
    // Both headers sort: the code column's header is the frozen one's.
    for (QHeaderView* header : {sgrdWyniki_->horizontalHeader(), frozen_->horizontalHeader()}) {
        header->setSectionsClickable(true);
        header->setSortIndicatorShown(false);
        connect(header, &QHeaderView::sectionClicked, this, [this](int column) { SortBy(column); });
    }

    lblPominiete_ = new QLabel(this);
    lblPominiete_->setObjectName(QStringLiteral("lblPominiete"));
    lblPominiete_->setWordWrap(true);
    sgrdPominiete_ = new QTableWidget(0, 2, this);
    sgrdPominiete_->setObjectName(QStringLiteral("sgrdPominiete"));
    sgrdPominiete_->setHorizontalHeaderLabels({QStringLiteral("Skan"), QStringLiteral("Powód")});
    sgrdPominiete_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    sgrdPominiete_->setSelectionBehavior(QAbstractItemView::SelectRows);
    sgrdPominiete_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    sgrdPominiete_->verticalHeader()->hide();
    sgrdPominiete_->verticalHeader()->setDefaultSectionSize(kRowHeight);
    sgrdPominiete_->horizontalHeader()->setFixedHeight(kRowHeight);
    sgrdPominiete_->horizontalHeader()->setStretchLastSection(true);
    sgrdPominiete_->setWordWrap(false);
    // Its height is counted in lines: a scroll bar would cover the last one.
    // A long reason is cut short on its line and shown whole as a tool tip.
    sgrdPominiete_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    for (QTableView* view : {static_cast<QTableView*>(sgrdWyniki_), frozen_, static_cast<QTableView*>(sgrdPominiete_)}) {
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this,
                [this, view](const QPoint& pos) { ShowContextMenu(view, pos); });
    }

    btnUseAsKey_ = new QPushButton(QStringLiteral("Użyj jako klucza"), this);
    btnUseAsKey_->setObjectName(QStringLiteral("btnUseAsKey"));
    btnUseAsKey_->setEnabled(false);
    btnRaport_ = new QPushButton(QStringLiteral("Raport"), this);
    btnRaport_->setObjectName(QStringLiteral("btnRaport"));
    btnRaport_->hide();
    connect(sgrdWyniki_, &QTableWidget::itemSelectionChanged, this, [this] {
        btnUseAsKey_->setEnabled(sgrdWyniki_->selectionModel()->selectedRows().size() == 1);
    });
    connect(btnUseAsKey_, &QPushButton::clicked, this, [this] {
        const auto rows = sgrdWyniki_->selectionModel()->selectedRows();
        if (rows.size() == 1 && UseAsKey) UseAsKey(EntryOf(sgrdWyniki_, rows[0].row()));
    });
    connect(btnRaport_, &QPushButton::clicked, this, [this] {
        if (OpenReport) OpenReport();
    });
    OpenScan = [](const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(4, 2, 4, 2);
    buttons->addWidget(btnUseAsKey_);
    buttons->addWidget(btnRaport_);
    buttons->addStretch(1);
    auto* search = new QHBoxLayout;
    search->setContentsMargins(4, 2, 4, 2);
    search->addWidget(edtSzukaj_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(search);
    layout->addWidget(sgrdWyniki_, 1);
    layout->addWidget(lblPominiete_);
    layout->addWidget(sgrdPominiete_);
    layout->addLayout(buttons);
}

QString TfrmShowWyniki::ScanFilePath(const Json& document, const QString& fileName) {
    // A page opens its whole file: no picture viewer takes "skany.pdf#3".
    const QString name = QString::fromStdString(SplitScanPageName(fileName.toStdString()).File);
    const QString folder = Text(document.value("Folder", Json()));
    return folder.isEmpty() ? name : folder + QChar('/') + name;
}

int TfrmShowWyniki::EntryOf(const QTableWidget* grid, int row) {
    const QTableWidgetItem* first = grid->item(row, 0);
    return first ? first->data(kEntryRole).toInt() : -1;
}

// A scored run gets three more columns after "Skan".
void TfrmShowWyniki::FillScores(const Json& lista, int firstColumn) {
    sgrdWyniki_->setColumnCount(firstColumn + 3);
    sgrdWyniki_->setHorizontalHeaderItem(firstColumn, new QTableWidgetItem(QStringLiteral("Punkty")));
    sgrdWyniki_->setHorizontalHeaderItem(firstColumn + 1, new QTableWidgetItem(QStringLiteral("%")));
    sgrdWyniki_->setHorizontalHeaderItem(firstColumn + 2, new QTableWidgetItem(QStringLiteral("Ocena")));
    auto number = [](const Json& v, int decimals, bool fixed) {
        return v.is_number() ? QString::fromStdString(PolishNumber(v.get<double>(), decimals, fixed)) : QString();
    };
    for (int k = 0; k < static_cast<int>(lista.size()); ++k) {
        const Json& e = lista[static_cast<size_t>(k)];
        const Json values[] = {e.value("Punkty", Json()), e.value("Procent", Json()), e.value("Ocena", Json())};
        const QString cells[] = {number(values[0], 2, false), number(values[1], 1, true), number(values[2], 2, false)};
        for (int c = 0; c < 3; ++c) {
            auto* item = new TCell(cells[c]);
            item->setData(kEntryRole, k);
            if (values[c].is_number()) item->setData(kNumberRole, values[c].get<double>());
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (e.contains("Uwagi")) item->setToolTip(Text(e["Uwagi"]));
            sgrdWyniki_->setItem(k, firstColumn + c, item);
        }
    }
    const QFontMetrics fm(sgrdWyniki_->font());
    for (int c = 0; c < 3; ++c)
        sgrdWyniki_->setColumnWidth(firstColumn + c, fm.horizontalAdvance(QStringLiteral("WWWWW")));
}

// One line per scan without a result: its file and why.
void TfrmShowWyniki::FillSkipped(const Json& skipped) {
    sgrdPominiete_->setRowCount(static_cast<int>(skipped.size()));
    for (int k = 0; k < static_cast<int>(skipped.size()); ++k) {
        const Json& p = skipped[static_cast<size_t>(k)];
        const QString message = Text(p.value("Message", Json())).replace('\r', ' ').simplified();
        auto* file = new QTableWidgetItem(Text(p.value("FileName", Json())));
        file->setData(kEntryRole, k);
        sgrdPominiete_->setItem(k, 0, file);
        auto* why = new QTableWidgetItem(message);
        why->setToolTip(message);
        sgrdPominiete_->setItem(k, 1, why);
    }
    sgrdPominiete_->resizeColumnToContents(0);
    const int shown = std::min(static_cast<int>(skipped.size()), kSkippedRowsShown);
    sgrdPominiete_->setFixedHeight(kRowHeight + 2 * sgrdPominiete_->frameWidth() + shown * kRowHeight +
                                   (static_cast<int>(skipped.size()) > shown ? 0 : 2));
    lblPominiete_->setText(QStringLiteral("Skany bez wyniku: %1").arg(skipped.size()));
    lblPominiete_->setVisible(!skipped.empty());
    sgrdPominiete_->setVisible(!skipped.empty());
}

void TfrmShowWyniki::FillResults(const Json& doc) {
    document_ = doc;
    setWindowTitle(Text(doc.value("Project", Json())));
    const int qcnt = doc.value("QCnt", 0);
    const Json lista = doc.value("Lista", Json::array());
    sgrdWyniki_->clear();
    sgrdWyniki_->setColumnCount(qcnt + 2);
    sgrdWyniki_->setRowCount(static_cast<int>(lista.size()));
    QStringList header{QStringLiteral("ID")};
    for (int i = 1; i <= qcnt; ++i) header << QString::number(i);
    header << QStringLiteral("Skan");
    sgrdWyniki_->setHorizontalHeaderLabels(header);

    int ls = 0, lf = 0, la = 0;
    const std::map<std::string, int> repeated = RepeatedCodes(doc);
    for (int k = 0; k < static_cast<int>(lista.size()); ++k) {
        const Json& e = lista[static_cast<size_t>(k)];
        // Every cell exists, so that a short row sorts like the others.
        auto cell = [&](int column, const QString& text) {
            auto* item = new TCell(text);
            item->setData(kEntryRole, k);
            sgrdWyniki_->setItem(k, column, item);
        };
        const QString student = Text(e.value("Student", Json())), file = Text(e.value("FileName", Json()));
        cell(0, student);
        cell(qcnt + 1, file);
        const bool incomplete = e.value("Status", 0) != 0;
        ls = std::max(ls, static_cast<int>(student.size()));
        lf = std::max(lf, static_cast<int>(file.size()));
        const Json wyniki = e.value("Wyniki", Json::array());
        for (int i = 0; i < qcnt; ++i) {
            const QString a = i < static_cast<int>(wyniki.size()) ? Text(wyniki[static_cast<size_t>(i)]) : QString();
            cell(i + 1, a);
            la = std::max(la, static_cast<int>(a.size()));
        }
        if (incomplete) {
            const QString message = Text(e.value("Message", Json())).replace('\r', ' ').trimmed();
            for (int c = 0; c < qcnt + 2; ++c) {
                sgrdWyniki_->item(k, c)->setBackground(kIncompleteRow);
                sgrdWyniki_->item(k, c)->setToolTip(message);
            }
        }
        if (const auto r = repeated.find(e.value("Student", std::string())); r != repeated.end()) {
            const QString note = QString::fromStdString(RepeatedCodeNote(r->first, r->second));
            for (int c = 0; c < qcnt + 2; ++c) {
                if (!sgrdWyniki_->item(k, c)) sgrdWyniki_->setItem(k, c, new QTableWidgetItem());
                QTableWidgetItem* item = sgrdWyniki_->item(k, c);
                if (!incomplete) item->setBackground(kRepeatedCodeRow);
                item->setToolTip(item->toolTip().isEmpty() ? note : item->toolTip() + QStringLiteral("\n") + note);
            }
        }
    }
    const QFontMetrics fm(sgrdWyniki_->font());
    const int digits = static_cast<int>(QString::number(qcnt).size());
    const int w = doc.value("MultiChoice", false) ? std::max(la, digits) : digits;
    sgrdWyniki_->setColumnWidth(0, fm.horizontalAdvance(QString(ls, QChar('8'))) + 5);
    for (int i = 1; i <= qcnt; ++i) sgrdWyniki_->setColumnWidth(i, fm.horizontalAdvance(QString(w, QChar('W'))));
    sgrdWyniki_->setColumnWidth(qcnt + 1, fm.horizontalAdvance(QString(lf, QChar('W'))));

    const bool scored = doc.contains("Klucz");
    if (scored) FillScores(lista, qcnt + 2);
    btnRaport_->setVisible(scored);
    btnUseAsKey_->setEnabled(false);
    FillSkipped(doc.value("Pominiete", Json::array()));

    for (int c = 0; c < sgrdWyniki_->columnCount(); ++c) frozen_->setColumnHidden(c, c != 0);
    frozen_->setColumnWidth(0, sgrdWyniki_->columnWidth(0));
    // The operator's order and search stay over a refill (a key, a typed code).
    if (sortColumn_ >= sgrdWyniki_->columnCount()) sortColumn_ = -1;
    ApplySort();
    ApplyFilter();
    PlaceFrozenColumn();

    // The first run that shows rows fits the window; later fills keep the
    // size the operator may have given it.
    if (!Sized && !lista.empty()) {
        Sized = true;
        FitWindow();
    }
}

void TfrmShowWyniki::SortBy(int column) {
    if (column < 0 || column >= sgrdWyniki_->columnCount()) return;
    sortOrder_ = column == sortColumn_ && sortOrder_ == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    sortColumn_ = column;
    ApplySort();
    ApplyFilter();
}

void TfrmShowWyniki::ApplySort() {
    for (QHeaderView* header : {sgrdWyniki_->horizontalHeader(), frozen_->horizontalHeader()}) {
        header->setSortIndicatorShown(sortColumn_ >= 0);
        header->setSortIndicator(sortColumn_, sortOrder_);
    }
    if (sortColumn_ >= 0) sgrdWyniki_->sortItems(sortColumn_, sortOrder_);
}

void TfrmShowWyniki::ApplyFilter() {
    const QString wanted = edtSzukaj_->text().trimmed();
    auto matches = [&](const QTableWidget* grid, int row, std::initializer_list<int> columns) {
        if (wanted.isEmpty()) return true;
        for (int c : columns)
            if (const QTableWidgetItem* item = grid->item(row, c); item && item->text().contains(wanted, Qt::CaseInsensitive))
                return true;
        return false;
    };
    const int fileColumn = document_.value("QCnt", 0) + 1;
    for (int r = 0; r < sgrdWyniki_->rowCount(); ++r) {
        const bool hidden = !matches(sgrdWyniki_, r, {0, fileColumn});
        sgrdWyniki_->setRowHidden(r, hidden);
        frozen_->setRowHidden(r, hidden);
    }
    for (int r = 0; r < sgrdPominiete_->rowCount(); ++r) sgrdPominiete_->setRowHidden(r, !matches(sgrdPominiete_, r, {0}));
}

void TfrmShowWyniki::CopyRows(QTableWidget* grid, const QList<int>& rows) const {
    QStringList lines;
    for (int r : rows) {
        QStringList cells;
        for (int c = 0; c < grid->columnCount(); ++c) cells << (grid->item(r, c) ? grid->item(r, c)->text() : QString());
        lines << cells.join(QChar('\t'));
    }
    QGuiApplication::clipboard()->setText(lines.join(QChar('\n')));
}

void TfrmShowWyniki::ShowContextMenu(QTableView* view, const QPoint& pos) {
    QTableWidget* grid = view == sgrdPominiete_ ? sgrdPominiete_ : sgrdWyniki_;
    const int row = view->indexAt(pos).row();
    if (row < 0) return;
    // The rows to copy: the selection when the click fell into it, else the row.
    QList<int> rows;
    for (const QModelIndex& index : grid->selectionModel()->selectedRows()) rows << index.row();
    if (!rows.contains(row)) rows = {row};
    std::sort(rows.begin(), rows.end());
    const int entry = EntryOf(grid, row);
    const bool skipped = grid == sgrdPominiete_;
    const Json list = document_.value(skipped ? "Pominiete" : "Lista", Json::array());
    if (entry < 0 || entry >= static_cast<int>(list.size())) return;
    const Json& record = list[static_cast<size_t>(entry)];
    const QString path = ScanFilePath(document_, Text(record.value("FileName", Json())));

    QMenu menu(this);
    menu.setObjectName(QStringLiteral("mnuWiersz"));
    if (skipped) {
        // Queued: the menu is gone before the code's dialog and the reading's
        // questions come up.
        QAction* enter = menu.addAction(QStringLiteral("Wpisz kod…"), this, [this, entry] {
            QMetaObject::invokeMethod(
                this,
                [this, entry] {
                    if (EnterCode) EnterCode(entry);
                },
                Qt::QueuedConnection);
        });
        enter->setObjectName(QStringLiteral("actWpiszKod"));
        // A file that is no picture, or a blank page, has no sheet to read.
        const int status = record.value("Status", 0);
        enter->setEnabled(EnterCode && status != static_cast<int>(TScanStatus::LoadFailed) &&
                          status != static_cast<int>(TScanStatus::Blank));
    }
    QAction* copy = menu.addAction(rows.size() > 1 ? QStringLiteral("Kopiuj wiersze") : QStringLiteral("Kopiuj wiersz"),
                                   this, [this, grid, rows] { CopyRows(grid, rows); });
    copy->setObjectName(QStringLiteral("actKopiuj"));
    QAction* open = menu.addAction(QStringLiteral("Otwórz skan"), this, [this, path] {
        if (OpenScan) OpenScan(path);
    });
    open->setObjectName(QStringLiteral("actOtworzSkan"));
    menu.exec(view->viewport()->mapToGlobal(pos));
}

void TfrmShowWyniki::FitWindow() {
    int width = 2 * sgrdWyniki_->frameWidth();
    for (int c = 0; c < sgrdWyniki_->columnCount(); ++c) width += sgrdWyniki_->columnWidth(c) + 1;
    // Room for at least MinFittedRows rows, however few the run has, so that
    // later runs and a search have space; the screen sets the limit.
    const int rows = std::max(sgrdWyniki_->rowCount(), MinFittedRows);
    int height = (rows + 1) * (kRowHeight + 1) + 2 * sgrdWyniki_->frameWidth() + 5 +
                 sgrdWyniki_->horizontalScrollBar()->sizeHint().height();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        width = std::min(width, screen->availableGeometry().width() - 60);
    height += edtSzukaj_->sizeHint().height() + 6;
    if (lblPominiete_->isVisibleTo(this))
        height += lblPominiete_->heightForWidth(width) + sgrdPominiete_->height() + 4;
    height += btnUseAsKey_->sizeHint().height() + 4;  // the buttons under the grid
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        height = std::min(height, screen->availableGeometry().height() - 60);
    resize(width, height);
}

void TfrmShowWyniki::PlaceFrozenColumn() {
    frozen_->setGeometry(sgrdWyniki_->frameWidth(), sgrdWyniki_->frameWidth(), sgrdWyniki_->columnWidth(0) + 1,
                         sgrdWyniki_->viewport()->height() + sgrdWyniki_->horizontalHeader()->height());
}

bool TfrmShowWyniki::eventFilter(QObject* watched, QEvent* event) {
    if (watched == sgrdWyniki_ && event->type() == QEvent::Resize) PlaceFrozenColumn();
    return QWidget::eventFilter(watched, event);
}

void TfrmShowWyniki::ShowResultsView(const Json& document) {
    FillResults(document);
    if (!placed_) {
        placed_ = true;
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    }
    show();
    raise();
    activateWindow();
}

}  // namespace quorlen
