// The codes-file reader over arbitrary files: one sheet per line, and a
// sheet's code is empty or one to ten decimal digits.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "FuzzFile.h"
#include "core/printing/CodesList.h"

using namespace quorlen;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::InputFile(data, size, "codes.txt");
    if (path.empty()) return 0;
    std::vector<std::string> codes;
    try {
        codes = ReadCodesFile(path);
    } catch (const std::runtime_error&) {
        std::remove(path.c_str());
        return 0;
    }
    std::remove(path.c_str());
    const int sheets = SheetCountFor(7, &codes);
    if (sheets != (codes.empty() ? 7 : static_cast<int>(codes.size()))) std::abort();
    for (int i = 0; i <= sheets; ++i) {
        const std::string code = SheetCodeAt(&codes, i);
        if (code.size() > MaxCodeDigits || (i == sheets && !code.empty())) std::abort();
        for (char c : code)
            if (c < '0' || c > '9') std::abort();
    }
    return 0;
}
