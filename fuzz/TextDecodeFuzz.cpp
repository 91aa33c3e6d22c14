// The 8-bit text decoder behind project and codes files: whatever the bytes
// (byte-order marks, UTF-8 that looks like text or not, Windows-1250), the
// result is valid UTF-8 or a clear error, never a crash.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/common/Json.h"
#include "core/common/TextFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string text;
    try {
        text = quorlen::DecodeTextBytes(bytes);
    } catch (const std::runtime_error&) {
        return 0;  // UTF-16 that does not decode: reported to the reader
    }
    // The strict JSON writer throws on invalid UTF-8: the rest of the program
    // relies on decoded text being valid.
    (void)quorlen::Json(text).dump(-1, ' ', true, quorlen::Json::error_handler_t::strict);
    for (const std::string& line : quorlen::SplitLines(text)) {
        std::string encoded;
        (void)quorlen::EncodeWindows1250(line, encoded);
    }
    return 0;
}
