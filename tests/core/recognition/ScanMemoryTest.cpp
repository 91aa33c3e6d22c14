#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/recognition/LoadScan.h"
#include "core/recognition/RasterBudget.h"
#include "core/recognition/SkanItem.h"
#include "support/HugeHeaderScans.h"

using namespace quorlen;
using quorlen::testing::TempDir;
using quorlen::testing::WriteHugeHeaderScan;

namespace {

// Starts Acquire(bytes) on a thread; Granted turns true once it returns.
struct TWaiter {
    std::atomic<bool> Granted{false};
    TRasterBudget::THold Share;
    std::thread Thread;
    TWaiter(TRasterBudget& budget, uint64_t bytes) {
        Thread = std::thread([this, &budget, bytes] {
            Share = budget.Acquire(bytes);
            Granted = true;
        });
    }
    ~TWaiter() {
        if (Thread.joinable()) Thread.join();
    }
};

// Gives waiting threads time to run; a wrong grant shows up as Granted.
void LetThreadsRun() { std::this_thread::sleep_for(std::chrono::milliseconds(50)); }

}  // namespace

TEST(ScanLimits, HugeHeadersAreRefusedBeforeAnyPixelMemoryInEveryFormat) {
    TempDir dir;
    struct Size {
        uint32_t Width, Height;
        bool Accepted;
    };
    const Size sizes[] = {
        {65500, 65500, false},  // 4290 megapixels (libjpeg itself stops at 65500)
        {20000, 12501, false},  // one row over the pixel limit
        {20000, 12500, true},   // exactly at the limit
        {65500, 1, true},
    };
    for (const char* ext : {".png", ".jpg", ".bmp"})
        for (const Size& size : sizes) {
            const std::string what =
                std::string(ext) + " " + std::to_string(size.Width) + "x" + std::to_string(size.Height);
            const std::string path = dir.File(std::string("huge") + ext);
            WriteHugeHeaderScan(path, ext, size.Width, size.Height);
            bool told = false;
            // The hook is the last step before allocation: stop there.
            auto hook = [&](int32_t w, int32_t h, uint64_t) {
                EXPECT_EQ(static_cast<uint32_t>(w), size.Width) << what;
                EXPECT_EQ(static_cast<uint32_t>(h), size.Height) << what;
                told = true;
                throw std::runtime_error("stop before allocating");
            };
            TMonoBitmap raster;
            std::string detail;
            EXPECT_FALSE(LoadScan(path, raster, &detail, hook)) << what;
            EXPECT_EQ(told, size.Accepted) << what << ": " << detail;
            EXPECT_TRUE(raster.Bits().empty()) << what;
            if (!size.Accepted) {
                EXPECT_NE(detail.find("limit"), std::string::npos) << what << ": " << detail;
            }
        }
}

TEST(ScanLimits, AScanJobTakesItsShareForTheRasterAndItsCopyAndGivesItBack) {
    TempDir dir;
    TItem item;
    item.FileName = dir.File("medium.png");
    WriteHugeHeaderScan(item.FileName, ".png", 3000, 2000);  // decodes as far as its 8 rows go
    TRasterBudget budget(1 << 20);
    TSkanItem job(item);
    job.Budget = &budget;
    job.Run();
    EXPECT_EQ(job.Status, -1);
    EXPECT_GE(budget.PeakHeld(), 2 * RasterBytes(3000, 2000));  // raster and deskewed copy
    EXPECT_EQ(budget.Held(), 0u);
    EXPECT_EQ(RasterBytes(3000, 2000), 3008u / 8 * 2000);
}

TEST(RasterBudget, SharesWaitForRoomInTheOrderAsked) {
    TRasterBudget budget(100);
    TRasterBudget::THold first = budget.Acquire(60);
    TWaiter big(budget, 70);  // does not fit beside the first
    LetThreadsRun();
    EXPECT_FALSE(big.Granted);
    TWaiter small(budget, 30);  // would fit, but must not overtake the big one
    LetThreadsRun();
    EXPECT_FALSE(small.Granted);
    first.Release();
    big.Thread.join();
    EXPECT_TRUE(big.Granted);
    small.Thread.join();  // 70 + 30 fit together
    EXPECT_TRUE(small.Granted);
    EXPECT_EQ(budget.Held(), 100u);
    EXPECT_EQ(budget.PeakHeld(), 100u);
}

TEST(RasterBudget, AShareLargerThanTheBudgetRunsAlone) {
    TRasterBudget budget(100);
    TRasterBudget::THold small = budget.Acquire(10);
    TWaiter huge(budget, 500);
    LetThreadsRun();
    EXPECT_FALSE(huge.Granted);
    small = TRasterBudget::THold();  // moving an empty hold in returns the share
    huge.Thread.join();
    EXPECT_EQ(budget.Held(), 500u);
    TWaiter next(budget, 1);
    LetThreadsRun();
    EXPECT_FALSE(next.Granted);
    huge.Share.Release();
    next.Thread.join();
    EXPECT_EQ(budget.Held(), 1u);
}

TEST(RasterBudget, TheHostThreadTakesItsShareAtOnce) {
    TRasterBudget budget(100);
    TRasterBudget::THold worker = budget.Acquire(90);
    TRasterBudget::THold host = budget.AcquireNow(50);
    EXPECT_EQ(budget.Held(), 140u);
    EXPECT_EQ(host.Bytes(), 50u);
    TRasterBudget::THold moved = std::move(host);
    EXPECT_EQ(host.Bytes(), 0u);
    moved.Release();
    moved.Release();  // once only
    EXPECT_EQ(budget.Held(), 90u);
    EXPECT_GE(DefaultRasterBudget(), 256ull << 20);
}
