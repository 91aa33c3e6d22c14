#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

#include "core/exporter/ExporterHost.h"
#include "core/exporter/ExporterTestSupport.h"

namespace quorlen {
namespace {

using testing::InstallTestExporter;
using testing::LogLines;
using testing::SampleResults;
using testing::TempDir;

// A host loaded from a data folder holding the test plug-in with the given
// behaviour; the plug-in's calls are in Log().
struct LoadedHost {
    TempDir dir;
    TExporterHost host;
    TLoadStatus status;
    explicit LoadedHost(const std::string& types, Json behaviour = Json::object()) {
        behaviour["types"] = types;
        InstallTestExporter(dir.Path() / "data", behaviour, Log());
        status = host.LoadExporter({(dir.Path() / "data").string(), (dir.Path() / "bin").string()});
    }
    std::string Log() const { return dir.File("calls.log"); }
    std::vector<std::string> Calls() const { return LogLines(Log()); }
};

const char* const kADB =
    R"([{"FilterName":"A","Filter":"*.a"},{"Virtual":true,"DeviceName":"D"},{"Virtual":false,"FilterName":"B","Filter":"*.b"}])";

TEST(ExporterHost, FileTypesAndDevicesKeepThePluginsOrder) {
    LoadedHost h(kADB);
    ASSERT_EQ(h.status, TLoadStatus::Loaded);
    EXPECT_EQ(h.host.Filters(), "Pliki JSON|*.json|A|*.a|B|*.b");
    EXPECT_EQ(h.host.DeviceNames(), std::vector<std::string>{"D"});
    EXPECT_EQ(h.Calls().at(1), "GetSaveFileType null");

    const TExporterOutcome file = h.host.SaveResultsToFile("/tmp/x.b", 3, SampleResults());
    const Json sent = Json::parse(h.Calls().back().substr(std::string("SaveToFile ").size()));
    EXPECT_EQ(sent["Method"], 2);
    EXPECT_EQ(sent["FileName"], "/tmp/x.b");
    EXPECT_EQ(sent["Wyniki"], SampleResults());
    EXPECT_TRUE(file.Ok);
    EXPECT_EQ(file.Text, "Wyniki zostały zapisane do pliku\n/tmp/x.b");
    EXPECT_EQ(file.Caption, "Informacja");

    const TExporterOutcome device = h.host.SaveResultsToDevice(0, SampleResults());
    EXPECT_EQ(h.Calls().back().rfind("SaveVirtual {\"Method\":0,\"Wyniki\":", 0), 0u) << h.Calls().back();
    EXPECT_TRUE(device.Ok);
    EXPECT_EQ(device.Text, "Wyniki zostały zapisane do D");
}

// A document handed over as text goes out as the same call a tree makes:
// the same keys around it, the same refusals of choices not offered.
TEST(ExporterHost, ADocumentAsTextIsSentAsTheTreeIs) {
    LoadedHost h(kADB);
    ASSERT_EQ(h.status, TLoadStatus::Loaded);
    const std::string text = DumpJsonCompact(SampleResults());
    const std::u16string document(text.begin(), text.end());
    const auto sent = [&](const char* method) {
        const std::string line = h.Calls().back();
        EXPECT_EQ(line.rfind(std::string(method) + " ", 0), 0u) << line;
        return line.substr(std::string(method).size() + 1);
    };
    h.host.SaveResultsToFile("/tmp/zażółć.b", 3, SampleResults());
    const std::string fromTree = sent("SaveToFile");
    const TExporterOutcome file = h.host.SaveResultsTextToFile("/tmp/zażółć.b", 3, document);
    EXPECT_EQ(sent("SaveToFile"), fromTree);
    EXPECT_TRUE(file.Ok);
    EXPECT_EQ(file.Text, "Wyniki zostały zapisane do pliku\n/tmp/zażółć.b");

    h.host.SaveResultsToDevice(0, SampleResults());
    const std::string deviceFromTree = sent("SaveVirtual");
    const TExporterOutcome device = h.host.SaveResultsTextToDevice(0, document);
    EXPECT_EQ(sent("SaveVirtual"), deviceFromTree);
    EXPECT_EQ(device.Text, "Wyniki zostały zapisane do D");

    const size_t calls = h.Calls().size();
    EXPECT_FALSE(h.host.SaveResultsTextToFile("/x", 1, document).Ok);
    EXPECT_FALSE(h.host.SaveResultsTextToFile("/x", 4, document).Ok);
    EXPECT_FALSE(h.host.SaveResultsTextToDevice(1, document).Ok);
    EXPECT_FALSE(h.host.SaveResultsTextToDevice(-1, document).Ok);
    EXPECT_EQ(h.Calls().size(), calls);
}

TEST(ExporterHost, WhatTheTypeListYieldsForTheDialogs) {
    struct Case {
        const char* name;
        std::string types;
        std::string filters;
        bool devices;  // VirtualDevices present at all
        size_t deviceCount;
    };
    const Case cases[] = {
        {"only devices", R"([{"Virtual":true,"DeviceName":"D1"},{"Virtual":true,"DeviceName":"D2"}])",
         "Pliki JSON|*.json", true, 2},
        {"only file types", R"([{"FilterName":"A","Filter":"*.a"}])", "Pliki JSON|*.json|A|*.a", false, 0},
        {"empty list", "[]", "Pliki JSON|*.json", false, 0},
        // No answer: the device dialog still comes, offering the disk only.
        {"not JSON", "<types>", "Pliki JSON|*.json", true, 0},
        {"an object", R"({"FilterName":"A","Filter":"*.a"})", "Pliki JSON|*.json", true, 0},
        {"an entry not an object", R"([{"FilterName":"A","Filter":"*.a"},7])", "Pliki JSON|*.json", true, 0},
        {"Virtual not a boolean", R"([{"Virtual":"yes","FilterName":"A","Filter":"*.a"}])", "Pliki JSON|*.json|A|*.a",
         false, 0},
        {"Polish names", R"([{"FilterName":"Plik \u015bredni","Filter":"*.s"}])", "Pliki JSON|*.json|Plik średni|*.s",
         false, 0},
    };
    for (const Case& c : cases) {
        LoadedHost h(c.types);
        ASSERT_EQ(h.status, TLoadStatus::Loaded) << c.name;
        EXPECT_EQ(h.host.Filters(), c.filters) << c.name;
        EXPECT_EQ(h.host.VirtualDevices().has_value(), c.devices) << c.name;
        EXPECT_EQ(h.host.DeviceNames().size(), c.deviceCount) << c.name;
    }
}

TEST(ExporterHost, SaveAnswersDecideSuccessOrTheErrorBox) {
    struct Case {
        const char* name;
        std::string answer;
        bool ok;
        std::string text;
    };
    const Case cases[] = {
        {"Error 5 with its text", R"({"Error":5,"ErrorStr":"Dysk pełny"})", false, "Dysk pełny"},
        {"Error 0", R"({"Error":0,"ErrorStr":"ignored"})", true, "Wyniki zostały zapisane do pliku\n/w.a"},
        {"Error absent", R"({})", true, "Wyniki zostały zapisane do pliku\n/w.a"},
        {"not JSON counts as success", "saved!", true, "Wyniki zostały zapisane do pliku\n/w.a"},
        {"Error without a text", R"({"Error":7})", false, "Wtyczka eksportu zgłosiła błąd 7."},
        {"Error as a text is no success", R"({"Error":"disk"})", false, "Wtyczka eksportu zgłosiła błąd \"disk\"."},
        {"raw UTF-16 Polish text", "{\"Error\":1,\"ErrorStr\":\"Zażółć 😀\"}", false, "Zażółć 😀"},
    };
    for (const Case& c : cases) {
        LoadedHost h(R"([{"FilterName":"A","Filter":"*.a"}])", Json::object({{"answer", c.answer}}));
        const TExporterOutcome out = h.host.SaveResultsToFile("/w.a", 2, SampleResults());
        EXPECT_EQ(out.Ok, c.ok) << c.name;
        EXPECT_EQ(out.Text, c.text) << c.name;
        EXPECT_EQ(out.Caption, c.ok ? "Informacja" : "Błąd") << c.name;
    }
}

TEST(ExporterHost, ADeviceThatSaysWhereItSavedIsNamedInTheMessage) {
    struct Case {
        const char* name;
        std::string answer;
        std::string text;
    };
    const Case cases[] = {
        {"no location", R"({"Error":0})", "Wyniki zostały zapisane do D"},
        {"a location", R"({"Error":0,"Location":"/dane/wyniki.sqlite"})",
         "Wyniki zostały zapisane do D:\n/dane/wyniki.sqlite"},
        {"an empty location", R"({"Location":""})", "Wyniki zostały zapisane do D"},
        {"a location that is no text", R"({"Location":5})", "Wyniki zostały zapisane do D"},
    };
    for (const Case& c : cases) {
        LoadedHost h(kADB, Json::object({{"answer", c.answer}}));
        const TExporterOutcome out = h.host.SaveResultsToDevice(0, SampleResults());
        EXPECT_TRUE(out.Ok) << c.name;
        EXPECT_EQ(out.Text, c.text) << c.name;
    }
}

TEST(ExporterHost, ChoicesOutsideThePluginsListsAreRefusedWithoutACall) {
    LoadedHost h(kADB);
    const size_t before = h.Calls().size();
    EXPECT_FALSE(h.host.SaveResultsToFile("/x", 1, SampleResults()).Ok);
    EXPECT_FALSE(h.host.SaveResultsToFile("/x", 4, SampleResults()).Ok);
    EXPECT_FALSE(h.host.SaveResultsToDevice(1, SampleResults()).Ok);
    EXPECT_FALSE(h.host.SaveResultsToDevice(-1, SampleResults()).Ok);
    EXPECT_EQ(h.Calls().size(), before);
}

TEST(ExporterHost, APluginWithoutItsOwnReferenceIsNeverCalled) {
    LoadedHost h(kADB, Json::object({{"keepManager", false}}));
    ASSERT_EQ(h.status, TLoadStatus::Loaded);
    EXPECT_FALSE(h.host.MemoryManagerAlive());
    EXPECT_FALSE(h.host.CallExporter("GetSaveFileType"));
    EXPECT_EQ(h.host.Filters(), "Pliki JSON|*.json");
    EXPECT_EQ(h.Calls(), std::vector<std::string>{"Create"});
}

TEST(ExporterHost, APluginThatNeverAsksForTheBufferGivesNoAnswer) {
    LoadedHost h(kADB, Json::object({{"neverAsk", true}}));
    EXPECT_TRUE(h.host.MemoryManagerAlive());
    EXPECT_FALSE(h.host.CallExporter("GetSaveFileType"));
    EXPECT_EQ(h.host.Filters(), "Pliki JSON|*.json");
    EXPECT_EQ(h.Calls().size(), 3u);  // Create and two calls: they were made
}

TEST(ExporterHost, AnswersThatGrowAndShrinkAreReadWhole) {
    LoadedHost h(kADB, Json::object({{"grow", 5000}, {"answer", R"({"Error":3,"ErrorStr":"x"})"}}));
    for (int call = 0; call < 4; ++call) {
        const std::optional<Json> answer = h.host.CallExporter("SaveToFile");
        ASSERT_TRUE(answer) << call;
        EXPECT_EQ((*answer)["Error"], 3);
    }
    // A shorter answer after longer ones: the zero character ends it.
    const std::optional<Json> types = h.host.CallExporter("GetSaveFileType");
    ASSERT_TRUE(types);
    EXPECT_EQ(types->size(), 3u);
}

TEST(ExporterHost, AThrowingPluginIsNotCalledAgain) {
    LoadedHost h(kADB, Json::object({{"throwIn", "SaveToFile"}}));
    const TExporterOutcome out = h.host.SaveResultsToFile("/x.a", 2, SampleResults());
    EXPECT_FALSE(out.Ok);
    EXPECT_NE(out.Text.find("wyjątkiem"), std::string::npos) << out.Text;
    const size_t calls = h.Calls().size();
    EXPECT_FALSE(h.host.SaveResultsToDevice(0, SampleResults()).Ok);
    EXPECT_EQ(h.Calls().size(), calls);
}

TEST(ExporterHost, ShutdownOnceThenReleaseThenUnload) {
    TempDir dir;
    const std::string log = dir.File("calls.log");
    InstallTestExporter(dir.Path() / "data", {{"types", kADB}}, log);
    {
        TExporterHost host;
        ASSERT_EQ(host.LoadExporter({(dir.Path() / "data").string(), ""}), TLoadStatus::Loaded);
        host.SaveResultsToDevice(0, SampleResults());
    }
    const std::vector<std::string> lines = LogLines(log);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Shutdown"), 1);
    EXPECT_EQ(lines[lines.size() - 2], "Shutdown");
    EXPECT_EQ(lines.back(), "Release");
}

TEST(ExporterHost, LibrariesThatCannotServeAreReportedOnceAndNeverCalled) {
    enum Kind { TextFile, NoEntryPoint, NoObject };
    struct Case {
        const char* name;
        Kind kind;
        std::string reason;
    };
    const Case cases[] = {
        {"a text file", TextFile, "QuorlenExporter.so"},
        {"no entry point", NoEntryPoint, "brak funkcji CreateDLLFunction"},
        {"no object from the entry point", NoObject, "CreateDLLFunction nie utworzyła obiektu"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        std::filesystem::create_directories(dir.Path() / "data");
        const std::string path = dir.File("data/QuorlenExporter.so");
        if (c.kind == TextFile) testing::WriteFileBytes(path, "not a library\n");
        if (c.kind == NoEntryPoint) std::filesystem::copy_file(QUORLEN_TEST_NO_ENTRY, path);
        if (c.kind == NoObject) InstallTestExporter(dir.Path() / "data", {{"noObject", true}}, dir.File("calls.log"));
        TExporterHost host;
        const TExporterSearch search{(dir.Path() / "data").string(), ""};
        EXPECT_EQ(host.LoadExporter(search), TLoadStatus::Failed) << c.name;
        EXPECT_FALSE(host.Loaded()) << c.name;
        EXPECT_NE(host.LoadError().find("Nie można załadować wtyczki eksportu " + path), std::string::npos)
            << host.LoadError();
        EXPECT_NE(host.LoadError().find(c.reason), std::string::npos) << host.LoadError();
        EXPECT_EQ(host.Filters(), "Pliki JSON|*.json");
        EXPECT_FALSE(host.VirtualDevices());
        // Told once: the next click neither loads nor reports anew.
        EXPECT_EQ(host.LoadExporter(search), TLoadStatus::Failed);
    }
}

TEST(ExporterSearch, DataFolderThenBesideTheProgramThenTheInstalledFolder) {
    TempDir dir;
    const auto data = dir.Path() / "data", bin = dir.Path() / "prefix/bin";
    const std::string inData = (data / "QuorlenExporter.so").string();
    const std::string inDllka = (bin / "DLLka/QuorlenExporter.so").string();
    const std::string installed = (dir.Path() / "prefix/lib/quorlen/QuorlenExporter.so").string();
    EXPECT_EQ(ExporterCandidates({data.string(), bin.string()}),
              (std::vector<std::string>{inData, inDllka, installed}));
    const TExporterSearch search{data.string(), bin.string()};
    EXPECT_EQ(FindExporter(search), "");
    for (const std::string& file : {installed, inDllka, inData}) {
        std::filesystem::create_directories(std::filesystem::path(file).parent_path());
        testing::WriteFileBytes(file, "x");
        EXPECT_EQ(FindExporter(search), file);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "missing")) << "the search creates nothing";
}

TEST(ExporterSearch, ADLLkaInTheCurrentFolderIsIgnored) {
    TempDir dir;
    InstallTestExporter(dir.Path() / "DLLka", {{"types", kADB}}, dir.File("calls.log"));
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    TExporterHost host;
    const TLoadStatus status = host.LoadExporter({dir.File("no-data"), dir.File("bin")});
    std::filesystem::current_path(before);
    EXPECT_EQ(status, TLoadStatus::NotFound);
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "no-data"));
    EXPECT_FALSE(std::filesystem::exists(dir.File("calls.log")));
}

