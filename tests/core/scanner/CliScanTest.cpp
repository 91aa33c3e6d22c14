// quorlen-cli scan as a shell runs it, on SANE's virtual backends.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/common/Json.h"
#include "support/SaneTestConfig.h"

using quorlen::Json;
using quorlen::ParseJson;
using quorlen::testing::ReadFileBytes;
using quorlen::testing::RunCommand;
using quorlen::testing::TempDir;
using quorlen::testing::TSaneTestConfig;

namespace {

struct TRun {
    int Exit = -1;
    std::string Out, Err;
};

// The command with its standard error kept apart. The test backend leaks a
// buffer per feeder page, which a sanitized build would report at exit.
TRun Scan(const TSaneTestConfig& sane, const TempDir& work, const std::string& arguments) {
    TRun run;
    const std::string err = work.File("stderr.txt");
    run.Exit = RunCommand(
        sane.Environment() + "ASAN_OPTIONS=detect_leaks=0 " + QUORLEN_CLI_PATH + " scan " + arguments + " 2>" + err,
        &run.Out);
    run.Err = ReadFileBytes(err);
    return run;
}

size_t Lines(const std::string& text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

size_t FilesIn(const std::string& folder) { return quorlen::testing::FileNames(folder).size(); }

}  // namespace

TEST(CliScan, ListsTheScannersOrSaysThereIsNone) {
    TSaneTestConfig sane;
    TempDir work;
    const TRun list = Scan(sane, work, "--list");
    EXPECT_EQ(list.Exit, 0) << list.Err;
    EXPECT_NE(list.Out.find("test:0\tNoname frontend-tester\tvirtual device\n"), std::string::npos) << list.Out;
    EXPECT_EQ(Lines(list.Out), 4u);

    quorlen::testing::WriteFileBytes(sane.Dir() + "/dll.conf", "");
    const TRun none = Scan(sane, work, "--list");
    EXPECT_EQ(none.Exit, 1);
    EXPECT_EQ(none.Err, "Nie znaleziono skanera.\n");
}

TEST(CliScan, AFeederBatchPrintsEachPageAsItLands) {
    TSaneTestConfig sane;
    TempDir work;
    const std::string out = work.File("skany");
    const TRun run = Scan(sane, work,
                          "--device test:0 --source ADF --resolution 150 --mode Gray --option "
                          "'test-picture=Color pattern' --option=read-limit --option read-limit-size=5000 --out " +
                              out);
    EXPECT_EQ(run.Exit, 0) << run.Err;
    EXPECT_EQ(run.Err, "Zeskanowano 10 stron.\n");
    EXPECT_EQ(Lines(run.Out), 10u);
    EXPECT_EQ(FilesIn(out), 10u) << "the folder is made when missing";
    EXPECT_EQ(run.Out.rfind(out + "/Skan_", 0), 0u) << run.Out;
}

TEST(CliScan, FailuresExitWithTheirMessage) {
    TSaneTestConfig sane;
    const struct {
        const char* Arguments;
        int Exit;
        const char* Says;
    } cases[] = {
        {"--device nosuch:0", 1, "quorlen-cli scan: Nie znaleziono skanera „nosuch:0”.\n"},
        {"--device test:0 --option read-return-value=SANE_STATUS_COVER_OPEN", 1,
         "quorlen-cli scan: Pokrywa skanera jest otwarta. Zamknij ją i spróbuj ponownie.\n"},
        {"--device test:0 --mode Sepia", 1, "nie oferuje trybu „Sepia”"},
        {"--device test:0 --option 'test-picture=plaid'", 1, "Zła wartość opcji „test-picture”: „plaid”"},
        {"", 2, "missing option --device"},
        {"--device test:0 --resolution 0", 2, "--resolution must be a whole number from 1 to 19200"},
        {"--device test:0 --option =1", 2, "--option needs NAME=VALUE"},
        {"--device test:0 --colour", 2, "unknown option --colour"},
        {"--device test:0 extra", 2, "unexpected argument 'extra'"},
    };
    for (const auto& c : cases) {
        TempDir work;
        const TRun run = Scan(sane, work, std::string(c.Arguments) + " --out " + work.File("skany"));
        EXPECT_EQ(run.Exit, c.Exit) << c.Arguments << ": " << run.Err;
        EXPECT_NE(run.Err.find(c.Says), std::string::npos) << c.Arguments << ": " << run.Err;
        EXPECT_EQ(FilesIn(work.File("skany")), 0u) << c.Arguments;
    }
}

TEST(CliScan, CtrlCStopsTheScannerAndKeepsThePagesSaved) {
    TSaneTestConfig sane;
    TempDir work;
    const std::string out = work.File("skany");
    // Each page pauses 0.2 s per 32 KB; the interrupt comes after about two pages.
    TRun run;
    run.Exit = RunCommand(sane.Environment() + "ASAN_OPTIONS=detect_leaks=0 timeout --preserve-status -s INT 1.5 " +
                              QUORLEN_CLI_PATH +
                              " scan --device test:0 --option read-delay=yes --option read-delay-duration=200000 "
                              "--out " +
                              out + " 2>" + work.File("err"),
                          &run.Out);
    run.Err = ReadFileBytes(work.File("err"));
    EXPECT_EQ(run.Exit, 1) << run.Err;
    EXPECT_EQ(run.Err.rfind("Skanowanie przerwane. Zeskanowano ", 0), 0u) << run.Err;
    EXPECT_LT(Lines(run.Out), 10u);
    EXPECT_EQ(FilesIn(out), Lines(run.Out)) << "every page printed is there, and nothing else";
}

TEST(CliScan, AnalyzeReadsTheFolderOnceTheBatchHasEnded) {
    TSaneTestConfig sane;
    TempDir work;
    ASSERT_EQ(RunCommand(std::string(QUORLEN_CLI_PATH) + " simulate --questions 10 --answers 4 --count 1 --codes 815 " +
                         "--seed 4 --format png --out " + work.File("sheets") + " >/dev/null"),
              0);
    const Json truth = *ParseJson(ReadFileBytes(work.File("sheets/truth.json")));
    const quorlen::testing::TImage sheet = quorlen::testing::ReadPngImage(work.File("sheets/scan0001.png"));
    quorlen::testing::WritePgm(work.File("sheet.pgm"), sheet.Width, sheet.Height, sheet.Samples);

    const TRun run =
        Scan(sane, work,
             "--device pnm:0 --option filename=" + work.File("sheet.pgm") + " --out " + work.File("skany") +
                 " --analyze --questions 10 --answers 4 --out " + work.File("wyniki.json") + " --pause-us 0");
    ASSERT_EQ(run.Exit, 0) << run.Err;
    const Json results = *ParseJson(ReadFileBytes(work.File("wyniki.json")));
    ASSERT_EQ(results["Lista"].size(), 1u) << results.dump();
    EXPECT_EQ(results["Lista"][0]["Student"], "815");
    EXPECT_EQ(results["Lista"][0]["Wyniki"], truth["Files"][0]["Answers"]);
}
