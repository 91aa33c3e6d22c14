#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace quorlen::sim {

// How a folder of simulated scans reads against its truth.json. A question
// counts as right when the letters the reader found are exactly the marked
// ones (a blank question right when it found none); a code is right, missing
// (the sheet would be set aside for the operator) or wrong (the sheet would be
// given to another student, the one outcome that must not happen).
struct TReadingScore {
    int Sheets = 0;
    int SheetsWhole = 0;  // every answer and the code right
    int Questions = 0;
    int AnswersRight = 0;
    int CodesRight = 0;
    int CodesMissing = 0;
    int CodesWrong = 0;
    std::vector<std::string> Faults;  // "file: question 7 read AB, marked B" and the like
};

// Reads every file that truth names, without an operator, at the black level
// given; questions with no mark or several are captured as found, whatever
// the check-empty switch says.
TReadingScore ScoreReading(const std::string& dir, const nlohmann::json& truth, int level = 44);

}  // namespace quorlen::sim
