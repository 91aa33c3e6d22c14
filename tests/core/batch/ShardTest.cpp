#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <set>

#include "core/batch/BatchRun.h"
#include "core/batch/BatchTestSupport.h"
#include "core/batch/LoopHost.h"
#include "core/batch/Shard.h"

using namespace quorlen;
using namespace quorlen::testing;

namespace {

std::vector<std::string> ScanNames(int count, const std::string& stem = "scan") {
    std::vector<std::string> names;
    for (int i = 1; i <= count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "%s%04d.jpg", stem.c_str(), i);
        names.push_back(name);
    }
    return names;
}

// The shard of every name under a split into count parts.
std::map<std::string, int> Split(const std::vector<std::string>& files, int count) {
    std::map<std::string, int> shardOf;
    for (int k = 1; k <= count; ++k)
        for (const std::string& f : SelectShard(files, {k, count})) {
            const std::string name = std::filesystem::path(f).filename().string();
            EXPECT_TRUE(shardOf.emplace(name, k).second) << name << " in two shards";
        }
    return shardOf;
}

// The file names a run over the folder would read as shard K/N.
std::set<std::string> ShardOfFolder(const std::string& folder, const TShard& shard, int* folderCount = nullptr) {
    TLoopHost host;
    TBatchRun run(host);
    run.Shard = shard;
    run.BuildScanList(folder, 3);
    if (folderCount) *folderCount = run.FolderScanCount;
    std::set<std::string> names;
    for (const auto& item : run.Items) names.insert(std::filesystem::path(item->FileName).filename().string());
    return names;
}

}  // namespace

TEST(Shard, ParsesOnlyKOfN) {
    const std::pair<const char*, TShard> good[] = {
        {"1/1", {1, 1}}, {"3/4", {3, 4}}, {"1000000/1000000", {1000000, 1000000}}, {"007/10", {7, 10}}};
    for (const auto& [text, want] : good) EXPECT_EQ(ParseShard(text), want) << text;
    EXPECT_EQ(FormatShard({3, 4}), "3/4");
    for (const char* bad : {"", "1", "0/4", "5/4", "1/0", "-1/4", "+1/4", " 1/4", "1/4 ", "1//4", "a/4", "1/4/5",
                            "1/1000001", "99999999/99999999", "1/", "/4"})
        EXPECT_EQ(ParseShard(bad), std::nullopt) << '"' << bad << '"';
}

TEST(Shard, HashIsFixedAcrossBuilds) {
    // Jobs of one split may run different builds of the program; a changed
    // hash would send a file to no shard or to two.
    EXPECT_EQ(StableNameHash(""), 0xf52a15e9a9b5e89bull);
    EXPECT_EQ(StableNameHash("scan0001.jpg"), 0x7b4a63c8ae960ee8ull);
    EXPECT_EQ(StableNameHash("żółw.png"), 0x083f96b84f367ceeull);
    EXPECT_EQ(ShardOfFile("żółw.png", 7), 2);
    // The folder is no part of the name: shards on machines that mount the
    // scans elsewhere agree.
    EXPECT_EQ(ShardOfFile("/skany/klasa 3b/żółw.png", 4), 3);
    EXPECT_EQ(ShardOfFile("/mnt/b/żółw.png", 4), 3);
    EXPECT_EQ(ShardOfFile("anything.png", 1), 1);
}

TEST(Shard, SplitIsAnEvenPartitionThatStaysPut) {
    const auto files = ScanNames(200);
    auto grown = files;
    std::shuffle(grown.begin(), grown.end(), std::mt19937(7));
    for (const std::string& f : ScanNames(300, "late")) grown.push_back(f);
    for (int count : {1, 2, 4, 7, 16}) {
        const auto before = Split(files, count);
        EXPECT_EQ(before.size(), files.size()) << count << " shards";
        std::vector<int> sizes(static_cast<size_t>(count) + 1, 0);
        for (const auto& [name, k] : before) ++sizes[static_cast<size_t>(k)];
        // Numbered names must not crowd into a few shards.
        for (int k = 1; k <= count; ++k) EXPECT_GT(sizes[static_cast<size_t>(k)], 200 / count / 2) << k << "/" << count;
        // Another listing order and 300 more files move none of them.
        const auto after = Split(grown, count);
        for (const auto& [name, k] : before) EXPECT_EQ(after.at(name), k) << name;
    }
}

TEST(Shard, RunReadsOnlyItsPartOfARealFolder) {
    // Two folders with the same files written in opposite orders, the second
    // with more files: the file system lists them differently.
    TempDir a("shard-a"), b("shard-b");
    auto names = ScanNames(40);
    for (const std::string& n : names) WriteFileBytes(a.File(n), "x");
    std::reverse(names.begin(), names.end());
    for (const std::string& n : names) WriteFileBytes(b.File(n), "x");
    for (const std::string& n : ScanNames(25, "extra")) WriteFileBytes(b.File(n), "x");
    WriteFileBytes(a.File("notes.txt"), "not a scan");

    std::set<std::string> all;
    for (int k = 1; k <= 3; ++k) {
        int folderCount = 0;
        const auto part = ShardOfFolder(a.Path().string(), {k, 3}, &folderCount);
        EXPECT_EQ(folderCount, 40);
        const auto partOfBigger = ShardOfFolder(b.Path().string(), {k, 3});
        EXPECT_TRUE(std::includes(partOfBigger.begin(), partOfBigger.end(), part.begin(), part.end())) << k;
        for (const std::string& n : part) EXPECT_TRUE(all.insert(n).second) << n;
    }
    EXPECT_EQ(all.size(), 40u);
    EXPECT_EQ(ShardOfFolder(a.Path().string(), {1, 1}).size(), 40u);
}
