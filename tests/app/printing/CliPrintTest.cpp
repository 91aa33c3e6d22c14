#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "PrintTestSupport.h"
#include "core/project/ProjectFile.h"
#include "support/TestSupport.h"

using namespace quorlen;
using namespace quorlen::printtest;
using quorlen::testing::RunCommand;
using quorlen::testing::TempDir;
using quorlen::testing::WriteFileBytes;

namespace {

// Runs quorlen-cli print without a display, as on a build server.
int Cli(const std::string& arguments, std::string* out = nullptr, std::string* err = nullptr) {
    TempDir dir("cli");
    const std::string errFile = dir.File("stderr");
    const int status = RunCommand("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                                      std::string(QUORLEN_CLI_PATH) + " print " + arguments + " 2>" + errFile,
                                  out);
    if (err) *err = quorlen::testing::ReadFileBytes(errFile);
    return status;
}

}  // namespace

TEST(CliPrint, PrintsCodedSheetsToAPdfAndSaysHowMany) {
    TempDir dir("cli");
    const std::string pdf = dir.File("out.pdf");
    std::string out, err;
    ASSERT_EQ(Cli("--questions 30 --answers 4 --name 'Próba' --count 3 --start-from 998 --pdf " + pdf, &out, &err), 0)
        << err;
    EXPECT_EQ(out, "3\n");
    // Not a terminal: no progress bar in the output.
    EXPECT_EQ(err.find("print ["), std::string::npos) << err;
    EXPECT_EQ(PdfPageCount(pdf), 3);
    EXPECT_EQ(PdfTitle(pdf), "Brenvik Analizator arkuszy odpowiedzi");
    EXPECT_EQ(ReadCodes(pdf), (std::vector<std::string>{"998", "999", "1000"}));
}

TEST(CliPrint, TakesTheShapeFromAProjectFileAndCodesFromAFile) {
    TempDir dir("cli");
    TProjectSettings project;
    project.ProjectName = "Egzamin";
    project.QuestionCount = 200;
    project.AnswerCount = 16;
    WriteProjectFile(dir.File("egzamin.spf"), project);
    WriteFileBytes(dir.File("kody.txt"), "12\r\n\r\nabc\r\n");
    const std::string pdf = dir.File("out.pdf");
    std::string out, err;
    ASSERT_EQ(Cli("--project " + dir.File("egzamin.spf") + " --codes-file " + dir.File("kody.txt") + " --pdf " + pdf,
                  &out, &err),
              0)
        << err;
    EXPECT_EQ(out, "3\n");
    EXPECT_EQ(PdfPageCount(pdf), 6);  // two printer pages a sheet
}

TEST(CliPrint, ZeroSheetsWriteNothing) {
    TempDir dir("cli");
    std::string out;
    ASSERT_EQ(Cli("--questions 5 --answers 2 --count 0 --pdf " + dir.File("none.pdf"), &out), 0);
    EXPECT_EQ(out, "0\n");
    EXPECT_FALSE(std::filesystem::exists(dir.File("none.pdf")));
}

TEST(CliPrint, BadInputFailsWithAReason) {
    TempDir dir("cli");
    const std::string pdf = " --pdf " + dir.File("x.pdf");
    struct Case {
        std::string Arguments;
        int Status;
        std::string Reason;
    };
    const std::vector<Case> cases = {
        {"--questions 5 --answers 2", 2, "exactly one of --pdf"},
        {"--questions 5 --answers 2 --printer Quorlen-PDF" + pdf, 2, "exactly one of --pdf"},
        {"--answers 2" + pdf, 2, "--questions"},
        {"--questions 201 --answers 2" + pdf, 2, "--questions must be"},
        {"--questions 5 --answers 17" + pdf, 2, "--answers must be"},
        {"--questions 5 --answers 2 --count -1" + pdf, 2, "--count must be"},
        {"--questions 5 --answers 2 --start-from x" + pdf, 2, "--start-from must be"},
        {"--questions 5 --answers 2 --start-from 9999999999 --count 2" + pdf, 2, "ten-digit"},
        {"--questions 5 --answers 2 --start-from 1 --codes-file k.txt" + pdf, 2, "at most one"},
        {"--project p.spf --questions 5" + pdf, 2, "not both"},
        {"--questions 5 --answers 2 --colour red" + pdf, 2, "unknown option --colour"},
        {"--questions 5 --answers 2 --codes-file " + dir.File("missing.txt") + pdf, 1, "missing.txt"},
        {"--project " + dir.File("missing.spf") + pdf, 1, "missing.spf"},
        {"--questions 5 --answers 2 --printer No-Such-Queue", 1, "no print queue named 'No-Such-Queue'"},
        {"--questions 5 --answers 2 --pdf " + dir.File("no-folder/x.pdf"), 1, "Nie można rozpocząć wydruku"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Arguments);
        std::string out, err;
        EXPECT_EQ(Cli(c.Arguments, &out, &err), c.Status);
        EXPECT_NE(err.find(c.Reason), std::string::npos) << err;
        EXPECT_EQ(out, "");
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("x.pdf")));
}

