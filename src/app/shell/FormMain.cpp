#include "app/shell/FormMain.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QVBoxLayout>
#include <thread>

#include "core/project/ProjectFile.h"
#include "core/recognition/ReadScan.h"

namespace quorlen {

namespace {
const QString kPrintCaption = QStringLiteral("Wydrukuj arkusze");
const QString kSaveCaption = QStringLiteral("Zapisz projekt");
const QString kProjectFilter = QStringLiteral("Pliki projektów (*.spf)");
// Geometry of the panels: row pitch, control height, where the fields start
// and the width shared by the main buttons.
const int kRow = 28;
const int kHeight = 24;
const int kFieldLeft = 120;
const int kButtonWidth = 150;
}  // namespace

QString LettersFor(int answerCount) {
    QString letters = QStringLiteral("AB");
    for (int i = 2; i < answerCount; ++i) letters += QChar('A' + i);
    return letters;
}

TFormMain::TFormMain(const QStringList& arguments, QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("FormMain"));
    BuildControls();

    ChooseProjectFile = [this] {
        QFileDialog dialog(this, QStringLiteral("Wybierz plik projektu ..."), QString(), kProjectFilter);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setDefaultSuffix(QStringLiteral("spf"));
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    };
    ChooseSaveProjectFile = [this](const QString& proposed) {
        QFileDialog dialog(this, QStringLiteral("Zapisz projekt jako ..."), proposed, kProjectFilter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("spf"));
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    };
    ChooseScanFolder = [this] { return QFileDialog::getExistingDirectory(this, QStringLiteral("Folder skanów")); };
    saveWyniki_ = std::make_unique<TSaveWyniki>(this);
    ChooseResultsFile = [this] { return saveWyniki_->RunSaveDialog(); };
    Ask = [this](const QString& text, const QString& caption, QMessageBox::Icon icon,
                 QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton) {
        QMessageBox box(icon, caption, text, buttons, this);
        box.setDefaultButton(defaultButton);
        return static_cast<QMessageBox::StandardButton>(box.exec());
    };
    ExecScaner = [](TFormScaner2& dialog) { return dialog.exec(); };
    ExecAbout = [](QDialog& dialog) { dialog.exec(); };

