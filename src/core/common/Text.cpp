// ASCII only, locale-free: the files we read name their keys in ASCII, and a
// locale must not change what a key or a number means.
#include "core/common/Text.h"

#include <charconv>

namespace quorlen {

namespace {
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }
}  // namespace

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i])) return false;
    return true;
}

std::string ToUpperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = Upper(c);
    return out;
}

std::string TrimAscii(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && IsSpace(s[b])) ++b;
    while (e > b && IsSpace(s[e - 1])) --e;
    return std::string(s.substr(b, e - b));
}

bool TryParseInt(std::string_view s, int& out) {
    if (s.empty()) return false;
    const char* first = s.data();
    const char* last = s.data() + s.size();
    if (*first == '+') ++first;
    if (first == last) return false;
    int value = 0;
    auto [ptr, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || ptr != last) return false;
    out = value;
    return true;
}

}  // namespace quorlen
