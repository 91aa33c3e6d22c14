#include <unistd.h>

#include <QGuiApplication>
#include <QPrinter>
#include <QPrinterInfo>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>

#include "app/printing/PrintJob.h"
#include "cli/Command.h"
#include "core/printing/CodesList.h"
#include "core/project/ProjectFile.h"

namespace quorlen::cli {
namespace {

// The desktop program's caption, which names its print documents too.
const char* const DocumentTitle = "Brenvik Analizator arkuszy odpowiedzi";
constexpr long long MaxCode = 9999999999LL;

long long ParseWhole(const std::string& name, const std::string& text, long long lo, long long hi) {
    size_t used = 0;
    long long value = 0;
    try {
        value = std::stoll(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size() || value < lo || value > hi)
        throw UsageError("--" + name + " must be a whole number from " + std::to_string(lo) + " to " +
                         std::to_string(hi) + ", got '" + text + "'");
    return value;
}

TProjectSettings ProjectFromArgs(const Args& args) {
    TProjectSettings project;
    if (auto file = args.Get("project")) {
        if (args.Has("questions") || args.Has("answers") || args.Has("name"))
            throw UsageError("give either --project or --questions/--answers/--name, not both");
        project = ReadProjectFile(*file, project);
        return project;
    }
    if (!args.Has("questions") || !args.Has("answers"))
        throw UsageError("give --project FILE or both --questions and --answers");
    project.QuestionCount = args.Int("questions", -1, TProjectSettings::MinQuestions, TProjectSettings::MaxQuestions);
    project.AnswerCount = args.Int("answers", -1, TProjectSettings::MinAnswers, TProjectSettings::MaxAnswers);
    project.ProjectName = args.Get("name").value_or("");
    return project;
}

// QPrinter needs a GUI application; a terminal without a display gets Qt's
// offscreen platform, which prints just the same.
std::unique_ptr<QGuiApplication> StartQt() {
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "quorlen-cli";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

int RunPrint(const Args& args) {
    args.RejectUnknown(
        {"project", "questions", "answers", "name", "count", "codes-file", "start-from", "pdf", "printer"});
    if (!args.Positional().empty()) throw UsageError("unexpected argument '" + args.Positional()[0] + "'");
    if (args.Has("pdf") == args.Has("printer")) throw UsageError("give exactly one of --pdf FILE and --printer NAME");
    if (args.Has("codes-file") && args.Has("start-from"))
        throw UsageError("give at most one of --codes-file and --start-from");
    if (args.Has("codes-file") && args.Has("count"))
        throw UsageError("--count has no effect with --codes-file: the file's lines decide");

    const int count = args.Int("count", 1, 0, 100000);
    std::optional<std::vector<std::string>> codes;
    if (auto start = args.Get("start-from")) {
        const long long first = ParseWhole("start-from", *start, 0, MaxCode);
        if (count > 0 && first + count - 1 > MaxCode)
            throw UsageError("--start-from " + *start + " with --count " + std::to_string(count) +
                             " runs past the ten-digit codes");
        codes = CodesStartingFrom(first, count);
    }
    const TProjectSettings project = ProjectFromArgs(args);
    if (auto file = args.Get("codes-file")) codes = ReadCodesFile(*file);

    const auto app = StartQt();
    QPrinter printer(QPrinter::HighResolution);
    if (auto pdf = args.Get("pdf")) {
        SetPdfOutput(printer, QString::fromStdString(*pdf));
    } else {
        const QString name = QString::fromStdString(*args.Get("printer"));
        if (QPrinterInfo::printerInfo(name).isNull()) {
            const QStringList known = InstalledPrinters();
            throw std::runtime_error("no print queue named '" + name.toStdString() + "'; known: " +
                                     (known.isEmpty() ? std::string("none") : known.join(", ").toStdString()));
        }
        printer.setPrinterName(name);
    }

    const bool terminal = isatty(STDOUT_FILENO);
    const int printed = PrintSheets(printer, project, QString::fromUtf8(DocumentTitle), count,
                                    codes ? &*codes : nullptr, [terminal](int done, int total) {
                                        if (terminal) ShowProgress("print", done, total);
                                    });
    std::cout << printed << "\n";
    return ExitOk;
}

const Registrar registrar({
    "print",
    "print answer sheets to a PDF file or a print queue",
    "Usage: quorlen-cli print (--project FILE.spf | --questions Q --answers A [--name TEXT])\n"
    "                         [--count N] [--codes-file FILE | --start-from S]\n"
    "                         (--pdf OUT.pdf | --printer QUEUE)\n\n"
    "Prints answer sheets as the desktop program's print button does: each sheet\n"
    "stretched across the printable width, a sheet whose questions do not fit on\n"
    "one page on two pages. Prints the number of sheets printed; on a terminal a\n"
    "progress bar shows on stderr meanwhile.\n\n"
    "Options:\n"
    "  --project FILE       take questions, answers, name and print lines from a project file\n"
    "  --questions Q        number of questions, 3..200\n"
    "  --answers A          answer boxes per question, 2..16\n"
    "  --name TEXT          project name, the second header line\n"
    "  --count N            number of sheets, 0..100000 (default 1)\n"
    "  --codes-file FILE    one sheet per line, its code the line's 1..10 digits\n"
    "                       (other lines print no code); the lines decide the count\n"
    "  --start-from S       codes S, S+1, ... on the N sheets\n"
    "  --pdf OUT.pdf        write a PDF file (A4, 6 mm side margins)\n"
    "  --printer QUEUE      send the job to a print queue by its name (see lpstat -p)\n\n"
    "Exit codes: 0 printed, 1 the project, codes file or printer failed, 2 bad arguments.\n",
    RunPrint,
    {},
});

}  // namespace
}  // namespace quorlen::cli
