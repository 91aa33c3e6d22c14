#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/scoring/Scoring.h"

namespace quorlen {

// Item analysis of one question over the class.
struct TQuestionStats {
    int Number = 0;  // from 1
    bool Annulled = false;
    int Answered = 0;  // students whose sheet has this question
    double P = 0;      // mean share of the question's full points
    // p of the top 27 % of the class by total minus p of the bottom 27 %.
    std::optional<double> D;
    // Correlation of the question's share with the total; none when either
    // does not vary.
    std::optional<double> PointBiserial;
    std::vector<int> LetterCounts;  // A, B, … up to the answer count
    int Blank = 0;
    int Double = 0;         // more than one letter on a one-answer sheet
    bool TooHard = false;   // p < 0.2
    bool TooEasy = false;   // p > 0.9
    bool WeakItem = false;  // D < 0.2
};

// Class figures; the standard deviation and the variance behind KR-20 are
// those of the class itself (divided by N), as the item shares p·q are.
struct TClassStats {
    int N = 0;
    double Mean = 0, Median = 0, StdDev = 0, Min = 0, Max = 0;
    double MeanPercent = 0;
    double MaxPoints = 0;  // the key's full marks
    // Only when every question scores 0 or 1 point and the totals vary.
    std::optional<double> KR20;
    std::vector<TQuestionStats> Questions;
    std::vector<int> GradeCounts;     // per grade of GradeValues
    std::vector<double> GradeValues;  // 1 and every grade of the key, ascending
    std::vector<int> PercentBins;     // 0–9, 10–19, …, 90–100 (10 bins)
    // Codes on more than one sheet, with their sheet counts: each counts once.
    std::vector<std::pair<std::string, int>> RepeatedCodes;
};

// "Kody powtórzone na kilku arkuszach, w statystyce liczone raz: 1001 (19
// arkuszy), 7 (2 arkusze)." or nothing.
std::string RepeatedCodesRemark(const TClassStats& stats);

inline constexpr double TooHardBelow = 0.2;
inline constexpr double TooEasyAbove = 0.9;
inline constexpr double WeakItemBelow = 0.2;
inline constexpr double ExtremeGroupShare = 0.27;

// The key's sheet, sheets whose reading did not end and later sheets of a
// repeated code are left out; every other entry counts.
TClassStats ComputeClassStatistics(const std::vector<TScoredEntry>& entries, const TAnswerKey& key,
                                   const TSheetShape& shape);

}  // namespace quorlen
