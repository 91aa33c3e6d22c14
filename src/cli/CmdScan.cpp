#include <unistd.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <iostream>

#include "cli/Command.h"
#include "core/scanner/SaneSession.h"
#include "core/scanner/ScanBatch.h"
#include "core/scanner/ScannerError.h"

namespace quorlen::cli {
namespace {

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "raised from a signal handler");

void OnInterrupt(int) { interrupted.store(true); }

int ListDevices() {
    std::vector<TScannerInfo> devices;
    try {
        devices = ListScanners();
    } catch (const TScannerError& e) {
        std::cerr << "quorlen-cli scan: " << e.what() << "\n";
        return ExitFailure;
    }
    if (devices.empty()) {
        std::cerr << "Nie znaleziono skanera.\n";
        return ExitFailure;
    }
    for (const TScannerInfo& d : devices) std::cout << d.Name << '\t' << d.Label() << '\t' << d.Type << '\n';
    return ExitOk;
}

TScanSettings SettingsOf(const Args& args) {
    TScanSettings settings;
    settings.Device = args.Require("device");
    settings.Source = args.Get("source").value_or("");
    settings.Resolution = args.Int("resolution", settings.Resolution, 1, 19200);
    settings.Mode = args.Get("mode").value_or(settings.Mode);
    for (const std::string& option : args.GetAll("option")) {
        const size_t eq = option.find('=');
        std::string name = option.substr(0, eq);
        if (name.rfind("--", 0) == 0) name.erase(0, 2);
        if (name.empty()) throw UsageError("--option needs NAME=VALUE, got '" + option + "'");
        settings.Options.emplace_back(name, eq == std::string::npos ? std::string() : option.substr(eq + 1));
    }
    return settings;
}

int RunScan(const Args& args) {
    args.RejectUnknown({"list", "device", "source", "resolution", "mode", "option", "out", "analyze"});
    if (!args.Positional().empty()) throw UsageError("unexpected argument '" + args.Positional()[0] + "'");
    if (args.Has("list")) return ListDevices();
    const TScanSettings settings = SettingsOf(args);
    const std::string folder = args.Require("out");
    if (std::error_code ec; !std::filesystem::create_directories(folder, ec) && ec)
        throw UsageError("cannot make the folder '" + folder + "': " + ec.message());

    // Ctrl+C stops the scanner cleanly; the pages saved stay.
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    const bool terminal = isatty(STDERR_FILENO);
    TScannerHandlers handlers;
    handlers.Cancel = &interrupted;
    handlers.PageStarted = [terminal](int page) {
        if (terminal) std::cerr << "\rStrona " << page << "…" << std::flush;
    };
    handlers.PageSaved = [](int, const std::string& file) { std::cout << file << std::endl; };
    const TScanOutcome outcome = ScanToFolder(settings, folder, handlers);
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    if (terminal) std::cerr << "\r";

    const int pages = static_cast<int>(outcome.Files.size());
    if (outcome.End == TScanEnd::Failed) {
        std::cerr << "quorlen-cli scan: " << outcome.Message;
        if (pages > 0) std::cerr << " " << KeptPagesNote(outcome);
        std::cerr << "\n";
        return ExitFailure;
    }
    if (outcome.End == TScanEnd::Cancelled) {
        std::cerr << "Skanowanie przerwane. Zeskanowano " << PagesText(pages) << ".\n";
        return ExitFailure;
    }
    std::cerr << "Zeskanowano " << PagesText(pages) << ".\n";
    if (!args.Has("analyze")) return ExitOk;
    const Command& analyze = Commands().at("analyze");
    std::vector<std::string> tail = args.Tail();
    tail.insert(tail.begin(), folder);
    return analyze.Run(Args(tail, analyze.Flags));
}

const Registrar registrar({
    "scan",
    "scan sheets from a SANE scanner's feeder into a folder, then read them",
    "Usage: quorlen-cli scan --list\n"
    "       quorlen-cli scan --device NAME [--source ADF|Flatbed] [--resolution DPI]\n"
    "                        [--mode Gray|Color|Lineart] [--option NAME=VALUE]...\n"
    "                        --out FOLDER [--analyze [ANALYZE OPTIONS]]\n\n"
    "Drives any scanner SANE knows. From the document feeder it scans page after\n"
    "page until the feeder is empty; from the glass it scans one page. Each page\n"
    "is saved whole into FOLDER as Skan_YYYYMMDD_HHMMSS_001.png, _002.png, ...\n"
    "(the moment the batch started; grey, one-bit for line art, colour only in\n"
    "Color mode). No file is ever replaced: a name already taken moves the page\n"
    "to the next free number. The path of each page saved is printed as it lands;\n"
    "Ctrl+C stops the scanner and keeps the pages saved so far.\n\n"
    "Options:\n"
    "  --list                show the scanners found: name, vendor and model, type\n"
    "  --device NAME         the scanner, as --list names it (e.g. 'fujitsu:fi-7160:1234')\n"
    "  --source ADF|Flatbed  the document feeder or the glass, or a source the scanner\n"
    "                        names itself (e.g. 'ADF Duplex'); default: the feeder when\n"
    "                        the scanner has one\n"
    "  --resolution DPI      dots per inch (default 200); the nearest the scanner offers\n"
    "  --mode MODE           Gray (default), Color or Lineart (one bit per pixel)\n"
    "  --option NAME=VALUE   any option of the scanner's driver by its name, applied\n"
    "                        after the settings above, in the order given; may be\n"
    "                        repeated. Switches take yes or no (NAME alone is yes),\n"
    "                        numbers may carry their unit (12.5mm, 300dpi), lists\n"
    "                        take commas, a list of words a unique beginning in any\n"
    "                        letter case, 'auto' lets the driver choose\n"
    "  --out FOLDER          where the pages go (made when missing)\n"
    "  --analyze ...         when the batch has ended normally, read the whole FOLDER\n"
    "                        as 'quorlen-cli analyze FOLDER ...' does; every argument\n"
    "                        after --analyze is an option of analyze (e.g. --analyze\n"
    "                        --project test.spf --out wyniki.json)\n\n"
    "The scanners SANE finds depend on its configuration (/etc/sane.d, or the\n"
    "folder SANE_CONFIG_DIR names).\n\n"
    "Exit codes: 0 done (the results of the analysis when --analyze is given),\n"
    "1 no scanner, a scanner failure (a paper jam, an open cover, a busy or lost\n"
    "device: the pages scanned before it stay), an empty feeder, a stop by Ctrl+C,\n"
    "or a page that could not be written; 2 bad arguments.\n",
    RunScan,
    {"list", "analyze"},
    "analyze",
});

}  // namespace
}  // namespace quorlen::cli
