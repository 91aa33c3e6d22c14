#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace quorlen {

using Json = nlohmann::json;

// Strict parsing: RFC 8259 only (no comments, no trailing commas). Text that
// does not parse yields no document.
std::optional<Json> ParseJson(std::string_view text);
// The file's bytes are parsed as they are (UTF-8). A missing or unreadable file
// yields no document as well.
std::optional<Json> ParseJsonFile(const std::string& path);

// Serialisation with every character outside ASCII written as \uXXXX (a
// surrogate pair beyond the basic plane), so any consumer's code page reads it.
std::string DumpJsonCompact(const Json& value);
std::string DumpJsonIndented(const Json& value, int indent = 2);

}  // namespace quorlen