TEST(ExporterSearch, DefaultsFollowTheEnvironmentAndTheExecutable) {
    const char* saved = std::getenv("QUORLEN_DATA_DIR");
    const std::string keep = saved ? saved : "";
    setenv("QUORLEN_DATA_DIR", "/srv/q", 1);
    TExporterSearch search = DefaultExporterSearch();
    EXPECT_EQ(search.DataFolder, "/srv/q");
    unsetenv("QUORLEN_DATA_DIR");
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const std::string keepXdg = xdg ? xdg : "";
    setenv("XDG_DATA_HOME", "/x", 1);
    EXPECT_EQ(DefaultExporterSearch().DataFolder, "/x/Brenvik/quorlen");
    if (xdg)
        setenv("XDG_DATA_HOME", keepXdg.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
    if (saved) setenv("QUORLEN_DATA_DIR", keep.c_str(), 1);
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    EXPECT_EQ(search.ProgramFolder, std::filesystem::path(std::string(self, n)).parent_path().string());
}

// With XDG_DATA_HOME, HOME or QUORLEN_DATA_DIR set to "." the plug-in was
// loaded from the current folder; relative values are now passed over.
TEST(ExporterSearch, RelativeEnvironmentValuesAreIgnored) {
    struct Saved {
        const char* Name;
        std::optional<std::string> Value;
    };
    std::vector<Saved> saved;
    for (const char* name : {"QUORLEN_DATA_DIR", "XDG_DATA_HOME", "HOME"}) {
        const char* v = std::getenv(name);
        saved.push_back({name, v ? std::optional<std::string>(v) : std::nullopt});
    }
    struct Case {
        const char* Data;
        const char* Xdg;
        const char* Home;
        std::string Expected;
    };
    for (const Case& c : {Case{".", "/x", "/h", "/x/Brenvik/quorlen"}, Case{"", ".", "/h", "/h/.local/share/Brenvik/quorlen"},
                          Case{"", "rel/data", ".", ""}, Case{"./q", "", "", ""}, Case{"/q", ".", ".", "/q"}}) {
        auto put = [](const char* name, const char* value) {
            if (*value)
                setenv(name, value, 1);
            else
                unsetenv(name);
        };
        put("QUORLEN_DATA_DIR", c.Data);
        put("XDG_DATA_HOME", c.Xdg);
        put("HOME", c.Home);
        EXPECT_EQ(DefaultExporterSearch().DataFolder, c.Expected) << c.Data << " " << c.Xdg << " " << c.Home;
    }
    for (const Saved& s : saved) {
        if (s.Value)
            setenv(s.Name, s.Value->c_str(), 1);
        else
            unsetenv(s.Name);
    }
}

// A plug-in file or folder anyone may write was loaded without a word; it is
// refused, naming it. A sticky folder such as /tmp is no such folder.
TEST(ExporterHost, APluginOthersMayWriteIsRefusedNamingIt) {
    struct Case {
        mode_t File;
        mode_t Folder;
        const char* Says;  // empty: loaded
    };
    for (const Case& c : {Case{0644, 0755, ""}, Case{0666, 0755, "plik "}, Case{0644, 0777, "folder "},
                          Case{0644, 01777, ""}}) {
        TempDir dir;
        const std::filesystem::path folder = dir.Path() / "data";
        InstallTestExporter(folder, {{"types", kADB}}, dir.File("calls.log"));
        const std::string plugin = (folder / "QuorlenExporter.so").string();
        ASSERT_EQ(chmod(plugin.c_str(), c.File), 0);
        ASSERT_EQ(chmod(folder.c_str(), c.Folder), 0);
        TExporterHost host;
        const TLoadStatus status = host.LoadFrom(plugin);
        if (!*c.Says) {
            EXPECT_EQ(status, TLoadStatus::Loaded) << host.LoadError();
            continue;
        }
        EXPECT_EQ(status, TLoadStatus::Failed) << std::oct << c.File << " " << c.Folder;
        const std::string named = std::string(c.Says) + (*c.Says == 'p' ? plugin : folder.string());
        EXPECT_NE(host.LoadError().find(named + " może zmieniać każdy użytkownik"), std::string::npos)
            << host.LoadError();
        EXPECT_FALSE(std::filesystem::exists(dir.File("calls.log"))) << "the refused library ran";
    }
}

}  // namespace
}  // namespace quorlen
