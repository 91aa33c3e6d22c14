#include <cstdio>
#include <filesystem>
#include <iostream>

#include "cli/Command.h"
#include "core/common/Json.h"
#include "testing/ScoreReading.h"

namespace quorlen::cli {
namespace {

int RunCheckTruth(const Args& args) {
    args.RejectUnknown({"level", "faults"});
    if (args.Positional().size() != 1) throw UsageError("give exactly one folder made by simulate");
    const std::string dir = args.Positional()[0];
    const std::optional<Json> truth = ParseJsonFile((std::filesystem::path(dir) / "truth.json").string());
    if (!truth || !truth->contains("Files")) {
        std::cerr << "quorlen-cli check-truth: " << dir << "/truth.json is missing or not a simulator's truth\n";
        return ExitFailure;
    }
    const sim::TReadingScore s = sim::ScoreReading(dir, *truth, args.Int("level", 44, 5, 100));
    if (args.Has("faults"))
        for (const std::string& f : s.Faults) std::cout << f << "\n";
    std::printf("sheets %d, whole %d; answers %d of %d right (%.2f %%); codes %d right, %d missing, %d wrong\n",
                s.Sheets, s.SheetsWhole, s.AnswersRight, s.Questions,
                s.Questions ? 100.0 * s.AnswersRight / s.Questions : 0.0, s.CodesRight, s.CodesMissing, s.CodesWrong);
    return ExitOk;
}

const Registrar registrar({
    "check-truth",
    "read a folder made by simulate and compare it with its truth.json",
    "Usage: quorlen-cli check-truth DIR [--level L] [--faults]\n\n"
    "Reads every scan that DIR/truth.json names, without an operator, and prints\n"
    "how many sheets read whole, how many answers are exactly the marked letters\n"
    "(a blank question is right when nothing was found) and how many codes were\n"
    "right, missing (the sheet goes to Pominiete) or wrong (the sheet would be\n"
    "given to another student).\n\n"
    "Options:\n"
    "  --level L    black level in percent (default 44, the desktop's default)\n"
    "  --faults     list every wrong answer and code first\n",
    RunCheckTruth,
    {"faults"},
});

}  // namespace
}  // namespace quorlen::cli
