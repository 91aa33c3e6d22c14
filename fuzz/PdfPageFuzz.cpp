// Feeds arbitrary bytes to the Pdf page reader as a multi-page scan: a
// scan folder is untrusted input, and a hostile file must fail, not crash or
// hang. Pages over 4 megapixels are refused through the size hook, so that
// an input claiming a huge page costs no rendering time.
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "FuzzFile.h"
#include "core/recognition/LoadScan.h"
#include "core/recognition/ScanPages.h"

// fontconfig, which poppler asks for a font once per process, keeps its
// configuration (288 bytes, however many inputs ran) past exit. The page
// reader's own suppression is weak, and so is the fuzzing runtime's: this
// one is certain to be taken.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = quorlen::fuzz::InputFile(data, size, "scan.pdf");
    if (path.empty()) return 0;
    std::string why;
    const int pages = quorlen::CountScanPages(path, &why);
    const auto small = [](int32_t w, int32_t h, uint64_t) {
        if (int64_t{w} * h > 4'000'000) throw std::runtime_error("too large for fuzzing");
    };
    // The first pages, the last and one past it.
    for (int page : {1, 2, pages, pages + 1}) {
        if (page < 1 || page > 4 && page < pages) continue;
        quorlen::TMonoBitmap raster;
        std::string detail;
        quorlen::LoadScan(quorlen::ScanPageName(path, page), raster, &detail, small);
    }
    std::remove(path.c_str());
    return 0;
}
