// Feeds arbitrary bytes to the scan loader under each of its extensions: a
// scan folder is untrusted input, and a hostile file must fail, not crash.
#include <cstdint>
#include <cstdio>
#include <string>

#include "FuzzFile.h"
#include "core/recognition/LoadScan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (const char* name : {"scan.jpg", "scan.png", "scan.bmp"}) {
        const std::string path = quorlen::fuzz::InputFile(data, size, name);
        if (path.empty()) return 0;
        quorlen::TMonoBitmap raster;
        quorlen::LoadScan(path, raster);
        std::remove(path.c_str());
    }
    return 0;
}
