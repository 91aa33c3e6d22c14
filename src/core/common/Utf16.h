#pragma once

#include <string>
#include <string_view>

namespace quorlen {

// UTF-8 ↔ UTF-16 for the plug-in boundary, whose strings are char16_t.
// Ill-formed input (a lone surrogate, a bad UTF-8 sequence) becomes U+FFFD, so
// that a strict JSON parser downstream still sees well-formed text.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace quorlen
