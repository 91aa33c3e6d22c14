#include <gtest/gtest.h>

#include <string>

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
