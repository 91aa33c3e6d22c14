// A file belongs to the part its name hashes to (FNV-1a, mixed by splitmix64):
// the parts follow from the names alone, whatever order each machine lists
// the folder in, and no file is in two of them.
#include "core/batch/Shard.h"

#include <charconv>
#include <filesystem>

namespace quorlen {
namespace {

std::optional<int> ParseCount(std::string_view digits) {
    if (digits.empty() || digits.size() > 7) return std::nullopt;
    for (char c : digits)
        if (c < '0' || c > '9') return std::nullopt;
    int value = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return value;
}

}  // namespace

std::optional<TShard> ParseShard(std::string_view text) {
    const size_t slash = text.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    const auto index = ParseCount(text.substr(0, slash));
    const auto count = ParseCount(text.substr(slash + 1));
    if (!index || !count || *index < 1 || *index > *count || *count > MaxShardCount) return std::nullopt;
    return TShard{*index, *count};
}

std::string FormatShard(const TShard& shard) { return std::to_string(shard.Index) + "/" + std::to_string(shard.Count); }

uint64_t StableNameHash(std::string_view name) {
    // FNV-1a over the bytes, then the splitmix64 finaliser: FNV alone leaves
    // its low bits poorly mixed for names that differ in one trailing digit
    // (scan0001, scan0002 ...), and the shard is taken from those bits.
    uint64_t h = 14695981039346656037ull;
    for (unsigned char c : name) {
        h ^= c;
        h *= 1099511628211ull;
    }
    h ^= h >> 30;
    h *= 0xbf58476d1ce4e5b9ull;
    h ^= h >> 27;
    h *= 0x94d049bb133111ebull;
    h ^= h >> 31;
    return h;
}

int ShardOfFile(const std::string& path, int count) {
    if (count <= 1) return 1;
    const std::string name = std::filesystem::path(path).filename().string();
    return static_cast<int>(StableNameHash(name) % static_cast<uint64_t>(count)) + 1;
}

bool InShard(const std::string& path, const TShard& shard) { return ShardOfFile(path, shard.Count) == shard.Index; }

std::vector<std::string> SelectShard(const std::vector<std::string>& files, const TShard& shard) {
    std::vector<std::string> selected;
    for (const std::string& file : files)
        if (InShard(file, shard)) selected.push_back(file);
    return selected;
}

}  // namespace quorlen
