#pragma once

#include <string>
#include <vector>

#include "core/scanner/SaneSession.h"

namespace quorlen {

// What the scan dialog remembers in config.json, under "scanner" inside the
// "config" object: the scanners last found (so that the dialog offers them at
// once, before a new search ends), the one last used and its settings.
struct TScannerConfig {
    std::vector<TScannerInfo> Devices;  // Name and Vendor (the label) are kept
    std::string Device;
    std::string Source = "ADF";
    int Resolution = 200;
    std::string Mode = "Gray";
};

// Read quietly: a missing or broken file, a value of the wrong type or out
// of bounds gives that value's default.
TScannerConfig ReadScannerConfig(const std::string& path);
// Replaces "scanner" and keeps every other key; false when the file could
// not be written.
bool WriteScannerConfig(const std::string& path, const TScannerConfig& config);

}  // namespace quorlen
