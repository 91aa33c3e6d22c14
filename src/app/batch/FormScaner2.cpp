#include "app/batch/FormScaner2.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimer>

#include "core/common/Rounding.h"

namespace quorlen {

TMonoBitmap CropRaster(const TMonoBitmap& raster, TRect area) {
    const int w = std::max(0, area.Right - area.Left), h = std::max(0, area.Bottom - area.Top);
    TMonoBitmap crop(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (raster.IsBlack(area.Left + x, area.Top + y)) crop.SetPixel(x, y, true);
    return crop;
}

TFormScaner2::TFormScaner2(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("FormScaner2"));
    setWindowTitle(QStringLiteral("Analizator arkuszy odpowiedzi - szczegóły"));
    setFixedSize(392, 365);
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);
    pnlImage_ = new QWidget(this);
    pnlImage_->setObjectName(QStringLiteral("pnlImage"));
    pnlImage_->setGeometry(0, 0, 392, 284);
    Image1_ = new QLabel(pnlImage_);
    Image1_->setObjectName(QStringLiteral("Image1"));
    Image1_->installEventFilter(this);
    // Three centred lines on the dialog's own colour: an instruction, not an
    // input field, and never wrapped so that no line is pushed out of the band.
    Memo1_ = new QLabel(this);
    Memo1_->setObjectName(QStringLiteral("Memo1"));
    Memo1_->setAlignment(Qt::AlignCenter);
    Memo1_->setWordWrap(false);
    Memo1_->setTextFormat(Qt::PlainText);
    Memo1_->setGeometry(0, 284, 392, 47);
    Memo1_->hide();
    PanelOdpowiedzi_ = new QWidget(this);
    PanelOdpowiedzi_->setObjectName(QStringLiteral("PanelOdpowiedzi"));
    PanelOdpowiedzi_->setGeometry(0, 284, 392, 47);
    PanelOdpowiedzi_->hide();
    BitBtn3_ = new QPushButton(QStringLiteral("Zakończ"), this);
    BitBtn3_->setObjectName(QStringLiteral("BitBtn3"));
    BitBtn3_->setGeometry(6, 337, 85, 25);
    BitBtn2_ = new QPushButton(QStringLiteral("Przerwij"), this);
    BitBtn2_->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2_->setGeometry(392 - 166 + 6, 335, 75, 25);
    BitBtn1_ = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1_->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1_->setGeometry(392 - 166 + 87, 335, 75, 25);
    BitBtn1_->setDefault(true);
    BitBtn1_->setEnabled(false);
    // Image1 takes the focus in the corner modes, so that Enter reaches the
    // (still disabled) default button rather than "Zakończ".
    Image1_->setFocusPolicy(Qt::ClickFocus);
    // The dialog reads the answer keys before whichever control has the focus.
    qApp->installEventFilter(this);
    connect(BitBtn1_, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2_, &QPushButton::clicked, this, &QDialog::reject);
    connect(BitBtn3_, &QPushButton::clicked, this, [this] { done(ScanerResultAbort); });
    ShowError = [this](const QString& text) { QMessageBox::critical(this, QStringLiteral("Błąd"), text); };
}

void TFormScaner2::SetMode(TQuestionMode mode) {
    Mode = mode;
    if (mode == qmAnswer) {
        Memo1_->hide();
        PanelOdpowiedzi_->show();
        return;
    }
    PanelOdpowiedzi_->hide();
    Memo1_->show();
    Memo1_->setText(mode == qmTopLeft
                             ? QStringLiteral("Program nie może określić\nlewego górnego narożnika skanu.\nKliknij "
                                              "myszką w lewy górny róg arkusza.")
                             : QStringLiteral("Program nie może określić\nprawego dolnego narożnika skanu.\nKliknij "
                                              "myszką w prawy dolny róg arkusza."));
}

void TFormScaner2::BuildAnswers(int n) {
    answerCount_ = n;
    int x = Round((PanelOdpowiedzi_->width() - (n + 1) * 25) / 2.0);
    auto add = [&](const QString& text, bool silver) {
        auto* label = new QLabel(text, this);
        label->move(PanelOdpowiedzi_->x() + x + 3, PanelOdpowiedzi_->y() + 4);
        if (silver) label->setStyleSheet(QStringLiteral("background: silver"));
        label->show();
        auto* rb = new QRadioButton(PanelOdpowiedzi_);
        rb->move(x, 20);
        rb->show();
        choices_.push_back(rb);
    };
    add(QStringLiteral("X"), true);
    choices_.front()->setChecked(true);
    x += 50;
    for (int i = 0; i < n; ++i) {
        add(QString(QChar('A' + i)), false);
        x += 25;
    }
    BitBtn1_->setEnabled(true);
}

