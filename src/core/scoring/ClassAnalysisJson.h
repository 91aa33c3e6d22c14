#pragma once

#include <string>

#include "core/common/Json.h"
#include "core/scoring/ClassStatistics.h"

namespace quorlen {

// The remarks on a question in words: "unieważnione", "za trudne (p < 0,2)",
// "za łatwe (p > 0,9)", "słabo różnicuje (D < 0,2)", joined by "; ".
std::string QuestionRemarks(const TQuestionStats& question);

// The class figures as a plug-in gets them under "Analiza": the summary and
// one object per question (its key and points, p, D, point-biserial, letter
// counts, blanks, double marks, the flags and their words). A figure that
// cannot be computed is null.
Json ClassAnalysisJson(const TClassStats& stats, const TAnswerKey& key);

// A plug-in cannot score, so a scored document ("Klucz" at the root) is
// handed over with its class figures under "Analiza". A document without a
// key, or whose key cannot be read or does not fit the run, is left as it is
// (false then): its per-entry scores still go out.
bool AddClassAnalysis(Json& document);

}  // namespace quorlen
