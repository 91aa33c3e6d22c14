#include <gtest/gtest.h>

#include "core/common/Json.h"
#include "core/settings/ShellConfig.h"
#include "core/settings/ScannerConfig.h"
#include "support/TestSupport.h"

using namespace quorlen;
using quorlen::testing::ReadFileBytes;
using quorlen::testing::TempDir;
using quorlen::testing::WriteFileBytes;

namespace {

TScannerConfig ReadText(const std::string& text) {
    TempDir dir;
    WriteFileBytes(dir.File("config.json"), text);
    return ReadScannerConfig(dir.File("config.json"));
}

void ExpectDefaults(const TScannerConfig& c, const std::string& what) {
    EXPECT_TRUE(c.Devices.empty()) << what;
    EXPECT_EQ(c.Device, "") << what;
    EXPECT_EQ(c.Source, "ADF") << what;
    EXPECT_EQ(c.Resolution, 200) << what;
    EXPECT_EQ(c.Mode, "Gray") << what;
}

}  // namespace

TEST(ScannerConfig, WrittenSettingsReadBackAndTheRestOfTheFileStays) {
    TempDir dir;
    const std::string path = dir.File("config.json");
    WriteFileBytes(path, R"({"okno":{"x":5},"config":{"tbrPoziom":61,"demoUrl":"file:///d"}})");
    TScannerConfig written;
    written.Devices = {{"test:0", "Noname", "frontend-tester", "virtual device"},
                       {"escl:http://10.0.0.7/", "", "", ""}};
    written.Device = "test:0";
    written.Source = "Flatbed";
    written.Resolution = 300;
    written.Mode = "Lineart";
    ASSERT_TRUE(WriteScannerConfig(path, written));

    const TScannerConfig read = ReadScannerConfig(path);
    ASSERT_EQ(read.Devices.size(), 2u);
    EXPECT_EQ(read.Devices[0].Name, "test:0");
    EXPECT_EQ(read.Devices[0].Label(), "Noname frontend-tester");
    EXPECT_EQ(read.Devices[1].Label(), "escl:http://10.0.0.7/");
    EXPECT_EQ(read.Device, "test:0");
    EXPECT_EQ(read.Source, "Flatbed");
    EXPECT_EQ(read.Resolution, 300);
    EXPECT_EQ(read.Mode, "Lineart");
    EXPECT_EQ(ReadShellConfig(path).BlackLevel, 61);
    EXPECT_EQ(ReadDemoUrl(path), "file:///d");
    // The shell's own write at close keeps the scanner's settings.
    ASSERT_TRUE(WriteShellConfig(path, {44, false, false}));
    EXPECT_EQ(ReadScannerConfig(path).Device, "test:0");
    const Json doc = *ParseJson(ReadFileBytes(path));
    EXPECT_EQ(doc["okno"]["x"], 5);
}

TEST(ScannerConfig, AnythingUnusableReadsAsTheDefault) {
    TempDir dir;
    ExpectDefaults(ReadScannerConfig(dir.File("none.json")), "no file");
    for (const char* text :
         {"", "{\"config\":", "[1]", "{\"config\":{}}", "{\"config\":{\"scanner\":[]}}",
          "{\"config\":{\"scanner\":{\"device\":7,\"source\":null,\"mode\":[\"Gray\"],"
          "\"resolution\":\"300\",\"devices\":{\"name\":\"x\"}}}}",
          "{\"config\":{\"scanner\":{\"resolution\":0}}}", "{\"config\":{\"scanner\":{\"resolution\":19201}}}",
          "{\"config\":{\"scanner\":{\"resolution\":4294967496}}}", "{\"config\":{\"scanner\":{\"resolution\":250.5}}}",
          "{\"config\":{\"scanner\":{\"devices\":[1,\"test:0\",{\"label\":\"no name\"}]}}}"})
        ExpectDefaults(ReadText(text), text);

    const std::string tooLong(1025, 'x');
    EXPECT_EQ(ReadText("{\"config\":{\"scanner\":{\"device\":\"" + tooLong + "\"}}}").Device, "");
    std::string many = "{\"config\":{\"scanner\":{\"devices\":[";
    for (int i = 0; i < 100; ++i) many += std::string(i ? "," : "") + "{\"name\":\"d" + std::to_string(i) + "\"}";
    EXPECT_EQ(ReadText(many + "]}}}").Devices.size(), 64u);
}
