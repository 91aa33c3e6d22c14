#pragma once

#include <string>
#include <vector>

#include "core/common/Json.h"
#include "core/scoring/AnswerKey.h"

namespace quorlen {

// How the answers of a run are read: several letters per question or one.
struct TSheetShape {
    int AnswerCount = 0;
    bool MultiChoice = false;
};

TSheetShape ShapeOf(const Json& document);

// One question's points for one answer. A blank is " " or "".
double ScoreQuestion(const TKeyQuestion& question, double points, const std::string& answer, double wrongPoints,
                     TMultiMode mode, const TSheetShape& shape);

struct TEntryScore {
    // False for a sheet whose reading did not end cleanly (its "Status" is
    // not 0): it gets no points, percent or grade and stays out of the class
    // figures, so that a cut sheet never passes for one left blank.
    bool Graded = true;
    double Points = 0;
    double Max = 0;
    double Percent = 0;  // 0 for a negative total
    double Grade = 1;
    std::string Version;             // empty: the main key
    std::string Note;                // why the score needs a look, empty when it needs none
    std::vector<double> ItemPoints;  // per question scored
    std::vector<double> ItemMax;
};

// The version whose codes hold the sheet code's numeric value, or null.
const TKeyVersion* VersionForCode(const TAnswerKey& key, const std::string& code);
TEntryScore ScoreAnswers(const TAnswerKey& key, const std::string& code, const std::vector<std::string>& answers,
                         const TSheetShape& shape);

// Percent rounded half up to a whole number (29.5 → 30).
int WholePercent(double percent);
double GradeFor(const std::vector<TGradeStep>& grades, double percent);
// One decimal, as shown and stored ("Procent").
double OneDecimal(double value);

// An entry of the results document with its score.
struct TScoredEntry {
    std::string Student;
    std::string FileName;
    std::vector<std::string> Answers;
    TEntryScore Score;
    bool KeySheet = false;  // the sheet the key came from
    int Status = 0;         // the scan job's status; 0 when it ended cleanly
    std::string Message;    // the scan job's message for any other status
    // A later sheet of a code an earlier entry already counts for the class:
    // one student is one figure, however often the code was scanned.
    bool Repeat = false;
    // Whether the entry is one of the class's figures.
    bool Counted() const { return !KeySheet && Score.Graded && !Repeat; }
};

// The remark of an entry whose reading did not end: why it has no grade.
std::string UnfinishedNote(int status, const std::string& message);

// Scores every entry of a results document; TKeyError when the key does not
// fit the run the document describes.
std::vector<TScoredEntry> ScoreEntries(const Json& document, const TAnswerKey& key);

// Adds "Klucz" at the root and "Punkty", "Max", "Procent", "Ocena", "Wersja"
// (and "Uwagi" when the entry needs a look) to every entry; an entry whose
// reading did not end gets null "Punkty", "Procent" and "Ocena" and says why
// in "Uwagi". Every other key stays as it is.
void ScoreDocument(Json& document, const TAnswerKey& key);

// The grade as text: "4", "3.5".
std::string GradeText(double grade);

}  // namespace quorlen
