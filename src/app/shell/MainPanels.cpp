// The window's controls are placed by hand on fixed rows, as the form was
// drawn: each panel has its builder, and a resize re-anchors the controls
// that follow the right edge.
#include "app/shell/MainPanels.h"

#include <QFrame>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QVBoxLayout>

namespace quorlen {

namespace {
const QString kPrintCaption = QStringLiteral("Wydrukuj arkusze");
const QString kSaveCaption = QStringLiteral("Zapisz projekt");
// Geometry of the panels: row pitch, control height, where the fields start
// and the width shared by the main buttons.
const int kRow = 28;
const int kHeight = 24;
const int kFieldLeft = 120;
const int kButtonWidth = 150;

QLabel* Label(QWidget* parent, const char* name, const QString& text, int row) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(8, 8 + row * kRow, kFieldLeft - 12, kHeight);
    return l;
}

QLineEdit* Edit(QWidget* parent, const char* name, const QString& hint, int row) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setToolTip(hint);
    e->setGeometry(kFieldLeft, 8 + row * kRow, 60, kHeight);
    return e;
}

QAction* Browse(QMainWindow& window, QLineEdit* e, const char* name) {
    QAction* a = e->addAction(window.style()->standardIcon(QStyle::SP_DirOpenIcon), QLineEdit::TrailingPosition);
    a->setObjectName(QString::fromLatin1(name));
    return a;
}
}  // namespace

QString LettersFor(int answerCount) {
    QString letters = QStringLiteral("AB");
    for (int i = 2; i < answerCount; ++i) letters += QChar('A' + i);
    return letters;
}

TMainPanels::TMainPanels(QMainWindow& window, QObject* resizeWatcher) {
    BuildPanels(window, resizeWatcher);
    BuildProjectPanel(window);
    BuildScanPanel(window);
    BuildResultsPanel(window);
}

void TMainPanels::BuildPanels(QMainWindow& window, QObject* resizeWatcher) {
    auto* central = new QWidget(&window);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto panel = [&](const char* name, int height) {
        auto* p = new QWidget(central);
        p->setObjectName(QString::fromLatin1(name));
        p->setFixedHeight(height);
        p->installEventFilter(resizeWatcher);
        column->addWidget(p);
        return p;
    };
    Panel1 = panel("Panel1", 7 * kRow + 12);
    auto* rule = new QFrame(central);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    column->addWidget(rule);
    Panel2 = panel("Panel2", 3 * kRow + 8);
    Panel3 = panel("Panel3", kRow + 8);
    window.setCentralWidget(central);
}

