// Scoring a large generated class, and the size of a class report.
//   build/bench/quorlen_bench --benchmark_filter=Scor
#include <benchmark/benchmark.h>

#include <random>

#include "core/scoring/ClassReport.h"
#include "core/scoring/Scoring.h"

namespace {

using namespace quorlen;

// A results document of `students` one-answer sheets with `questions`
// questions of 5 boxes, about 60 % of the answers right and 5 % blank.
Json GeneratedDocument(int students, int questions, TAnswerKey& key) {
    std::mt19937 rng(18);
    Json keyJson = {{"Version", 1}, {"Answers", Json::array()}, {"Points", Json::array()}, {"WrongPoints", -0.25}};
    for (int q = 0; q < questions; ++q) {
        keyJson["Answers"].push_back(std::string(1, static_cast<char>('A' + rng() % 5)));
        keyJson["Points"].push_back(1 + static_cast<int>(rng() % 3));
    }
    keyJson["Versions"] = {{{"Name", "B"}, {"Codes", {"50000-99999"}}, {"Answers", keyJson["Answers"]}}};
    key = ParseAnswerKey(keyJson);
    Json doc = {{"Version", 1},         {"Project", "Sprawdzian"},       {"QCnt", questions},     {"ACnt", 5},
                {"MultiChoice", false}, {"Date2", "1.12.2026 10:00:00"}, {"Lista", Json::array()}};
    for (int s = 0; s < students; ++s) {
        Json wyniki = Json::array();
        for (int q = 0; q < questions; ++q) {
            const unsigned r = rng() % 100;
            wyniki.push_back(r < 60   ? key.Answers[static_cast<size_t>(q)]
                             : r < 95 ? std::string(1, static_cast<char>('A' + rng() % 5))
                                      : std::string());
        }
        char code[16];
        std::snprintf(code, sizeof code, "%06d", s);
        doc["Lista"].push_back({{"Student", code}, {"FileName", std::string(code) + ".jpg"}, {"Wyniki", wyniki}});
    }
    return doc;
}

void BM_ScoreDocument100kBy200(benchmark::State& state) {
    TAnswerKey key;
    const Json doc = GeneratedDocument(100000, 200, key);
    for (auto _ : state) {
        state.PauseTiming();
        Json scored = doc;
        state.ResumeTiming();
        ScoreDocument(scored, key);
        benchmark::DoNotOptimize(scored);
    }
}
BENCHMARK(BM_ScoreDocument100kBy200)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ScoreAndStatistics100kBy200(benchmark::State& state) {
    TAnswerKey key;
    const Json doc = GeneratedDocument(100000, 200, key);
    for (auto _ : state) {
        const auto entries = ScoreEntries(doc, key);
        benchmark::DoNotOptimize(ComputeClassStatistics(entries, key, ShapeOf(doc)));
    }
}
BENCHMARK(BM_ScoreAndStatistics100kBy200)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ClassReport30By40(benchmark::State& state) {
    TAnswerKey key;
    const Json doc = GeneratedDocument(30, 40, key);
    size_t bytes = 0;
    for (auto _ : state) {
        const auto entries = ScoreEntries(doc, key);
        const std::string html = ClassReportHtml(doc, key, entries, ComputeClassStatistics(entries, key, ShapeOf(doc)));
        bytes = html.size();
        benchmark::DoNotOptimize(html);
    }
    state.counters["report_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_ClassReport30By40)->Unit(benchmark::kMillisecond);

}  // namespace
