#pragma once

#include <QObject>
#include <QStringList>
#include <atomic>
#include <thread>

#include "core/scanner/ScanSettings.h"

namespace quorlen {

// The scanner's slow work off the window's thread: a device search (network
// backends may probe for seconds) and a batch (a page takes seconds). Both
// report by signals that their receivers connect queued; a batch stops
// through an atomic flag. Destroying the job stops the batch and waits for
// both threads, so nothing runs on once the dialog is gone.
class TScanJob : public QObject {
    Q_OBJECT
public:
    explicit TScanJob(QObject* parent = nullptr);
    ~TScanJob() override;

    void FindDevices();
    void Start(const TScanSettings& settings, const QString& folder);
    void Cancel() { cancel_ = true; }
    bool Scanning() const { return scanning_; }

signals:
    // names[i] is labelled labels[i]; error is empty when the search worked.
    void DevicesFound(const QStringList& names, const QStringList& labels, const QString& error);
    void PageStarted(int page);
    void PageSaved(int page, const QString& file);
    // end is a TScanEnd; message is the failure's text and, with pages kept,
    // the note that says so.
    void Finished(int end, int pages, const QString& message);

private:
    std::thread search_, scan_;
    std::atomic<bool> cancel_{false};
    std::atomic<bool> scanning_{false};
};

}  // namespace quorlen
