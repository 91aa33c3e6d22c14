// Thin wrappers over nlohmann::json that never throw on input: parsing
// yields no document, writing replaces bad UTF-8 instead of failing a save.
#include "core/common/Json.h"

#include <algorithm>

#include "core/common/RegularFile.h"

namespace quorlen {

void TNestingCounter::Feed(std::string_view piece) {
    if (deepest_ > limit_) return;
    for (const char c : piece) {
        if (inString_) {
            if (escaped_)
                escaped_ = false;
            else if (c == '\\')
                escaped_ = true;
            else if (c == '"')
                inString_ = false;
        } else if (c == '"') {
            inString_ = true;
        } else if (c == '[' || c == '{') {
            deepest_ = std::max(deepest_, ++depth_);
            if (deepest_ > limit_) return;
        } else if ((c == ']' || c == '}') && depth_ > 0) {
            --depth_;
        }
    }
}

int JsonNestingDepth(std::string_view text, int limit) {
    TNestingCounter counter(limit);
    counter.Feed(text);
    return counter.Deepest();
}

std::optional<Json> ParseJson(std::string_view text, std::string* error) {
    // Checked before parsing: the parser itself would cope, but the document
    // it built could not be copied or written without overflowing the stack.
    if (JsonNestingDepth(text) > MaxJsonDepth) {
        if (error) *error = "dokument JSON jest zagnieżdżony głębiej niż " + std::to_string(MaxJsonDepth) + " poziomów";
        return std::nullopt;
    }
    Json value = Json::parse(text.begin(), text.end(), nullptr, /*allow_exceptions=*/false,
                             /*ignore_comments=*/false);
    if (value.is_discarded()) {
        if (error) *error = "to nie jest poprawny dokument JSON";
        return std::nullopt;
    }
    return value;
}

std::optional<Json> ParseJsonFile(const std::string& path, std::string* error, uint64_t maxBytes) {
    std::string bytes;
    try {
        bytes = ReadRegularFile(path, maxBytes);
    } catch (const TFileReadError& e) {
        if (error) *error = e.what();
        return std::nullopt;
    }
    std::string why;
    std::optional<Json> value = ParseJson(bytes, &why);
    if (!value && error) *error = path + ": " + why;
    return value;
}

// Invalid UTF-8 inside a string must not abort a save: it is replaced with
// U+FFFD rather than throwing from deep inside a writer.
std::string DumpJsonCompact(const Json& value) {
    return value.dump(-1, ' ', /*ensure_ascii=*/true, Json::error_handler_t::replace);
}

std::string DumpJsonIndented(const Json& value, int indent) {
    return value.dump(indent, ' ', /*ensure_ascii=*/true, Json::error_handler_t::replace);
}

}  // namespace quorlen
