#include "app/shell/AboutBox.h"

#include <QApplication>
#include <QEvent>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include "QuorlenVersion.h"
#include "app/printing/PrintJob.h"
#include "core/printing/RenderSheet.h"

namespace quorlen {

namespace {

const int kWidth = 630;
const int kHeight = 364;

const char* const kInfo =
    "<h2>Brenvik Quorlen</h2>"
    "<p><b>Analizator arkuszy odpowiedzi</b></p>"
    "<p>Drukuje arkusze odpowiedzi do testów i ankiet (3&ndash;200 pytań, 2&ndash;16 odpowiedzi, "
    "wybór jednokrotny lub wielokrotny), a po wypełnieniu odczytuje je ze skanów: prostuje obraz, "
    "odnajduje ramkę arkusza, kod i zaczernione kratki, a o niejasne odpowiedzi pyta sprawdzającego.</p>"
    "<p>Wyniki zapisuje w pliku JSON, przekazuje do wtyczki eksportu lub zwraca innemu programowi "
    "przez serwer automatyzacji.</p>"
    "<p>Wersja " QUORLEN_VERSION "</p>";

// A small project's first page, drawn by the same renderer that prints.
QPixmap SheetPicture(int height) {
    const TMonoBitmap page = RenderSheet(20, 5, "2026", "Brenvik Quorlen\rO programie");
    return QPixmap::fromImage(ToPrintableMono(page)
                                  .convertToFormat(QImage::Format_Grayscale8)
                                  .scaledToHeight(height, Qt::SmoothTransformation));
}

}  // namespace

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("O programie"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(kWidth, kHeight);
    setStyleSheet(QStringLiteral("TfrmAbout { background: white; border: 1px solid grey; }"));

    lblInfo_ = new QLabel(this);
    lblInfo_->setObjectName(QStringLiteral("lblInfo"));
    lblInfo_->setTextFormat(Qt::RichText);
    lblInfo_->setWordWrap(true);
    lblInfo_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblInfo_->setText(QString::fromUtf8(kInfo));

    imgSheet_ = new QLabel(this);
    imgSheet_->setObjectName(QStringLiteral("imgSheet"));
    imgSheet_->setPixmap(SheetPicture(kHeight - 24));
    const int pictureWidth = imgSheet_->pixmap().width();
    imgSheet_->setGeometry(kWidth - pictureWidth - 12, 12, pictureWidth, kHeight - 24);
    lblInfo_->setGeometry(16, 12, kWidth - pictureWidth - 48, kHeight - 24);

    lblClose_ = new QLabel(QStringLiteral("X"), this);
    lblClose_->setObjectName(QStringLiteral("lblClose"));
    lblClose_->setCursor(Qt::PointingHandCursor);
    lblClose_->setStyleSheet(QStringLiteral("font-weight: bold; color: grey"));
    lblClose_->setGeometry(kWidth - 20, 2, 16, 16);
    lblClose_->raise();

    imgSheet_->installEventFilter(this);
    lblClose_->installEventFilter(this);

    if (QScreen* screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(kWidth / 2, kHeight / 2));
}

bool TfrmAbout::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease && (watched == imgSheet_ || watched == lblClose_)) {
        close();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace quorlen
