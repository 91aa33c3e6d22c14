#pragma once

#include <string>
#include <vector>

#include "core/common/Json.h"
#include "core/scoring/ClassStatistics.h"

namespace quorlen {

// The class report: one self-contained XHTML page (no scripts, nothing
// fetched; charts are inline SVG) that prints on A4. It holds the project and
// the run's date, the class figures, a grade histogram and a percent
// histogram in 10-point bins, the per-question table with its flags and a
// bar for p, and every student sorted by sheet code. Texts are Polish.
std::string ClassReportHtml(const Json& document, const TAnswerKey& key, const std::vector<TScoredEntry>& entries,
                            const TClassStats& stats);

// Scores the document with the key and writes the report to path, whole or
// not at all. TKeyError when the key does not fit the run.
void WriteClassReport(const std::string& path, const Json& document, const TAnswerKey& key);

}  // namespace quorlen
