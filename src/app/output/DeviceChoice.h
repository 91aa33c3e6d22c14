#pragma once

#include <QDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QStringList>
#include <vector>

namespace quorlen {

// The device-choice dialog: "Plik na dysku" (value -1, selected at first),
// then one choice per device of the plug-in (values 0, 1, …). "Wybierz"
// accepts the selection, "Anuluj" and closing cancel.
class TfrmDeviceChoice : public QDialog {
    Q_OBJECT
public:
    TfrmDeviceChoice(const QStringList& devices, QWidget* parent = nullptr);
    // The chosen value: -1 the file on disk, 0 or more a device.
    int Selection() const { return selection_; }
    const std::vector<QRadioButton*>& Choices() const { return choices_; }

private:
    QScrollArea* sbDevices_;
    QPushButton *btnWybierz_, *btnAnuluj_;
    std::vector<QRadioButton*> choices_;
    int selection_ = -1;
};

// What ChooseDestination yields for a cancelled dialog.
inline constexpr int DestinationCancelled = -2;
inline constexpr int DestinationFile = -1;

}  // namespace quorlen
