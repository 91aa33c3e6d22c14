#pragma once

#include <QDialog>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <vector>

#include "core/common/MonoBitmap.h"
#include "core/recognition/ScanHandlers.h"

namespace quorlen {

enum TQuestionMode { qmTopLeft = 1, qmBottomRight = 2, qmAnswer = 3 };

// Dialog results besides Accepted (OK, 1) and Rejected ("Przerwij", stored
// as 2 elsewhere, here QDialog::Rejected).
constexpr int ScanerResultAbort = 3;  // "Zakończ": the whole run is cancelled

// The operator's dialog for one question: click the frame's corner on the
// shown crop, or choose the answer of an unclear question.
class TFormScaner2 : public QDialog {
    Q_OBJECT
public:
    explicit TFormScaner2(QWidget* parent = nullptr);
    ~TFormScaner2() override;

    void SetMode(TQuestionMode mode);
    void BuildAnswers(int n);
    void ShowScan(const TMonoBitmap& picture);
    QString GetAnswer() const;
    // A release of a mouse button over the picture at shown-picture (x, y).
    void ImageClicked(int x, int y);

    TQuestionMode Mode = qmTopLeft;
    TPoint ClickedPoint{0, 0};
    int Zoom = 1;
    // Replaceable for tests: the white-pixel message box.
    std::function<void(const QString& text)> ShowError;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Letters, Space and X in answer mode; true when the key was used up.
    bool AnswerKey(const QKeyEvent& event);

    QWidget* pnlImage_;
    QLabel* Image1_;
    QLabel* Memo1_;
    QWidget* PanelOdpowiedzi_;
    QPushButton *BitBtn1_, *BitBtn2_, *BitBtn3_;
    std::vector<QRadioButton*> choices_;
    QImage shown_;
    int answerCount_ = 0;
};

// Copies a rectangle of the raster (clipped) into a new raster.
TMonoBitmap CropRaster(const TMonoBitmap& raster, TRect area);

}  // namespace quorlen
