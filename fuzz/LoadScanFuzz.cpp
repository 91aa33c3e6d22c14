// Feeds arbitrary bytes to the scan loader under each of its extensions: a
// scan folder is untrusted input, and a hostile file must fail, not crash.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/recognition/LoadScan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string base = "/tmp/quorlen-fuzz-" + std::to_string(getpid());
    for (const char* ext : {".jpg", ".png", ".bmp"}) {
        const std::string path = base + ext;
        FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) return 0;
        std::fwrite(data, 1, size, f);
        std::fclose(f);
        quorlen::TMonoBitmap raster;
        quorlen::LoadScan(path, raster);
        std::remove(path.c_str());
    }
    return 0;
}