void TMainPanels::BuildProjectPanel(QMainWindow& window) {
    lblProjectFile = Label(Panel1, "lblProjectFile", QStringLiteral("Plik projektu"), 0);
    edtProjectFile =
        Edit(Panel1, "edtProjectFile", QStringLiteral("Nazwa pliku z zapisanymi ustawieniami projektu"), 0);
    btnProjectFile = Browse(window, edtProjectFile, "btnProjectFile");
    btnNowy = new QPushButton(QStringLiteral("Nowy projekt"), Panel1);
    btnNowy->setObjectName(QStringLiteral("btnNowy"));
    btnNowy->setToolTip(QStringLiteral("Nowy projekt z ustawieniami domyślnymi, bez klucza odpowiedzi"));
    lblProjectName = Label(Panel1, "lblProjectName", QStringLiteral("Nazwa"), 1);
    edtProjectName = Edit(Panel1, "edtProjectName", QStringLiteral("Nazwa projektu umieszczona na wydruku arkusza"), 1);
    lblIlePyt = Label(Panel1, "lblIlePyt", QStringLiteral("Ilość pytań"), 2);
    edtIlePyt = Edit(Panel1, "edtIlePyt", QStringLiteral("Ilość pytań umieszczonych na arkuszu odpowiedzi"), 2);
    lblCount = Label(Panel1, "lblCount", QStringLiteral("Ilość odpowiedzi"), 3);
    edtIleOdp = Edit(Panel1, "edtIleOdp", QStringLiteral("Ilość ospowiedzi na każde pytanie"), 3);
    lblLetters = Label(Panel1, "lblLetters", QString(), 3);
    lblLetters->setGeometry(kFieldLeft + 68, 8 + 3 * kRow, 160, kHeight);
    lblLetters->setStyleSheet(QStringLiteral("color: grey"));
    lblWYbor = Label(Panel1, "lblWYbor", QStringLiteral("Wybór:"), 4);
    rbOnlyOne = new QRadioButton(QStringLiteral("jednokrotny"), Panel1);
    rbOnlyOne->setObjectName(QStringLiteral("rbOnlyOne"));
    rbOnlyOne->setToolTip(QStringLiteral("Uczestnik może wybrać tylko jedną prawidłową odpowiedź"));
    rbOnlyOne->setGeometry(kFieldLeft, 8 + 4 * kRow, 110, kHeight);
    rbMultiOne = new QRadioButton(QStringLiteral("wielokrotny"), Panel1);
    rbMultiOne->setObjectName(QStringLiteral("rbMultiOne"));
    rbMultiOne->setToolTip(QStringLiteral("Uczestnik może wybrać kilka prawidłowych odpowiedzi"));
    rbMultiOne->setGeometry(kFieldLeft + 114, 8 + 4 * kRow, 110, kHeight);
    chkKontrPuste = new QCheckBox(QStringLiteral("Kontroluj puste odp."), Panel1);
    chkKontrPuste->setObjectName(QStringLiteral("chkKontrPuste"));
    // Hints keep the line breaks of their texts; a tool tip breaks on LF alone.
    chkKontrPuste->setToolTip(QStringLiteral(
        "Jeżeli program nie znajdzie zaczernionego pola, uzna że to brak odpowiedzi.\nW przciwnym przypadku, "
        "wyświetli pytanie do kontroli sprawdzającemu"));
    chkKontrPuste->setGeometry(kFieldLeft + 228, 8 + 4 * kRow, 180, kHeight);
    // The sheet's third and fourth header lines, under the project's name.
    lblPrintLine1 = Label(Panel1, "lblPrintLine1", QStringLiteral("Dopisek 1"), 5);
    edtPrintLine1 = Edit(Panel1, "edtPrintLine1",
                         QStringLiteral("Wiersz drukowany w nagłówku arkusza, np. „Imię i nazwisko: ……”"), 5);
    lblPrintLine2 = Label(Panel1, "lblPrintLine2", QStringLiteral("Dopisek 2"), 6);
    edtPrintLine2 =
        Edit(Panel1, "edtPrintLine2", QStringLiteral("Drugi wiersz drukowany w nagłówku arkusza, np. data testu"), 6);
    btnSave = new QPushButton(kPrintCaption, Panel1);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    btnKlucz = new QPushButton(QStringLiteral("Klucz odpowiedzi…"), Panel1);
    btnKlucz->setObjectName(QStringLiteral("btnKlucz"));
}

