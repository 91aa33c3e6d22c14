#include <gtest/gtest.h>

#include <functional>

#include "core/common/Json.h"
#include "core/output/MergeResults.h"

using namespace quorlen;

namespace {

Json Entry(const std::string& file, const std::string& code = "1") {
    return {{"Student", code}, {"FileName", file}, {"Wyniki", {"A", "", " "}}};
}

// A shard's document as analyze --shard writes it; folderScans -1 leaves the
// count out.
TShardDocument ShardDoc(const std::string& shard, std::vector<std::string> files, std::vector<std::string> skipped = {},
                        int folderScans = -1, int64_t date = 1700000000000) {
    Json doc = {
        {"Version", 1},           {"Project", "Fizyka 3b"},     {"QCnt", 3},     {"ACnt", 4},
        {"MultiChoice", false},   {"Folder", "/skany"},         {"Date", date},  {"Date2", std::to_string(date)},
        {"Lista", Json::array()}, {"Pominiete", Json::array()}, {"Shard", shard}};
    if (folderScans >= 0) doc["FolderScans"] = folderScans;
    for (const std::string& f : files) doc["Lista"].push_back(Entry(f));
    for (const std::string& f : skipped)
        doc["Pominiete"].push_back({{"FileName", f}, {"Status", -1}, {"Message", "Nie odczytano kodu arkusza."}});
    return {"part" + shard.substr(0, shard.find('/')) + ".json", std::move(doc)};
}

std::vector<std::string> FileNames(const Json& list) {
    std::vector<std::string> names;
    for (const Json& e : list) names.push_back(e["FileName"]);
    return names;
}

// The refusal's message, or "" when the merge went through.
std::string Refusal(std::vector<TShardDocument> docs) {
    try {
        MergeResults(std::move(docs));
        return "";
    } catch (const MergeRefused& e) {
        return e.what();
    }
}

}  // namespace

TEST(MergeResults, RefusesWhatWouldLoseDoubleOrMixSheets) {
    struct Case {
        const char* what;
        std::function<std::vector<TShardDocument>()> docs;
        const char* message;  // a part of the refusal
    };
    auto three = [] {
        return std::vector<TShardDocument>{ShardDoc("1/3", {"a.png"}), ShardDoc("2/3", {"b.png"}),
                                           ShardDoc("3/3", {"c.png"})};
    };
    auto changed = [three](int doc, const char* key, Json value) {
        return [=] {
            auto docs = three();
            docs[static_cast<size_t>(doc)].Document[key] = value;
            return docs;
        };
    };
    const Case cases[] = {
        {"other QCnt", changed(2, "QCnt", 4), "part3.json is of another project than part1.json: QCnt 4 against 3"},
        {"other ACnt", changed(1, "ACnt", 5), "ACnt 5 against 4"},
        {"other choice", changed(1, "MultiChoice", true), "MultiChoice true against false"},
        {"other project", changed(1, "Project", "Chemia"), "Project \"Chemia\" against \"Fizyka 3b\""},
        {"missing shard",
         [] {
             return std::vector<TShardDocument>{ShardDoc("1/3", {"a.png"}), ShardDoc("3/3", {"c.png"})};
         },
         "shard 2/3 missing"},
        {"repeated shard",
         [] {
             return std::vector<TShardDocument>{ShardDoc("1/2", {"a.png"}), ShardDoc("2/2", {"b.png"}),
                                                ShardDoc("2/2", {"c.png"})};
         },
         "shard 2/2 given twice: part2.json and part2.json"},
        {"same file in two shards",
         [] {
             return std::vector<TShardDocument>{ShardDoc("1/2", {"a.png", "b.png"}), ShardDoc("2/2", {}, {"b.png"})};
         },
         "b.png is in two shards: part1.json and part2.json"},
        {"same file twice in one shard",
         [] {
             return std::vector<TShardDocument>{ShardDoc("1/1", {"a.png", "a.png"})};
         },
         "part1.json lists a.png twice"},
        {"shards of different splits",
         [] {
             return std::vector<TShardDocument>{ShardDoc("1/2", {"a.png"}), ShardDoc("2/3", {"b.png"})};
         },
         "part2.json is shard 2/3 but part1.json is shard 1/2"},
        {"scored with another key",
         [three] {
             auto docs = three();
             docs[0].Document["Klucz"] = {"A", "B", "C"};
             docs[2].Document["Klucz"] = {"A", "B", "D"};
             return docs;
         },
         "part3.json differs from part1.json in \"Klucz\""},
        {"other format version", changed(2, "Version", 2), "part3.json differs from part1.json in \"Version\""},
        {"not a shard", changed(0, "Shard", "whole"), "part1.json: no \"Shard\""},
        {"no list", changed(0, "Lista", "none"), "part1.json: not a results document (no \"Lista\" list)"},
        {"skipped not a list", changed(0, "Pominiete", 3), "\"Pominiete\" is not a list"},
        {"entry without a file", changed(0, "Lista", Json::array({{{"Student", "1"}}})), "has no FileName"},
        {"folder grew between shards",
         [] {
             return std::vector<TShardDocument>{ShardDoc("1/2", {"a.png"}, {}, 2), ShardDoc("2/2", {"b.png"}, {}, 3)};
         },
         "the folder changed between shards: part1.json saw 2 scan files, part2.json 3"},
        {"a shard that lost sheets",
         [] {
             return std::vector<TShardDocument>{ShardDoc("1/2", {"a.png"}, {}, 3), ShardDoc("2/2", {"b.png"}, {}, 3)};
         },
         "the shards hold 2 scans of the folder's 3"},
    };
    for (const Case& c : cases) {
        const std::string message = Refusal(c.docs());
        EXPECT_NE(message.find(c.message), std::string::npos) << c.what << ": " << message;
    }
    EXPECT_EQ(Refusal(three()), "");
    EXPECT_NE(Refusal({}), "");
    EXPECT_NE(Refusal({{"list.json", Json::array()}}).find("list.json: not a results document"), std::string::npos);
}

