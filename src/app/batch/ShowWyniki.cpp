#include "app/batch/ShowWyniki.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QScreen>
#include <QScrollBar>
#include <QEvent>
#include <QVBoxLayout>
#include <algorithm>
#include <map>

#include "core/results/RepeatedCodes.h"
#include "core/scoring/ScoreTable.h"

namespace quorlen {

namespace {
constexpr int kRowHeight = 20;
// Rows of an entry whose scan job did not end cleanly: shown, but marked.
const QColor kIncompleteRow(255, 224, 192);
// A code on more than one sheet: two entries for one student.
const QColor kRepeatedCodeRow(255, 246, 170);

QString Text(const Json& v) { return v.is_string() ? QString::fromStdString(v.get<std::string>()) : QString(); }
}  // namespace

TfrmShowWyniki::TfrmShowWyniki(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmShowWyniki"));
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    setFont(font);
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

    lblPominiete_ = new QLabel(this);
    lblPominiete_->setObjectName(QStringLiteral("lblPominiete"));
    lblPominiete_->setWordWrap(true);
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
        if (rows.size() == 1 && UseAsKey) UseAsKey(rows[0].row());
    });
    connect(btnRaport_, &QPushButton::clicked, this, [this] {
        if (OpenReport) OpenReport();
    });
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(4, 2, 4, 2);
    buttons->addWidget(btnUseAsKey_);
    buttons->addWidget(btnRaport_);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(sgrdWyniki_, 1);
    layout->addWidget(lblPominiete_);
    layout->addLayout(buttons);
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
        const QString cells[] = {number(e.value("Punkty", Json()), 2, false),
                                 number(e.value("Procent", Json()), 1, true),
                                 number(e.value("Ocena", Json()), 2, false)};
        for (int c = 0; c < 3; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (e.contains("Uwagi")) item->setToolTip(Text(e["Uwagi"]));
            sgrdWyniki_->setItem(k, firstColumn + c, item);
        }
    }
    const QFontMetrics fm(sgrdWyniki_->font());
    for (int c = 0; c < 3; ++c)
        sgrdWyniki_->setColumnWidth(firstColumn + c, fm.horizontalAdvance(QStringLiteral("WWWWW")));
}

void TfrmShowWyniki::FillResults(const Json& doc) {
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
        const QString student = Text(e.value("Student", Json())), file = Text(e.value("FileName", Json()));
        sgrdWyniki_->setItem(k, 0, new QTableWidgetItem(student));
        sgrdWyniki_->setItem(k, qcnt + 1, new QTableWidgetItem(file));
        const bool incomplete = e.value("Status", 0) != 0;
        ls = std::max(ls, static_cast<int>(student.size()));
        lf = std::max(lf, static_cast<int>(file.size()));
        const Json wyniki = e.value("Wyniki", Json::array());
        for (int i = 0; i < static_cast<int>(wyniki.size()) && i < qcnt; ++i) {
            const QString a = Text(wyniki[static_cast<size_t>(i)]);
            sgrdWyniki_->setItem(k, i + 1, new QTableWidgetItem(a));
            la = std::max(la, static_cast<int>(a.size()));
        }
        if (incomplete) {
            const QString message = Text(e.value("Message", Json())).replace('\r', ' ').trimmed();
            for (int c = 0; c < qcnt + 2; ++c) {
                if (!sgrdWyniki_->item(k, c)) sgrdWyniki_->setItem(k, c, new QTableWidgetItem());
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

    QStringList skipped;
    for (const Json& p : doc.value("Pominiete", Json::array()))
        skipped << QStringLiteral("%1 (%2)").arg(Text(p.value("FileName", Json())),
                                                 Text(p.value("Message", Json())).replace('\r', ' '));
    lblPominiete_->setText(
        skipped.isEmpty() ? QString() : QStringLiteral("Skany bez wyniku: ") + skipped.join(QStringLiteral("; ")));
    lblPominiete_->setVisible(!skipped.isEmpty());

    for (int c = 0; c < sgrdWyniki_->columnCount(); ++c) frozen_->setColumnHidden(c, c != 0);
    frozen_->setColumnWidth(0, sgrdWyniki_->columnWidth(0));
    PlaceFrozenColumn();

    // The first run that shows rows fits the window; later fills keep the
    // size the operator may have given it.
    if (!Sized && !lista.empty()) {
        Sized = true;
        FitWindow();
    }
}

void TfrmShowWyniki::FitWindow() {
    int width = 2 * sgrdWyniki_->frameWidth();
    for (int c = 0; c < sgrdWyniki_->columnCount(); ++c) width += sgrdWyniki_->columnWidth(c) + 1;
    int height = (sgrdWyniki_->rowCount() + 1) * (kRowHeight + 1) + 2 * sgrdWyniki_->frameWidth() + 5 +
                 sgrdWyniki_->horizontalScrollBar()->sizeHint().height();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        width = std::min(width, screen->availableGeometry().width() - 60);
    if (lblPominiete_->isVisibleTo(this)) height += lblPominiete_->heightForWidth(width);
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
}

}  // namespace quorlen
