// Feeds arbitrary bytes to the TIFF page reader as a multi-page scan: a
// scan folder is untrusted input, and a hostile file must fail, not crash or
// hang.
#include "FuzzPages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    quorlen::fuzz::ReadPagesOf(data, size, "scan.tif");
    return 0;
}
