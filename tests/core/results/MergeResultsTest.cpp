#include <gtest/gtest.h>

#include <functional>

#include "core/common/Json.h"
#include "core/results/MergeResults.h"
#include "support/TestSupport.h"

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
    // A code of its own per sheet: a repeated code would be flagged.
    for (const std::string& f : files) doc["Lista"].push_back(Entry(f, "k" + f));
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
    using Docs = std::vector<TShardDocument>;
    struct Case {
        const char* what;
        std::function<void(Docs&)> change;  // to shards 1/3, 2/3, 3/3 of a.png, b.png, c.png
        const char* message;                // a part of the refusal
    };
    auto set = [](size_t doc, const char* key, Json value) { return [=](Docs& d) { d[doc].Document[key] = value; }; };
    auto add = [](size_t doc, const char* list, const char* file) {
        return [=](Docs& d) { d[doc].Document[list].push_back(Entry(file)); };
    };
    const Case cases[] = {
        {"other QCnt", set(2, "QCnt", 4), "part3.json is of another project than part1.json: QCnt 4 against 3"},
        {"other ACnt", set(1, "ACnt", 5), "ACnt 5 against 4"},
        {"other choice", set(1, "MultiChoice", true), "MultiChoice true against false"},
        {"other project", set(1, "Project", "Chemia"), "Project \"Chemia\" against \"Fizyka 3b\""},
        {"scored with another key",
         [](Docs& d) {
             d[0].Document["Klucz"] = {"A", "B", "C"};
             d[2].Document["Klucz"] = {"A", "B", "D"};
         },
         "part3.json differs from part1.json in \"Klucz\""},
        {"other format version", set(2, "Version", 2), "part3.json differs from part1.json in \"Version\""},
        {"missing shard", [](Docs& d) { d.erase(d.begin() + 1); }, "shard 2/3 missing"},
        {"repeated shard", set(2, "Shard", "2/3"), "shard 2/3 given twice: part2.json and part3.json"},
        {"same file in two shards", add(1, "Pominiete", "a.png"), "a.png is in two shards: part1.json and part2.json"},
        {"same file twice in one shard", add(0, "Lista", "a.png"), "part1.json lists a.png twice"},
        {"shards of different splits", set(1, "Shard", "2/4"), "part2.json is shard 2/4 but part1.json is shard 1/3"},
        {"not a shard", set(0, "Shard", "whole"), "part1.json: no \"Shard\""},
        {"no list", set(0, "Lista", "none"), "part1.json: not a results document (no \"Lista\" list)"},
        {"skipped not a list", set(0, "Pominiete", 3), "\"Pominiete\" is not a list"},
        {"entry without a file", set(0, "Lista", Json::array({{{"Student", "1"}}})), "has no FileName"},
        {"folder grew between shards",
         [](Docs& d) {
             for (auto& doc : d) doc.Document["FolderScans"] = 3;
             d[1].Document["FolderScans"] = 4;
         },
         "the folder changed between shards: part1.json saw 3 scan files, part2.json 4"},
        {"a shard that lost sheets",
         [](Docs& d) {
             for (auto& doc : d) doc.Document["FolderScans"] = 4;
         },
         "the shards hold 3 scans of the folder's 4"},
        // Without the folder's count a shard that lost a sheet passed.
        {"no folder count", [](Docs& d) { d[1].Document.erase("FolderScans"); },
         "part2.json: no scan count of the folder (\"FolderScans\" missing"},
        {"folder count a text", set(2, "FolderScans", "3"), "part3.json: no scan count of the folder (\"FolderScans\" \"3\""},
        {"folder count a fraction", set(0, "FolderScans", 2.5), "part1.json: no scan count of the folder"},
        {"folder count negative", set(0, "FolderScans", -1), "part1.json: no scan count of the folder"},
        {"many shards missing", [](Docs& d) { d = {ShardDoc("1/40", {"a.png"}, {}, 40)}; },
         "shard 2/40, 3/40, 4/40, 5/40, 6/40, 7/40, 8/40, 9/40, 10/40, 11/40 and 29 more missing"},
    };
    for (const Case& c : cases) {
        Docs docs{ShardDoc("1/3", {"a.png"}, {}, 3), ShardDoc("2/3", {"b.png"}, {}, 3), ShardDoc("3/3", {"c.png"}, {}, 3)};
        EXPECT_EQ(Refusal(docs), "");
        c.change(docs);
        const std::string message = Refusal(docs);
        EXPECT_NE(message.find(c.message), std::string::npos) << c.what << ": " << message;
    }
    EXPECT_NE(Refusal({}), "");
    EXPECT_NE(Refusal({{"list.json", Json::array()}}).find("list.json: not a results document"), std::string::npos);
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
    // A document without a skipped list still merges, into an empty one.
    for (TShardDocument* d : {&first, &second}) {
        d->Document.erase("Pominiete");
        d->Document["FolderScans"] = 5;
    }
    EXPECT_EQ(MergeResults({first, second})["Pominiete"], Json::array());
}

