#include "app/shell/ScanJob.h"

#include "core/scanner/SaneSession.h"
#include "core/scanner/ScanBatch.h"
#include "core/scanner/ScannerError.h"

namespace quorlen {

TScanJob::TScanJob(QObject* parent) : QObject(parent) {}

TScanJob::~TScanJob() {
    cancel_ = true;
    if (scan_.joinable()) scan_.join();
    if (search_.joinable()) search_.join();
}

void TScanJob::FindDevices() {
    // One search at a time; a request during one waits for it.
    if (search_.joinable()) search_.join();
    search_ = std::thread([this] {
        QStringList names, labels;
        QString error;
        try {
            for (const TScannerInfo& d : ListScanners()) {
                names << QString::fromStdString(d.Name);
                labels << QString::fromStdString(d.Label());
            }
        } catch (const std::exception& e) {
            error = QString::fromStdString(e.what());
        }
        emit DevicesFound(names, labels, error);
    });
}

void TScanJob::Start(const TScanSettings& settings, const QString& folder) {
    if (scanning_) return;
    if (scan_.joinable()) scan_.join();
    cancel_ = false;
    scanning_ = true;
    scan_ = std::thread([this, settings, folder = folder.toStdString()] {
        TScannerHandlers handlers;
        handlers.Cancel = &cancel_;
        handlers.PageStarted = [this](int page) { emit PageStarted(page); };
        handlers.PageSaved = [this](int page, const std::string& file) {
            emit PageSaved(page, QString::fromStdString(file));
        };
        const TScanOutcome outcome = ScanToFolder(settings, folder, handlers);
        std::string message = outcome.Message;
        if (outcome.End == TScanEnd::Failed && !outcome.Files.empty()) message += "\n\n" + KeptPagesNote(outcome);
        scanning_ = false;
        emit Finished(static_cast<int>(outcome.End), static_cast<int>(outcome.Files.size()),
                      QString::fromStdString(message));
    });
}

}  // namespace quorlen
