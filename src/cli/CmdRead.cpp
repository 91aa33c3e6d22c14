#include <iostream>

#include "cli/Command.h"
#include "core/batch/Item.h"
#include "core/common/Json.h"
#include "core/project/DM.h"
#include "core/recognition/SkanItem.h"

namespace quorlen::cli {
namespace {

int RunRead(const Args& args) {
    args.RejectUnknown({"level", "questions", "no-check-empty"});
    if (args.Positional().size() != 1) throw UsageError("give exactly one scan file");
    const int level = args.Int("level", 44, 5, 100);
    const int questions = args.Int("questions", 0, 0, 200);
    DM().CheckEmpty = !args.Has("no-check-empty");

    TItem item;
    item.FileName = args.Positional()[0];
    TSkanItem job(item);
    job.Geometry.Level = level;
    job.ExpectedCount = questions;
    job.AnswerPause = {};
    job.Run();

    Json answers = Json::array();
    for (int i = 0; i < item.Answers.Count(); ++i)
        if (item.Answers.Name(i) != "Student") answers.push_back(item.Answers.ValueAt(i));
    Json out = {{"Status", job.Status},
                {"Message", job.Message},
                {"Code", item.Code},
                {"Answers", answers},
                {"Geometry",
                 {{"Left", job.Geometry.Left},
                  {"Top", job.Geometry.Top},
                  {"Right", job.Geometry.Right},
                  {"Bottom", job.Geometry.Bottom},
                  {"Angle", job.Geometry.Angle},
                  {"Level", job.Geometry.Level}}}};
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
