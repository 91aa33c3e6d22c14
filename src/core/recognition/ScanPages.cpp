#include "core/recognition/ScanPages.h"

#include <charconv>

#include "core/common/Text.h"

namespace quorlen {

bool IsMultiPageFileName(const std::string& name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    const std::string ext = ToUpperAscii(name.substr(dot));
    return ext == ".PDF" || ext == ".TIF" || ext == ".TIFF";
}

TScanPageName SplitScanPageName(const std::string& name) {
    const size_t hash = name.rfind('#');
    if (hash == std::string::npos || hash + 1 >= name.size() || name[hash + 1] == '0') return {name, 0};
    const std::string file = name.substr(0, hash);
    if (!IsMultiPageFileName(file)) return {name, 0};
    int page = 0;
    const char* first = name.data() + hash + 1;
    const char* last = name.data() + name.size();
    const auto [end, ec] = std::from_chars(first, last, page);
    if (ec != std::errc() || end != last || page <= 0) return {name, 0};
    return {file, page};
}

std::string ScanPageName(const std::string& file, int page) {
    return page > 0 ? file + "#" + std::to_string(page) : file;
}

}  // namespace quorlen
