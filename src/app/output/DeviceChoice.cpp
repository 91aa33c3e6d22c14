#include "app/output/DeviceChoice.h"

namespace quorlen {

namespace {
const int kWidth = 410;
const int kHeight = 143;
const int kChoiceLeft = 8, kChoiceTop = 8, kChoicePitch = 20, kChoiceWidth = 165, kChoiceHeight = 17;
}  // namespace

TfrmDeviceChoice::TfrmDeviceChoice(const QStringList& devices, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmDeviceChoice"));
    setWindowTitle(QStringLiteral("Zapisz wyniki"));
    setFixedSize(kWidth, kHeight);
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);

    sbDevices_ = new QScrollArea(this);
    sbDevices_->setObjectName(QStringLiteral("sbDevices"));
    sbDevices_->setGeometry(12, 8, 185, kHeight - 16);
    sbDevices_->setFrameShape(QFrame::StyledPanel);
    sbDevices_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* list = new QWidget;
    QStringList labels = devices;
    labels.prepend(QStringLiteral("Plik na dysku"));
    for (int i = 0; i < labels.size(); ++i) {
        auto* choice = new QRadioButton(labels[i], list);
        choice->setGeometry(kChoiceLeft, kChoiceTop + i * kChoicePitch, kChoiceWidth, kChoiceHeight);
        const int value = i - 1;
        connect(choice, &QRadioButton::toggled, this, [this, value](bool on) {
            if (on) selection_ = value;
        });
        choices_.push_back(choice);
    }
    choices_.front()->setChecked(true);
    list->setFixedSize(kChoiceLeft + kChoiceWidth,
                       kChoiceTop + static_cast<int>(labels.size()) * kChoicePitch + kChoiceTop);
    sbDevices_->setWidget(list);

    btnWybierz_ = new QPushButton(QStringLiteral("Wybierz"), this);
    btnWybierz_->setObjectName(QStringLiteral("btnWybierz"));
    btnWybierz_->setGeometry(212, 8, 185, 57);
    btnWybierz_->setDefault(true);
    btnAnuluj_ = new QPushButton(QStringLiteral("Anuluj"), this);
    btnAnuluj_->setObjectName(QStringLiteral("btnAnuluj"));
    btnAnuluj_->setGeometry(212, 110, 185, 25);
    connect(btnWybierz_, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnAnuluj_, &QPushButton::clicked, this, &QDialog::reject);
}

}  // namespace quorlen
