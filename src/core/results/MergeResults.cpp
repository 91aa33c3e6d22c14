// The documents are checked first (one project, every part exactly once, one
// folder count, no file twice); then the lists are joined and sorted by file
// name, and the root is rebuilt from the keys they share.
#include "core/results/MergeResults.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "core/recognition/ScanPages.h"
#include "core/results/RepeatedCodes.h"

namespace quorlen {
namespace {

// Keys that make two documents results of the same test; sheets of another
// project must never end up in one list.
constexpr const char* ProjectKeys[] = {"Project", "QCnt", "ACnt", "MultiChoice"};
constexpr const char* ListKeys[] = {"Lista", "Pominiete"};
// Root keys of a shard's own: joined or dropped, never copied.
constexpr std::string_view OwnKeys[] = {"Lista", "Pominiete", ShardKey, FolderScansKey};
// Root keys that may differ between shards: when each started, and where its
// machine mounts the folder.
constexpr std::string_view MayDifferKeys[] = {"Date", "Date2", "Folder"};
// More missing shards than this are counted, not listed.
constexpr int MissingListed = 10;

struct TRecord {
    std::string FileName;
    Json Value;
};

[[noreturn]] void Refuse(const std::string& message) { throw MergeRefused(message); }

std::string Shown(const Json* value) { return value ? DumpJsonCompact(*value) : std::string("nothing"); }

const Json* Find(const Json& object, const char* key) {
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

// The shard a document is, after checking that it is a results document at
// all: an object with a list of entries, each naming its file.
TShard CheckShape(const TShardDocument& d) {
    if (!d.Document.is_object()) Refuse(d.Name + ": not a results document (no JSON object)");
    const Json* lista = Find(d.Document, "Lista");
    if (!lista || !lista->is_array()) Refuse(d.Name + ": not a results document (no \"Lista\" list)");
    const Json* skipped = Find(d.Document, "Pominiete");
    if (skipped && !skipped->is_array()) Refuse(d.Name + ": \"Pominiete\" is not a list");
    for (const char* key : ListKeys)
        if (const Json* list = Find(d.Document, key))
            for (const Json& record : *list) {
                const Json* name = record.is_object() ? Find(record, "FileName") : nullptr;
                if (!name || !name->is_string()) Refuse(d.Name + ": a record of \"" + key + "\" has no FileName");
            }
    const Json* shard = Find(d.Document, ShardKey);
    const auto parsed = shard && shard->is_string() ? ParseShard(shard->get<std::string>()) : std::nullopt;
    if (!parsed) Refuse(d.Name + ": no \"Shard\" K/N (write shards with analyze --shard K/N)");
    return *parsed;
}

void CheckSameProject(const TShardDocument& first, const TShardDocument& other) {
    for (const char* key : ProjectKeys) {
        const Json* a = Find(first.Document, key);
        const Json* b = Find(other.Document, key);
        if ((a == nullptr) != (b == nullptr) || (a && *a != *b))
            Refuse(other.Name + " is of another project than " + first.Name + ": " + key + " " + Shown(b) +
                   " against " + Shown(a));
    }
}

// Every part 1..N exactly once.
void CheckShardSet(const std::vector<TShardDocument>& docs, const std::vector<TShard>& shards) {
    const int count = shards[0].Count;
    std::vector<int> owner(static_cast<size_t>(count) + 1, -1);
    for (size_t i = 0; i < shards.size(); ++i) {
        if (shards[i].Count != count)
            Refuse(docs[i].Name + " is shard " + FormatShard(shards[i]) + " but " + docs[0].Name + " is shard " +
                   FormatShard(shards[0]));
        int& seen = owner[static_cast<size_t>(shards[i].Index)];
        if (seen >= 0)
            Refuse("shard " + FormatShard(shards[i]) + " given twice: " + docs[static_cast<size_t>(seen)].Name +
                   " and " + docs[i].Name);
        seen = static_cast<int>(i);
    }
    std::string missing;
    int missingCount = 0;
    for (int k = 1; k <= count; ++k)
        if (owner[static_cast<size_t>(k)] < 0 && ++missingCount <= MissingListed)
            missing += (missing.empty() ? "" : ", ") + FormatShard({k, count});
    if (missingCount > MissingListed) missing += " and " + std::to_string(missingCount - MissingListed) + " more";
    if (missingCount > 0) Refuse("shard " + missing + " missing: its sheets would be lost");
}

// The folder's scan count every shard saw. Without it the count of the
// sheets cannot be checked, and a shard that lost one would pass: a shard
// whose count is missing or no whole number is refused.
int64_t CheckSameFolder(const std::vector<TShardDocument>& docs) {
    int64_t seen = -1;
    size_t seenBy = 0;
    for (size_t i = 0; i < docs.size(); ++i) {
        const Json* n = Find(docs[i].Document, FolderScansKey);
        if (!n || !n->is_number_integer() || n->get<int64_t>() < 0)
            Refuse(docs[i].Name + ": no scan count of the folder (\"" + std::string(FolderScansKey) + "\" " +
                   (n ? Shown(n) : std::string("missing")) + "; write shards with analyze --shard K/N)");
        if (seen >= 0 && n->get<int64_t>() != seen)
            Refuse("the folder changed between shards: " + docs[seenBy].Name + " saw " + std::to_string(seen) +
                   " scan files, " + docs[i].Name + " " + std::to_string(n->get<int64_t>()));
        if (seen < 0) seen = n->get<int64_t>(), seenBy = i;
    }
    return seen;
}

template <size_t N>
bool OneOf(const std::string& key, const std::string_view (&keys)[N]) {
    return std::find(std::begin(keys), std::end(keys), key) != std::end(keys);
}

// The root: every key of the documents but the shard's own, the first
// document's value where they may differ.
// A key several carry describes the run (an answer key the sheets were scored
// with, the format's version): one value for all, or the joined list would mix
// sheets read or scored differently.
Json JoinRoots(const std::vector<TShardDocument>& docs) {
    Json root = Json::object();
    std::unordered_map<std::string, size_t> setBy;
    for (size_t i = 0; i < docs.size(); ++i)
        for (auto it = docs[i].Document.begin(); it != docs[i].Document.end(); ++it) {
            const std::string& key = it.key();
            if (OneOf(key, OwnKeys)) continue;
            const auto [seen, added] = setBy.emplace(key, i);
            if (added)
                root[key] = it.value();
            else if (!OneOf(key, MayDifferKeys) && root[key] != it.value())
                Refuse(docs[i].Name + " differs from " + docs[seen->second].Name + " in \"" + key + "\"");
        }
    return root;
}

// Byte order of the file names; the pages of one PDF or TIFF by their
// numbers, so that "skany.pdf#2" stands before "skany.pdf#10" as in the run.
std::vector<TRecord> SortedByFileName(std::vector<TRecord> records) {
    std::stable_sort(records.begin(), records.end(), [](const TRecord& a, const TRecord& b) {
        const TScanPageName pa = SplitScanPageName(a.FileName), pb = SplitScanPageName(b.FileName);
        if (pa.File != pb.File) return pa.File < pb.File;
        return pa.Page < pb.Page;
    });
    return records;
}

Json ToArray(std::vector<TRecord> records) {
    Json array = Json::array();
    for (TRecord& r : records) array.push_back(std::move(r.Value));
    return array;
}

}  // namespace

void RecordShard(Json& document, const TShard& shard, int folderScans) {
    document[ShardKey] = FormatShard(shard);
    document[FolderScansKey] = folderScans;
}

Json MergeResults(std::vector<TShardDocument> docs) {
    if (docs.empty()) Refuse("no documents to merge");
    std::vector<TShard> shards;
    for (const TShardDocument& d : docs) shards.push_back(CheckShape(d));
    for (size_t i = 1; i < docs.size(); ++i) CheckSameProject(docs[0], docs[i]);
    CheckShardSet(docs, shards);
    const int64_t folderScans = CheckSameFolder(docs);

    Json merged = JoinRoots(docs);
    const TShardDocument* earliest = nullptr;
    for (const TShardDocument& d : docs) {
        const Json* date = Find(d.Document, "Date");
        if (date && date->is_number() && (!earliest || *date < *Find(earliest->Document, "Date"))) earliest = &d;
    }
    if (earliest) {
        merged["Date"] = earliest->Document["Date"];
        if (const Json* text = Find(earliest->Document, "Date2")) merged["Date2"] = *text;
    }

    std::unordered_map<std::string, size_t> owner;
    size_t recordCount = 0;
    for (const char* key : ListKeys) {
        std::vector<TRecord> records;
        for (size_t i = 0; i < docs.size(); ++i) {
            auto list = docs[i].Document.find(key);
            if (list == docs[i].Document.end()) continue;
            for (Json& record : *list) {
                std::string name = record["FileName"].get<std::string>();
                const auto [it, added] = owner.emplace(name, i);
                if (!added && it->second == i) Refuse(docs[i].Name + " lists " + name + " twice");
                if (!added) Refuse(name + " is in two shards: " + docs[it->second].Name + " and " + docs[i].Name);
                records.push_back({std::move(name), std::move(record)});
            }
        }
        recordCount += records.size();
        merged[key] = ToArray(SortedByFileName(std::move(records)));
    }
    if (folderScans >= 0 && static_cast<int64_t>(recordCount) != folderScans)
        Refuse("the shards hold " + std::to_string(recordCount) + " scans of the folder's " +
               std::to_string(folderScans) + ": a shard did not read all of its part");
    // A code may repeat across parts that each held it once.
    FlagRepeatedCodes(merged);
    return merged;
}

}  // namespace quorlen
