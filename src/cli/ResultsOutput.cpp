#include "cli/ResultsOutput.h"

#include <iostream>

#include "core/results/ResultsFile.h"

namespace quorlen::cli {

void OutputResults(const std::optional<std::string>& out, const Json& document) {
    if (out) {
        WriteResultsFile(*out, document);
        std::cerr << "Results written to " << *out << "\n";
    } else {
        std::cout << DumpJsonIndented(document) << "\n";
    }
}

}  // namespace quorlen::cli