TEST(MergeResults, ManyMissingShardsAreCounted) {
    const std::string message = Refusal({ShardDoc("1/40", {"a.png"})});
    EXPECT_NE(message.find("shard 2/40, 3/40"), std::string::npos) << message;
    EXPECT_NE(message.find("11/40 and 29 more missing"), std::string::npos) << message;
}

TEST(MergeResults, JoinsInByteOrderOfFileNamesAndKeepsUnknownKeys) {
    auto first = ShardDoc("1/2", {"b.png", "żółw.png", "a9.png"}, {"x2.png"}, 8, 1700000500000);
    auto second = ShardDoc("2/2", {"a10.png", "B.png"}, {"x1.png", "X3.png"}, 8, 1700000100000);
    first.Document["Klucz"] = {"A", "B", "C"};
    first.Document["Lista"][0]["Punkty"] = 2;
    second.Document["Lista"][1]["Status"] = 1;
    second.Document["Klasa"] = "3b";
    second.Document["Folder"] = "/mnt/skany";  // mounted elsewhere on the other machine
    second.Document["Klucz"] = first.Document["Klucz"];

    const Json merged = MergeResults({first, second});
    EXPECT_EQ(FileNames(merged["Lista"]),
              (std::vector<std::string>{"B.png", "a10.png", "a9.png", "b.png", "żółw.png"}));
    EXPECT_EQ(FileNames(merged["Pominiete"]), (std::vector<std::string>{"X3.png", "x1.png", "x2.png"}));
    EXPECT_EQ(merged["Lista"][0], second.Document["Lista"][1]);
    EXPECT_EQ(merged["Lista"][3]["Punkty"], 2);
    EXPECT_EQ(merged["Pominiete"][1]["Message"], "Nie odczytano kodu arkusza.");
    // The run began when its earliest shard began.
    EXPECT_EQ(merged["Date"], 1700000100000);
    EXPECT_EQ(merged["Date2"], "1700000100000");
    EXPECT_EQ(merged["Folder"], "/skany");
    EXPECT_EQ(merged["Klucz"], first.Document["Klucz"]);
    EXPECT_EQ(merged["Klasa"], "3b");
    EXPECT_FALSE(merged.contains("Shard"));
    EXPECT_FALSE(merged.contains("FolderScans"));
}

TEST(MergeResults, OneWholeShardIsTheRunItself) {
    auto whole = ShardDoc("1/1", {"s2.png", "s1.png"}, {}, 2);
    Json expected = whole.Document;
    expected.erase("Shard");
    expected.erase("FolderScans");
    std::swap(expected["Lista"][0], expected["Lista"][1]);
    EXPECT_EQ(MergeResults({whole}), expected);
    // An older document without a skipped list still merges, into an empty one.
    whole.Document.erase("Pominiete");
    EXPECT_EQ(MergeResults({whole})["Pominiete"], Json::array());
}