TEST(CliPrint, HelpNamesEveryOption) {
    std::string out;
    ASSERT_EQ(Cli("--help", &out), 0);
    for (const char* option : {"--project", "--questions", "--answers", "--name", "--count", "--codes-file",
                               "--start-from", "--pdf", "--printer"})
        EXPECT_NE(out.find(option), std::string::npos) << option;
}

TEST(CliPrint, ATerminalSeesTheProgress) {
    if (RunCommand("command -v script >/dev/null") != 0) GTEST_SKIP() << "no script(1) to give the command a terminal";
    TempDir dir("cli");
    std::string out;
    ASSERT_EQ(RunCommand("script -qec \"env -u DISPLAY " + std::string(QUORLEN_CLI_PATH) +
                             " print --questions 5 --answers 2 --count 3 --pdf " + dir.File("t.pdf") + "\" /dev/null",
                         &out),
              0);
    EXPECT_NE(out.find("1/3"), std::string::npos) << out;
    EXPECT_NE(out.find("3/3"), std::string::npos) << out;
    EXPECT_EQ(PdfPageCount(dir.File("t.pdf")), 3);
}

// A print into an existing PDF, killed half way, left a file without a
// trailer in its place, and a new target as 0 bytes; on a full disk the
// message blamed the printer. The document now takes the target's name only
// when whole.
TEST(CliPrint, AKilledPrintLeavesTheOldPdfAndANewTargetAbsent) {
    TempDir dir("cli");
    const std::string old = "%PDF-1.4 the old document\n%%EOF\n";
    WriteFileBytes(dir.File("old.pdf"), old);
    for (const char* name : {"old.pdf", "new.pdf"}) {
        // Killed as soon as its hidden temporary shows in the folder.
        const std::string script =
            "cd '" + dir.Path().string() + "' && (env -u DISPLAY -u WAYLAND_DISPLAY " QUORLEN_CLI_PATH
            " print --questions 50 --answers 5 --count 100000 --pdf " +
            name + " >/dev/null 2>&1 & echo $! >pid) && for i in $(seq 600); do ls -a | grep -q '^\\." + name +
            "\\.' && break; sleep 0.05; done; sleep 0.3; kill -9 $(cat pid); sleep 0.2";
        RunCommand(script);
    }
    EXPECT_EQ(quorlen::testing::ReadFileBytes(dir.File("old.pdf")), old);
    EXPECT_FALSE(std::filesystem::exists(dir.File("new.pdf")));
}

TEST(CliPrint, AFullDiskIsNamedAndReplacesNothing) {
    if (geteuid() != 0) GTEST_SKIP() << "mounting the small tmpfs needs root";
    TempDir dir("cli");
    const std::string mount = dir.File("small");
    std::filesystem::create_directory(mount);
    if (RunCommand("mount -t tmpfs -o size=256k tmpfs '" + mount + "' 2>/dev/null") != 0)
        GTEST_SKIP() << "no tmpfs may be mounted here";
    const std::string old = "%PDF-1.4 the old document\n%%EOF\n";
    WriteFileBytes(mount + "/old.pdf", old);
    for (const char* name : {"old.pdf", "new.pdf"}) {
        std::string err;
        EXPECT_EQ(Cli("--questions 50 --answers 5 --count 2000 --pdf " + mount + "/" + name, nullptr, &err), 1) << name;
        EXPECT_NE(err.find("Brak miejsca na dysku: nie można zapisać pliku PDF " + mount + "/" + name), std::string::npos)
            << err;
    }
    EXPECT_EQ(quorlen::testing::ReadFileBytes(mount + "/old.pdf"), old);
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(mount)) (void)e, ++files;
    EXPECT_EQ(files, 1);  // no new.pdf, no temporary left behind
    RunCommand("umount '" + mount + "'");
}
