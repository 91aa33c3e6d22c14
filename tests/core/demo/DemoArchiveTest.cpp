#include "core/demo/DemoArchive.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "core/common/TextFile.h"
#include "core/project/ProjectFile.h"
#include "support/DemoRecords.h"
#include "support/TestSupport.h"

using namespace quorlen;
using quorlen::testing::DemoRecord;
using quorlen::testing::FolderNames;
using quorlen::testing::ReadFileBytes;
using quorlen::testing::TempDir;
using quorlen::testing::WriteFileBytes;
namespace fs = std::filesystem;

namespace {

std::string Project(const std::string& extra = "") {
    return ";Brenvik Quorlen project file\r\nNazwa=Demo\r\nIlePytan=20\r\nIleOdpowiedzi=4\r\n" + extra;
}

std::string Archive(TempDir& dir, const std::string& bytes) {
    const std::string path = dir.File("quorlen.demo");
    WriteFileBytes(path, bytes);
    return path;
}

}  // namespace

TEST(DemoUnpacking, RecordsBecomeTheProjectAndNumberedScans) {
    struct Case {
        const char* name;
        std::string archive;
        std::set<std::string> files;
        int scans;
    };
    const std::string project = Project();
    for (const Case& c : {
             Case{"three scans",
                  DemoRecord(project) + DemoRecord("png1") + DemoRecord("png2") + DemoRecord(""),
                  {"Demo.spf", "Skan1.png", "Skan2.png", "Skan3.png"},
                  3},
             Case{"project only", DemoRecord(project), {"Demo.spf"}, 0},
             Case{"nothing at all", "", {}, 0},
         }) {
        TempDir dir;
        const fs::path folder = dir.Path() / "Dokumenty" / "QuorlenDemo";
        const TDemoUnpacked got = UnpackDemoArchive(Archive(dir, c.archive), folder.string());
        EXPECT_EQ(FolderNames(folder), c.files) << c.name;
        EXPECT_EQ(got.Scans, c.scans) << c.name;
        if (c.scans == 3) {
            EXPECT_EQ(ReadFileBytes((folder / "Demo.spf").string()), project);
            EXPECT_EQ(ReadFileBytes((folder / "Skan2.png").string()), "png2");
            EXPECT_EQ(ReadFileBytes((folder / "Skan3.png").string()), "");
        }
    }
}

TEST(DemoUnpacking, BadLengthsFailWithoutAHalfFileAndKeepTheOldProject) {
    struct Case {
        const char* name;
        std::string archive;
        std::set<std::string> left;  // besides the old Demo.spf
    };
    const std::string good = DemoRecord(Project()) + DemoRecord("png1");
    for (const Case& c : {
             // Every record is measured before the first file is written, so
             // a bad length late in the archive leaves nothing either.
             Case{"truncated scan", good + DemoRecord("png2 is longer", 14).substr(0, 10), {}},
             Case{"negative length", good + DemoRecord("x", -1), {}},
             Case{"most negative length", DemoRecord("x", INT32_MIN), {}},
             Case{"length past the end by one", DemoRecord("abc", 4), {}},
             Case{"half a length", good + std::string("\x02\x00", 2), {}},
             Case{"an error page", "<html><body>404 Not Found</body></html>", {}},
         }) {
        TempDir dir;
        const fs::path folder = dir.Path() / "QuorlenDemo";
        fs::create_directories(folder);
        WriteFileBytes((folder / "Demo.spf").string(), "old");
        EXPECT_THROW(UnpackDemoArchive(Archive(dir, c.archive), folder.string()), std::runtime_error) << c.name;
        std::set<std::string> expected = c.left;
        expected.insert("Demo.spf");
        EXPECT_EQ(FolderNames(folder), expected) << c.name;
        if (c.left.empty()) {
            EXPECT_EQ(ReadFileBytes((folder / "Demo.spf").string()), "old") << c.name;
        }
    }
}

TEST(DemoUnpacking, ArchivesBeyondTheLimitAreRefusedUnread) {
    TempDir dir;
    const std::string path = dir.File("quorlen.demo");
    WriteFileBytes(path, DemoRecord(Project()));
    fs::resize_file(path, static_cast<uintmax_t>(MaxDemoArchiveBytes) + 1);  // sparse: costs no disk
    EXPECT_THROW(UnpackDemoArchive(path, dir.File("demo")), std::runtime_error);
    EXPECT_FALSE(fs::exists(dir.Path() / "demo" / "Demo.spf"));
}

