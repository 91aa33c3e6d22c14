#include <benchmark/benchmark.h>

#include <memory>

#include "core/printing/RenderSheet.h"

// One printed sheet of the largest kind: 200 questions of 16 answers make a
// first and a continuation page, with a full ten-digit code.
static void BM_RenderSheetTwoPages(benchmark::State& state) {
    for (auto _ : state) {
        std::unique_ptr<quorlen::TMonoBitmap> second;
        quorlen::TMonoBitmap first =
            quorlen::RenderSheet(200, 16, "0123456789", "Brenvik Quorlen\rFizyka 3b", 1, &second);
        benchmark::DoNotOptimize(first.Bits().data());
        benchmark::DoNotOptimize(second.get());
    }
}
BENCHMARK(BM_RenderSheetTwoPages)->Unit(benchmark::kMillisecond);

// Many short strings: 200 question numbers in seven columns.
static void BM_RenderSheetSevenColumns(benchmark::State& state) {
    for (auto _ : state) {
        quorlen::TMonoBitmap page = quorlen::RenderSheet(200, 2, "42", "Brenvik Quorlen\rFizyka 3b");
        benchmark::DoNotOptimize(page.Bits().data());
    }
}
BENCHMARK(BM_RenderSheetSevenColumns)->Unit(benchmark::kMillisecond);