void TMainPanels::BuildScanPanel(QMainWindow& window) {
    Label1 = Label(Panel2, "Label1", QStringLiteral("Folder skanów"), 0);
    edtScanFolder =
        Edit(Panel2, "edtScanFolder",
             QStringLiteral("Quorlen pobierze do sprawdzenia wszystkie pliki znajdujące się w tym folderze"), 0);
    btnScanFolder = Browse(window, edtScanFolder, "btnScanFolder");
    btnExecute = new QPushButton(QStringLiteral("Analizuj"), Panel2);
    btnExecute->setObjectName(QStringLiteral("btnExecute"));
    btnExecute->setEnabled(false);
    btnSkanuj = new QPushButton(QStringLiteral("Skanuj…"), Panel2);
    btnSkanuj->setObjectName(QStringLiteral("btnSkanuj"));
    btnSkanuj->setToolTip(QStringLiteral("Skanuje arkusze z podajnika skanera do folderu skanów"));
    Label2 = Label(Panel2, "Label2", QStringLiteral("Regulacja"), 1);
    tbrPoziom = new QSlider(Qt::Horizontal, Panel2);
    tbrPoziom->setObjectName(QStringLiteral("tbrPoziom"));
    tbrPoziom->setRange(TProjectSettings::MinLevel, TProjectSettings::MaxLevel);
    tbrPoziom->setTickPosition(QSlider::TicksBelow);
    tbrPoziom->setTickInterval(5);
    tbrPoziom->setToolTip(QStringLiteral(
        "Poziom zaczernienia kratek odpowiedzi.\n\nParametr dobierany doświadczalnie, przyjmujący najczęściej "
        "wartość 44"));
    chkSkanJakPoprzedni = new QCheckBox(QStringLiteral("Wszystkie skany są takie same"), Panel2);
    chkSkanJakPoprzedni->setObjectName(QStringLiteral("chkSkanJakPoprzedni"));
    chkSkanJakPoprzedni->setToolTip(QStringLiteral(
        "Wszystkie arkusze znajdujące się w folderze skanów zostały umieszczone\nw podajniku automatycznego "
        "skanera w jednej paczce"));
}

// The progress row, the status line and the menu.
void TMainPanels::BuildResultsPanel(QMainWindow& window) {
    ProgressBar = new QProgressBar(Panel3);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setValue(0);
    btnSaveWyniki = new QPushButton(QStringLiteral("Zapisz wyniki"), Panel3);
    btnSaveWyniki->setObjectName(QStringLiteral("btnSaveWyniki"));
    btnSaveWyniki->setEnabled(false);
    lblStatus = new QLabel(&window);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    window.statusBar()->addWidget(lblStatus, 1);

    // The results view of the last run, again after it was closed.
    actWyniki = window.menuBar()->addAction(QStringLiteral("&Wyniki"));
    actWyniki->setObjectName(QStringLiteral("actWyniki"));
    actWyniki->setToolTip(QStringLiteral("Pokazuje wyniki ostatniej analizy"));
    actWyniki->setEnabled(false);
    actAbout = window.menuBar()->addAction(QStringLiteral("&O programie"));
    actAbout->setObjectName(QStringLiteral("actAbout"));
}

void TMainPanels::Layout(QObject* resized) {
    if (resized == Panel1) LayoutProjectPanel();
    if (resized == Panel2) LayoutScanPanel();
    if (resized == Panel3) LayoutResultsPanel();
}

void TMainPanels::LayoutProjectPanel() {
    const int w = Panel1->width();
    btnNowy->setGeometry(w - 2 - kButtonWidth, 8, kButtonWidth, kHeight);
    edtProjectFile->setGeometry(kFieldLeft, 8, std::max(0, btnNowy->x() - 8 - kFieldLeft), kHeight);
    edtProjectName->setGeometry(kFieldLeft, 8 + kRow, w - 2 - kFieldLeft, kHeight);
    edtPrintLine1->setGeometry(kFieldLeft, 8 + 5 * kRow, w - 2 - kFieldLeft, kHeight);
    edtPrintLine2->setGeometry(kFieldLeft, 8 + 6 * kRow, w - 2 - kFieldLeft, kHeight);
    btnSave->setGeometry(w - 2 - kButtonWidth, 8 + 2 * kRow, kButtonWidth, kRow + kHeight);
    btnKlucz->setGeometry(w - 10 - 2 * kButtonWidth, 8 + 2 * kRow, kButtonWidth, kHeight);
}

void TMainPanels::LayoutScanPanel() {
    const int w = Panel2->width();
    btnExecute->setGeometry(w - 2 - kButtonWidth, 8, kButtonWidth, kHeight);
    btnSkanuj->setGeometry(btnExecute->x(), 8 + kRow, kButtonWidth, kHeight);
    const int folderWidth = std::max(0, w - edtScanFolder->x() - btnExecute->width() - 10);
    edtScanFolder->setGeometry(kFieldLeft, 8, folderWidth, kHeight);
    tbrPoziom->setGeometry(kFieldLeft, 8 + kRow, folderWidth + 2, kHeight);
    const QSize box = chkSkanJakPoprzedni->sizeHint();
    const int right = tbrPoziom->x() + tbrPoziom->width() - 2;
    chkSkanJakPoprzedni->setGeometry(right - box.width(), 8 + 2 * kRow, box.width(), kHeight);
}

