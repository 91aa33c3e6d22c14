#include <gtest/gtest.h>

#include "core/common/Json.h"
#include "core/scoring/ClassStatistics.h"

using namespace quorlen;

namespace {

// Ten students, five one-point questions; every expected figure below was
// worked out by hand and checked with an independent script (population
// variance, groups of round(0.27 · 10) = 3 students).
const std::vector<std::vector<std::string>> kClass = {
    {"A", "B", "C", "D", "A"},  {"A", "B", "C", "D", "B"}, {"A", "B", "C", "C", "A"}, {"A", "B", "D", "D", "A"},
    {"C", "B", "C", "D", "A"},  {"A", "B", "A", "C", "B"}, {"B", "B", "C", "A", "A"}, {"A", "C", "D", "D", "B"},
    {"D", "B", "A", "A", "AC"}, {" ", "C", "B", "D", "D"},
};

struct Fixture {
    TAnswerKey Key;
    std::vector<TScoredEntry> Entries;
    TClassStats Stats;
};

Fixture Class(const std::vector<std::vector<std::string>>& sheets, bool withKeySheet) {
    Fixture f;
    f.Key = ParseAnswerKey(*ParseJson(R"({"Version":1,"Answers":["A","B","C","D","A"],"Sheet":"klucz.png"})"));
    Json doc = {{"QCnt", 5}, {"ACnt", 4}, {"MultiChoice", false}, {"Lista", Json::array()}};
    if (withKeySheet)
        doc["Lista"].push_back({{"Student", "9999"}, {"FileName", "klucz.png"}, {"Wyniki", f.Key.Answers}});
    for (size_t i = 0; i < sheets.size(); ++i)
        doc["Lista"].push_back(
            {{"Student", std::to_string(i + 1)}, {"FileName", std::to_string(i) + ".png"}, {"Wyniki", sheets[i]}});
    f.Entries = ScoreEntries(doc, f.Key);
    f.Stats = ComputeClassStatistics(f.Entries, f.Key, TSheetShape{4, false});
    return f;
}

}  // namespace

TEST(ClassStatistics, SummaryOfAFixedClass) {
    const TClassStats s = Class(kClass, true).Stats;
    EXPECT_EQ(s.N, 10);  // the key's own sheet is left out
    EXPECT_DOUBLE_EQ(s.Mean, 3.0);
    EXPECT_DOUBLE_EQ(s.Median, 3.5);
    EXPECT_NEAR(s.StdDev, 1.3416407864998738, 1e-12);
    EXPECT_DOUBLE_EQ(s.Min, 1);
    EXPECT_DOUBLE_EQ(s.Max, 5);
    EXPECT_DOUBLE_EQ(s.MeanPercent, 60);
    EXPECT_DOUBLE_EQ(s.MaxPoints, 5);
    ASSERT_TRUE(s.KR20.has_value());
    EXPECT_NEAR(*s.KR20, 0.45833333333333337, 1e-12);
    EXPECT_EQ(s.GradeValues, (std::vector<double>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(s.GradeCounts, (std::vector<int>{2, 2, 1, 4, 0, 1}));
    EXPECT_EQ(s.PercentBins, (std::vector<int>{0, 0, 2, 0, 2, 0, 1, 0, 4, 1}));
}

TEST(ClassStatistics, ItemAnalysisOfAFixedClass) {
    const TClassStats s = Class(kClass, false).Stats;
    struct Expected {
        double P, D, Rpb;
        bool Weak;
    };
    const std::vector<Expected> expected = {
        {0.6, 2.0 / 3, 0.45643546458763845, false}, {0.8, 2.0 / 3, 0.5590169943749475, false},
        {0.5, 1.0, 0.7453559924999299, false},      {0.6, 0.0, 0.30429030972509247, true},
        {0.5, 2.0 / 3, 0.7453559924999299, false},
    };
    ASSERT_EQ(s.Questions.size(), expected.size());
    for (size_t q = 0; q < expected.size(); ++q) {
        const TQuestionStats& qs = s.Questions[q];
        EXPECT_NEAR(qs.P, expected[q].P, 1e-12) << q;
        ASSERT_TRUE(qs.D && qs.PointBiserial) << q;
        EXPECT_NEAR(*qs.D, expected[q].D, 1e-12) << q;
        EXPECT_NEAR(*qs.PointBiserial, expected[q].Rpb, 1e-12) << q;
        EXPECT_EQ(qs.WeakItem, expected[q].Weak) << q;
        EXPECT_FALSE(qs.TooHard || qs.TooEasy) << q;
    }
    EXPECT_EQ(s.Questions[0].LetterCounts, (std::vector<int>{6, 1, 1, 1}));
    EXPECT_EQ(s.Questions[0].Blank, 1);
    EXPECT_EQ(s.Questions[4].LetterCounts, (std::vector<int>{6, 3, 1, 1}));
    EXPECT_EQ(s.Questions[4].Double, 1);
}

TEST(ClassStatistics, FlagsAndFiguresThatDoNotExist) {
    // Everyone right on 1, everyone wrong on 2, and a partial-credit class:
    // p flags fire, the correlation of a constant item is undefined.
    const TClassStats s =
        Class({{"A", "A", "C", "D", "A"}, {"A", "A", "C", "A", "B"}, {"A", "C", "A", "A", "B"}}, false).Stats;
    EXPECT_TRUE(s.Questions[0].TooEasy);
    EXPECT_TRUE(s.Questions[1].TooHard);
    EXPECT_FALSE(s.Questions[0].PointBiserial.has_value());
    EXPECT_TRUE(s.KR20.has_value());

    TAnswerKey weighted = ParseAnswerKey(*ParseJson(R"({"Version":1,"Answers":["A","B"],"Points":[2,1]})"));
    Json doc = {{"QCnt", 2},
                {"ACnt", 4},
                {"Lista", {{{"Student", "1"}, {"Wyniki", {"A", "B"}}}, {{"Student", "2"}, {"Wyniki", {"B", "B"}}}}}};
    const TClassStats w = ComputeClassStatistics(ScoreEntries(doc, weighted), weighted, TSheetShape{4, false});
    EXPECT_FALSE(w.KR20.has_value());  // a two-point question is not scored 0/1
    EXPECT_DOUBLE_EQ(w.Questions[0].P, 0.5);

    const TClassStats empty = Class({}, true).Stats;
    EXPECT_EQ(empty.N, 0);
    EXPECT_FALSE(empty.KR20.has_value());
    EXPECT_FALSE(empty.Questions[0].D.has_value());
    EXPECT_FALSE(empty.Questions[0].TooHard);
}
