#pragma once

#include <QDialog>
#include <QLabel>

namespace quorlen {

// "O programie": a borderless box with the program's story on the left and a
// sheet the program itself draws on the right. A click on the picture or on
// the "X" closes it; it deletes itself when closed.
class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel *lblInfo_, *imgSheet_, *lblClose_;
};

}  // namespace quorlen
