#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <functional>

#include "app/shell/ScanJob.h"
#include "core/settings/ScannerConfig.h"

namespace quorlen {

// "Skanuj…": scans the document feeder (or the glass) of a SANE scanner into
// the scan folder, page after page, with the window kept alive; at the end
// it offers to analyse the folder. The scanners last found are offered at
// once while a new search runs.
class TfrmSkanuj : public QDialog {
    Q_OBJECT
public:
    TfrmSkanuj(const QString& folder, const TScannerConfig& remembered, QWidget* parent = nullptr);

    // The operator chose "Analizuj" at the end of a batch.
    bool AnalyzeRequested() const { return analyze_; }
    TScannerConfig Config() const;

    // Error boxes ("Błąd"), and the final question, true for "Analizuj"; by
    // default a message box of its own with those two buttons.
    std::function<void(const QString& text)> ShowError;
    std::function<bool(const QString& text)> AskAnalyze;
    // Keeps the dialog's settings (after a search, at each start).
    std::function<void(const TScannerConfig& config)> SaveConfig;

    QComboBox *cbbSkaner, *cbbZrodlo, *cbbTryb;
    QSpinBox* seRozdzielczosc;
    QLabel* lblPostep;
    QPushButton *btnSzukaj, *btnZacznij, *btnPrzerwij, *btnZamknij;

    void btnZacznijClick();
    void btnPrzerwijClick();

public slots:
    // Esc and the window's close button stop a batch first; the dialog
    // closes only when none runs.
    void reject() override;

private:
    void Build(const QString& folder);
    void ShowDevices(const QStringList& names, const QStringList& labels);
    void OnDevicesFound(const QStringList& names, const QStringList& labels, const QString& error);
    void OnFinished(int end, int pages, const QString& message);
    void SetScanning(bool on);
    void Save();

    QString folder_;
    TScannerConfig config_;
    TScanJob job_;
    bool analyze_ = false;
};

}  // namespace quorlen
