// One pass of the folder's directory listing, filtered by extension alone: a
// file that is not a picture after all is reported when it is read.
#include "core/batch/ScanList.h"

#include <filesystem>

#include "core/common/Text.h"
#include "core/recognition/ScanPages.h"

namespace quorlen {

bool IsScanFileName(const std::string& name) {
    if (IsMultiPageFileName(name)) return true;
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

std::vector<TListedScan> ExpandScanPages(const std::vector<std::string>& files, const TPageCounter& countPages) {
    std::vector<TListedScan> scans;
    scans.reserve(files.size());
    for (const std::string& file : files) {
        // Pictures have one page by their kind; only a PDF or TIFF is opened
        // here, and only as far as its page count.
        if (!IsMultiPageFileName(file)) {
            scans.push_back({file, {}});
            continue;
        }
        std::string why;
        int pages = 0;
        try {
            pages = countPages ? countPages(file, &why) : CountScanPages(file, &why);
        } catch (const std::exception& e) {
            pages = 0;
            if (why.empty()) why = e.what();
        }
        if (pages <= 0) {
            scans.push_back({file, why.empty() ? std::string("Nie można odczytać stron pliku") : why});
        } else if (pages == 1) {
            scans.push_back({file, {}});
        } else {
            for (int page = 1; page <= pages; ++page) scans.push_back({ScanPageName(file, page), {}});
        }
    }
    return scans;
}

}  // namespace quorlen
