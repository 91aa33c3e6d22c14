#include <chrono>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <thread>

#include "cli/Command.h"
#include "cli/ResultsOutput.h"
#include "core/batch/BatchRun.h"
#include "core/batch/LoopHost.h"
#include "core/common/AtomicFile.h"
#include "core/common/Json.h"
#include "core/project/ProjectFile.h"
#include "core/results/MergeResults.h"
#include "core/scoring/Scoring.h"

namespace quorlen::cli {
namespace {

int HardwareThreads() { return std::max(1, static_cast<int>(std::thread::hardware_concurrency())); }

int RunAnalyze(const Args& args) {
    args.RejectUnknown({"project", "questions", "answers", "multi", "no-check-empty", "level", "same", "threads", "out",
                        "pause-us", "key", "shard", "raster-budget"});
    if (args.Positional().size() != 1) throw UsageError("give exactly one scan folder");
    // A mistyped folder is not a folder without scans: say which it is.
    if (std::error_code ec; !std::filesystem::is_directory(args.Positional()[0], ec))
        throw UsageError(
            "the scan folder '" + args.Positional()[0] +
            (std::filesystem::exists(args.Positional()[0], ec) ? "' is not a folder" : "' does not exist"));
    std::setlocale(LC_TIME, "");

    TProjectSettings project;
    if (auto file = args.Get("project")) {
        try {
            project = ReadProjectFile(*file, project);
        } catch (const std::exception& e) {
            std::cerr << "quorlen-cli analyze: " << e.what() << "\n";
            return ExitFailure;
        }
    }
    project.ScanFolder = args.Positional()[0];
    project.QuestionCount = args.Int("questions", project.QuestionCount, 3, 200);
    project.AnswerCount = args.Int("answers", project.AnswerCount, 2, 16);
    if (args.Has("multi")) project.MultipleChoice = true;
    if (args.Has("no-check-empty")) project.CheckEmpty = false;
    project.BlackLevel = args.Int("level", project.BlackLevel, 5, 100);
    if (args.Has("same")) project.AllScansAlike = true;
    const int cpus = HardwareThreads();
    const int threads = args.Int("threads", DefaultMaxWorkers(cpus), 1, 98);
    std::optional<TShard> shard;
    if (auto text = args.Get("shard"))
        if (!(shard = ParseShard(*text))) throw UsageError("--shard must be K/N with 1 <= K <= N");
    // A bad key is reported before any scan is read.
    std::optional<TAnswerKey> key;
    if (auto keyFile = args.Get("key")) {
        try {
            key = ReadAnswerKeyFile(*keyFile);
            CheckKeyFits(*key, project.QuestionCount, project.AnswerCount);
        } catch (const TKeyError& e) {
            std::cerr << "quorlen-cli analyze: " << e.what() << "\n";
            return ExitFailure;
        }
    }

    // Nor should a results file that cannot be written wait for every scan.
    if (auto out = args.Get("out")) {
        try {
            CheckFileWritable(*out);
        } catch (const std::exception& e) {
            std::cerr << "quorlen-cli analyze: " << e.what() << "\n";
            return ExitFailure;
        }
    }

    TLoopHost host;
    TBatchRun run(host);
    run.MaxWorkers = threads;
    run.CpuCount = cpus;
    run.AnswerPause = std::chrono::microseconds(args.Int("pause-us", 1000, 0, 1000000));
    if (shard) run.Shard = *shard;
    if (args.Get("raster-budget"))
        run.RasterBudget.SetCapacity(static_cast<uint64_t>(args.Int("raster-budget", 0, 1, 1 << 20)) << 20);
    bool noFiles = false;
    run.Owner.NoScanFiles = [&] { noFiles = true; };

    int finished = 0;
    const auto started = std::chrono::steady_clock::now();
    auto showProgress = [&] {
        const int total = static_cast<int>(run.Items.size());
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        const double rate = seconds > 0 ? finished / seconds : 0;
        const double left = rate > 0 ? (total - finished) / rate : 0;
        char label[96];
        std::snprintf(label, sizeof label, "analyze %.1f scans/s, %.0f s left", rate, left);
        ShowProgress(label, finished, total);
    };
    host.SetHandler([&](const TBatchMessage& m) {
        if (m.Message == WM_SCANFINISHED) {
            finished += m.LParam >= 0 ? 1 : 0;
            showProgress();
        }
        run.HandleMessage(m);
    });

    const TRunSettings settings = FromProject(project);
    Json document;
    if (run.StartRun(settings)) {
        finished = 1;
        host.Run([&] { return !run.Running; });
        finished = static_cast<int>(run.Items.size());
        showProgress();
        document = run.Results.Snapshot();
    } else if (shard && run.FolderScanCount > 0) {
        // A part with no file of a folder that has some still answers, so that
        // the merge can tell it from a part that never ran.
        document = TResultsDocument(TRunDescription{settings.ProjectName, settings.QuestionCount, settings.AnswerCount,
                                                    settings.MultiChoice, settings.ScanFolder})
                       .Snapshot();
    } else {
        if (noFiles) std::cerr << "Brak plików ze skanera w podanym folderze.\n";
        return ExitFailure;
    }
    if (key) ScoreDocument(document, *key);
    if (shard) RecordShard(document, *shard, run.FolderScanCount);
    OutputResults(args.Get("out"), document);
    return ExitOk;
}

const Registrar registrar({
    "analyze",
    "read a whole scan folder on every core and print the results",
    "Usage: quorlen-cli analyze FOLDER [OPTIONS]\n\n"
    "Reads every .jpg, .jpeg, .bmp and .png file of FOLDER, and every page of its\n"
    ".pdf, .tif and .tiff files (a scan each, named FILE#PAGE: skany.pdf#3), as\n"
    "the desktop program does: the first scan on the main thread, the rest on\n"
    "worker threads pinned to the processors, without an operator (misplaced\n"
    "corners and unclear answers are taken as read). Prints the results\n"
    "document, or writes it as a results file. Options override the project\n"
    "file.\n\n"
    "Options:\n"
    "  --project FILE.spf    project file with the settings\n"
    "  --questions Q         number of questions, 3..200 (default 50)\n"
    "  --answers A           answer boxes per question, 2..16 (default 5)\n"
    "  --multi               multiple choice\n"
    "  --no-check-empty      an unmarked question reads as a single space\n"
    "  --level L             black level in percent, 5..100 (default 44)\n"
    "  --same                all scans come from one feeder batch: later scans\n"
    "                        start from the first scan's geometry\n"
    "  --threads N           worker threads, 1..98 (default 48 per processor)\n"
    "  --out FILE            write the results file instead of printing\n"
    "  --pause-us U          pause per answer read in microseconds (default 1000)\n"
    "  --key FILE            score every sheet with this answer key (*.klucz.json)\n"
    "  --shard K/N           read only part K of N of the folder (split by a hash\n"
    "                        of each scan's name, a page's with its #PAGE);\n"
    "                        merge the parts' documents with\n"
    "                        quorlen-cli merge\n"
    "  --raster-budget MB    memory all scans being read may hold in rasters at\n"
    "                        once (default a quarter of the machine's memory)\n\n"
    "Exit codes: 0 done, 1 no scan files, a bad answer key, or a file could not\n"
    "be read or written, 2 bad arguments or a scan folder that does not exist.\n",
    RunAnalyze,
    {"multi", "no-check-empty", "same"},
});

}  // namespace
}  // namespace quorlen::cli
