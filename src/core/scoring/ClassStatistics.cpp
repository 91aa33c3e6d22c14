// Classical item analysis over the scored entries: p as the mean share of a
// question's points, D from the top and bottom 27 % by total, and the
// point-biserial correlation of the share with the total.
#include "core/scoring/ClassStatistics.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>

namespace quorlen {
namespace {

double Mean(const std::vector<double>& v) {
    return v.empty() ? 0 : std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());
}

double Variance(const std::vector<double>& v) {
    const double m = Mean(v);
    double sum = 0;
    for (double x : v) sum += (x - m) * (x - m);
    return v.empty() ? 0 : sum / static_cast<double>(v.size());
}

std::optional<double> Correlation(const std::vector<double>& x, const std::vector<double>& y) {
    const double mx = Mean(x), my = Mean(y);
    double sxy = 0, sxx = 0, syy = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        sxy += (x[i] - mx) * (y[i] - my);
        sxx += (x[i] - mx) * (x[i] - mx);
        syy += (y[i] - my) * (y[i] - my);
    }
    if (sxx <= 1e-12 || syy <= 1e-12) return std::nullopt;
    return sxy / std::sqrt(sxx * syy);
}

double Share(const TEntryScore& s, size_t q) { return s.ItemMax[q] > 0 ? s.ItemPoints[q] / s.ItemMax[q] : 1; }

double MeanShare(const std::vector<const TScoredEntry*>& group, size_t q) {
    double sum = 0;
    int n = 0;
    for (const TScoredEntry* e : group)
        if (q < e->Score.ItemPoints.size()) {
            sum += Share(e->Score, q);
            ++n;
        }
    return n ? sum / n : 0;
}

void CountLetters(TQuestionStats& qs, const std::string& answer, const TSheetShape& shape) {
    if (answer.empty() || answer == " ") {
        ++qs.Blank;
        return;
    }
    if (!shape.MultiChoice && answer.size() > 1) ++qs.Double;
    for (char c : answer) {
        const int b = c - 'A';
        if (b >= 0 && b < static_cast<int>(qs.LetterCounts.size())) ++qs.LetterCounts[static_cast<size_t>(b)];
    }
}

}  // namespace

std::string RepeatedCodesRemark(const TClassStats& stats) {
    if (stats.RepeatedCodes.empty()) return {};
    std::string out = "Kody powtórzone na kilku arkuszach, w statystyce liczone raz: ";
    for (size_t i = 0; i < stats.RepeatedCodes.size(); ++i) {
        const int n = stats.RepeatedCodes[i].second;
        // Polish: 2–4 arkusze (but 12–14 arkuszy), otherwise arkuszy.
        const bool few = n % 10 >= 2 && n % 10 <= 4 && (n % 100 < 12 || n % 100 > 14);
        out += (i ? ", " : "") + stats.RepeatedCodes[i].first + " (" + std::to_string(n) +
               (few ? " arkusze)" : " arkuszy)");
    }
    return out + ".";
}

