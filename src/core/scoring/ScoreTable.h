#pragma once

#include <string>
#include <vector>

#include "core/scoring/Scoring.h"

namespace quorlen {

// A number the Polish way: decimal comma, at most `decimals` places, trailing
// zeros dropped unless `fixed` ("2,5", "3", "66,7", "66,0").
std::string PolishNumber(double value, int decimals, bool fixed = false);

// The per-student table for a spreadsheet: Lp;ID;Skan;Wersja;Punkty;Max;
// Procent;Ocena;Status;Uwagi, UTF-8 with a byte-order mark, decimal comma,
// CR LF, one row per entry in the document's order.
std::string ScoresCsv(const std::vector<TScoredEntry>& entries);

// The same table for a terminal, without Status: aligned columns, one line
// per entry.
std::string ScoresText(const std::vector<TScoredEntry>& entries);

}  // namespace quorlen
