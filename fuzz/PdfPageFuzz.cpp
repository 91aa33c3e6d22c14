// Feeds arbitrary bytes to the PDF page reader as a multi-page scan: a
// scan folder is untrusted input, and a hostile file must fail, not crash or
// hang.
#include "FuzzPages.h"

// fontconfig, which poppler asks for a font once per process, keeps its
// configuration (288 bytes, however many inputs ran) past exit. The page
// reader's own suppression is weak, and so is the fuzzing runtime's: this
// one is certain to be taken.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    quorlen::fuzz::ReadPagesOf(data, size, "scan.pdf");
    return 0;
}