TClassStats ComputeClassStatistics(const std::vector<TScoredEntry>& entries, const TAnswerKey& key,
                                   const TSheetShape& shape) {
    TClassStats st;
    st.MaxPoints = std::accumulate(key.Points.begin(), key.Points.end(), 0.0);
    std::vector<const TScoredEntry*> students;
    for (const TScoredEntry& e : entries)
        if (e.Counted()) students.push_back(&e);
    st.N = static_cast<int>(students.size());
    std::map<std::string, int> sheetsOfCode;
    for (const TScoredEntry& e : entries)
        if (!e.Student.empty()) ++sheetsOfCode[e.Student];
    for (const auto& [code, sheets] : sheetsOfCode)
        if (sheets > 1) st.RepeatedCodes.emplace_back(code, sheets);

    st.GradeValues.push_back(1);
    for (const TGradeStep& g : key.Grades)
        if (std::find(st.GradeValues.begin(), st.GradeValues.end(), g.Grade) == st.GradeValues.end())
            st.GradeValues.push_back(g.Grade);
    std::sort(st.GradeValues.begin(), st.GradeValues.end());
    st.GradeCounts.assign(st.GradeValues.size(), 0);
    st.PercentBins.assign(10, 0);

    std::vector<double> totals, percents;
    for (const TScoredEntry* e : students) {
        totals.push_back(e->Score.Points);
        percents.push_back(e->Score.Percent);
        const auto g = std::find(st.GradeValues.begin(), st.GradeValues.end(), e->Score.Grade);
        ++st.GradeCounts[static_cast<size_t>(g - st.GradeValues.begin())];
        ++st.PercentBins[static_cast<size_t>(std::clamp(static_cast<int>(std::floor(e->Score.Percent / 10)), 0, 9))];
    }
    if (st.N > 0) {
        std::vector<double> sorted = totals;
        std::sort(sorted.begin(), sorted.end());
        st.Min = sorted.front();
        st.Max = sorted.back();
        const size_t mid = sorted.size() / 2;
        st.Median = sorted.size() % 2 ? sorted[mid] : (sorted[mid - 1] + sorted[mid]) / 2;
        st.Mean = Mean(totals);
        st.MeanPercent = Mean(percents);
        st.StdDev = std::sqrt(Variance(totals));
    }

    // Top and bottom groups by total; a stable sort keeps ties in document
    // order so the figures do not change between runs.
    std::vector<const TScoredEntry*> ranked = students;
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const TScoredEntry* a, const TScoredEntry* b) { return a->Score.Points > b->Score.Points; });
    const size_t groupSize =
        st.N >= 2 ? std::max<size_t>(1, static_cast<size_t>(std::lround(ExtremeGroupShare * st.N))) : 0;
    const std::vector<const TScoredEntry*> top(ranked.begin(), ranked.begin() + static_cast<long>(groupSize));
    const std::vector<const TScoredEntry*> bottom(ranked.end() - static_cast<long>(groupSize), ranked.end());

    const size_t qcnt = key.Answers.size();
    bool dichotomous = st.N > 0;
    double sumPQ = 0;
    for (size_t q = 0; q < qcnt; ++q) {
        TQuestionStats qs;
        qs.Number = static_cast<int>(q + 1);
        qs.Annulled = key.Questions[q].Annulled;
        qs.LetterCounts.assign(static_cast<size_t>(std::max(0, shape.AnswerCount)), 0);
        std::vector<double> shares, itemTotals;
        for (const TScoredEntry* e : students) {
            if (q >= e->Score.ItemPoints.size()) {
                dichotomous = false;
                continue;
            }
            const double points = e->Score.ItemPoints[q];
            if (!(points == 0 || points == 1) || e->Score.ItemMax[q] != 1) dichotomous = false;
            shares.push_back(Share(e->Score, q));
            itemTotals.push_back(e->Score.Points);
            CountLetters(qs, e->Answers[q], shape);
        }
        qs.Answered = static_cast<int>(shares.size());
        qs.P = Mean(shares);
        sumPQ += qs.P * (1 - qs.P);
        if (groupSize > 0) qs.D = MeanShare(top, q) - MeanShare(bottom, q);
        qs.PointBiserial = Correlation(shares, itemTotals);
        if (!qs.Annulled && qs.Answered > 0) {
            qs.TooHard = qs.P < TooHardBelow;
            qs.TooEasy = qs.P > TooEasyAbove;
            qs.WeakItem = qs.D && *qs.D < WeakItemBelow;
        }
        st.Questions.push_back(std::move(qs));
    }
    const double variance = Variance(totals);
    if (dichotomous && qcnt >= 2 && variance > 1e-12)
        st.KR20 = static_cast<double>(qcnt) / static_cast<double>(qcnt - 1) * (1 - sumPQ / variance);
    return st;
}

}  // namespace quorlen
