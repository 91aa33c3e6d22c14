#include <gtest/gtest.h>

#include <string>

#include "core/common/Json.h"
#include "support/HugeHeaderScans.h"
#include "support/TestSupport.h"

using namespace quorlen;
using namespace quorlen::testing;

TEST(AnalyzeCommand, AFolderThatIsNotThereIsNamedAsSuch) {
    TempDir dir;
    WriteFileBytes(dir.File("plik.jpg"), "x");
    const std::string cli = QUORLEN_CLI_PATH;
    struct Case {
        std::string Folder;
        const char* Says;
    };
    for (const Case& c : {Case{dir.File("brak"), "does not exist"}, Case{dir.File("plik.jpg"), "is not a folder"}}) {
        std::string out;
        EXPECT_EQ(RunCommand(cli + " analyze '" + c.Folder + "' 2>&1", &out), 2) << c.Folder;
        EXPECT_NE(out.find(c.Says), std::string::npos) << out;
        EXPECT_EQ(out.find("Brak plików"), std::string::npos) << out;
    }
}

TEST(AnalyzeCommand, AFolderOfHugeHeadersEndsWithEveryFileSkipped) {
    TempDir dir;
    for (const char* ext : {".png", ".jpg", ".bmp"})
        for (int i = 0; i < 4; ++i) WriteHugeHeaderScan(dir.File("s" + std::to_string(i) + ext), ext, 65500, 65500);
    std::string out;
    ASSERT_EQ(RunCommand(std::string(QUORLEN_CLI_PATH) + " analyze " + dir.Path().string() +
                             " --questions 3 --pause-us 0 --raster-budget 64 2>/dev/null",
                         &out),
              0);
    const auto doc = ParseJson(out);
    ASSERT_TRUE(doc) << out;
    EXPECT_TRUE((*doc)["Lista"].empty());
    EXPECT_EQ((*doc)["Pominiete"].size(), 12u);
}
