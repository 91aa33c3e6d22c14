#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "core/scanner/ScanSettings.h"

namespace quorlen {

class TScannerDevice;

// Called on the scanning thread.
struct TScannerHandlers {
    // Page n (from 1) is about to be fed.
    std::function<void(int page)> PageStarted;
    // Page n is whole in the folder under file.
    std::function<void(int page, const std::string& file)> PageSaved;
    // Raised from any thread: the page in progress is dropped, the saved
    // ones stay, the device is stopped.
    const std::atomic<bool>* Cancel = nullptr;
};

enum class TScanEnd {
    Done,       // the feeder ran empty after at least one page, or the glass gave its page
    Cancelled,  // the operator stopped it
    Failed      // the device or the folder failed; Message says how
};

struct TScanOutcome {
    TScanEnd End = TScanEnd::Done;
    // The pages saved, in order; they stay whatever the end.
    std::vector<std::string> Files;
    // The SANE status behind a failure (SANE_STATUS_GOOD for one of ours).
    int Status = 0;
    std::string Message;
};

// Scans pages from an opened, set device into folder as
// Skan_RRRRMMDD_GGMMSS_NNN.png (the moment the batch started): from a
// feeder until it is empty, from the glass one page. A feeder empty before
// the first page is a failure. Never throws.
TScanOutcome ScanPages(TScannerDevice& device, const TAppliedScan& applied, const std::string& folder,
                       const TScannerHandlers& handlers);

// Opens the device of settings in a session of its own, sets it and scans.
// Never throws: every failure, an unknown device included, is in the outcome.
TScanOutcome ScanToFolder(const TScanSettings& settings, const std::string& folder, const TScannerHandlers& handlers);

// The sentence that tells the operator a failed batch kept its pages; empty
// when there are none.
std::string KeptPagesNote(const TScanOutcome& outcome);

}  // namespace quorlen
