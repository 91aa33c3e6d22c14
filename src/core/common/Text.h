#pragma once

#include <string>
#include <string_view>

namespace quorlen {

// Small ASCII string helpers shared across the core.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
std::string ToUpperAscii(std::string_view s);
std::string TrimAscii(std::string_view s);
// Whole string is a decimal integer (optional sign), fits in 32 bits.
bool TryParseInt(std::string_view s, int& out);

}  // namespace quorlen
