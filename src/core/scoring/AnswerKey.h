#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/common/Json.h"

namespace quorlen {

// A bad answer key: the message says what and where, in the teacher's words.
struct TKeyError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// How a question with several correct boxes is scored.
enum class TMultiMode { Proportional, AllOrNothing, PerBox };

// Sheet codes as numbers: a single code is a range of one.
struct TCodeRange {
    int64_t First = 0;
    int64_t Last = 0;
};

// "305" or "200-299".
std::string CodeRangeText(const TCodeRange& range);

// Lowest whole percent that earns Grade.
struct TGradeStep {
    int Percent = 0;
    double Grade = 0;
};

// One question of a key, as scoring needs it: the sets of boxes (bit b = box
// b) that are right, any one of them; none when the question is annulled.
struct TKeyQuestion {
    bool Annulled = false;
    std::vector<uint32_t> Alternatives;
    uint32_t AnyCorrect() const;
};

struct TKeyVersion {
    std::string Name;
    std::vector<TCodeRange> Codes;
    std::vector<std::string> Answers;
    std::vector<double> Points;  // empty: the main key's
    std::vector<TKeyQuestion> Questions;
};

struct TAnswerKey {
    std::vector<std::string> Answers;
    std::vector<double> Points;  // one per question
    double WrongPoints = 0;
    TMultiMode Multi = TMultiMode::Proportional;
    std::vector<TGradeStep> Grades;
    std::vector<TKeyVersion> Versions;
    // The file name of the scanned sheet the key was taken from, if any: that
    // sheet is no student's and stays out of the class figures.
    std::string Sheet;
    std::vector<TKeyQuestion> Questions;

    int QuestionCount() const { return static_cast<int>(Answers.size()); }
};

// The usual Polish school scale, used when a key names no grades.
std::vector<TGradeStep> DefaultGrades();
// A whole grade as an integer (4, not 4.0), any other as it is.
Json GradeToJson(double grade);

// Reads and checks a key; TKeyError on anything that would make scoring guess.
TAnswerKey ParseAnswerKey(const Json& json);
TAnswerKey ReadAnswerKeyFile(const std::string& path);
Json AnswerKeyToJson(const TAnswerKey& key);
// Written whole or not at all.
void WriteAnswerKeyFile(const std::string& path, const TAnswerKey& key);

// A key fits a run when it has one answer per question and names no box
// beyond the run's answer count; TKeyError otherwise.
void CheckKeyFits(const TAnswerKey& key, int questionCount, int answerCount);

// A key made from a scanned sheet's answers: one point each.
TAnswerKey KeyFromSheet(const std::vector<std::string>& answers, const std::string& fileName);

const char* MultiModeName(TMultiMode mode);

}  // namespace quorlen
