// Thin wrappers over nlohmann::json that never throw on input: parsing
// yields no document, writing replaces bad UTF-8 instead of failing a save.
#include "core/common/Json.h"

#include <fstream>
#include <sstream>

namespace quorlen {

std::optional<Json> ParseJson(std::string_view text) {
    Json value = Json::parse(text.begin(), text.end(), nullptr, /*allow_exceptions=*/false,
                             /*ignore_comments=*/false);
    if (value.is_discarded()) return std::nullopt;
    return value;
}

std::optional<Json> ParseJsonFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream s;
    s << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return ParseJson(s.str());
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
