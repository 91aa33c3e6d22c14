#include <filesystem>
#include <iostream>
#include <memory>

#include "cli/Command.h"
#include "core/common/MonoPng.h"
#include "core/printing/RenderSheet.h"

namespace quorlen::cli {
namespace {

int RunRender(const Args& args) {
    args.RejectUnknown({"questions", "answers", "code", "name", "print-line1", "print-line2", "first", "out"});
    const int questions = args.Int("questions", -1, 3, 200);
    const int answers = args.Int("answers", -1, 2, 16);
    if (!args.Has("questions")) throw UsageError("missing option --questions");
    if (!args.Has("answers")) throw UsageError("missing option --answers");
    const std::string code = args.Get("code").value_or("");
    if (args.Has("code")) {
        bool digits = !code.empty() && code.size() <= 10;
        for (char c : code) digits = digits && c >= '0' && c <= '9';
        if (!digits) throw UsageError("--code must be 1 to 10 decimal digits, got '" + code + "'");
    }
    const int first = args.Int("first", 1, 1, questions);
    const std::string out = args.Require("out");

    const TPrintLines printLines{args.Get("print-line1").value_or(""), args.Get("print-line2").value_or("")};
    const std::string header = "Brenvik Quorlen\r" + args.Get("name").value_or("");

    std::unique_ptr<TMonoBitmap> second;
    TMonoBitmap page = RenderSheet(questions, answers, code, header, first, &second, printLines);
    std::filesystem::create_directories(out);
    const std::string page1 = (std::filesystem::path(out) / "page1.png").string();
    WriteMonoPng(page, page1);
    std::cout << page1 << "\n";
    if (second) {
        const std::string page2 = (std::filesystem::path(out) / "page2.png").string();
        WriteMonoPng(*second, page2);
        std::cout << page2 << "\n";
    }
    return ExitOk;
}

const Registrar registrar({
    "render",
    "draw one answer sheet into PNG files",
    "Usage: quorlen-cli render --questions Q --answers A [OPTIONS] --out DIR\n\n"
    "Draws one answer sheet as the printer would get it and writes DIR/page1.png\n"
    "and, when the questions need a continuation page, DIR/page2.png: one-bit\n"
    "PNG, 640 x 850 sheet pixels, black ink = 0. Prints the written paths.\n\n"
    "Options:\n"
    "  --questions Q        number of questions, 3..200 (required)\n"
    "  --answers A          answer boxes per question, 2..16 (required)\n"
    "  --code DIGITS        sheet code to pre-print, 1 to 10 decimal digits\n"
    "  --name TEXT          project name, the second header line\n"
    "  --print-line1 TEXT   third header line (default \".\")\n"
    "  --print-line2 TEXT   fourth header line (default \"Nazwa zestawu\" and dots)\n"
    "  --first F            number of the first question on the page (default 1)\n"
    "  --out DIR            output folder, created when missing (required)\n\n"
    "Exit codes: 0 done, 1 the files could not be written, 2 bad arguments.\n",
    RunRender,
    {},
});

}  // namespace
}  // namespace quorlen::cli
