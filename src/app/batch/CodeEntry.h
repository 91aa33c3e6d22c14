#pragma once

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>

namespace quorlen {

// "Wpisz kod…": a scan that gave no result, shown whole, with a field for
// the sheet code the operator reads off it (the printed digits or the
// student's marks). OK only with a code of 1 to 10 digits.
class TfrmWpiszKod : public QDialog {
    Q_OBJECT
public:
    // path: the scan's file; reason: why the run left it without a result.
    TfrmWpiszKod(const QString& path, const QString& fileName, const QString& reason, QWidget* parent = nullptr);
    QString Code() const { return edtKod_->text(); }
    // False when the scan could not be loaded for showing.
    bool ScanShown() const { return shown_; }

private:
    QLabel* imgSkan_;
    QLineEdit* edtKod_;
    QDialogButtonBox* buttons_;
    bool shown_ = false;
};

}  // namespace quorlen
