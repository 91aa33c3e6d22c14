#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorlen {

// One of Count disjoint parts of a scan folder, Index from 1. {1, 1} is the
// whole folder.
struct TShard {
    int Index = 1;
    int Count = 1;
    bool operator==(const TShard&) const = default;
};

// The largest shard count accepted: more parts than any scheduler runs jobs.
inline constexpr int MaxShardCount = 1000000;

// "K/N" with 1 <= K <= N <= MaxShardCount, decimal digits only; nothing else
// parses.
std::optional<TShard> ParseShard(std::string_view text);
std::string FormatShard(const TShard& shard);

// A hash of the file name's bytes that never changes between builds,
// machines or versions: every job of a split must agree on it, so it is
// written out here rather than taken from std::hash.
uint64_t StableNameHash(std::string_view name);

// The shard (1..count) a scan belongs to, decided by its file name alone
// (without the folder), so that neither the listing order nor other files
// move it.
int ShardOfFile(const std::string& path, int count);

// True when the scan (a file or a page's name, "skany.pdf#3") belongs to the
// shard; the whole folder ({1, 1}) holds every scan.
bool InShard(const std::string& path, const TShard& shard);

// The files of the list that belong to the shard, in the list's order.
std::vector<std::string> SelectShard(const std::vector<std::string>& files, const TShard& shard);

}  // namespace quorlen
