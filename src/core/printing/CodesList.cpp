// Codes are strings, never numbers, so that leading zeros survive; a line
// that is not a code prints a sheet without one rather than stopping the print.
#include "core/printing/CodesList.h"

#include <stdexcept>

#include "core/common/TextFile.h"

namespace quorlen {

namespace {
// Blanks and the C0 controls, plus DEL: what editors leave around a number.
bool IsTrimmed(unsigned char c) { return c <= 0x20 || c == 0x7F; }
}  // namespace

std::string CodeFromLine(std::string_view line) {
    size_t begin = 0, end = line.size();
    while (begin < end && IsTrimmed(static_cast<unsigned char>(line[begin]))) ++begin;
    while (end > begin && IsTrimmed(static_cast<unsigned char>(line[end - 1]))) --end;
    const std::string_view code = line.substr(begin, end - begin);
    if (code.empty() || code.size() > MaxCodeDigits) return {};
    for (char c : code)
        if (c < '0' || c > '9') return {};
    return std::string(code);
}

std::vector<std::string> CodesStartingFrom(long long start, int count) {
    std::vector<std::string> codes;
    if (count <= 0) return codes;
    codes.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) codes.push_back(std::to_string(start + i));
    return codes;
}

std::vector<std::string> ReadCodesFile(const std::string& path) {
    std::vector<std::string> lines = SplitLines(ReadTextFile(path));
    if (lines.size() > static_cast<size_t>(MaxPrintSheets))
        throw std::runtime_error("Plik kodów " + path + " ma " + std::to_string(lines.size()) +
                                 " wierszy; jeden wydruk to najwyżej " + std::to_string(MaxPrintSheets) + " arkuszy.");
    return lines;
}

int SheetCountFor(int count, const std::vector<std::string>* codes) {
    if (codes && !codes->empty()) return static_cast<int>(codes->size());
    return count < 0 ? 0 : count;
}

std::string SheetCodeAt(const std::vector<std::string>* codes, int i) {
    if (!codes || i < 0 || static_cast<size_t>(i) >= codes->size()) return {};
    return CodeFromLine((*codes)[static_cast<size_t>(i)]);
}

}  // namespace quorlen
