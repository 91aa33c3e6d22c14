#include <iostream>

#include "cli/Command.h"
#include "testing/SimulateSheets.h"

namespace quorlen::cli {
namespace {

int RunSimulate(const Args& args) {
    args.RejectUnknown({"questions",  "answers",    "multi",       "count",  "out",    "seed",         "dpi",
                        "rotate-max", "noise",      "blur",        "border", "format", "jpeg-quality", "codes",
                        "no-codes",   "blank-rate", "double-rate", "preset", "ink",    "lighting"});
    sim::TBatchOptions o;
    if (auto preset = args.Get("preset"))
        if (!sim::ApplyPreset(*preset, o)) throw UsageError("--preset must be clean, office or rough");
    if (!args.Has("questions") || !args.Has("answers")) throw UsageError("--questions and --answers are required");
    o.Questions = args.Int("questions", 50, 3, 200);
    o.Answers = args.Int("answers", 5, 2, 16);
    o.Multi = args.Has("multi");
    o.Count = args.Int("count", 10, 1, 100000);
    o.OutDir = args.Require("out");
    o.Seed = static_cast<uint32_t>(args.Int("seed", 1, 0, 2147483647));
    o.Dpi = args.Int("dpi", 200, 150, 300);
    if (o.Dpi != 150 && o.Dpi != 200 && o.Dpi != 300) throw UsageError("--dpi must be 150, 200 or 300");
    o.RotateMax = args.Double("rotate-max", o.RotateMax, 0, 5);
    o.Noise = args.Double("noise", o.Noise, 0, 1);
    o.Blur = o.Blur || args.Has("blur");
    o.Border = o.Border || args.Has("border");
    if (auto f = args.Get("format"))
        if (!sim::ParseFormat(*f, o.Format)) throw UsageError("--format must be png, jpg, jpg-colour, bmp or bmp1");
    o.JpegQuality = args.Int("jpeg-quality", o.JpegQuality, 10, 100);
    if (args.Has("no-codes") && args.Has("codes")) throw UsageError("--codes and --no-codes exclude each other");
    o.Codes = !args.Has("no-codes");
    if (auto from = args.Get("codes")) {
        if (from->empty() || from->size() > 10 || from->find_first_not_of("0123456789") != std::string::npos)
            throw UsageError("--codes must be a number of 1 to 10 digits");
        o.CodesFrom = std::stoull(*from);
    }
    if (o.Codes && std::to_string(o.CodesFrom + static_cast<uint64_t>(o.Count) - 1).size() > 10)
        throw UsageError("the codes would pass ten digits");
    if (auto ink = args.Get("ink"))
        if (!sim::ParseInk(*ink, o.Ink)) throw UsageError("--ink must be pen, hb or light");
    o.Lighting = args.Double("lighting", o.Lighting, 0, 1);
    o.BlankRate = args.Double("blank-rate", o.BlankRate, 0, 1);
    o.DoubleRate = args.Double("double-rate", o.DoubleRate, 0, 1);

    sim::SimulateBatch(o, [](int done, int total) { ShowProgress("simulate", done, total); });
    std::cout << o.OutDir << "/truth.json\n";
    return ExitOk;
}

const Registrar registrar({
    "simulate",
    "make filled-in, scanned answer sheets for testing",
    "Usage: quorlen-cli simulate --questions Q --answers A --count N --out DIR [OPTIONS]\n\n"
    "Renders answer sheets, fills answer boxes with pen or pencil marks (solid,\n"
    "scribble, cross, partial fill), places each page on an A4 scan with printer\n"
    "margins, turns and shifts it a little and saves it. A continuation page is\n"
    "its own file (NAME-2). DIR/truth.json lists per file the code, the first\n"
    "question, the marked letters of every question and the placement.\n\n"
    "Options:\n"
    "  --questions Q        questions, 3..200 (required)\n"
    "  --answers A          answer boxes per question, 2..16 (required)\n"
    "  --multi              several marks per question are allowed\n"
    "  --count N            number of sheets (default 10)\n"
    "  --out DIR            output folder (required)\n"
    "  --seed S             random seed; the same seed gives the same files\n"
    "  --dpi 150|200|300    scan resolution (default 200)\n"
    "  --rotate-max DEG     largest turn of a sheet, either way (default 0.5)\n"
    "  --noise LEVEL        0..1: grey-level jitter; above 0.5 also dust specks\n"
    "  --blur               soften the picture as a cheap scanner does\n"
    "  --border             dark scanner border along the edges\n"
    "  --ink I              what the marks are made with: pen (default), hb\n"
    "                       (HB pencil) or light (a light pencil hand)\n"
    "  --lighting L         0..1: dimmer paper, light falling off across the\n"
    "                       page, a spine shadow along the left edge\n"
    "  --format F           png, jpg, jpg-colour, bmp (24-bit) or bmp1 (1-bit)\n"
    "  --jpeg-quality Q     10..100 (default 90)\n"
    "  --codes FROM         pre-printed codes FROM, FROM+1, ... (default 1)\n"
    "  --no-codes           sheets without a code\n"
    "  --blank-rate R       share of questions left blank (default 0)\n"
    "  --double-rate R      share of questions with two marks (default 0)\n"
    "  --preset P           clean (0.3 deg), office (1 deg, jitter, blur,\n"
    "                       lighting 0.25) or rough (1.5 deg, specks, blur,\n"
    "                       border, lighting 0.6, some blank and double marks);\n"
    "                       the other options still apply over it\n",
    RunSimulate,
    {"multi", "blur", "border", "no-codes"},
});

}  // namespace
}  // namespace quorlen::cli
