// Page names and their landing in the scan folder: nothing is ever replaced.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "core/batch/ScanList.h"
#include "core/scanner/ScanFiles.h"
#include "support/SaneTestConfig.h"

using namespace quorlen;
using quorlen::testing::ReadFileBytes;
using quorlen::testing::TempDir;
using quorlen::testing::WriteFileBytes;

namespace {

// Writes text as a page through the folder and returns the page's file name.
std::string Land(TScanFolder& folder, const std::string& text) {
    std::string temporary;
    std::FILE* file = folder.NewPage(&temporary);
    std::fputs(text.c_str(), file);
    std::fclose(file);
    return std::filesystem::path(folder.Keep(temporary)).filename().string();
}

}  // namespace

TEST(ScanFiles, NamesCarryTheBatchsMomentAndThePageNumber) {
    const char* oldTz = std::getenv("TZ");
    const std::string saved = oldTz ? oldTz : "";
    setenv("TZ", "Europe/Warsaw", 1);
    tzset();
    // 2026-03-01 07:05:09 UTC is 08:05:09 in Warsaw.
    EXPECT_EQ(ScanFileStem(1772348709), "Skan_20260301_080509");
    oldTz ? setenv("TZ", saved.c_str(), 1) : unsetenv("TZ");
    tzset();
    const std::pair<int, const char*> cases[] = {
        {1, "S_001.png"}, {12, "S_012.png"}, {999, "S_999.png"}, {1000, "S_1000.png"}, {12345, "S_12345.png"}};
    for (const auto& [number, name] : cases) EXPECT_EQ(ScanFileName("S", number), name);
}

TEST(ScanFiles, PagesTakeTheNextFreeNumberAndNeverReplaceAFile) {
    TempDir dir;
    WriteFileBytes(dir.File("Skan_X_001.png"), "older");
    WriteFileBytes(dir.File("Skan_X_003.png"), "older too");
    TScanFolder first(dir.Path().string(), "Skan_X");
    EXPECT_EQ(Land(first, "a"), "Skan_X_002.png");
    EXPECT_EQ(Land(first, "b"), "Skan_X_004.png");
    // A second batch of the same second starts from 1 and goes past them all.
    TScanFolder second(dir.Path().string(), "Skan_X");
    EXPECT_EQ(Land(second, "c"), "Skan_X_005.png");
    EXPECT_EQ(ReadFileBytes(dir.File("Skan_X_001.png")), "older");
    EXPECT_EQ(ReadFileBytes(dir.File("Skan_X_003.png")), "older too");
    EXPECT_EQ(ReadFileBytes(dir.File("Skan_X_004.png")), "b");
    EXPECT_EQ(quorlen::testing::FileNames(dir.Path().string()),
              (std::vector<std::string>{"Skan_X_001.png", "Skan_X_002.png", "Skan_X_003.png", "Skan_X_004.png",
                                        "Skan_X_005.png"}));
}

TEST(ScanFiles, APageInProgressIsNoScanOfTheFolderAndADiscardLeavesNothing) {
    TempDir dir;
    TScanFolder folder(dir.Path().string(), "Skan_Y");
    std::string temporary;
    std::fclose(folder.NewPage(&temporary));
    EXPECT_TRUE(ListScanFiles(dir.Path().string()).empty());
    TScanFolder::Discard(temporary);
    EXPECT_TRUE(quorlen::testing::FileNames(dir.Path().string()).empty());
    TempDir gone;
    TScanFolder missing((gone.Path() / "no-such-folder").string(), "Skan_Z");
    EXPECT_THROW(missing.NewPage(&temporary), std::runtime_error);
}
