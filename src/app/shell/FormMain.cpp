#include "app/shell/FormMain.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QStatusBar>
#include <QVBoxLayout>
#include <thread>

#include "core/output/ResultsFile.h"
#include "core/project/DM.h"
#include "core/project/ProjectFile.h"
#include "core/recognition/SkanItem.h"

namespace quorlen {

namespace {
const QString kPrintCaption = QStringLiteral("Wydrukuj arkusze");
const QString kSaveCaption = QStringLiteral("Zapisz projekt");
const QString kProjectFilter = QStringLiteral("Pliki projektów (*.spf)");
}  // namespace

QString LettersFor(int answerCount) {
    QString letters = QStringLiteral("AB");
    for (int i = 2; i < answerCount; ++i) letters += QChar('A' + i);
    return letters;
}

TFormMain::TFormMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QStringLiteral("Brenvik Quorlen"));
    BuildControls();

    ChooseProjectFile = [this] {
        return QFileDialog::getOpenFileName(this, QStringLiteral("Wybierz plik projektu ..."), QString(),
                                            kProjectFilter);
    };
    ChooseSaveProjectFile = [this](const QString& proposed) {
        QFileDialog dialog(this, QStringLiteral("Zapisz projekt jako ..."), proposed, kProjectFilter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("spf"));
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    };
    ChooseScanFolder = [this] { return QFileDialog::getExistingDirectory(this, QStringLiteral("Folder skanów")); };
    ChooseResultsFile = [this] {
        QFileDialog dialog(this, QStringLiteral("Zapisz wyniki w pliku"), QString(),
                           QStringLiteral("Pliki JSON (*.json)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("json"));
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    };
    Ask = [this](const QString& text, const QString& caption, QMessageBox::Icon icon,
                 QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton) {
        QMessageBox box(icon, caption, text, buttons, this);
        box.setDefaultButton(defaultButton);
        return static_cast<QMessageBox::StandardButton>(box.exec());
    };

    ExecScaner = [](TFormScaner2& dialog) { return dialog.exec(); };

    run_ = std::make_unique<TBatchRun>(host_);
    host_.Handler = [this](const TBatchMessage& m) { run_->HandleMessage(m); };
    const int cpus = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    run_->CpuCount = cpus;
    run_->MaxWorkers = DefaultMaxWorkers(cpus);
    TBatchOwner& owner = run_->Owner;
    owner.GetStartPoint = [this](TSkanItem& sender, TRect area, TPoint& pt, bool& ok) {
        GetStartPoint(sender, area, pt, ok);
    };
    owner.GetOdp = [this](TSkanItem& sender, TRect area, int count, std::string& answer, bool& ok) {
        GetOdp(sender, area, count, answer, ok);
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
        lblStatus_->setText(QStringLiteral("Odczytane arkusze: %1, pominięte skany: %2")
                                .arg(lastResults_["Lista"].size())
                                .arg(lastResults_["Pominiete"].size()));
        ResultsView()->ShowResultsView(lastResults_);
    };
    ShowSettings(project_);
    ApplyToDM(project_);
    SetSaveState(false);
}

TFormMain::~TFormMain() = default;

TfrmShowWyniki* TFormMain::ResultsView() {
    if (!resultsView_) resultsView_ = std::make_unique<TfrmShowWyniki>();
    return resultsView_.get();
}

void TFormMain::BuildControls() {
    auto* central = new QWidget(this);
    auto* grid = new QGridLayout;
    auto label = [&](QLabel*& l, const char* name, const QString& text) {
        l = new QLabel(text, central);
        l->setObjectName(QString::fromLatin1(name));
    };
    auto edit = [&](QLineEdit*& e, const char* name, const QString& hint) {
        e = new QLineEdit(central);
        e->setObjectName(QString::fromLatin1(name));
        e->setToolTip(hint);
    };
    label(lblProjectFile_, "lblProjectFile", QStringLiteral("Plik projektu"));
    edit(edtProjectFile_, "edtProjectFile", QStringLiteral("Nazwa pliku z zapisanymi ustawieniami projektu"));
    btnProjectFile_ = new QToolButton(central);
    btnProjectFile_->setObjectName(QStringLiteral("btnProjectFile"));
    btnProjectFile_->setText(QStringLiteral("..."));
    label(lblProjectName_, "lblProjectName", QStringLiteral("Nazwa"));
    edit(edtProjectName_, "edtProjectName", QStringLiteral("Nazwa projektu umieszczona na wydruku arkusza"));
    label(lblIlePyt_, "lblIlePyt", QStringLiteral("Ilość pytań"));
    edit(edtIlePyt_, "edtIlePyt", QStringLiteral("Ilość pytań umieszczonych na arkuszu odpowiedzi"));
    label(lblCount_, "lblCount", QStringLiteral("Ilość odpowiedzi"));
    edit(edtIleOdp_, "edtIleOdp", QStringLiteral("Ilość ospowiedzi na każde pytanie"));
    label(lblLetters_, "lblLetters", QString());
    lblLetters_->setStyleSheet(QStringLiteral("color: grey"));
    label(lblWYbor_, "lblWYbor", QStringLiteral("Wybór:"));
    rbOnlyOne_ = new QRadioButton(QStringLiteral("jednokrotny"), central);
    rbOnlyOne_->setObjectName(QStringLiteral("rbOnlyOne"));
    rbOnlyOne_->setToolTip(QStringLiteral("Uczestnik może wybrać tylko jedną prawidłową odpowiedź"));
    rbMultiOne_ = new QRadioButton(QStringLiteral("wielokrotny"), central);
    rbMultiOne_->setObjectName(QStringLiteral("rbMultiOne"));
    rbMultiOne_->setToolTip(QStringLiteral("Uczestnik może wybrać kilka prawidłowych odpowiedzi"));
    chkKontrPuste_ = new QCheckBox(QStringLiteral("Kontroluj puste odp."), central);
    chkKontrPuste_->setObjectName(QStringLiteral("chkKontrPuste"));
    chkKontrPuste_->setToolTip(QStringLiteral(
        "Jeżeli program nie znajdzie zaczernionego pola, uzna że to brak odpowiedzi.\r\nW przciwnym przypadku, "
        "wyświetli pytanie do kontroli sprawdzającemu"));
    label(Label1_, "Label1", QStringLiteral("Folder skanów"));
    edit(edtScanFolder_, "edtScanFolder",
         QStringLiteral("Quorlen pobierze do sprawdzenia wszystkie pliki znajdujące się w tym folderze"));
    edtScanFolder_->setReadOnly(true);
    btnScanFolder_ = new QToolButton(central);
    btnScanFolder_->setObjectName(QStringLiteral("btnScanFolder"));
    btnScanFolder_->setText(QStringLiteral("..."));
    label(Label2_, "Label2", QStringLiteral("Regulacja"));
    tbrPoziom_ = new QSlider(Qt::Horizontal, central);
    tbrPoziom_->setObjectName(QStringLiteral("tbrPoziom"));
    tbrPoziom_->setRange(TProjectSettings::MinLevel, TProjectSettings::MaxLevel);
    tbrPoziom_->setToolTip(QStringLiteral(
        "Poziom zaczernienia kratek odpowiedzi.\r\n\r\nParametr dobierany doświadczalnie, przyjmujący najczęściej "
        "wartość 44"));
    chkSkanJakPoprzedni_ = new QCheckBox(QStringLiteral("Wszystkie skany są takie same"), central);
    chkSkanJakPoprzedni_->setObjectName(QStringLiteral("chkSkanJakPoprzedni"));
    chkSkanJakPoprzedni_->setToolTip(QStringLiteral(
        "Wszystkie arkusze znajdujące się w folderze skanów zostały umieszczone\r\nw podajniku automatycznego "
        "skanera w jednej paczce"));
    btnSave_ = new QPushButton(kPrintCaption, central);
    btnSave_->setObjectName(QStringLiteral("btnSave"));
    btnExecute_ = new QPushButton(QStringLiteral("Analizuj"), central);
    btnExecute_->setObjectName(QStringLiteral("btnExecute"));
    btnExecute_->setEnabled(false);

    int row = 0;
    grid->addWidget(lblProjectFile_, row, 0);
    grid->addWidget(edtProjectFile_, row, 1, 1, 3);
    grid->addWidget(btnProjectFile_, row++, 4);
    grid->addWidget(lblProjectName_, row, 0);
    grid->addWidget(edtProjectName_, row++, 1, 1, 4);
    grid->addWidget(lblIlePyt_, row, 0);
    grid->addWidget(edtIlePyt_, row++, 1);
    grid->addWidget(lblCount_, row, 0);
    grid->addWidget(edtIleOdp_, row, 1);
    grid->addWidget(lblLetters_, row++, 2, 1, 3);
    grid->addWidget(lblWYbor_, row, 0);
    grid->addWidget(rbOnlyOne_, row, 1);
    grid->addWidget(rbMultiOne_, row, 2);
    grid->addWidget(chkKontrPuste_, row++, 3, 1, 2);
    grid->addWidget(Label1_, row, 0);
    grid->addWidget(edtScanFolder_, row, 1, 1, 2);
    grid->addWidget(btnScanFolder_, row, 3);
    grid->addWidget(btnExecute_, row++, 4);
    grid->addWidget(Label2_, row, 0);
    grid->addWidget(tbrPoziom_, row, 1, 1, 2);
    grid->addWidget(chkSkanJakPoprzedni_, row++, 3, 1, 2);
    grid->addWidget(btnSave_, row++, 0, 1, 5);
    central->setLayout(grid);
    setCentralWidget(central);

    ProgressBar_ = new QProgressBar(this);
    ProgressBar_->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar_->setValue(0);
    lblStatus_ = new QLabel(this);
    lblStatus_->setObjectName(QStringLiteral("lblStatus"));
    btnSaveWyniki_ = new QPushButton(QStringLiteral("Zapisz wyniki"), this);
    btnSaveWyniki_->setObjectName(QStringLiteral("btnSaveWyniki"));
    btnSaveWyniki_->setEnabled(false);
    statusBar()->addWidget(ProgressBar_, 1);
    statusBar()->addWidget(lblStatus_, 1);
    statusBar()->addPermanentWidget(btnSaveWyniki_);

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
    for (QRadioButton* rb : {rbOnlyOne_, rbMultiOne_})
        connect(rb, &QRadioButton::clicked, this, [this, changed] {
            changed();
            chkKontrPuste_->setEnabled(rbOnlyOne_->isChecked());
        });
    connect(chkKontrPuste_, &QCheckBox::clicked, this, [this, changed](bool on) {
        changed();
        DM().CheckEmpty = on;
    });
    connect(chkSkanJakPoprzedni_, &QCheckBox::clicked, this, changed);
    connect(tbrPoziom_, &QSlider::valueChanged, this, changed);
    connect(btnSave_, &QPushButton::clicked, this, [this] { btnSaveClick(); });
    connect(btnExecute_, &QPushButton::clicked, this, [this] { btnExecuteClick(); });
    connect(btnSaveWyniki_, &QPushButton::clicked, this, [this] { btnSaveWynikiClick(); });
    connect(btnProjectFile_, &QToolButton::clicked, this, [this] { edtProjectFileBrowse(); });
    connect(btnScanFolder_, &QToolButton::clicked, this, [this] { edtScanFolderBrowse(); });
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
    ApplyToDM(project_);
    edtProjectFile_->setText(path);
    btnExecute_->setEnabled(true);
    SetSaveState(false);
    btnSaveWyniki_->setEnabled(false);
    ProgressBar_->setValue(0);
    run_->Items.clear();
    lastResults_ = Json();
}

void TFormMain::edtProjectFileBrowse() {
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
    const QString name = ChooseSaveProjectFile(edtProjectFile_->text());
    if (name.isEmpty()) {
        SetSaveState(false);
        return;
    }
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
    if (edtScanFolder_->text().isEmpty()) edtScanFolder_->setText(QFileInfo(name).absolutePath());
    btnExecute_->setEnabled(true);
    SetSaveState(false);
}

void TFormMain::btnExecuteClick() {
    if (run_->Running) {
        run_->RequestCancel();
        return;
    }
    if (resultsView_) resultsView_->hide();
    const TProjectSettings s = CurrentSettings();
    DM().CheckEmpty = s.CheckEmpty;
    TRunSettings settings{s.ProjectName,    s.ScanFolder, s.QuestionCount, s.AnswerCount,
                          s.MultipleChoice, s.BlackLevel, s.AllScansAlike};
    run_->StartRun(settings);
}

void TFormMain::btnSaveWynikiClick() {
    QString name = ChooseResultsFile();
    if (name.isEmpty()) return;
    if (QFileInfo(name).suffix().isEmpty()) name += QStringLiteral(".json");
    try {
        WriteResultsFile(name.toStdString(), lastResults_);
    } catch (const std::exception& e) {
        Ask(QString::fromStdString(e.what()), QStringLiteral("Błąd"), QMessageBox::Critical, QMessageBox::Ok,
            QMessageBox::Ok);
    }
}

void TFormMain::GetStartPoint(TSkanItem& sender, TRect area, TPoint& pt, bool& ok) {
    TFormScaner2 dialog(this);
    dialog.ShowScan(CropRaster(sender.Raster, area));
    dialog.SetMode(area.Left < sender.Raster.Width() / 2 ? qmTopLeft : qmBottomRight);
    dialog.setWindowTitle(QFileInfo(QString::fromStdString(sender.Item.FileName)).fileName());
    const int result = ExecScaner(dialog);
    ok = result == QDialog::Accepted;
    pt = dialog.ClickedPoint;
    if (result == ScanerResultAbort) run_->CancelRun();
}

void TFormMain::GetOdp(TSkanItem& sender, TRect area, int count, std::string& answer, bool& ok) {
    QString suffix;
    if (answer.empty())
        suffix = QStringLiteral(" - brak odpowiedzi");
    else if (rbOnlyOne_->isChecked())
        suffix = QStringLiteral(" - odpowiedź niejednoznaczna");
    TFormScaner2 dialog(this);
    dialog.SetMode(qmAnswer);
    dialog.BuildAnswers(count);
    dialog.ShowScan(CropRaster(sender.Raster, area));
    dialog.setWindowTitle(QFileInfo(QString::fromStdString(sender.Item.FileName)).fileName() + suffix);
    const int result = ExecScaner(dialog);
    ok = result == QDialog::Accepted;
    answer = dialog.GetAnswer().toStdString();
    if (result == ScanerResultAbort) run_->CancelRun();
}

void TFormMain::EnableSettings(bool on) {
    for (QWidget* w : std::initializer_list<QWidget*>{edtProjectFile_, btnProjectFile_, edtProjectName_, edtIlePyt_,
                                                      edtIleOdp_, rbOnlyOne_, rbMultiOne_, edtScanFolder_,
                                                      btnScanFolder_, tbrPoziom_, chkSkanJakPoprzedni_})
        w->setEnabled(on);
    chkKontrPuste_->setEnabled(on && rbOnlyOne_->isChecked());
    const QString colour = on ? QString() : QStringLiteral("color: grey");
    for (QLabel* l : {lblProjectFile_, lblProjectName_, lblIlePyt_, lblCount_, Label1_, Label2_, lblWYbor_})
        l->setStyleSheet(colour);
}

}  // namespace quorlen
