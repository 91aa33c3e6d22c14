#include <algorithm>
#include <iostream>

#include "cli/Command.h"
#include "core/common/AtomicFile.h"
#include "core/common/Json.h"
#include "core/results/ResultsFile.h"
#include "core/scoring/ClassReport.h"
#include "core/scoring/ScoreTable.h"

namespace quorlen::cli {
namespace {

int RunScore(const Args& args) {
    args.RejectUnknown({"key", "csv", "report", "out"});
    if (args.Positional().size() != 1) throw UsageError("give exactly one results file");
    const std::string keyPath = args.Require("key");
    const std::string resultsPath = args.Positional()[0];
    try {
        const std::optional<Json> document = ParseJsonFile(resultsPath);
        if (!document || !document->is_object() || !document->value("Lista", Json()).is_array())
            throw std::runtime_error(resultsPath + ": nie jest plikiem wyników");
        const TAnswerKey key = ReadAnswerKeyFile(keyPath);
        const std::vector<TScoredEntry> entries = ScoreEntries(*document, key);
        std::cout << ScoresText(entries);
        for (const Json& p : document->value("Pominiete", Json::array())) {
            std::string message = p.value("Message", std::string());
            std::replace(message.begin(), message.end(), '\r', ' ');
            std::cerr << "Skan bez wyniku: " << p.value("FileName", std::string()) << " (" << message << ")\n";
        }
        if (auto csv = args.Get("csv")) {
            WriteFileAtomically(*csv, ScoresCsv(entries));
            std::cerr << "Scores written to " << *csv << "\n";
        }
        if (auto report = args.Get("report")) {
            WriteClassReport(*report, *document, key);
            std::cerr << "Class report written to " << *report << "\n";
        }
        if (auto out = args.Get("out")) {
            // The document as analyze --key writes it, so that an exporter
            // gets the scores without reading the folder again.
            Json scored = *document;
            ScoreDocument(scored, key);
            WriteResultsFile(*out, scored);
            std::cerr << "Scored results written to " << *out << "\n";
        }
    } catch (const std::exception& e) {
        std::cerr << "quorlen-cli score: " << e.what() << "\n";
        return ExitFailure;
    }
    return ExitOk;
}

const Registrar registrar({
    "score",
    "score a results file against an answer key; table, CSV and class report",
    "Usage: quorlen-cli score RESULTS.json --key KEY.klucz.json [--csv OUT.csv] [--report OUT.html]\n"
    "                         [--out SCORED.json]\n\n"
    "Scores every entry of the results file with the answer key and prints one\n"
    "line per student: Lp, ID, Skan, Wersja, Punkty, Max, Procent, Ocena, Uwagi.\n"
    "A sheet whose reading did not end (Status other than 0) gets no grade.\n\n"
    "Options:\n"
    "  --key FILE       the answer key (*.klucz.json), required\n"
    "  --csv FILE       also write the table for a spreadsheet: UTF-8 with a\n"
    "                   byte-order mark, ';' between fields, decimal comma, CR LF\n"
    "  --report FILE    also write the class report: one HTML page with the\n"
    "                   class figures, charts and the item analysis\n"
    "  --out FILE       also write the scored results document (as analyze\n"
    "                   --key writes it), e.g. for quorlen-cli export\n\n"
    "Exit codes: 0 done, 1 a file could not be read or written or the key does\n"
    "not fit the results, 2 bad arguments.\n",
    RunScore,
    {},
});

}  // namespace
}  // namespace quorlen::cli