QString TFormScaner2::GetAnswer() const {
    for (size_t k = 0; k < choices_.size(); ++k)
        if (choices_[k]->isChecked()) return k == 0 ? QString() : QString(QChar('A' + static_cast<int>(k) - 1));
    return QString();
}

void TFormScaner2::ShowScan(const TMonoBitmap& picture) {
    const int w = picture.Width(), h = picture.Height();
    Zoom = 2 * w <= pnlImage_->width() ? 2 : 1;
    shown_ = QImage(w * Zoom, h * Zoom, QImage::Format_Mono);
    shown_.setColor(0, qRgb(255, 255, 255));
    shown_.setColor(1, qRgb(0, 0, 0));
    for (int y = 0; y < h * Zoom; ++y)
        for (int x = 0; x < w * Zoom; ++x) shown_.setPixel(x, y, picture.IsBlack(x / Zoom, y / Zoom) ? 1 : 0);
    Image1_->setPixmap(QPixmap::fromImage(shown_));
    Image1_->resize(shown_.size());
    Image1_->move(Round((pnlImage_->width() - shown_.width()) / 2.0),
                  Round((pnlImage_->height() - shown_.height()) / 2.0));
}

void TFormScaner2::ImageClicked(int x, int y) {
    if (Mode == qmAnswer) return;
    const bool black = x >= 0 && y >= 0 && x < shown_.width() && y < shown_.height() && shown_.pixelIndex(x, y) == 1;
    if (!black) {
        ShowError(QStringLiteral("Program nie może odczytać linii. Spróbuj powtórnie."));
        return;
    }
    ClickedPoint = {Round(static_cast<double>(x) / Zoom), Round(static_cast<double>(y) / Zoom)};
    Memo1_->setText(QStringLiteral("Współrzędne punktu: (%1,%2). Naciśnij przycisk OK").arg(x).arg(y));
    BitBtn1_->setEnabled(true);
    BitBtn1_->setFocus();
}

TFormScaner2::~TFormScaner2() { qApp->removeEventFilter(this); }

void TFormScaner2::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The question comes up while the operator may be typing in the main
    // window: the keys must reach this dialog, not the window it blocks.
    activateWindow();
    if (BitBtn1_->isEnabled())
        BitBtn1_->setFocus();
    else
        Image1_->setFocus();
}

bool TFormScaner2::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Image1_ && event->type() == QEvent::MouseButtonRelease) {
        const auto* me = static_cast<QMouseEvent*>(event);
        ImageClicked(static_cast<int>(me->position().x()), static_cast<int>(me->position().y()));
        return true;
    }
    // Key presses meant for any control of this dialog are seen here first: a
    // focused button or choice would otherwise take Space and Enter for itself.
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        auto* target = static_cast<QWidget*>(watched);
        if ((target == this || isAncestorOf(target)) && AnswerKey(*static_cast<QKeyEvent*>(event))) return true;
    }
    return QDialog::eventFilter(watched, event);
}

bool TFormScaner2::AnswerKey(const QKeyEvent& event) {
    if (Mode != qmAnswer || event.text().isEmpty()) return false;
    const QChar c = event.text().at(0).toUpper();
    int choice = -1;
    if (c == QChar(' ') || c == QChar('X'))
        choice = 0;
    else if (c >= QChar('A') && c.unicode() < 'A' + answerCount_)
        choice = c.unicode() - 'A' + 1;
    if (choice >= 0 && static_cast<size_t>(choice) < choices_.size()) {
        choices_[static_cast<size_t>(choice)]->setChecked(true);
        QTimer::singleShot(0, BitBtn1_, &QPushButton::click);
        return true;
    }
    // Any other character does nothing; Enter and Esc keep their dialog meaning.
    const int key = event.key();
    return key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_Escape && key != Qt::Key_Tab &&
           key != Qt::Key_Backtab;
}

}  // namespace quorlen
