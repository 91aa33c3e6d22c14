#include "core/scanner/ScanBatch.h"

#include <sane/sane.h>

#include <ctime>
#include <filesystem>
#include <memory>

#include "core/scanner/ScanFiles.h"
#include "core/scanner/ScanPage.h"
#include "core/scanner/ScannerDevice.h"
#include "core/scanner/ScannerError.h"

namespace quorlen {

namespace {

// A page goes to a temporary file of the folder as it arrives.
class TPngPageSink : public TPageSink {
public:
    TPngPageSink(TScanFolder& folder, int dpi) : folder_(folder), dpi_(dpi) {}
    ~TPngPageSink() override {
        writer_.reset();
        if (!temporary_.empty()) TScanFolder::Discard(temporary_);
    }

    void Begin(int width, int height, TPixelKind kind) override {
        std::FILE* file = folder_.NewPage(&temporary_);
        writer_ = std::make_unique<TScanPngWriter>(file, temporary_, width, height, kind, dpi_);
    }
    void Row(const uint8_t* row) override { writer_->Row(row); }

    // The page's final path.
    std::string Keep() {
        writer_->Finish();
        writer_.reset();
        std::string path = folder_.Keep(temporary_);
        temporary_.clear();
        return path;
    }

private:
    TScanFolder& folder_;
    int dpi_;
    std::string temporary_;
    std::unique_ptr<TScanPngWriter> writer_;
};

TScanOutcome Failure(TScanOutcome outcome, int status, const std::string& message) {
    outcome.End = TScanEnd::Failed;
    outcome.Status = status;
    outcome.Message = message;
    return outcome;
}

}  // namespace

TScanOutcome ScanPages(TScannerDevice& device, const TAppliedScan& applied, const std::string& folder,
                       const TScannerHandlers& handlers) {
    TScanOutcome outcome;
    TScanFolder pages(folder, ScanFileStem(std::time(nullptr)));
    try {
        for (int page = 1;; ++page) {
            if (handlers.Cancel && handlers.Cancel->load()) {
                outcome.End = TScanEnd::Cancelled;
                break;
            }
            if (handlers.PageStarted) handlers.PageStarted(page);
            TPngPageSink sink(pages, applied.Resolution);
            const TPageRead read = ReadPage(device, applied.Colour, sink, handlers.Cancel);
            if (read == TPageRead::Cancelled) {
                outcome.End = TScanEnd::Cancelled;
                break;
            }
            if (read == TPageRead::NoMorePages) {
                if (outcome.Files.empty())
                    return Failure(outcome, SANE_STATUS_NO_DOCS, ScannerStatusMessage(SANE_STATUS_NO_DOCS));
                break;
            }
            outcome.Files.push_back(sink.Keep());
            if (handlers.PageSaved) handlers.PageSaved(page, outcome.Files.back());
            if (!applied.Feeder) break;
        }
    } catch (const TScannerError& e) {
        return Failure(outcome, e.Status, e.what());
    } catch (const std::exception& e) {
        sane_cancel(device.Handle());
        return Failure(outcome, SANE_STATUS_GOOD, e.what());
    }
    // Ends the feeder's batch; the next sane_start begins a new one.
    sane_cancel(device.Handle());
    return outcome;
}

TScanOutcome ScanToFolder(const TScanSettings& settings, const std::string& folder, const TScannerHandlers& handlers) {
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error))
        return Failure({}, SANE_STATUS_GOOD, "Folder skanów „" + folder + "” nie istnieje.");
    try {
        TSaneSession session;
        TScannerDevice device(session, settings.Device);
        const TAppliedScan applied = device.Apply(settings);
        return ScanPages(device, applied, folder, handlers);
    } catch (const TScannerError& e) {
        return Failure({}, e.Status, e.what());
    } catch (const std::exception& e) {
        return Failure({}, SANE_STATUS_GOOD, e.what());
    }
}

std::string KeptPagesNote(const TScanOutcome& outcome) {
    if (outcome.Files.empty()) return std::string();
    return "Strony zeskanowane przed błędem zostały zapisane w folderze skanów (liczba stron: " +
           std::to_string(outcome.Files.size()) + ").";
}

}  // namespace quorlen
