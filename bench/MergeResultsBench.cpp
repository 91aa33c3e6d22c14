#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/results/MergeResults.h"
#include "core/results/ResultsFile.h"

namespace {

// The results files of a run of `sheets` 50-question sheets split into
// `shards` parts, written as analyze --shard writes them.
std::vector<std::string> ShardFiles(int sheets, int shards) {
    std::vector<quorlen::Json> docs;
    for (int k = 1; k <= shards; ++k)
        docs.push_back({{"Version", 1},
                        {"Project", "Matura 2027"},
                        {"QCnt", 50},
                        {"ACnt", 5},
                        {"MultiChoice", false},
                        {"Folder", "/skany"},
                        {"Date", 1800000000000 + k},
                        {"Date2", "15.01.2027 09:00:00"},
                        {"Lista", quorlen::Json::array()},
                        {"Pominiete", quorlen::Json::array()},
                        {"Shard", std::to_string(k) + "/" + std::to_string(shards)},
                        {"FolderScans", sheets}});
    for (int i = 0; i < sheets; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "scan%06d.jpg", (i * 7919) % sheets);
        quorlen::Json answers = quorlen::Json::array();
        for (int q = 0; q < 50; ++q) answers.push_back(std::string(1, static_cast<char>('A' + (i + q) % 5)));
        docs[static_cast<size_t>(i % shards)]["Lista"].push_back(
            {{"Student", std::to_string(1000000 + i)}, {"FileName", name}, {"Wyniki", std::move(answers)}});
    }
    std::vector<std::string> files;
    for (const quorlen::Json& d : docs) files.push_back(quorlen::FormatResultsFile(d));
    return files;
}

}  // namespace

// What quorlen-cli merge does between reading and writing the files: parse
// every shard's text, merge, format the results file. 100,000 sheets in 4 shards.
static void BM_MergeResultsFiles(benchmark::State& state) {
    const std::vector<std::string> files = ShardFiles(static_cast<int>(state.range(0)), 4);
    for (auto _ : state) {
        std::vector<quorlen::TShardDocument> docs;
        for (const std::string& text : files) docs.push_back({"part.json", *quorlen::ParseJson(text)});
        const std::string out = quorlen::FormatResultsFile(quorlen::MergeResults(std::move(docs)));
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_MergeResultsFiles)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

// The merge alone, on documents already in memory.
static void BM_MergeResultsInMemory(benchmark::State& state) {
    std::vector<quorlen::TShardDocument> parsed;
    for (const std::string& text : ShardFiles(static_cast<int>(state.range(0)), 4))
        parsed.push_back({"part.json", *quorlen::ParseJson(text)});
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<quorlen::TShardDocument> docs = parsed;
        state.ResumeTiming();
        benchmark::DoNotOptimize(quorlen::MergeResults(std::move(docs)));
    }
}
BENCHMARK(BM_MergeResultsInMemory)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
