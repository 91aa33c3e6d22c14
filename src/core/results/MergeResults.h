#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "core/batch/Shard.h"
#include "core/common/Json.h"

namespace quorlen {

// Root keys a shard's document carries beside those of a whole run: which
// part it is ("K/N") and how many scan files the whole folder held when the
// shard listed it.
inline constexpr const char* ShardKey = "Shard";
inline constexpr const char* FolderScansKey = "FolderScans";

void RecordShard(Json& document, const TShard& shard, int folderScans);

// A merge that would lose, double or mix sheets; the message names the files.
struct MergeRefused : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct TShardDocument {
    std::string Name;  // for messages: the file it came from
    Json Document;
};

// The document one run over the whole folder gives, from the documents of
// every shard of it: the first shard's root (Date and Date2 of the earliest),
// "Lista" and "Pominiete" joined in byte order of the file names, every key
// it does not know kept. Throws MergeRefused for documents of different
// projects or that disagree on another root key (apart from the dates and the
// folder), a missing or repeated shard, a file in two shards, a shard without
// the folder's scan count (FolderScans, a whole number), or shards that saw a
// different folder.
Json MergeResults(std::vector<TShardDocument> shards);

}  // namespace quorlen
