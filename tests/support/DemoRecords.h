#pragma once

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>

namespace quorlen::testing {

// One record of a demo archive: the length as 4 little-endian bytes (given
// apart to build broken archives), then the content.
inline std::string DemoRecord(const std::string& content, int32_t length) {
    std::string out;
    for (int i = 0; i < 4; ++i) out += static_cast<char>((static_cast<uint32_t>(length) >> (8 * i)) & 0xFF);
    return out + content;
}
inline std::string DemoRecord(const std::string& content) {
    return DemoRecord(content, static_cast<int32_t>(content.size()));
}

// The names in a folder, temporaries included; none when it does not exist.
inline std::set<std::string> FolderNames(const std::filesystem::path& folder) {
    std::set<std::string> names;
    if (!std::filesystem::exists(folder)) return names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

}  // namespace quorlen::testing
