#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "core/common/Json.h"
#include "core/settings/ShellConfig.h"
#include "support/TestSupport.h"

using namespace quorlen;
using quorlen::testing::ReadFileBytes;
using quorlen::testing::TempDir;
using quorlen::testing::WriteFileBytes;

namespace {

TShellConfig ReadText(const std::string& text) {
    TempDir dir;
    WriteFileBytes(dir.File("config.json"), text);
    return ReadShellConfig(dir.File("config.json"));
}

}  // namespace

TEST(ShellConfigRead, AbsentBrokenOrWithoutConfigObjectGivesDefaults) {
    TempDir dir;
    for (const TShellConfig& c :
         {ReadShellConfig(dir.File("none.json")), ReadText("{\"config\":"), ReadText(""), ReadText("[1,2]"),
          ReadText("{\"other\":{\"tbrPoziom\":50}}"), ReadText("{\"config\":[]}")}) {
        EXPECT_EQ(c.BlackLevel, 0);
        EXPECT_TRUE(c.DownloadDemoFiles);
        EXPECT_FALSE(c.UseDemoFiles);
    }
}

TEST(ShellConfigRead, InsideConfigMissingFlagsReadFalse) {
    const TShellConfig empty = ReadText("{\"config\":{}}");
    EXPECT_EQ(empty.BlackLevel, 0);
    EXPECT_FALSE(empty.DownloadDemoFiles);
    EXPECT_FALSE(empty.UseDemoFiles);

    const TShellConfig full =
        ReadText("{\"config\":{\"tbrPoziom\":100,\"downloadDemoFiles\":false,\"useDemoFiles\":true}}");
    EXPECT_EQ(full.BlackLevel, 100);
    EXPECT_FALSE(full.DownloadDemoFiles);
    EXPECT_TRUE(full.UseDemoFiles);
}

TEST(ShellConfigRead, LevelsOfTheWrongTypeOrBeyondIntReadAsZero) {
    EXPECT_EQ(ReadText("{\"config\":{\"tbrPoziom\":\"50\"}}").BlackLevel, 0);
    EXPECT_EQ(ReadText("{\"config\":{\"tbrPoziom\":50.5}}").BlackLevel, 0);
    // 2^32 + 50 must not wrap to 50.
    EXPECT_EQ(ReadText("{\"config\":{\"tbrPoziom\":4294967346}}").BlackLevel, 0);
    EXPECT_EQ(ReadText("{\"config\":{\"tbrPoziom\":4}}").BlackLevel, 4);
}

TEST(ShellConfigWrite, KeepsOtherKeysAndAddsAMissingConfigObject) {
    TempDir dir;
    const std::string path = dir.File("config.json");
    WriteFileBytes(path, "{\"okno\":{\"x\":5},\"config\":{\"jezyk\":\"pl\",\"tbrPoziom\":44}}");
    ASSERT_TRUE(WriteShellConfig(path, {61, false, true}));
    const Json doc = *ParseJsonFile(path);
    EXPECT_EQ(doc["okno"]["x"], 5);
    EXPECT_EQ(doc["config"]["jezyk"], "pl");
    EXPECT_EQ(doc["config"]["tbrPoziom"], 61);
    EXPECT_EQ(doc["config"]["downloadDemoFiles"], false);
    EXPECT_EQ(doc["config"]["useDemoFiles"], true);

    WriteFileBytes(path, "{\"okno\":1}");
    ASSERT_TRUE(WriteShellConfig(path, {44, true, false}));
    EXPECT_EQ(*ParseJsonFile(path),
              Json::parse(R"({"okno":1,"config":{"tbrPoziom":44,"downloadDemoFiles":true,"useDemoFiles":false}})"));
}

TEST(ShellConfigWrite, IsCompactAsciiAndReplacesAnUnparsableFile) {
    TempDir dir;
    const std::string path = dir.File("config.json");
    WriteFileBytes(path, "{\"nazwa\":\"Łódź\", \"config\": 7} trailing");
    ASSERT_TRUE(WriteShellConfig(path, {50, false, false}));
    const std::string bytes = ReadFileBytes(path);
    EXPECT_EQ(bytes.find(' '), std::string::npos);
    EXPECT_EQ(bytes.find('\n'), std::string::npos);
    EXPECT_EQ(ReadShellConfig(path).BlackLevel, 50);

    WriteFileBytes(path, "{\"nazwa\":\"Łódź\"}");
    ASSERT_TRUE(WriteShellConfig(path, {50, false, false}));
    EXPECT_NE(ReadFileBytes(path).find("\\u0141\\u00f3d\\u017a"), std::string::npos);
}

TEST(ShellConfigWrite, AFailedWriteReportsFalseAndLeavesNothingBehind) {
    TempDir dir;
    EXPECT_FALSE(WriteShellConfig(dir.File("missing/folder/config.json"), {50, true, true}));
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

TEST(ShellConfigDemoUrl, ReadWhenATextKeptAcrossAWrite) {
    struct Case {
        const char* text;
        const char* url;
    };
    for (const Case& c : {
             Case{R"({"config":{"demoUrl":"http://127.0.0.1:8080/"}})", "http://127.0.0.1:8080/"},
             Case{R"({"config":{"demoUrl":"https://przyklad.pl/pliki/quorlen.demo"}})",
                  "https://przyklad.pl/pliki/quorlen.demo"},
             Case{R"({"config":{"demoUrl":5}})", ""},
             Case{R"({"config":{}})", ""},
             Case{R"({"demoUrl":"http://zle.miejsce/"})", ""},
         }) {
        TempDir dir;
        WriteFileBytes(dir.File("config.json"), c.text);
        EXPECT_EQ(ReadDemoUrl(dir.File("config.json")), c.url) << c.text;
    }
    TempDir dir;
    const std::string path = dir.File("config.json");
    WriteFileBytes(path, R"({"config":{"demoUrl":"http://127.0.0.1:8080/"}})");
    ASSERT_TRUE(WriteShellConfig(path, {50, false, true}));
    EXPECT_EQ(ReadDemoUrl(path), "http://127.0.0.1:8080/");
}

// config.json as a FIFO blocked the start for ever, a link to /dev/zero read
// gigabytes, one nested 100,000 deep crashed the program at every start. Each
// is ignored like a broken file; the reads run in a child so that a crash or
// a hang of the old code fails this test instead of ending the binary.
TEST(ShellConfigRead, HostileSettingsFilesAreIgnoredLikeBrokenOnes) {
    struct Case {
        const char* Name;
        std::function<void(const std::string&)> Plant;
    };
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    const Case cases[] = {
        {"fifo", [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0666), 0); }},
        {"/dev/zero", [](const std::string& p) { std::filesystem::create_symlink("/dev/zero", p); }},
        {"over 1 MB",
         [](const std::string& p) {
             WriteFileBytes(p, "{\"config\":{\"tbrPoziom\":50},\"x\":\"" + std::string(1024 * 1024, 'x') + "\"}");
         }},
        {"deep", [&](const std::string& p) { WriteFileBytes(p, "{\"config\":{\"tbrPoziom\":50,\"x\":" + deep + "}}"); }},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::string path = dir.File("config.json");
        c.Plant(path);
        const int code = quorlen::testing::RunInChild([&] {
            alarm(20);
            const TShellConfig read = ReadShellConfig(path);
            return read.BlackLevel == 0 && read.DownloadDemoFiles && ReadDemoUrl(path).empty() ? 0 : 1;
        });
        EXPECT_EQ(code, 0) << c.Name;
    }
}
