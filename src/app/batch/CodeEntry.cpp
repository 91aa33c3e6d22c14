// The scan is loaded the way the reader loads it (so every picture the run
// read can be shown) and scaled down smoothly, so that the printed digits
// stay legible at a size that fits the screen.
#include "app/batch/CodeEntry.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>

#include "core/project/SheetLayout.h"
#include "core/recognition/LoadScan.h"

namespace quorlen {

namespace {
constexpr int kShownWidth = 760;

QImage ScanPicture(const QString& path) {
    TMonoBitmap raster;
    if (!LoadScan(path.toStdString(), raster) || raster.Width() <= 0 || raster.Height() <= 0) return {};
    QImage mono(raster.Width(), raster.Height(), QImage::Format_Mono);
    mono.setColor(0, qRgb(255, 255, 255));
    mono.setColor(1, qRgb(0, 0, 0));
    for (int y = 0; y < raster.Height(); ++y) {
        uchar* line = mono.scanLine(y);
        std::fill(line, line + mono.bytesPerLine(), 0);
        for (int x = 0; x < raster.Width(); ++x)
            if (raster.IsBlack(x, y)) line[x >> 3] |= static_cast<uchar>(0x80 >> (x & 7));
    }
    QImage grey = mono.convertToFormat(QImage::Format_Grayscale8);
    return grey.width() > kShownWidth ? grey.scaledToWidth(kShownWidth, Qt::SmoothTransformation) : grey;
}
}  // namespace

TfrmWpiszKod::TfrmWpiszKod(const QString& path, const QString& fileName, const QString& reason, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmWpiszKod"));
    setWindowTitle(QStringLiteral("%1 - wpisz kod arkusza").arg(fileName));
    auto* why = new QLabel(QString(reason).replace('\r', ' ').simplified(), this);
    why->setObjectName(QStringLiteral("lblPowod"));
    why->setWordWrap(true);

    imgSkan_ = new QLabel(this);
    imgSkan_->setObjectName(QStringLiteral("imgSkan"));
    const QImage picture = ScanPicture(path);
    shown_ = !picture.isNull();
    if (shown_)
        imgSkan_->setPixmap(QPixmap::fromImage(picture));
    else
        imgSkan_->setText(QStringLiteral("Nie można wyświetlić skanu %1.").arg(path));
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(imgSkan_);
    scroll->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    scroll->setFocusPolicy(Qt::NoFocus);
    int height = 600;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        height = std::max(200, std::min(height, screen->availableGeometry().height() - 220));
    scroll->setMinimumSize(std::min(kShownWidth, picture.isNull() ? 400 : picture.width()) + 24, height);

    auto* label = new QLabel(QStringLiteral("Kod arkusza:"), this);
    edtKod_ = new QLineEdit(this);
    edtKod_->setObjectName(QStringLiteral("edtKod"));
    edtKod_->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]{1,%1}").arg(CodePositions)), edtKod_));
    edtKod_->setPlaceholderText(QStringLiteral("cyfry kodu z arkusza"));
    label->setBuddy(edtKod_);

    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons_->setObjectName(QStringLiteral("btnsKod"));
    QPushButton* ok = buttons_->button(QDialogButtonBox::Ok);
    ok->setEnabled(false);
    ok->setDefault(true);
    connect(edtKod_, &QLineEdit::textChanged, this, [this, ok] { ok->setEnabled(edtKod_->hasAcceptableInput()); });
    connect(buttons_, &QDialogButtonBox::accepted, this, [this] {
        if (edtKod_->hasAcceptableInput()) accept();
    });
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(why);
    layout->addWidget(scroll, 1);
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(edtKod_, 1);
    layout->addLayout(row);
    layout->addWidget(buttons_);
    edtKod_->setFocus();
}

}  // namespace quorlen
