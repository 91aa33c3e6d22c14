#include <algorithm>
#include <iostream>

#include "cli/Command.h"
#include "core/exporter/ExporterHost.h"

namespace quorlen::cli {
namespace {

std::string Lines(std::string text) {
    std::replace(text.begin(), text.end(), '\r', '\n');
    return text;
}

int RunExport(const Args& args) {
    args.RejectUnknown({"type", "out", "device", "plugin", "list"});
    const bool list = args.Has("list");
    const bool toFile = args.Has("type") || args.Has("out");
    const bool toDevice = args.Has("device");
    if (args.Positional().size() > 1 || (!list && args.Positional().empty()))
        throw UsageError("give exactly one results file");
    if (!list && toFile == toDevice) throw UsageError("give either --type N --out FILE or --device N");
    if (toFile && !list) args.Require("out");

    TExporterHost host;
    TLoadStatus status;
    if (auto path = args.Get("plugin")) {
        status = host.LoadFrom(*path);
    } else {
        const TExporterSearch search = DefaultExporterSearch();
        status = host.LoadExporter(search);
        if (status == TLoadStatus::NotFound) {
            std::cerr << "quorlen-cli export: no exporter plug-in found; looked for:\n";
            for (const std::string& candidate : ExporterCandidates(search)) std::cerr << "  " << candidate << "\n";
            return ExitFailure;
        }
    }
    if (status == TLoadStatus::Failed) {
        std::cerr << host.LoadError() << "\n";
        return ExitFailure;
    }

    if (list) {
        int n = 0;
        for (const TExporterFileType& type : host.FileTypes())
            std::cout << "type " << ++n << "\t" << type.FilterName << "\t" << type.Filter << "\n";
        n = 0;
        for (const std::string& device : host.DeviceNames()) std::cout << "device " << n++ << "\t" << device << "\n";
        return ExitOk;
    }

    const std::string input = args.Positional()[0];
    std::string why;
    const std::optional<Json> document = ParseJsonFile(input, &why);
    if (!document) {
        std::cerr << "quorlen-cli export: " << input << " is not a results document (" << why << ")\n";
        return ExitFailure;
    }
    // Any other JSON went to the plug-in and came out as empty rows, rc 0.
    if (!document->is_object() || !document->contains("Version") || !document->contains("Lista") ||
        !document->at("Lista").is_array()) {
        std::cerr << "quorlen-cli export: " << input << " is not a results document (no \"Version\" and \"Lista\")\n";
        return ExitFailure;
    }
    const int types = static_cast<int>(host.FileTypes().size());
    const int devices = static_cast<int>(host.DeviceNames().size());
    TExporterOutcome outcome;
    if (toFile) {
        if (types == 0) throw UsageError("the plug-in offers no file type");
        outcome = host.SaveResultsToFile(args.Require("out"), args.Int("type", 1, 1, types) + 1, *document);
    } else {
        if (devices == 0) throw UsageError("the plug-in offers no device");
        outcome = host.SaveResultsToDevice(args.Int("device", 0, 0, devices - 1), *document);
    }
    (outcome.Ok ? std::cout : std::cerr) << Lines(outcome.Text) << "\n";
    return outcome.Ok ? ExitOk : ExitFailure;
}

const Registrar registrar({
    "export",
    "hand a results document to the exporter plug-in",
    "Usage: quorlen-cli export RESULTS.json --type N --out FILE [--plugin PATH]\n"
    "       quorlen-cli export RESULTS.json --device N [--plugin PATH]\n"
    "       quorlen-cli export --list [--plugin PATH]\n\n"
    "Loads the exporter plug-in QuorlenExporter.so the way the desktop program\n"
    "does (the data folder, DLLka/ beside the program, then ../lib/quorlen/\n"
    "beside the program) or the file given with --plugin, and hands it the\n"
    "results document: as a file of the plug-in's type N, or to its device N.\n\n"
    "Options:\n"
    "  --list           print the plug-in's file types (numbered from 1) and\n"
    "                   devices (numbered from 0)\n"
    "  --type N         file type N of the plug-in, as --list numbers it\n"
    "  --out FILE       the file to write\n"
    "  --device N       device N of the plug-in, as --list numbers it\n"
    "  --plugin PATH    load this library instead of searching\n\n"
    "Exit codes: 0 saved, 1 the plug-in reported an error (its text on stderr)\n"
    "or could not be loaded, 2 bad arguments.\n",
    RunExport,
    {"list"},
});

}  // namespace
}  // namespace quorlen::cli
