// One pass of the folder's directory listing, filtered by extension alone: a
// file that is not a picture after all is reported when it is read.
#include "core/batch/ScanList.h"

#include <filesystem>

#include "core/common/Text.h"

namespace quorlen {

bool IsScanFileName(const std::string& name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    const std::string ext = ToUpperAscii(name.substr(dot));
    return ext == ".JPG" || ext == ".JPEG" || ext == ".BMP" || ext == ".PNG";
}

std::vector<std::string> ListScanFiles(const std::string& folder) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::error_code ec;
        if (entry.is_directory(ec)) continue;
        const std::string name = entry.path().filename().string();
        if (IsScanFileName(name)) files.push_back(entry.path().string());
    }
    return files;
}

}  // namespace quorlen
