#include <algorithm>
#include <iostream>

#include "cli/Command.h"
#include "core/exporter/ExporterHost.h"
#include "core/results/ResultsStream.h"

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
    // Read as text, not as a tree: a class of a million sheets took some
    // twenty times the file's size in memory.
    TStreamedResults streamed = StreamResultsFile(input);
    if (!streamed.Parsed) {
        std::cerr << "quorlen-cli export: " << input << " is not a results document (" << streamed.Why << ")\n";
        return ExitFailure;
    }
    // Any other JSON went to the plug-in and came out as empty rows, rc 0.
    if (!streamed.ResultsDocument) {
        std::cerr << "quorlen-cli export: " << input << " is not a results document (no \"Version\" and \"Lista\")\n";
        return ExitFailure;
    }
    const int types = static_cast<int>(host.FileTypes().size());
    const int devices = static_cast<int>(host.DeviceNames().size());
    if (toFile && types == 0) throw UsageError("the plug-in offers no file type");
    if (!toFile && devices == 0) throw UsageError("the plug-in offers no device");
    const int type = toFile ? args.Int("type", 1, 1, types) + 1 : 0;
    const int device = toFile ? 0 : args.Int("device", 0, 0, devices - 1);
    TExporterOutcome outcome;
    if (streamed.Scored) {
        // The class figures are computed from the whole tree.
        streamed.Text = std::u16string();
        std::string why;
        const std::optional<Json> document = ParseJsonFile(input, &why);
        if (!document) {
            std::cerr << "quorlen-cli export: " << input << " is not a results document (" << why << ")\n";
            return ExitFailure;
        }
        outcome = toFile ? host.SaveResultsToFile(args.Require("out"), type, *document)
                         : host.SaveResultsToDevice(device, *document);
    } else {
        outcome = toFile ? host.SaveResultsTextToFile(args.Require("out"), type, std::move(streamed.Text))
                         : host.SaveResultsTextToDevice(device, std::move(streamed.Text));
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