// The pages of one file by their numbers (a byte order put #10 before #2), in
// among the other files by the file's name.
TEST(MergeResults, PagesOfAFileStandByTheirNumbers) {
    const auto first = ShardDoc("1/2", {"skany.pdf#10", "skany.pdf#2", "a.png", "skany.pdf.png"}, {"b.tif#3"}, 10);
    const auto second = ShardDoc("2/2", {"skany.pdf#1", "skany.pdf", "skanx.pdf#9"}, {"b.tif#12", "b.tif#1"}, 10);
    const Json merged = MergeResults({first, second});
    EXPECT_EQ(FileNames(merged["Lista"]), (std::vector<std::string>{"a.png", "skanx.pdf#9", "skany.pdf", "skany.pdf#1",
                                                                    "skany.pdf#2", "skany.pdf#10", "skany.pdf.png"}));
    EXPECT_EQ(FileNames(merged["Pominiete"]), (std::vector<std::string>{"b.tif#1", "b.tif#3", "b.tif#12"}));
}

// The real program, so that a crash shows as an exit code: an unknown key
// nested 100,000 deep crashed merge (SIGSEGV), a FolderScans of "60" let a
// lost sheet pass with rc 0.
TEST(MergeCommand, RefusesDeepDocumentsAndShardsWithoutAFolderCount) {
    quorlen::testing::TempDir dir;
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    auto write = [&](const TShardDocument& d) {
        quorlen::testing::WriteFileBytes(dir.File(d.Name), DumpJsonCompact(d.Document));
        return dir.File(d.Name);
    };
    struct Case {
        std::function<void(std::vector<TShardDocument>&)> Change;
        const char* Says;
    };
    const Case cases[] = {
        {[](std::vector<TShardDocument>&) {}, ""},
        {[](std::vector<TShardDocument>& d) { d[1].Document["FolderScans"] = "2"; },
         "part2.json: no scan count of the folder"},
        {[](std::vector<TShardDocument>& d) { d[0].Document.erase("FolderScans"); },
         "part1.json: no scan count of the folder"},
    };
    for (const Case& c : cases) {
        std::vector<TShardDocument> docs{ShardDoc("1/2", {"a.png"}, {}, 2), ShardDoc("2/2", {"b.png"}, {}, 2)};
        c.Change(docs);
        std::string out;
        const int rc = quorlen::testing::RunCommand(std::string(QUORLEN_CLI_PATH) + " merge '" + write(docs[0]) +
                                                        "' '" + write(docs[1]) + "' 2>&1",
                                                    &out);
        EXPECT_EQ(rc, *c.Says ? 2 : 0) << out;
        EXPECT_NE(out.find(c.Says), std::string::npos) << out;
    }
    std::vector<TShardDocument> docs{ShardDoc("1/2", {"a.png"}, {}, 2), ShardDoc("2/2", {"b.png"}, {}, 2)};
    write(docs[0]);
    quorlen::testing::WriteFileBytes(
        dir.File(docs[1].Name),
        DumpJsonCompact(docs[1].Document).insert(1, "\"Extra\":" + deep + ","));
    std::string out;
    EXPECT_EQ(quorlen::testing::RunCommand(std::string(QUORLEN_CLI_PATH) + " merge '" + dir.File("part1.json") +
                                               "' '" + dir.File("part2.json") + "' 2>&1",
                                           &out),
              2)
        << out.substr(0, 300);
    EXPECT_NE(out.find("zagnieżdżony głębiej niż 256 poziomów"), std::string::npos) << out.substr(0, 300);
}

// Each part may hold a code once while the folder holds it twice: the merged
// document flags it on both, and a part's own flag of another count goes.
TEST(MergeResults, ACodeRepeatedAcrossPartsIsFlaggedOnEachOfItsSheets) {
    auto first = ShardDoc("1/2", {"a.png"}, {}, 3);
    auto second = ShardDoc("2/2", {"b.png", "c.png"}, {}, 3);
    first.Document["Lista"][0]["Student"] = "1001";
    second.Document["Lista"][0]["Student"] = "1001";
    second.Document["Lista"][1]["Student"] = "1001";
    second.Document["Lista"][0]["Uwagi"] = "Kod 1001 powtarza się na 2 arkuszach.";
    second.Document["Lista"][1]["Uwagi"] = "Kod 1001 powtarza się na 2 arkuszach.";
    const Json merged = MergeResults({first, second});
    for (const Json& e : merged["Lista"]) EXPECT_EQ(e["Uwagi"], "Kod 1001 powtarza się na 3 arkuszach.") << e.dump();
    const Json single = MergeResults({ShardDoc("1/2", {"a.png"}, {}, 2), ShardDoc("2/2", {"b.png"}, {}, 2)});
    for (const Json& e : single["Lista"]) EXPECT_FALSE(e.contains("Uwagi")) << e.dump();
}
