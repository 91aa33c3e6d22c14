#include <iostream>

#include "cli/Command.h"
#include "core/common/Json.h"
#include "core/recognition/ReadScan.h"

namespace quorlen::cli {
namespace {

int RunRead(const Args& args) {
    args.RejectUnknown({"level", "questions", "no-check-empty"});
    if (args.Positional().size() != 1) throw UsageError("give exactly one scan file");
    const int level = args.Int("level", 44, 5, 100);
    const int questions = args.Int("questions", 0, 0, 200);
    TReadOptions options;
    options.CheckEmpty.Set(!args.Has("no-check-empty"));
    options.Level = level;
    options.ExpectedCount = questions;
    options.AnswerPause = {};
    const TScanResult r = ReadScan(args.Positional()[0], options);

    Json answers = Json::array();
    for (int i = 0; i < r.Answers.Count(); ++i) answers.push_back(r.Answers.ValueAt(i));
    const TScanGeometry& g = r.Geometry;
    Json out = {{"Status", static_cast<int>(r.Status)},
                {"Message", r.Message},
                {"Code", r.Code},
                {"Answers", answers},
                {"Geometry",
                 {{"Left", g.Left},
                  {"Top", g.Top},
                  {"Right", g.Right},
                  {"Bottom", g.Bottom},
                  {"Angle", g.Angle},
                  {"Level", g.Level}}}};
    std::cout << DumpJsonCompact(out) << "\n";
    return ExitOk;
}

const Registrar registrar({
    "read",
    "read one scan and print its code and answers as JSON",
    "Usage: quorlen-cli read FILE [--level L] [--questions N] [--no-check-empty]\n\n"
    "Runs one scan job without an operator: corners that are out of place and\n"
    "questions without exactly one mark are taken as read. Prints one JSON\n"
    "object: Status, Message, Code, Answers (the value of each question line,\n"
    "in order) and Geometry (Left, Top, Right, Bottom, Angle, Level).\n\n"
    "Options:\n"
    "  --level L          black level in percent, 5..100 (default 44)\n"
    "  --questions N      expected number of answers; a different count gives\n"
    "                     status 3 (default 0: not checked)\n"
    "  --no-check-empty   an unmarked question reads as a single space\n\n"
    "Exit codes: 0 the job ran (its outcome is in Status), 2 bad arguments.\n",
    RunRead,
    {"no-check-empty"},
});

}  // namespace
}  // namespace quorlen::cli
