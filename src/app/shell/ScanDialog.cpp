#include "app/shell/ScanDialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QVBoxLayout>

#include "core/scanner/ScanBatch.h"
#include "core/scanner/ScannerError.h"

namespace quorlen {

namespace {

QString Pages(int count) { return QString::fromStdString(PagesText(count)); }

void SelectData(QComboBox* box, const QString& value) {
    const int index = box->findData(value);
    if (index >= 0) box->setCurrentIndex(index);
}

}  // namespace

TfrmSkanuj::TfrmSkanuj(const QString& folder, const TScannerConfig& remembered, QWidget* parent)
    : QDialog(parent), folder_(folder), config_(remembered) {
    setObjectName(QStringLiteral("frmSkanuj"));
    setWindowTitle(QStringLiteral("Skanuj"));
    Build(folder);
    ShowError = [this](const QString& text) { QMessageBox::critical(this, QStringLiteral("Błąd"), text); };
    AskAnalyze = [this](const QString& text) {
        QMessageBox box(QMessageBox::Question, QStringLiteral("Pytanie"), text, QMessageBox::NoButton, this);
        QPushButton* analyze = box.addButton(QStringLiteral("Analizuj"), QMessageBox::AcceptRole);
        box.addButton(QStringLiteral("Nie"), QMessageBox::RejectRole);
        box.setDefaultButton(analyze);
        box.exec();
        return box.clickedButton() == analyze;
    };

    QStringList names, labels;
    for (const TScannerInfo& d : remembered.Devices) {
        names << QString::fromStdString(d.Name);
        labels << QString::fromStdString(d.Label());
    }
    ShowDevices(names, labels);
    SelectData(cbbZrodlo, QString::fromStdString(remembered.Source));
    SelectData(cbbTryb, QString::fromStdString(remembered.Mode));
    seRozdzielczosc->setValue(remembered.Resolution);

    // Queued: the job's signals come from its threads.
    connect(&job_, &TScanJob::DevicesFound, this, &TfrmSkanuj::OnDevicesFound, Qt::QueuedConnection);
    connect(
        &job_, &TScanJob::PageStarted, this,
        [this](int page) { lblPostep->setText(QStringLiteral("Strona %1…").arg(page)); }, Qt::QueuedConnection);
    connect(&job_, &TScanJob::Finished, this, &TfrmSkanuj::OnFinished, Qt::QueuedConnection);
    connect(btnSzukaj, &QPushButton::clicked, this, [this] {
        btnSzukaj->setEnabled(false);
        lblPostep->setText(QStringLiteral("Szukam skanerów…"));
        job_.FindDevices();
    });
    connect(btnZacznij, &QPushButton::clicked, this, [this] { btnZacznijClick(); });
    connect(btnPrzerwij, &QPushButton::clicked, this, [this] { btnPrzerwijClick(); });
    connect(btnZamknij, &QPushButton::clicked, this, [this] { reject(); });
    btnSzukaj->click();
}

void TfrmSkanuj::Build(const QString& folder) {
    auto* form = new QFormLayout;
    auto named = [](QWidget* w, const char* name) {
        w->setObjectName(QString::fromLatin1(name));
        return w;
    };
    cbbSkaner = new QComboBox(this);
    named(cbbSkaner, "cbbSkaner");
    cbbSkaner->setMinimumContentsLength(28);
    btnSzukaj = new QPushButton(QStringLiteral("Szukaj ponownie"), this);
    named(btnSzukaj, "btnSzukaj");
    btnSzukaj->setAutoDefault(false);
    auto* deviceRow = new QHBoxLayout;
    deviceRow->addWidget(cbbSkaner, 1);
    deviceRow->addWidget(btnSzukaj);
    auto* deviceLabel = new QLabel(QStringLiteral("&Skaner"), this);
    deviceLabel->setBuddy(cbbSkaner);
    form->addRow(deviceLabel, deviceRow);
    cbbZrodlo = new QComboBox(this);
    named(cbbZrodlo, "cbbZrodlo");
    cbbZrodlo->addItem(QStringLiteral("Podajnik dokumentów (ADF)"), QStringLiteral("ADF"));
    cbbZrodlo->addItem(QStringLiteral("Szyba skanera (Flatbed)"), QStringLiteral("Flatbed"));
    form->addRow(QStringLiteral("Ź&ródło"), cbbZrodlo);
    seRozdzielczosc = new QSpinBox(this);
    named(seRozdzielczosc, "seRozdzielczosc");
    seRozdzielczosc->setRange(50, 1200);
    seRozdzielczosc->setSingleStep(50);
    seRozdzielczosc->setSuffix(QStringLiteral(" dpi"));
    seRozdzielczosc->setValue(200);
    form->addRow(QStringLiteral("Roz&dzielczość"), seRozdzielczosc);
    cbbTryb = new QComboBox(this);
    named(cbbTryb, "cbbTryb");
    cbbTryb->addItem(QStringLiteral("Skala szarości"), QStringLiteral("Gray"));
    cbbTryb->addItem(QStringLiteral("Kolor"), QStringLiteral("Color"));
    cbbTryb->addItem(QStringLiteral("Czarno-biały (1 bit)"), QStringLiteral("Lineart"));
    form->addRow(QStringLiteral("&Tryb"), cbbTryb);
    auto* where = new QLabel(folder, this);
    named(where, "lblFolder");
    where->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(QStringLiteral("Folder skanów"), where);

    lblPostep = new QLabel(this);
    named(lblPostep, "lblPostep");
    lblPostep->setWordWrap(true);
    lblPostep->setMinimumHeight(2 * fontMetrics().height());
    btnZacznij = new QPushButton(QStringLiteral("Zacznij"), this);
    named(btnZacznij, "btnZacznij");
    btnZacznij->setDefault(true);
    btnPrzerwij = new QPushButton(QStringLiteral("Przerwij"), this);
    named(btnPrzerwij, "btnPrzerwij");
    btnPrzerwij->setEnabled(false);
    btnZamknij = new QPushButton(QStringLiteral("Zamknij"), this);
    named(btnZamknij, "btnZamknij");
    btnZamknij->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnZacznij);
    buttons->addWidget(btnPrzerwij);
    buttons->addWidget(btnZamknij);
    auto* column = new QVBoxLayout(this);
    column->addLayout(form);
    column->addWidget(lblPostep);
    column->addLayout(buttons);
    cbbSkaner->setFocus();
}

