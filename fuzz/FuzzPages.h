#pragma once

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "FuzzFile.h"
#include "core/recognition/LoadScan.h"
#include "core/recognition/ScanPages.h"

namespace quorlen::fuzz {

// Reads the input as a multi-page scan named `name` (its extension picks the
// reader): the page count, the first pages, the last and one past it. Pages
// over 4 megapixels are refused through the size hook, so that an input
// claiming a huge page costs no decoding time.
inline void ReadPagesOf(const uint8_t* data, size_t size, const std::string& name) {
    const std::string path = InputFile(data, size, name);
    if (path.empty()) return;
    std::string why;
    const int pages = CountScanPages(path, &why);
    const auto small = [](int32_t w, int32_t h, uint64_t) {
        if (int64_t{w} * h > 4'000'000) throw std::runtime_error("too large for fuzzing");
    };
    for (int page : {1, 2, pages, pages + 1}) {
        if (page < 1 || (page > 4 && page < pages)) continue;
        TMonoBitmap raster;
        std::string detail;
        LoadScan(ScanPageName(path, page), raster, &detail, small);
    }
    std::remove(path.c_str());
}

}  // namespace quorlen::fuzz
