#pragma once

#include <nlohmann/json.hpp>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace quorlen {

using Json = nlohmann::json;

// The deepest nesting of arrays and objects any reader accepts. Our documents
// nest a handful of levels; copying, comparing and writing a document recurse
// once per level, so a crafted file nested 100,000 deep would overflow the
// stack in whatever touched it next.
inline constexpr int MaxJsonDepth = 256;

// Strict parsing: RFC 8259 only (no comments, no trailing commas), nesting at
// most MaxJsonDepth. Text that does not parse yields no document; *error (when
// given) then says why in Polish.
std::optional<Json> ParseJson(std::string_view text, std::string* error = nullptr);
// The file's bytes are parsed as they are (UTF-8); only a regular file is read
// (see ReadRegularFile), of at most maxBytes. A missing or unreadable file
// yields no document as well, *error naming the file and the reason.
std::optional<Json> ParseJsonFile(const std::string& path, std::string* error = nullptr,
                                  uint64_t maxBytes = std::numeric_limits<uint64_t>::max());
// How deeply text nests arrays and objects (strings are skipped), counting
// only up to limit + 1.
int JsonNestingDepth(std::string_view text, int limit = MaxJsonDepth);
// The same over text that comes in pieces.
class TNestingCounter {
public:
    explicit TNestingCounter(int limit = MaxJsonDepth) : limit_(limit) {}
    void Feed(std::string_view piece);
    int Deepest() const { return deepest_; }

private:
    int limit_;
    int depth_ = 0;
    int deepest_ = 0;
    bool inString_ = false;
    bool escaped_ = false;
};

// Serialisation with every character outside ASCII written as \uXXXX (a
// surrogate pair beyond the basic plane), so any consumer's code page reads it.
std::string DumpJsonCompact(const Json& value);
std::string DumpJsonIndented(const Json& value, int indent = 2);

}  // namespace quorlen
