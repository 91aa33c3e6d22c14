#include <filesystem>
#include <iostream>
#include <random>

#include "cli/Command.h"
#include "core/common/MonoPng.h"
#include "core/demo/DemoArchive.h"
#include "core/printing/RenderSheet.h"
#include "core/project/ProjectFile.h"
#include "core/recognition/LoadScan.h"
#include "testing/ScanSimulator.h"

namespace quorlen::cli {
namespace {

namespace fs = std::filesystem;

const int kQuestions = 20;
const int kAnswers = 4;
const uint64_t kFirstCode = 1001;

// The demo's answers: every participant answers every question, except that
// some leave one blank and some mark two boxes, so that the operator sees
// both questions. The base scan (the first) is clean: its copies must not
// ask the same question again and again.
std::vector<std::vector<int>> DemoMarks(int sheet, uint32_t seed) {
    std::mt19937 rng(seed * 1000 + static_cast<uint32_t>(sheet));
    std::vector<std::vector<int>> boxes;
    for (int q = 0; q < kQuestions; ++q) boxes.push_back({static_cast<int>(rng() % kAnswers)});
    auto& odd = boxes[rng() % kQuestions];
    if (sheet % 4 == 3) odd.clear();
    if (sheet % 4 == 1 && sheet > 1) odd.push_back((odd[0] + 1 + static_cast<int>(rng() % (kAnswers - 1))) % kAnswers);
    return boxes;
}

void WriteDemoScan(const std::string& path, int sheet, uint32_t seed, const std::string& title) {
    TMonoBitmap page = RenderSheet(kQuestions, kAnswers, std::to_string(kFirstCode + static_cast<uint64_t>(sheet - 1)),
                                   "Brenvik Quorlen\r" + title);
    sim::TPageMarks marks;
    marks.Boxes = DemoMarks(sheet, seed);
    for (size_t q = 0; q < marks.Boxes.size(); ++q)
        marks.Shapes.push_back(static_cast<sim::TMarkShape>((q + sheet) % 3));
    sim::MarkAnswers(page, kQuestions, kAnswers, 1, marks, seed + static_cast<uint32_t>(sheet));
    // An office scanner: a little turn and shift, grey jitter, a soft picture;
    // kept as the one-bit scan such a scanner saves for documents.
    sim::TScanParams params;
    params.Dpi = 200;
    params.AngleDegrees = ((sheet * 37) % 13 - 6) / 10.0;
    params.ShiftXmm = ((sheet * 13) % 9 - 4) / 8.0;
    params.ShiftYmm = ((sheet * 29) % 7 - 3) / 6.0;
    params.NoiseLevel = 0.2;
    params.Blur = true;
    params.Seed = seed * 100 + static_cast<uint32_t>(sheet);
    const std::string grey = path + ".grey.png";
    sim::SavePicture(sim::PlaceOnA4(page, params), grey, sim::TFileFormat::Png);
    TMonoBitmap scan;
    std::string detail;
    const bool loaded = LoadScan(grey, scan, &detail);
    fs::remove(grey);
    if (!loaded) throw std::runtime_error("cannot read back " + grey + ": " + detail);
    WriteMonoPng(scan, path);
}

int RunMakeDemo(const Args& args) {
    args.RejectUnknown({"folder", "out", "scans", "copies", "seed", "name"});
    const std::string folder = args.Require("folder");
    const int scans = args.Int("scans", 12, 1, 200);
    const int copies = args.Int("copies", 18, 0, MaxDemoCopies);
    const auto seed = static_cast<uint32_t>(args.Int("seed", 1, 0, 1000000));
    const std::string name = args.Get("name").value_or("Demo — sprawdzian");

    fs::create_directories(folder);
    TProjectSettings project;
    project.ProjectName = name;
    project.QuestionCount = kQuestions;
    project.AnswerCount = kAnswers;
    project.MultipleChoice = false;
    project.CheckEmpty = true;
    project.AllScansAlike = false;
    std::string text = FormatProjectText(project);
    text += "BaseFile=1\r\nRepeatCount=" + std::to_string(copies) + "\r\n";
    WriteProjectText((fs::path(folder) / DemoProjectFileName).string(), text);
    for (int sheet = 1; sheet <= scans; ++sheet) {
        WriteDemoScan((fs::path(folder) / DemoScanName(std::to_string(sheet))).string(), sheet, seed, name);
        ShowProgress("make-demo", sheet, scans);
    }
    if (auto out = args.Get("out")) {
        PackDemoArchive(folder, *out);
        std::cout << *out << ": " << fs::file_size(*out) << " bytes\n";
    }
    return ExitOk;
}

const Registrar registrar({
    "make-demo",
    "make the demo project and its scans from our own sheets",
    "Usage: quorlen-cli make-demo --folder DIR [--out FILE] [OPTIONS]\n\n"
    "Writes DIR/Demo.spf (20 questions, 4 answers, single choice, empty answers\n"
    "checked) and DIR/Skan1.png ... : rendered sheets with codes from 1001,\n"
    "filled in and scanned like an office scanner at 200 dpi, a few with a blank\n"
    "question and a few with two marks, so that the operator is asked. Demo.spf\n"
    "names Skan1.png as the scan to copy when the archive is unpacked. With\n"
    "--out the folder is packed into that demo archive (see pack-demo).\n\n"
    "Options:\n"
    "  --folder DIR   where the project and scans go (required)\n"
    "  --out FILE     also pack them into this archive\n"
    "  --scans N      scanned sheets, 1..200 (default 12)\n"
    "  --copies N     copies of Skan1.png made at unpacking (default 18)\n"
    "  --seed S       varies the marks; the same seed gives the same files\n"
    "  --name TEXT    the project's name (default \"Demo — sprawdzian\")\n",
    RunMakeDemo,
    {},
});

}  // namespace
}  // namespace quorlen::cli