TEST(DemoUnpacking, BaseScanIsCopiedRepeatCountTimes) {
    struct Case {
        const char* name;
        std::string keys;
        std::vector<std::string> copies;
    };
    std::vector<std::string> twelve;
    for (int i = 1; i <= 12; ++i)
        twelve.push_back(std::string("Skan1") + (i < 10 ? "0" : "") + std::to_string(i) + ".png");
    for (const Case& c : {
             Case{"1 × 12", "BaseFile=1\r\nRepeatCount=12\r\n", twelve},
             Case{"case of the keys", "basefile=2\r\nrepeatcount=1\r\n", {"Skan201.png"}},
             Case{"count 0", "BaseFile=1\r\nRepeatCount=0\r\n", {}},
             Case{"count not a number", "BaseFile=1\r\nRepeatCount=12a\r\n", {}},
             Case{"negative count", "BaseFile=1\r\nRepeatCount=-3\r\n", {}},
             Case{"missing base scan", "BaseFile=7\r\nRepeatCount=2\r\n", {}},
             Case{"no keys", "", {}},
             Case{"base outside the folder", "BaseFile=1/../../x\r\nRepeatCount=2\r\n", {}},
         }) {
        TempDir dir;
        const fs::path folder = dir.Path() / "QuorlenDemo";
        const std::string archive = DemoRecord(Project(c.keys)) + DemoRecord("first") + DemoRecord("second");
        InstallDemoArchive(Archive(dir, archive), folder.string());
        std::set<std::string> expected = {"Demo.spf", "Skan1.png", "Skan2.png"};
        for (const std::string& copy : c.copies) {
            expected.insert(copy);
            EXPECT_EQ(ReadFileBytes((folder / copy).string()), copy.rfind("Skan2", 0) == 0 ? "second" : "first");
        }
        EXPECT_EQ(FolderNames(folder), expected) << c.name;
    }

    TempDir dir;
    const std::string archive = DemoRecord(Project("BaseFile=1\r\nRepeatCount=1001\r\n")) + DemoRecord("first");
    EXPECT_THROW(InstallDemoArchive(Archive(dir, archive), dir.File("demo")), std::runtime_error);
}

TEST(DemoUnpacking, ScanFolderPointsAtTheDemoFolderAndOtherLinesStay) {
    struct Case {
        const char* name;
        std::string project;
        std::string expected;  // with FOLDER for the demo folder
    };
    for (const Case& c : {
             Case{"appended", "Nazwa=Demo\r\nBaseFile=1", "Nazwa=Demo\r\nBaseFile=1\r\nSkanFolder=FOLDER\r\n"},
             Case{"replaced in place", "Nazwa=Demo\nskanfolder=C:\\Stary\nSkanFolder=x\n",
                  "Nazwa=Demo\r\nSkanFolder=FOLDER\r\nSkanFolder=x\r\n"},
         }) {
        TempDir dir;
        const fs::path folder = dir.Path() / "Przykładowe dokumenty" / "QuorlenDemo";
        InstallDemoArchive(Archive(dir, DemoRecord(c.project)), folder.string());
        std::string expected = c.expected;
        expected.replace(expected.find("FOLDER"), 6, folder.string());
        EXPECT_EQ(ReadTextFile((folder / "Demo.spf").string()), expected) << c.name;
        const TProjectSettings read = ReadProjectFile((folder / "Demo.spf").string(), TProjectSettings{});
        EXPECT_EQ(read.ScanFolder, folder.string()) << c.name;
    }
    TempDir dir;
    EXPECT_THROW(InstallDemoArchive(Archive(dir, ""), dir.File("demo")), std::runtime_error);  // no Demo.spf
}

TEST(DemoPacking, FolderRoundTripsInNaturalOrder) {
    TempDir dir;
    const fs::path source = dir.Path() / "zrodlo";
    fs::create_directories(source / "podfolder.png");
    WriteFileBytes((source / "Demo.spf").string(), Project("BaseFile=1\r\nRepeatCount=0\r\n"));
    for (int i = 12; i >= 1; --i)
        WriteFileBytes((source / DemoScanName(std::to_string(i))).string(), "scan" + std::to_string(i));
    WriteFileBytes((source / "opis.txt").string(), "not packed");

    std::vector<std::string> names;
    for (const std::string& m : DemoArchiveMembers(source.string())) names.push_back(fs::path(m).filename().string());
    ASSERT_EQ(names.size(), 13u);
    EXPECT_EQ(names[0], "Demo.spf");
    EXPECT_EQ(names[2], "Skan2.png");
    EXPECT_EQ(names[12], "Skan12.png");

    const std::string archive = dir.File("out.demo");
    PackDemoArchive(source.string(), archive);
    const std::string first = ReadFileBytes(archive);
    PackDemoArchive(source.string(), archive);
    EXPECT_EQ(ReadFileBytes(archive), first);  // reproducible

    const fs::path target = dir.Path() / "cel";
    EXPECT_EQ(UnpackDemoArchive(archive, target.string()).Scans, 12);
    for (const std::string& name : names)
        EXPECT_EQ(ReadFileBytes((target / name).string()), ReadFileBytes((source / name).string())) << name;
    EXPECT_EQ(FolderNames(target).size(), 13u);

    fs::remove(source / "Demo.spf");
    EXPECT_THROW(PackDemoArchive(source.string(), archive), std::runtime_error);
    EXPECT_EQ(ReadFileBytes(archive), first);
}

