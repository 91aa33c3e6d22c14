#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "core/batch/BatchTestSupport.h"
#include "core/common/Json.h"
#include "support/TestSupport.h"
#include "testing/SimulateSheets.h"

using namespace quorlen;
using namespace quorlen::testing;

namespace {

const std::string Cli = QUORLEN_CLI_PATH;
const std::string Project = " --questions 10 --answers 4 --pause-us 0";

Json ReadDocument(const std::string& path) {
    auto doc = ParseJsonFile(path);
    if (!doc) throw std::runtime_error("no results document in " + path);
    return *doc;
}

Json SortedByFileName(Json list) {
    std::stable_sort(list.begin(), list.end(), [](const Json& a, const Json& b) {
        return a["FileName"].get<std::string>() < b["FileName"].get<std::string>();
    });
    return list;
}

// A 200-sheet simulated folder (and three files that are no pictures, so that
// skipped scans travel through the merge too), read once as a whole.
class ShardRun : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = std::make_unique<TempDir>("shard-scans");
        sim::TBatchOptions o;
        o.Questions = 10;
        o.Answers = 4;
        o.Count = 200;
        o.Dpi = 150;
        o.Seed = 16;
        o.BlankRate = 0.05;
        o.OutDir = folder_->Path().string();
        sim::SimulateBatch(o);
        std::filesystem::remove(folder_->File("truth.json"));
        WriteBrokenScans(*folder_, 3);
        out_ = std::make_unique<TempDir>("shard-out");
        ASSERT_EQ(Analyze("", out_->File("one.json")), 0);
        whole_ = ReadDocument(out_->File("one.json"));
    }
    static void TearDownTestSuite() {
        folder_.reset();
        out_.reset();
    }
    static int Analyze(const std::string& extra, const std::string& out) {
        return RunCommand(Cli + " analyze " + folder_->Path().string() + Project + extra + " --out " + out +
                          " 2>/dev/null");
    }
    static inline std::unique_ptr<TempDir> folder_, out_;
    static inline Json whole_;
};

}  // namespace

TEST_F(ShardRun, FourShardsUnderGnuParallelEqualOneRun) {
    // Every file once, in the list or among the skipped.
    ASSERT_EQ(whole_["Lista"].size() + whole_["Pominiete"].size(), 203u);
    ASSERT_GT(whole_["Lista"].size(), 150u);
    ASSERT_EQ(RunCommand("command -v parallel >/dev/null"), 0) << "GNU parallel is missing: make deps installs it";
    const std::string parts = out_->File("part");
    ASSERT_EQ(RunCommand("parallel --halt now,fail=1 " + Cli + " analyze " + folder_->Path().string() + Project +
                         " --shard {}/4 --out " + parts + "{}.json ::: 1 2 3 4 2>/dev/null"),
              0);
    size_t sheets = 0;
    for (int k = 1; k <= 4; ++k) {
        const Json part = ReadDocument(parts + std::to_string(k) + ".json");
        EXPECT_EQ(part["Shard"], std::to_string(k) + "/4");
        EXPECT_EQ(part["FolderScans"], 203);
        EXPECT_GT(part["Lista"].size(), 20u) << "shard " << k;
        sheets += part["Lista"].size() + part["Pominiete"].size();
    }
    EXPECT_EQ(sheets, 203u);

    const std::string all = out_->File("all.json");
    ASSERT_EQ(RunCommand(Cli + " merge " + parts + "3.json " + parts + "1.json " + parts + "4.json " + parts +
                         "2.json --out " + all + " 2>/dev/null"),
              0);
    // Exactly the whole run's sheets, in file-name order.
    const Json merged = ReadDocument(all);
    EXPECT_EQ(merged["Lista"], SortedByFileName(whole_["Lista"]));
    EXPECT_EQ(merged["Pominiete"], SortedByFileName(whole_["Pominiete"]));
    for (const char* key : {"Version", "Project", "QCnt", "ACnt", "MultiChoice", "Folder"})
        EXPECT_EQ(merged[key], whole_[key]) << key;
    EXPECT_FALSE(merged.contains("Shard"));

    // The command's refusals: a shard left out, a file that is no document,
    // a file that is not there.
    std::string err;
    EXPECT_EQ(
        RunCommand(Cli + " merge " + parts + "1.json " + parts + "2.json " + parts + "4.json 2>&1 >/dev/null", &err),
        2);
    EXPECT_NE(err.find("shard 3/4 missing"), std::string::npos) << err;
    WriteFileBytes(out_->File("bad.json"), "{\"Lista\": [");
    EXPECT_EQ(RunCommand(Cli + " merge " + out_->File("bad.json") + " 2>/dev/null"), 2);
    EXPECT_EQ(RunCommand(Cli + " merge " + out_->File("none.json") + " 2>/dev/null"), 1);
}

TEST(ShardRunSmall, OneOfOneIsAPlainRunAndEmptyShardsStillAnswer) {
    // Five files in twelve shards: most shards have nothing to read, and the
    // merge must still find all twelve.
    TempDir scans("shard-few"), out("shard-few-out");
    sim::TBatchOptions o;
    o.Questions = 10;
    o.Answers = 4;
    o.Count = 3;
    o.Dpi = 150;
    o.OutDir = scans.Path().string();
    sim::SimulateBatch(o);
    std::filesystem::remove(scans.File("truth.json"));
    WriteBrokenScans(scans, 2);
    auto analyze = [&](const std::string& shard, const std::string& name) {
        return RunCommand(Cli + " analyze " + scans.Path().string() + Project + shard + " --out " + out.File(name) +
                          " 2>/dev/null");
    };
    ASSERT_EQ(analyze("", "plain.json"), 0);
    ASSERT_EQ(analyze(" --shard 1/1", "whole.json"), 0);
    const Json plain = ReadDocument(out.File("plain.json"));
    const Json whole = ReadDocument(out.File("whole.json"));
    EXPECT_EQ(SortedByFileName(whole["Lista"]), SortedByFileName(plain["Lista"]));
    EXPECT_EQ(whole["Lista"].size(), 3u);
    EXPECT_EQ(whole["Shard"], "1/1");
    EXPECT_EQ(whole["FolderScans"], 5);

    std::string merge = Cli + " merge";
    for (int k = 1; k <= 12; ++k) {
        const std::string part = "p" + std::to_string(k) + ".json";
        ASSERT_EQ(analyze(" --shard " + std::to_string(k) + "/12", part), 0) << k;
        merge += " " + out.File(part);
    }
    ASSERT_EQ(RunCommand(merge + " --out " + out.File("all.json") + " 2>/dev/null"), 0);
    const Json merged = ReadDocument(out.File("all.json"));
    EXPECT_EQ(merged["Lista"], SortedByFileName(plain["Lista"]));
    EXPECT_EQ(merged["Pominiete"], SortedByFileName(plain["Pominiete"]));

    EXPECT_EQ(analyze(" --shard 0/4", "bad.json"), 2);
    EXPECT_EQ(analyze(" --shard 5/4", "bad.json"), 2);
    EXPECT_FALSE(std::filesystem::exists(out.File("bad.json")));
    // An empty folder is still no run, sharded or not.
    TempDir empty("shard-empty");
    EXPECT_EQ(RunCommand(Cli + " analyze " + empty.Path().string() + " --shard 1/2 2>/dev/null"), 1);
}