TScannerConfig TfrmSkanuj::Config() const {
    TScannerConfig c = config_;
    c.Device = cbbSkaner->currentData().toString().toStdString();
    c.Source = cbbZrodlo->currentData().toString().toStdString();
    c.Resolution = seRozdzielczosc->value();
    c.Mode = cbbTryb->currentData().toString().toStdString();
    return c;
}

void TfrmSkanuj::ShowDevices(const QStringList& names, const QStringList& labels) {
    const QString chosen =
        cbbSkaner->count() ? cbbSkaner->currentData().toString() : QString::fromStdString(config_.Device);
    cbbSkaner->clear();
    for (int i = 0; i < names.size(); ++i)
        cbbSkaner->addItem(labels[i] == names[i] ? names[i] : labels[i] + QStringLiteral(" (") + names[i] + ")",
                           names[i]);
    SelectData(cbbSkaner, chosen);
    btnZacznij->setEnabled(!job_.Scanning() && cbbSkaner->count() > 0);
}

void TfrmSkanuj::OnDevicesFound(const QStringList& names, const QStringList& labels, const QString& error) {
    btnSzukaj->setEnabled(!job_.Scanning());
    ShowDevices(names, labels);
    config_.Devices.clear();
    for (int i = 0; i < names.size(); ++i) {
        TScannerInfo device;
        device.Name = names[i].toStdString();
        device.Vendor = labels[i].toStdString();
        config_.Devices.push_back(device);
    }
    if (!job_.Scanning()) {
        if (!error.isEmpty())
            lblPostep->setText(error);
        else
            lblPostep->setText(names.isEmpty() ? QStringLiteral("Nie znaleziono skanera.") : QString());
    }
    if (error.isEmpty()) Save();
}

void TfrmSkanuj::Save() {
    config_ = Config();
    if (SaveConfig) SaveConfig(config_);
}

void TfrmSkanuj::SetScanning(bool on) {
    for (QWidget* w :
         std::initializer_list<QWidget*>{cbbSkaner, cbbZrodlo, seRozdzielczosc, cbbTryb, btnSzukaj, btnZamknij})
        w->setEnabled(!on);
    btnZacznij->setEnabled(!on && cbbSkaner->count() > 0);
    btnPrzerwij->setEnabled(on);
    if (on) btnPrzerwij->setFocus();
}

void TfrmSkanuj::btnZacznijClick() {
    if (job_.Scanning() || cbbSkaner->count() == 0) return;
    Save();
    TScanSettings settings;
    settings.Device = config_.Device;
    settings.Source = config_.Source;
    settings.Resolution = config_.Resolution;
    settings.Mode = config_.Mode;
    SetScanning(true);
    lblPostep->setText(QStringLiteral("Strona 1…"));
    job_.Start(settings, folder_);
}

void TfrmSkanuj::btnPrzerwijClick() {
    if (!job_.Scanning()) return;
    job_.Cancel();
    btnPrzerwij->setEnabled(false);
    lblPostep->setText(QStringLiteral("Przerywam…"));
}

void TfrmSkanuj::OnFinished(int end, int pages, const QString& message) {
    SetScanning(false);
    btnZacznij->setFocus();
    switch (static_cast<TScanEnd>(end)) {
        case TScanEnd::Done: {
            const QString done = QStringLiteral("Zeskanowano %1.").arg(Pages(pages));
            lblPostep->setText(done);
            if (AskAnalyze(done + QStringLiteral(" Czy przeanalizować folder?"))) {
                analyze_ = true;
                accept();
            }
            break;
        }
        case TScanEnd::Cancelled:
            lblPostep->setText(QStringLiteral("Skanowanie przerwane. Zeskanowano %1.").arg(Pages(pages)));
            break;
        case TScanEnd::Failed:
            lblPostep->setText(pages ? QStringLiteral("Zeskanowano %1, potem wystąpił błąd.").arg(Pages(pages))
                                     : QStringLiteral("Wystąpił błąd."));
            ShowError(message);
            break;
    }
}

void TfrmSkanuj::reject() {
    if (job_.Scanning()) {
        btnPrzerwijClick();
        return;
    }
    QDialog::reject();
}

}  // namespace quorlen