TEST(DemoPacking, CliMakesPacksAndRefusesBadFolders) {
    using quorlen::testing::RunCommand;
    TempDir dir;
    const std::string cli = QUORLEN_CLI_PATH;
    const fs::path source = dir.Path() / "demo";
    const std::string archive = dir.File("out/quorlen.demo");
    ASSERT_EQ(RunCommand(cli + " make-demo --scans 3 --copies 2 --folder '" + source.string() + "' 2>&1"), 0);
    ASSERT_EQ(RunCommand(cli + " pack-demo '" + source.string() + "' --out '" + archive + "' 2>&1"), 0);

    const fs::path target = dir.Path() / "unpacked";
    const TDemoUnpacked got = UnpackDemoArchive(archive, target.string());
    EXPECT_EQ(got.Scans, 3);
    EXPECT_EQ(got.BaseFile, "1");
    EXPECT_EQ(got.RepeatCount, 2);
    EXPECT_EQ(FolderNames(target), FolderNames(source));
    for (const std::string& name : FolderNames(source))
        EXPECT_EQ(ReadFileBytes((target / name).string()), ReadFileBytes((source / name).string())) << name;

    struct Case {
        const char* name;
        std::string arguments;
        int status;
    };
    fs::remove(source / "Demo.spf");
    for (const Case& c : {
             Case{"no folder", "", 2},
             Case{"two folders", "a b", 2},
             Case{"not a folder", "'" + archive + "'", 2},
             Case{"no Demo.spf", "'" + source.string() + "' --out '" + dir.File("x.demo") + "'", 1},
         }) {
        EXPECT_EQ(RunCommand(cli + " pack-demo " + c.arguments + " 2>/dev/null"), c.status) << c.name;
    }
    EXPECT_FALSE(fs::exists(dir.File("x.demo")));
}

// A crafted archive wrote gigabytes from a small file, exhausted the inodes
// with empty records, left its files behind when it failed, and wrote through
// a link planted under a scan's name. Each is refused before the first file,
// or undone, and links are replaced instead of followed.
TEST(DemoUnpacking, HostileArchivesAreBoundedBeforeWritingAndUndoneOnFailure) {
    const std::string megabyte(1024 * 1024, 'p');
    std::string emptyRecords = DemoRecord(Project());
    for (int i = 0; i < 50000; ++i) emptyRecords += DemoRecord("");
    struct Case {
        const char* Name;
        std::string Archive;
        const char* Says;
    };
    const Case cases[] = {
        {"50,000 empty records", emptyRecords, "więcej niż 10000 plików"},
        {"1000 copies of 3 MB",
         DemoRecord(Project("BaseFile=1\r\nRepeatCount=1000\r\n")) + DemoRecord(megabyte + megabyte + megabyte),
         "lub 2 GB"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const fs::path folder = dir.Path() / "demo";
        try {
            InstallDemoArchive(Archive(dir, c.Archive), folder.string());
            ADD_FAILURE() << c.Name << " was unpacked";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(c.Says), std::string::npos) << e.what();
        }
        EXPECT_EQ(FolderNames(folder), std::set<std::string>{}) << c.Name;
    }

    // A write that fails half way (a folder stands where Skan3.png goes)
    // takes the files written before it away again.
    TempDir dir;
    const fs::path folder = dir.Path() / "demo";
    fs::create_directories(folder / "Skan3.png");
    const std::string archive = DemoRecord(Project()) + DemoRecord("a") + DemoRecord("b") + DemoRecord("c");
    EXPECT_THROW(InstallDemoArchive(Archive(dir, archive), folder.string()), std::runtime_error);
    EXPECT_EQ(FolderNames(folder), std::set<std::string>{"Skan3.png"});
}

TEST(DemoUnpacking, LinksPlantedInTheFolderAreReplacedNotWrittenThrough) {
    TempDir dir;
    const fs::path folder = dir.Path() / "demo";
    fs::create_directories(folder);
    WriteFileBytes(dir.File("victim"), "precious");
    WriteFileBytes(dir.File("victim2"), "precious too");
    fs::create_symlink(dir.File("victim"), folder / "Skan1.png");
    fs::create_symlink(dir.File("victim2"), folder / "Skan101.png");
    fs::create_symlink(dir.File("victim"), folder / "Demo.spf");
    const std::string archive = DemoRecord(Project("BaseFile=1\r\nRepeatCount=2\r\n")) + DemoRecord("scan");
    InstallDemoArchive(Archive(dir, archive), folder.string());
    EXPECT_EQ(ReadFileBytes(dir.File("victim")), "precious");
    EXPECT_EQ(ReadFileBytes(dir.File("victim2")), "precious too");
    for (const char* name : {"Demo.spf", "Skan1.png", "Skan101.png", "Skan102.png"}) {
        EXPECT_FALSE(fs::is_symlink(folder / name)) << name;
        EXPECT_TRUE(fs::is_regular_file(folder / name)) << name;
    }
    EXPECT_EQ(ReadFileBytes((folder / "Skan101.png").string()), "scan");
}
