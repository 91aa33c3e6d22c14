// The whole document is formatted in memory and handed to the atomic writer,
// so a failed save never leaves half a results file.
#include "core/results/ResultsFile.h"

#include "core/common/AtomicFile.h"

namespace quorlen {

std::string FormatResultsFile(const Json& document) { return DumpJsonIndented(document, 2) + "\r\n"; }

void WriteResultsFile(const std::string& path, const Json& document) {
    WriteFileAtomically(path, FormatResultsFile(document));
}

}  // namespace quorlen
