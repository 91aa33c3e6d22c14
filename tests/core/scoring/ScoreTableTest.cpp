#include <gtest/gtest.h>

#include "core/scoring/ScoreTable.h"

using namespace quorlen;

TEST(ScoreTable, PolishNumbers) {
    struct Case {
        double Value;
        int Decimals;
        bool Fixed;
        const char* Expected;
    };
    for (const Case& c : std::vector<Case>{{2.5, 2, false, "2,5"},
                                           {3, 2, false, "3"},
                                           {-0.25, 2, false, "-0,25"},
                                           {-0.001, 2, false, "0"},
                                           {-0.01, 1, true, "0,0"},
                                           {66.7, 1, true, "66,7"},
                                           {66, 1, true, "66,0"},
                                           {1.0 / 3, 2, true, "0,33"},
                                           {100, 1, true, "100,0"}})
        EXPECT_EQ(PolishNumber(c.Value, c.Decimals, c.Fixed), c.Expected) << c.Value;
}

TEST(ScoreTable, CsvRowsAndQuoting) {
    TScoredEntry a;
    a.Student = "0042";
    a.FileName = "skan;1.png";
    a.Score.Points = 7.5;
    a.Score.Max = 10;
    a.Score.Percent = 75;
    a.Score.Grade = 4;
    TScoredEntry b = a;
    b.Student = "0043";
    b.FileName = "a\"b.png";
    b.Score.Version = "B";
    b.Score.Points = -1;
    b.Score.Percent = 0;
    b.Score.Grade = 1;
    EXPECT_EQ(ScoresCsv({a, b}),
              "\xEF\xBB\xBFLp;ID;Skan;Wersja;Punkty;Max;Procent;Ocena;Status;Uwagi\r\n"
              "1;0042;\"skan;1.png\";;7,5;10;75,0;4;0;\r\n"
              "2;0043;\"a\"\"b.png\";B;-1;10;0,0;1;0;\r\n");
    EXPECT_EQ(ScoresCsv({}), "\xEF\xBB\xBFLp;ID;Skan;Wersja;Punkty;Max;Procent;Ocena;Status;Uwagi\r\n");
    a.FileName = "żółw.png";
    const std::string text = ScoresText({a});
    EXPECT_EQ(text,
              "Lp  ID    Skan      Wersja  Punkty  Max  Procent  Ocena  Uwagi\n"
              " 1  0042  żółw.png             7,5   10     75,0      4\n");
}