void TMainPanels::LayoutResultsPanel() {
    const int w = Panel3->width();
    btnSaveWyniki->setGeometry(w - 2 - kButtonWidth, 4, kButtonWidth, kHeight);
    ProgressBar->setGeometry(8, 4, std::max(0, btnSaveWyniki->x() - 16), kHeight);
}

void TMainPanels::ClampField(QLineEdit* edit, int lo, int hi) {
    bool ok = false;
    int v = edit->text().trimmed().toInt(&ok);
    if (!ok) v = lo;
    edit->setText(QString::number(std::clamp(v, lo, hi)));
}

void TMainPanels::RefreshLetters() {
    bool ok = false;
    const int n = edtIleOdp->text().toInt(&ok);
    lblLetters->setText(LettersFor(ok ? std::clamp(n, TProjectSettings::MinAnswers, TProjectSettings::MaxAnswers)
                                      : TProjectSettings::MinAnswers));
}

void TMainPanels::ShowSettings(const TProjectSettings& s) {
    edtProjectName->setText(QString::fromStdString(s.ProjectName));
    edtIlePyt->setText(QString::number(s.QuestionCount));
    edtIleOdp->setText(QString::number(s.AnswerCount));
    rbOnlyOne->setChecked(!s.MultipleChoice);
    rbMultiOne->setChecked(s.MultipleChoice);
    chkKontrPuste->setChecked(s.CheckEmpty);
    chkKontrPuste->setEnabled(!s.MultipleChoice);
    edtScanFolder->setText(QString::fromStdString(s.ScanFolder));
    edtPrintLine1->setText(QString::fromStdString(s.PrintLine1));
    edtPrintLine2->setText(QString::fromStdString(s.PrintLine2));
    tbrPoziom->setValue(s.BlackLevel);
    chkSkanJakPoprzedni->setChecked(s.AllScansAlike);
    RefreshLetters();
}

TProjectSettings TMainPanels::ReadSettings(TProjectSettings s) const {
    s.ProjectName = edtProjectName->text().toStdString();
    s.QuestionCount = ClampQuestionCount(edtIlePyt->text().toInt());
    s.AnswerCount = ClampAnswerCount(edtIleOdp->text().toInt());
    s.MultipleChoice = rbMultiOne->isChecked();
    s.CheckEmpty = chkKontrPuste->isChecked();
    s.ScanFolder = edtScanFolder->text().toStdString();
    s.PrintLine1 = edtPrintLine1->text().toStdString();
    s.PrintLine2 = edtPrintLine2->text().toStdString();
    s.BlackLevel = tbrPoziom->value();
    s.AllScansAlike = chkSkanJakPoprzedni->isChecked();
    return s;
}

void TMainPanels::EnableSettings(bool on) {
    for (QWidget* w :
         std::initializer_list<QWidget*>{edtProjectFile, edtProjectName, edtIlePyt, edtIleOdp, rbOnlyOne, rbMultiOne,
                                         edtPrintLine1, edtPrintLine2, edtScanFolder, tbrPoziom, chkSkanJakPoprzedni})
        w->setEnabled(on);
    btnProjectFile->setEnabled(on);
    btnNowy->setEnabled(on);
    btnScanFolder->setEnabled(on);
    chkKontrPuste->setEnabled(on && rbOnlyOne->isChecked());
    const QString colour = on ? QString() : QStringLiteral("color: grey");
    for (QLabel* l :
         {lblProjectFile, lblProjectName, lblIlePyt, lblCount, Label1, Label2, lblWYbor, lblPrintLine1, lblPrintLine2})
        l->setStyleSheet(colour);
}

void TMainPanels::ShowSaveState(bool save) { btnSave->setText(save ? kSaveCaption : kPrintCaption); }

}  // namespace quorlen