    run_ = std::make_unique<TBatchRun>(host_);
    host_.Handler = [this](const TBatchMessage& m) { run_->HandleMessage(m); };
    TBatchOwner& owner = run_->Owner;
    owner.GetStartPoint = [this](const TScanView& scan, TRect area, TPoint& pt, bool& ok) {
        GetStartPoint(scan, area, pt, ok);
    };
    owner.GetOdp = [this](const TScanView& scan, TRect area, int count, std::string& answer, bool& ok) {
        GetOdp(scan, area, count, answer, ok);
    };
    owner.NoScanFiles = [this] {
        Ask(QStringLiteral("Brak plików ze skanera w podanym folderze."), QStringLiteral("Uwaga"),
            QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok);
    };
    owner.ConfirmCancel = [this] {
        return Ask(QStringLiteral("Czy na pewno przerwać cały proces analizy ?"), QStringLiteral("Pytanie"),
                   QMessageBox::Critical, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
    };
    owner.RunningChanged = [this](bool running) {
        btnExecute_->setText(running ? QStringLiteral("Zakończ") : QStringLiteral("Analizuj"));
        btnSave_->setEnabled(!running);
        btnSaveWyniki_->setEnabled(!running);
        EnableSettings(!running);
    };
    owner.ProgressBar = [this](int maximum, int position) {
        ProgressBar_->setMaximum(std::max(maximum, 1));
        ProgressBar_->setValue(position);
    };
    owner.Finished = [this] {
        lastResults_ = run_->Results.Snapshot();
        ResultsSaved = lastResults_["Lista"].empty();
        lblStatus_->setText(QStringLiteral("Odczytane arkusze: %1, pominięte skany: %2")
                                .arg(lastResults_["Lista"].size())
                                .arg(lastResults_["Pominiete"].size()));
        // A command's run answers its caller instead of opening the view.
        if (commandDone_) {
            FinishCommandRun(CommandResultsReply());
            return;
        }
        ScoreResults();
        ResultsView()->ShowResultsView(lastResults_);
    };
    ShowSettings(project_);
    checkEmpty_.Set(project_.CheckEmpty);
    FormCreate(arguments);
}

TFormMain::~TFormMain() { StopRunForClose(); }

TfrmShowWyniki* TFormMain::ResultsView() {
    if (!resultsView_) {
        resultsView_ = std::make_unique<TfrmShowWyniki>();
        resultsView_->UseAsKey = [this](int row) { UseRowAsKey(row); };
        resultsView_->OpenReport = [this] { OpenClassReport(); };
    }
    return resultsView_.get();
}

void TFormMain::BuildControls() {
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto panel = [&](QWidget*& p, const char* name, int height) {
        p = new QWidget(central);
        p->setObjectName(QString::fromLatin1(name));
        p->setFixedHeight(height);
        p->installEventFilter(this);
        column->addWidget(p);
    };
    panel(Panel1_, "Panel1", 5 * kRow + 12);
    auto* rule = new QFrame(central);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    column->addWidget(rule);
    panel(Panel2_, "Panel2", 3 * kRow + 8);
    panel(Panel3_, "Panel3", kRow + 8);
    setCentralWidget(central);

    auto label = [&](QLabel*& l, QWidget* parent, const char* name, const QString& text, int row) {
        l = new QLabel(text, parent);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(8, 8 + row * kRow, kFieldLeft - 12, kHeight);
    };
    auto edit = [&](QLineEdit*& e, QWidget* parent, const char* name, const QString& hint, int row) {
        e = new QLineEdit(parent);
        e->setObjectName(QString::fromLatin1(name));
        e->setToolTip(hint);
        e->setGeometry(kFieldLeft, 8 + row * kRow, 60, kHeight);
    };
    auto browse = [&](QLineEdit* e, const char* name) {
        QAction* a = e->addAction(style()->standardIcon(QStyle::SP_DirOpenIcon), QLineEdit::TrailingPosition);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    label(lblProjectFile_, Panel1_, "lblProjectFile", QStringLiteral("Plik projektu"), 0);
    edit(edtProjectFile_, Panel1_, "edtProjectFile", QStringLiteral("Nazwa pliku z zapisanymi ustawieniami projektu"),
         0);
    btnProjectFile_ = browse(edtProjectFile_, "btnProjectFile");
    label(lblProjectName_, Panel1_, "lblProjectName", QStringLiteral("Nazwa"), 1);
    edit(edtProjectName_, Panel1_, "edtProjectName", QStringLiteral("Nazwa projektu umieszczona na wydruku arkusza"),
         1);
    label(lblIlePyt_, Panel1_, "lblIlePyt", QStringLiteral("Ilość pytań"), 2);
    edit(edtIlePyt_, Panel1_, "edtIlePyt", QStringLiteral("Ilość pytań umieszczonych na arkuszu odpowiedzi"), 2);
    label(lblCount_, Panel1_, "lblCount", QStringLiteral("Ilość odpowiedzi"), 3);
    edit(edtIleOdp_, Panel1_, "edtIleOdp", QStringLiteral("Ilość ospowiedzi na każde pytanie"), 3);
    label(lblLetters_, Panel1_, "lblLetters", QString(), 3);
    lblLetters_->setGeometry(kFieldLeft + 68, 8 + 3 * kRow, 160, kHeight);
    lblLetters_->setStyleSheet(QStringLiteral("color: grey"));
    label(lblWYbor_, Panel1_, "lblWYbor", QStringLiteral("Wybór:"), 4);
    rbOnlyOne_ = new QRadioButton(QStringLiteral("jednokrotny"), Panel1_);
    rbOnlyOne_->setObjectName(QStringLiteral("rbOnlyOne"));
    rbOnlyOne_->setToolTip(QStringLiteral("Uczestnik może wybrać tylko jedną prawidłową odpowiedź"));
    rbOnlyOne_->setGeometry(kFieldLeft, 8 + 4 * kRow, 110, kHeight);
    rbMultiOne_ = new QRadioButton(QStringLiteral("wielokrotny"), Panel1_);
    rbMultiOne_->setObjectName(QStringLiteral("rbMultiOne"));
    rbMultiOne_->setToolTip(QStringLiteral("Uczestnik może wybrać kilka prawidłowych odpowiedzi"));
    rbMultiOne_->setGeometry(kFieldLeft + 114, 8 + 4 * kRow, 110, kHeight);
    chkKontrPuste_ = new QCheckBox(QStringLiteral("Kontroluj puste odp."), Panel1_);
    chkKontrPuste_->setObjectName(QStringLiteral("chkKontrPuste"));
    // Hints keep the line breaks of their texts; a tool tip breaks on LF alone.
    chkKontrPuste_->setToolTip(QStringLiteral(
        "Jeżeli program nie znajdzie zaczernionego pola, uzna że to brak odpowiedzi.\nW przciwnym przypadku, "
        "wyświetli pytanie do kontroli sprawdzającemu"));
    chkKontrPuste_->setGeometry(kFieldLeft + 228, 8 + 4 * kRow, 180, kHeight);
    btnSave_ = new QPushButton(kPrintCaption, Panel1_);
    btnSave_->setObjectName(QStringLiteral("btnSave"));
    btnKlucz_ = new QPushButton(QStringLiteral("Klucz odpowiedzi…"), Panel1_);
    btnKlucz_->setObjectName(QStringLiteral("btnKlucz"));

    label(Label1_, Panel2_, "Label1", QStringLiteral("Folder skanów"), 0);
    edit(edtScanFolder_, Panel2_, "edtScanFolder",
         QStringLiteral("Quorlen pobierze do sprawdzenia wszystkie pliki znajdujące się w tym folderze"), 0);
    edtScanFolder_->setReadOnly(true);
    btnScanFolder_ = browse(edtScanFolder_, "btnScanFolder");
    btnExecute_ = new QPushButton(QStringLiteral("Analizuj"), Panel2_);
    btnExecute_->setObjectName(QStringLiteral("btnExecute"));
    btnExecute_->setEnabled(false);
    label(Label2_, Panel2_, "Label2", QStringLiteral("Regulacja"), 1);
    tbrPoziom_ = new QSlider(Qt::Horizontal, Panel2_);
    tbrPoziom_->setObjectName(QStringLiteral("tbrPoziom"));
    tbrPoziom_->setRange(TProjectSettings::MinLevel, TProjectSettings::MaxLevel);
    tbrPoziom_->setTickPosition(QSlider::TicksBelow);
    tbrPoziom_->setTickInterval(5);
    tbrPoziom_->setToolTip(QStringLiteral(
        "Poziom zaczernienia kratek odpowiedzi.\n\nParametr dobierany doświadczalnie, przyjmujący najczęściej "
        "wartość 44"));
    chkSkanJakPoprzedni_ = new QCheckBox(QStringLiteral("Wszystkie skany są takie same"), Panel2_);
    chkSkanJakPoprzedni_->setObjectName(QStringLiteral("chkSkanJakPoprzedni"));
    chkSkanJakPoprzedni_->setToolTip(QStringLiteral(
        "Wszystkie arkusze znajdujące się w folderze skanów zostały umieszczone\nw podajniku automatycznego "
        "skanera w jednej paczce"));

    ProgressBar_ = new QProgressBar(Panel3_);
    ProgressBar_->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar_->setValue(0);
    btnSaveWyniki_ = new QPushButton(QStringLiteral("Zapisz wyniki"), Panel3_);
    btnSaveWyniki_->setObjectName(QStringLiteral("btnSaveWyniki"));
    btnSaveWyniki_->setEnabled(false);
    lblStatus_ = new QLabel(this);
    lblStatus_->setObjectName(QStringLiteral("lblStatus"));
    statusBar()->addWidget(lblStatus_, 1);

    actAbout_ = menuBar()->addAction(QStringLiteral("&O programie"));
    actAbout_->setObjectName(QStringLiteral("actAbout"));

    auto changed = [this] {
        if (!loading_) SetSaveState(true);
    };
    connect(edtProjectName_, &QLineEdit::textEdited, this, changed);
    connect(edtIlePyt_, &QLineEdit::textEdited, this, changed);
    connect(edtIleOdp_, &QLineEdit::textEdited, this, [this, changed] {
        changed();
        RefreshLetters();
    });
    connect(edtIlePyt_, &QLineEdit::editingFinished, this,
            [this] { ClampField(edtIlePyt_, TProjectSettings::MinQuestions, TProjectSettings::MaxQuestions); });
    connect(edtIleOdp_, &QLineEdit::editingFinished, this, [this] {
        ClampField(edtIleOdp_, TProjectSettings::MinAnswers, TProjectSettings::MaxAnswers);
        RefreshLetters();
    });
    // Only a change of the choice mode counts: a click on the button already
    // selected changes nothing.
    connect(rbMultiOne_, &QRadioButton::toggled, this, [this, changed] {
        changed();
        chkKontrPuste_->setEnabled(rbOnlyOne_->isChecked());
    });
    connect(chkKontrPuste_, &QCheckBox::clicked, this, [this, changed](bool on) {
        changed();
        checkEmpty_.Set(on);
    });
    connect(chkSkanJakPoprzedni_, &QCheckBox::clicked, this, changed);
    // tbrPoziomPosChange: a load moves the bar without touching the settings file.
    connect(tbrPoziom_, &QSlider::valueChanged, this, [this, changed] {
        changed();
        if (!loading_) ConfigDirty = true;
    });
    connect(btnSave_, &QPushButton::clicked, this, [this] { btnSaveClick(); });
    connect(btnExecute_, &QPushButton::clicked, this, [this] { btnExecuteClick(); });
    connect(btnSaveWyniki_, &QPushButton::clicked, this, [this] { btnSaveWynikiClick(); });
    connect(btnKlucz_, &QPushButton::clicked, this, [this] { btnKluczClick(); });
    connect(btnProjectFile_, &QAction::triggered, this, [this] { edtProjectFileBrowse(); });
    connect(btnScanFolder_, &QAction::triggered, this, [this] { edtScanFolderBrowse(); });
    connect(actAbout_, &QAction::triggered, this, [this] { ShowAboutBox(); });
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize) {
        if (watched == Panel1_) Panel1Resize();
        if (watched == Panel2_) Panel2Resize();
        if (watched == Panel3_) Panel3Resize();
    }
    return QMainWindow::eventFilter(watched, event);
}

// The fields and the main buttons stay anchored to the right edge.
void TFormMain::Panel1Resize() {
    const int w = Panel1_->width();
    edtProjectFile_->setGeometry(kFieldLeft, 8, w - 2 - kFieldLeft, kHeight);
    edtProjectName_->setGeometry(kFieldLeft, 8 + kRow, w - 2 - kFieldLeft, kHeight);
    btnSave_->setGeometry(w - 2 - kButtonWidth, 8 + 2 * kRow, kButtonWidth, kRow + kHeight);
    btnKlucz_->setGeometry(w - 10 - 2 * kButtonWidth, 8 + 2 * kRow, kButtonWidth, kHeight);
}

void TFormMain::Panel2Resize() {
    const int w = Panel2_->width();
    btnExecute_->setGeometry(w - 2 - kButtonWidth, 8, kButtonWidth, kHeight);
    const int folderWidth = std::max(0, w - edtScanFolder_->x() - btnExecute_->width() - 10);
    edtScanFolder_->setGeometry(kFieldLeft, 8, folderWidth, kHeight);
    tbrPoziom_->setGeometry(kFieldLeft, 8 + kRow, folderWidth + 2, kHeight);
    const QSize box = chkSkanJakPoprzedni_->sizeHint();
    const int right = tbrPoziom_->x() + tbrPoziom_->width() - 2;
    chkSkanJakPoprzedni_->setGeometry(right - box.width(), 8 + 2 * kRow, box.width(), kHeight);
}

void TFormMain::Panel3Resize() {
    const int w = Panel3_->width();
    btnSaveWyniki_->setGeometry(w - 2 - kButtonWidth, 4, kButtonWidth, kHeight);
    ProgressBar_->setGeometry(8, 4, std::max(0, btnSaveWyniki_->x() - 16), kHeight);
}

void TFormMain::ClampField(QLineEdit* edit, int lo, int hi) {
    bool ok = false;
    int v = edit->text().trimmed().toInt(&ok);
    if (!ok) v = lo;
    edit->setText(QString::number(std::clamp(v, lo, hi)));
}

void TFormMain::RefreshLetters() {
    bool ok = false;
    const int n = edtIleOdp_->text().toInt(&ok);
    lblLetters_->setText(LettersFor(ok ? std::clamp(n, TProjectSettings::MinAnswers, TProjectSettings::MaxAnswers)
                                       : TProjectSettings::MinAnswers));
}

void TFormMain::SetSaveState(bool save) {
    saveState_ = save;
    btnSave_->setText(save ? kSaveCaption : kPrintCaption);
}

void TFormMain::ShowSettings(const TProjectSettings& s) {
    loading_ = true;
    edtProjectName_->setText(QString::fromStdString(s.ProjectName));
    edtIlePyt_->setText(QString::number(s.QuestionCount));
    edtIleOdp_->setText(QString::number(s.AnswerCount));
    rbOnlyOne_->setChecked(!s.MultipleChoice);
    rbMultiOne_->setChecked(s.MultipleChoice);
    chkKontrPuste_->setChecked(s.CheckEmpty);
    chkKontrPuste_->setEnabled(!s.MultipleChoice);
    edtScanFolder_->setText(QString::fromStdString(s.ScanFolder));
    tbrPoziom_->setValue(s.BlackLevel);
    chkSkanJakPoprzedni_->setChecked(s.AllScansAlike);
    RefreshLetters();
    loading_ = false;
}

TProjectSettings TFormMain::CurrentSettings() const {
    TProjectSettings s = project_;
    s.ProjectName = edtProjectName_->text().toStdString();
    s.QuestionCount = ClampQuestionCount(edtIlePyt_->text().toInt());
    s.AnswerCount = ClampAnswerCount(edtIleOdp_->text().toInt());
    s.MultipleChoice = rbMultiOne_->isChecked();
    s.CheckEmpty = chkKontrPuste_->isChecked();
    s.ScanFolder = edtScanFolder_->text().toStdString();
    s.BlackLevel = tbrPoziom_->value();
    s.AllScansAlike = chkSkanJakPoprzedni_->isChecked();
    return s;
}

void TFormMain::LoadProjectFile(const QString& path) {
    TProjectSettings loaded = ReadProjectFile(path.toStdString(), CurrentSettings());
    project_ = loaded;
    ShowSettings(project_);
    checkEmpty_.Set(project_.CheckEmpty);
    edtProjectFile_->setText(path);
    LoadKey();
    btnExecute_->setEnabled(true);
    SetSaveState(false);
    btnSaveWyniki_->setEnabled(false);
    ProgressBar_->setValue(0);
    run_->Items.clear();
    lastResults_ = Json();
    ResultsSaved = true;
}

bool TFormMain::ConfirmDiscardResults() {
    if (ResultsSaved) return true;
    return Ask(QStringLiteral("Wyniki analizy nie zostały zapisane.\nCzy na pewno chcesz je porzucić ?"),
               QStringLiteral("Pytanie"), QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
               QMessageBox::No) == QMessageBox::Yes;
}

void TFormMain::edtProjectFileBrowse() {
    if (!edtProjectFileBeforeDialog()) return;
    const QString chosen = ChooseProjectFile();
    if (chosen.isEmpty()) return;
    try {
        LoadProjectFile(chosen);
    } catch (const std::exception&) {
        // An unreadable choice is refused silently; the project stays as it was.
    }
}

void TFormMain::edtScanFolderBrowse() {
    const QString folder = ChooseScanFolder();
    if (folder.isEmpty()) return;
    edtScanFolder_->setText(folder);
    btnExecute_->setEnabled(true);
}

void TFormMain::btnSaveClick() {
    if (!saveState_) {
        TfrmWhatPrint dialog(CurrentSettings(), windowTitle(), this);
        dialog.ShowError = [this](const QString& text) {
            Ask(text, QStringLiteral("Błąd"), QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok);
        };
        ExecWhatPrint(dialog);
        return;
    }
    // A save that did not happen keeps the save state, so that the edits do
    // not look saved and the close query still asks.
    const QString name = ChooseSaveProjectFile(edtProjectFile_->text());
    if (name.isEmpty()) return;
    TProjectSettings s = CurrentSettings();
    try {
        WriteProjectFile(name.toStdString(), s);
    } catch (const std::exception& e) {
        Ask(QString::fromStdString(e.what()), QStringLiteral("Błąd"), QMessageBox::Critical, QMessageBox::Ok,
            QMessageBox::Ok);
        return;  // stays in the save state, the file name unchanged
    }
    project_ = s;
    edtProjectFile_->setText(name);
    SaveKey();
    if (edtScanFolder_->text().isEmpty()) edtScanFolder_->setText(QFileInfo(name).absolutePath());
    btnExecute_->setEnabled(true);
    SetSaveState(false);
}

void TFormMain::btnExecuteClick() {
    if (run_->Running) {
        run_->RequestCancel();
        return;
    }
    if (!ConfirmDiscardResults()) return;
    if (resultsView_) resultsView_->hide();
    const TProjectSettings s = CurrentSettings();
    checkEmpty_.Set(s.CheckEmpty);
    TRunSettings settings = FromProject(s);
    settings.CheckEmpty = checkEmpty_;
    run_->StartRun(settings);
}

bool TFormMain::btnSaveWynikiClick() {
    const bool saved = saveWyniki_->Save(lastResults_, ChooseResultsFile, Ask) == TSaveResult::Saved;
    if (saved) ResultsSaved = true;
    return saved;
}

void TFormMain::GetStartPoint(const TScanView& scan, TRect area, TPoint& pt, bool& ok) {
    if (closing_) {
        ok = false;
        return;
    }
    TFormScaner2 dialog(this);
    dialog.ShowScan(CropRaster(scan.Raster, area));
    dialog.SetMode(area.Left < scan.Raster.Width() / 2 ? qmTopLeft : qmBottomRight);
    dialog.setWindowTitle(QFileInfo(QString::fromStdString(scan.FileName)).fileName());
    const int result = ExecScaner(dialog);
    ok = result == QDialog::Accepted;
    pt = dialog.ClickedPoint;
    if (result == ScanerResultAbort) run_->CancelRun();
}

void TFormMain::GetOdp(const TScanView& scan, TRect area, int count, std::string& answer, bool& ok) {
    if (closing_) {
        ok = false;
        return;
    }
    QString suffix;
    if (answer.empty())
        suffix = QStringLiteral(" - brak odpowiedzi");
    else if (rbOnlyOne_->isChecked())
        suffix = QStringLiteral(" - odpowiedź niejednoznaczna");
    TFormScaner2 dialog(this);
    dialog.SetMode(qmAnswer);
    dialog.BuildAnswers(count);
    dialog.ShowScan(CropRaster(scan.Raster, area));
    dialog.setWindowTitle(QFileInfo(QString::fromStdString(scan.FileName)).fileName() + suffix);
    const int result = ExecScaner(dialog);
    ok = result == QDialog::Accepted;
    answer = dialog.GetAnswer().toStdString();
    if (result == ScanerResultAbort) run_->CancelRun();
}

void TFormMain::EnableSettings(bool on) {
    for (QWidget* w :
         std::initializer_list<QWidget*>{edtProjectFile_, edtProjectName_, edtIlePyt_, edtIleOdp_, rbOnlyOne_,
                                         rbMultiOne_, edtScanFolder_, tbrPoziom_, chkSkanJakPoprzedni_})
        w->setEnabled(on);
    btnProjectFile_->setEnabled(on);
    btnScanFolder_->setEnabled(on);
    chkKontrPuste_->setEnabled(on && rbOnlyOne_->isChecked());
    const QString colour = on ? QString() : QStringLiteral("color: grey");
    for (QLabel* l : {lblProjectFile_, lblProjectName_, lblIlePyt_, lblCount_, Label1_, Label2_, lblWYbor_})
        l->setStyleSheet(colour);
}

}  // namespace quorlen
