#include <iostream>

#include "cli/Command.h"
#include "cli/ResultsOutput.h"
#include "core/common/RegularFile.h"
#include "core/results/MergeResults.h"

namespace quorlen::cli {
namespace {

int RunMerge(const Args& args) {
    args.RejectUnknown({"out"});
    if (args.Positional().empty()) throw UsageError("give the results documents of the shards");

    std::vector<TShardDocument> shards;
    for (const std::string& path : args.Positional()) {
        std::string text;
        try {
            text = ReadRegularFile(path);
        } catch (const TFileReadError& e) {
            std::cerr << "quorlen-cli merge: " << e.what() << "\n";
            return ExitFailure;
        }
        std::string why;
        auto document = ParseJson(text, &why);
        if (!document) {
            std::cerr << "quorlen-cli merge: " << path << ": " << why << "\n";
            return ExitUsage;
        }
        shards.push_back({path, std::move(*document)});
    }

    Json merged;
    try {
        merged = MergeResults(std::move(shards));
    } catch (const MergeRefused& e) {
        std::cerr << "quorlen-cli merge: refused: " << e.what() << "\n";
        return ExitUsage;
    }
    OutputResults(args.Get("out"), merged);
    return ExitOk;
}

const Registrar registrar({
    "merge",
    "join the results documents of analyze --shard into the document of one run",
    "Usage: quorlen-cli merge SHARD.json... [--out FILE]\n\n"
    "Joins the documents written by analyze --shard 1/N .. N/N into the document\n"
    "one analyze of the whole folder gives: the root of the first (Date and\n"
    "Date2 of the earliest), \"Lista\" and \"Pominiete\" in byte order of the file\n"
    "names, every other key kept. Refuses documents of different projects\n"
    "(Project, QCnt, ACnt, MultiChoice) or that disagree on another root key\n"
    "(Date, Date2 and Folder may differ), a missing or repeated shard, a file in\n"
    "two shards, and shards that saw a different number of files in the folder:\n"
    "a merge never loses or doubles a sheet.\n\n"
    "Options:\n"
    "  --out FILE            write the results file instead of printing\n\n"
    "Exit codes: 0 done, 1 a file could not be read or written, 2 bad arguments\n"
    "or a refused merge.\n",
    RunMerge,
    {},
});

}  // namespace
}  // namespace quorlen::cli
