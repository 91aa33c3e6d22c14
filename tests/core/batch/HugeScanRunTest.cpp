#include <gtest/gtest.h>

#include <set>
#include <string>

#include "core/batch/BatchRun.h"
#include "core/batch/LoopHost.h"
#include "core/common/Json.h"
#include "core/recognition/Binarize.h"
#include "core/recognition/ScanLimits.h"
#include "core/recognition/ReadScan.h"
#include "support/HugeHeaderScans.h"

using namespace quorlen;
using namespace quorlen::testing;

namespace {

// A folder of n files of each format whose headers claim width × height.
void WriteHugeHeaderFolder(const TempDir& dir, int n, uint32_t width, uint32_t height,
                           std::initializer_list<const char*> extensions = {".png", ".jpg", ".bmp"}) {
    for (const char* ext : extensions)
        for (int i = 0; i < n; ++i) WriteHugeHeaderScan(dir.File("skan" + std::to_string(i) + ext), ext, width, height);
}

// Runs the folder to its end on a loop host, as the desktop program does.
Json RunFolder(TBatchRun& run, TLoopHost& host, const TempDir& dir) {
    run.AnswerPause = {};
    host.SetHandler([&](const TBatchMessage& m) { run.HandleMessage(m); });
    TRunSettings settings;
    settings.ScanFolder = dir.Path().string();
    settings.QuestionCount = 3;
    EXPECT_TRUE(run.StartRun(settings));
    host.Run([&] { return !run.Running; });
    return run.Results.Snapshot();
}

void ExpectEveryFileSkippedAsUnreadable(const Json& doc, const TempDir& dir, size_t files) {
    EXPECT_TRUE(doc["Lista"].empty());
    ASSERT_EQ(doc["Pominiete"].size(), files);
    std::set<std::string> names;
    for (const Json& skipped : doc["Pominiete"]) {
        const std::string name = skipped["FileName"];
        names.insert(name);
        EXPECT_EQ(skipped["Status"], -1) << name;
        EXPECT_EQ(skipped["Message"], LoadFailedMessage(dir.File(name))) << name;
    }
    EXPECT_EQ(names.size(), files);
}

}  // namespace

TEST(HugeScans, AFolderOfHugeHeadersEndsWithEveryFileSkipped) {
    TempDir dir;
    WriteHugeHeaderFolder(dir, 8, 65500, 65500);
    TLoopHost host;
    TBatchRun run(host);
    run.MaxWorkers = 96;
    run.CpuCount = 2;
    const Json doc = RunFolder(run, host, dir);
    ExpectEveryFileSkippedAsUnreadable(doc, dir, 24);
    EXPECT_EQ(run.RasterBudget.PeakHeld(), 0u);  // refused before taking memory
}

TEST(HugeScans, WorkersTogetherStayWithinTheRasterBudget) {
    // Each file is taken at its word (3000 × 2000) and fails only after its
    // grey picture exists; with room for two shares the workers take turns.
    // (libjpeg pads a JPEG whose data ends at a marker with grey, so it would
    // be read.)
    const uint64_t share = 2 * RasterBytes(3000, 2000) + GreyScanBytes(3000, 2000);
    struct Case {
        const char* Name;
        uint64_t Capacity;
        uint64_t MaxPeak;
    };
    for (const Case& c : {Case{"room for two", 2 * share + 64 * 1024, 2 * share + 64 * 1024},
                          Case{"room for none: one at a time", share / 2, share + 64 * 1024}}) {
        TempDir dir;
        WriteHugeHeaderFolder(dir, 9, 3000, 2000, {".png", ".bmp"});
        TLoopHost host;
        TBatchRun run(host);
        run.MaxWorkers = 16;
        run.CpuCount = 2;
        run.RasterBudget.SetCapacity(c.Capacity);
        const Json doc = RunFolder(run, host, dir);
        ExpectEveryFileSkippedAsUnreadable(doc, dir, 18);
        EXPECT_GE(run.RasterBudget.PeakHeld(), share) << c.Name;
        EXPECT_LE(run.RasterBudget.PeakHeld(), c.MaxPeak) << c.Name;
        EXPECT_EQ(run.RasterBudget.Held(), 0u) << c.Name;
    }
}
