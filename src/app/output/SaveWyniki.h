#pragma once

#include <QFileDialog>
#include <QMessageBox>
#include <QString>
#include <functional>

#include "app/output/DeviceChoice.h"
#include "core/common/Json.h"
#include "core/exporter/ExporterHost.h"

namespace quorlen {

enum class TSaveResult { Saved, Cancelled, Failed };

// The save flow behind "Zapisz wyniki": loads the exporter plug-in on the
// first click that finds one, offers its devices and file types, and writes
// the JSON file or hands the document to the plug-in. Owned by the main
// window; the plug-in is shut down and unloaded when this goes.
class TSaveWyniki {
public:
    using TAsk = std::function<QMessageBox::StandardButton(const QString& text, const QString& caption,
                                                           QMessageBox::Icon icon, QMessageBox::StandardButtons buttons,
                                                           QMessageBox::StandardButton defaultButton)>;

    explicit TSaveWyniki(QWidget* window);

    // Where the plug-in is looked for; by default the data folder (not
    // created) and the program's folder.
    std::function<TExporterSearch()> Search;
    // Shows the device choice modally and returns its result.
    std::function<int(TfrmDeviceChoice& dialog)> ExecDeviceChoice = [](TfrmDeviceChoice& d) { return d.exec(); };

    // One click: chooseFile names the file (empty = cancelled) while the save
    // dialog holds the chosen type; ask shows the message boxes. Saved once
    // the file is written or the plug-in took the document.
    TSaveResult Save(const Json& document, const std::function<QString()>& chooseFile, const TAsk& ask);

    // The save dialog, kept for the process so that it remembers the last
    // name and type.
    QFileDialog* SaveDialog() const { return dlgSaveWyniki_; }
    // Runs the save dialog in folder with <base>.<the chosen type's suffix>
    // suggested (the dialog's own memory when both are empty); the chosen
    // file, empty when cancelled. A file that is there is replaced only after
    // the dialog's question.
    QString RunSaveDialog(const QString& folder = QString(), const QString& base = QString());
    // -1 the file on disk, 0 or more a device, -2 cancelled.
    int ChooseDestination();
    TExporterHost& Host() { return host_; }

private:
    void LoadExporter(const TAsk& ask);
    int FilterIndex() const;
    void ShowOutcome(const TExporterOutcome& outcome, const TAsk& ask);

    QWidget* window_;
    QFileDialog* dlgSaveWyniki_;
    TExporterHost host_;
};

// "Name|pattern|Name|pattern" as the save dialog's name filters.
QStringList NameFilters(const std::string& filters);

}  // namespace quorlen
