#include <gtest/gtest.h>

#include "core/common/Json.h"
#include "core/scoring/AnswerKey.h"
#include "core/scoring/ClassAnalysisJson.h"
#include "core/scoring/ClassStatistics.h"
#include "core/scoring/ScoreTable.h"
#include "core/scoring/Scoring.h"
#include "support/TestSupport.h"

using namespace quorlen;

namespace {

TAnswerKey Key(const std::string& text) { return ParseAnswerKey(*ParseJson(text)); }

struct QuestionCase {
    const char* Name;
    const char* Key;  // the key's answer for the question
    double Points;
    const char* Answer;
    TMultiMode Mode;
    bool Multi;
    double Expected;
};

void ExpectQuestionCases(const std::vector<QuestionCase>& cases) {
    for (const QuestionCase& c : cases) {
        const TAnswerKey key = Key(std::string(R"({"Version":1,"Answers":[")") + c.Key + R"("]})");
        const double got = ScoreQuestion(key.Questions[0], c.Points, c.Answer, -0.25, c.Mode, TSheetShape{5, c.Multi});
        EXPECT_NEAR(got, c.Expected, 1e-12) << c.Name;
    }
}

}  // namespace

TEST(Scoring, SingleChoiceQuestions) {
    const auto P = TMultiMode::Proportional;
    ExpectQuestionCases({
        {"right letter", "B", 2, "B", P, false, 2},
        {"wrong letter takes WrongPoints", "B", 2, "C", P, false, -0.25},
        {"blank space", "B", 2, " ", P, false, 0},
        {"blank empty", "B", 2, "", P, false, 0},
        {"double mark is wrong", "B", 2, "BC", P, false, -0.25},
        {"either of, first", "B|C", 1, "B", P, false, 1},
        {"either of, second", "B|C", 1, "C", P, false, 1},
        {"either of, neither", "B|C", 1, "D", P, false, -0.25},
        {"annulled, blank", "*", 3, "", P, false, 3},
        {"annulled, wrong", "*", 3, "E", P, false, 3},
        {"letter never on the sheet", "A", 1, "[", P, false, -0.25},
    });
}

TEST(Scoring, MultipleChoiceQuestions) {
    const auto P = TMultiMode::Proportional, All = TMultiMode::AllOrNothing, Box = TMultiMode::PerBox;
    ExpectQuestionCases({
        // Proportional: points × max(0, (NBC − NMC) / NB).
        {"proportional exact", "AC", 2, "AC", P, true, 2},
        {"proportional half", "AC", 2, "A", P, true, 1},
        {"proportional one right one wrong", "AC", 2, "AB", P, true, 0},
        {"proportional never negative", "AC", 2, "BDE", P, true, 0},
        {"proportional three of three minus one", "ACE", 3, "ABCE", P, true, 2},
        {"proportional blank", "AC", 2, " ", P, true, 0},
        {"proportional no WrongPoints", "A", 1, "B", P, true, 0},
        // All or nothing: the marked set must equal the key's.
        {"all exact", "AC", 2, "AC", All, true, 2},
        {"all exact in any order", "AC", 2, "CA", All, true, 2},
        {"all subset", "AC", 2, "A", All, true, 0},
        {"all superset", "AC", 2, "ABC", All, true, 0},
        // Per box: points × matching boxes / ACnt (5 boxes).
        {"per-box exact", "AC", 5, "AC", Box, true, 5},
        {"per-box one missed", "AC", 5, "A", Box, true, 4},
        {"per-box blank", "AC", 5, "", Box, true, 3},
        {"per-box all marked", "AC", 5, "ABCDE", Box, true, 2},
        // Either of several sets: the best one counts.
        {"either set, second", "AB|CD", 2, "CD", All, true, 2},
        {"either set, partial", "AB|CDE", 3, "CD", P, true, 2},
        {"annulled multi", "*", 2, "ABCDE", Box, true, 2},
    });
}

TEST(Scoring, TotalsPercentAndGrade) {
    struct Case {
        const char* Name;
        const char* Key;
        std::vector<std::string> Answers;
        double Points, Max, Percent, Grade;
    };
    const std::vector<Case> cases = {
        {"all right", R"({"Version":1,"Answers":["A","B"],"Points":[1,3]})", {"A", "B"}, 4, 4, 100, 6},
        {"annulled counts in Max and for everyone",
         R"({"Version":1,"Answers":["A","*"],"Points":[1,3]})",
         {"B", " "},
         3,
         4,
         75,
         4},
        {"negative total counts as 0 %",
         R"({"Version":1,"Answers":["A","B","C"],"WrongPoints":-1})",
         {"B", "C", ""},
         -2,
         3,
         0,
         1},
        {"custom grades, below the first is 1",
         R"({"Version":1,"Answers":["A","B","C","D"],"Grades":[[50,3],[80,5]]})",
         {"A", "", "", ""},
         1,
         4,
         25,
         1},
        {"custom grades, fractional",
         R"({"Version":1,"Answers":["A","B"],"Grades":[[50,3.5]]})",
         {"A", "A"},
         1,
         2,
         50,
         3.5},
    };
    for (const Case& c : cases) {
        const TEntryScore s = ScoreAnswers(Key(c.Key), "1", c.Answers, TSheetShape{4, false});
        EXPECT_DOUBLE_EQ(s.Points, c.Points) << c.Name;
        EXPECT_DOUBLE_EQ(s.Max, c.Max) << c.Name;
        EXPECT_DOUBLE_EQ(s.Percent, c.Percent) << c.Name;
        EXPECT_DOUBLE_EQ(s.Grade, c.Grade) << c.Name;
        EXPECT_EQ(s.Note, "") << c.Name;
    }
}

TEST(Scoring, GradeBoundariesRoundHalfUp) {
    struct Case {
        double Percent;
        double Grade;
    };
    const std::vector<TGradeStep> grades = DefaultGrades();
    for (const Case& c : std::vector<Case>{{0, 1},
                                           {29.4, 1},
                                           {29.49, 1},
                                           {29.5, 2},
                                           {30, 2},
                                           {49.5, 3},
                                           {74.4, 3},
                                           {74.5, 4},
                                           {89.5, 5},
                                           {99.4, 5},
                                           {99.5, 6},
                                           {100, 6},
                                           {-10, 1}})
        EXPECT_EQ(GradeFor(grades, c.Percent), c.Grade) << c.Percent;
    // 59 of 200 points is 29.5 % exactly, though not in binary.
    std::vector<std::string> answers(200, "B");
    for (int i = 0; i < 59; ++i) answers[static_cast<size_t>(i)] = "A";
    const TEntryScore s = ScoreAnswers(Key(R"({"Version":1,"Answers":[)" +
                                           [] {
                                               std::string a;
                                               for (int i = 0; i < 200; ++i) a += i ? ",\"A\"" : "\"A\"";
                                               return a;
                                           }() +
                                           "]}"),
                                       "1", answers, TSheetShape{5, false});
    EXPECT_DOUBLE_EQ(OneDecimal(s.Percent), 29.5);
    EXPECT_EQ(s.Grade, 2);
    EXPECT_DOUBLE_EQ(OneDecimal(200.0 / 3), 66.7);
    // 1473 of 5000 is 29.46 %, shown as 29.5 %: graded as shown.
    // (Spread over questions: a question's points are at most 1000.)
    const TAnswerKey heavy = Key(
        R"({"Version":1,"Answers":["A","A","A","B","B","B","B"],"Points":[491,491,491,1000,1000,1000,527]})");
    const TEntryScore shown =
        ScoreAnswers(heavy, "1", {"A", "A", "A", "A", "A", "A", "A"}, TSheetShape{2, false});
    EXPECT_DOUBLE_EQ(OneDecimal(shown.Percent), 29.5);
    EXPECT_EQ(shown.Grade, 2);
}

TEST(Scoring, VersionsByCodeAndRange) {
    const TAnswerKey key = Key(R"({"Version":1,"Answers":["A","B"],"Points":[1,2],
        "Versions":[{"Name":"B","Codes":["200-299","305"],"Answers":["B","A"]},
                    {"Name":"C","Codes":["250-260"],"Answers":["C","C"],"Points":[5,5]}]})");
    struct Case {
        const char* Code;
        std::vector<std::string> Answers;
        const char* Version;
        double Points, Max;
    };
    for (const Case& c : std::vector<Case>{
             {"0100", {"A", "B"}, "", 3, 3},
             {"199", {"B", "A"}, "", 0, 3},
             {"200", {"B", "A"}, "B", 3, 3},  // range start, main points
             {"255", {"B", "A"}, "B", 3, 3},  // first matching version wins
             {"299", {"B", "B"}, "B", 1, 3},  // range end
             {"300", {"B", "A"}, "", 0, 3},
             {"0305", {"B", "A"}, "B", 3, 3},  // the code's numeric value
             {"3_5", {"A", "B"}, "", 3, 3},    // not a number: main key
         }) {
        const TEntryScore s = ScoreAnswers(key, c.Code, c.Answers, TSheetShape{3, false});
        EXPECT_EQ(s.Version, c.Version) << c.Code;
        EXPECT_DOUBLE_EQ(s.Points, c.Points) << c.Code;
        EXPECT_DOUBLE_EQ(s.Max, c.Max) << c.Code;
    }
    const TAnswerKey own = Key(R"({"Version":1,"Answers":["A","B"],
        "Versions":[{"Name":"C","Codes":["7"],"Answers":["C","C"],"Points":[5,5]}]})");
    const TEntryScore s = ScoreAnswers(own, "7", {"C", "A"}, TSheetShape{3, false});
    EXPECT_DOUBLE_EQ(s.Points, 5);
    EXPECT_DOUBLE_EQ(s.Max, 10);
}

TEST(Scoring, MismatchedCountsScoreTheCommonQuestionsAndSaySo) {
    const TAnswerKey key = Key(R"({"Version":1,"Answers":["A","B","C"]})");
    struct Case {
        std::vector<std::string> Answers;
        double Points, Max;
    };
    for (const Case& c : std::vector<Case>{{{"A", "B"}, 2, 2}, {{"A", "B", "C", "D"}, 3, 3}, {{}, 0, 0}}) {
        const TEntryScore s = ScoreAnswers(key, "1", c.Answers, TSheetShape{4, false});
        EXPECT_DOUBLE_EQ(s.Points, c.Points);
        EXPECT_DOUBLE_EQ(s.Max, c.Max);
        EXPECT_NE(s.Note.find("wspólne pytania"), std::string::npos);
        EXPECT_EQ(s.ItemPoints.size(), std::min<size_t>(c.Answers.size(), 3));
    }
    EXPECT_DOUBLE_EQ(ScoreAnswers(key, "1", {}, TSheetShape{4, false}).Percent, 0);
}

TEST(AnswerKey, ValidationErrorsNameTheProblem) {
    struct Case {
        const char* Json;
        const char* Expected;  // a part of the message
    };
    const std::vector<Case> cases = {
        {R"([1])", "obiektem"},
        {R"({"Answers":["A"]})", "Version"},
        {R"({"Version":2,"Answers":["A"]})", "Version"},
        {R"({"Version":1})", "Answers"},
        {R"({"Version":1,"Answers":[]})", "Answers"},
        {R"({"Version":1,"Answers":["A",1]})", "Answers[2]"},
        {R"({"Version":1,"Answers":["a"]})", "niedozwolony znak"},
        {R"({"Version":1,"Answers":["A||B"]})", "pusta odpowiedź"},
        {R"({"Version":1,"Answers":[""]})", "pusta odpowiedź"},
        {R"({"Version":1,"Answers":["AA"]})", "powtórzona"},
        {R"({"Version":1,"Answers":["A","B"],"Points":[1]})", "Points: 1 wartości, a pytań jest 2"},
        {R"({"Version":1,"Answers":["A"],"Points":[-1]})", "Points[1]"},
        {R"({"Version":1,"Answers":["A"],"WrongPoints":"x"})", "WrongPoints"},
        {R"({"Version":1,"Answers":["A"],"Multi":"some"})", "Multi"},
        {R"({"Version":1,"Answers":["A"],"Grades":[[50,3],[40,4]]})", "rosnąć"},
        {R"({"Version":1,"Answers":["A"],"Grades":[[101,3]]})", "0–100"},
        {R"({"Version":1,"Answers":["A"],"Grades":[[50.5,3]]})", "całkowity"},
        {R"({"Version":1,"Answers":["A"],"Versions":[{"Codes":["1"],"Answers":["A"]}]})", "Name"},
        {R"({"Version":1,"Answers":["A"],"Versions":[{"Name":"B","Codes":["300-200"],"Answers":["A"]}]})",
         "kończy się przed początkiem"},
        {R"({"Version":1,"Answers":["A"],"Versions":[{"Name":"B","Codes":["2x"],"Answers":["A"]}]})", "\"2x\""},
        {R"({"Version":1,"Answers":["A"],"Versions":[{"Name":"B","Codes":["-5"],"Answers":["A"]}]})", "\"-5\""},
        {R"({"Version":1,"Answers":["A"],"Versions":[{"Name":"B","Codes":[],"Answers":["A"]}]})", "Codes"},
        {R"({"Version":1,"Answers":["A"],"Versions":[{"Name":"B","Codes":["1"],"Answers":["A","B"]}]})",
         "Versions[1].Answers: 2 odpowiedzi, a klucz główny ma 1"},
        // Bounds: a sum of 1e308 went to infinity (written as null), positive
        // wrong points gave 396 %, a 10 MB name ran out of memory.
        {R"({"Version":1,"Answers":["A","B"],"Points":[1,1e308]})", "Points[2]: punkty muszą być liczbą od 0 do 1000"},
        {R"({"Version":1,"Answers":["A"],"Points":[1000.5]})", "Points[1]"},
        {R"({"Version":1,"Answers":["A"],"WrongPoints":5})", "WrongPoints: punkty za złą odpowiedź"},
        {R"({"Version":1,"Answers":["A"],"WrongPoints":0.01})", "od -1000 do 0"},
        {R"({"Version":1,"Answers":["A"],"WrongPoints":-1000.5})", "od -1000 do 0"},
        {R"({"Version":1,"Answers":["A"],"Versions":[{"Name":"B","Codes":["1"],"Answers":["A"],"Points":[2000]}]})",
         "Versions[1].Points[1]"},
    };
    const std::string longName = "{\"Version\":1,\"Answers\":[\"A\"],\"Versions\":[{\"Name\":\"" +
                                 std::string(201, 'x') + "\",\"Codes\":[\"1\"],\"Answers\":[\"A\"]}]}";
    try {
        Key(longName);
        ADD_FAILURE() << "a name of 201 characters was accepted";
    } catch (const TKeyError& e) {
        EXPECT_NE(std::string(e.what()).find("Versions[1].Name: nazwa wersji może mieć najwyżej 200 znaków"),
                  std::string::npos)
            << e.what();
    }
    for (const Case& c : cases) {
        try {
            Key(c.Json);
            ADD_FAILURE() << "accepted: " << c.Json;
        } catch (const TKeyError& e) {
            EXPECT_NE(std::string(e.what()).find(c.Expected), std::string::npos) << c.Json << " → " << e.what();
        }
    }
}

TEST(AnswerKey, ValuesAtTheBoundsAreAccepted) {
    std::string name;
    for (int i = 0; i < 200; ++i) name += "ż";  // characters, not bytes
    const TAnswerKey key = Key(R"({"Version":1,"Answers":["A","B"],"Points":[0,1000],"WrongPoints":-1000,)"
                               R"("Versions":[{"Name":")" +
                               name + R"(","Codes":["1"],"Answers":["B","A"]}]})");
    EXPECT_EQ(key.Points[1], 1000);
    EXPECT_EQ(key.WrongPoints, -1000);
    EXPECT_EQ(key.Versions[0].Name, name);
}

TEST(AnswerKey, FitsTheRunOrSaysWhy) {
    const TAnswerKey key = Key(R"({"Version":1,"Answers":["A","E"],
        "Versions":[{"Name":"B","Codes":["1"],"Answers":["A","F"]}]})");
    EXPECT_NO_THROW(CheckKeyFits(key, 2, 6));
    EXPECT_THROW(CheckKeyFits(key, 3, 6), TKeyError);
    try {
        CheckKeyFits(key, 2, 5);
        FAIL();
    } catch (const TKeyError& e) {
        EXPECT_NE(std::string(e.what()).find("Versions[1].Answers[2]"), std::string::npos) << e.what();
    }
    EXPECT_THROW(CheckKeyFits(key, 2, 4), TKeyError);
}

TEST(AnswerKey, RoundTripsThroughItsFile) {
    const TAnswerKey key = Key(R"({"Version":1,"Answers":["B","AC","*","B|C"],"Points":[1,2,1,0.5],
        "WrongPoints":-0.25,"Multi":"per-box","Grades":[[30,2],[60,3.5]],
        "Versions":[{"Name":"B","Codes":["200-299","305"],"Answers":["A","B","C","D"]}],"Sheet":"klucz.png"})");
    quorlen::testing::TempDir dir;
    const std::string path = dir.File("sprawdzian.klucz.json");
    WriteAnswerKeyFile(path, key);
    const TAnswerKey back = ReadAnswerKeyFile(path);
    EXPECT_EQ(AnswerKeyToJson(back), AnswerKeyToJson(key));
    EXPECT_EQ(AnswerKeyToJson(key)["Grades"].dump(), "[[30,2],[60,3.5]]");
    EXPECT_EQ(back.Versions[0].Codes[0].Last, 299);
    EXPECT_THROW(ReadAnswerKeyFile(dir.File("missing.klucz.json")), TKeyError);
    quorlen::testing::WriteFileBytes(path, R"({"Version":1,"Answers":["A"],})");
    EXPECT_THROW(ReadAnswerKeyFile(path), TKeyError);
}

TEST(AnswerKey, FromAScannedSheet) {
    const TAnswerKey key = KeyFromSheet({"B", " ", "", "A"}, "klucz.png");
    EXPECT_EQ(key.Answers, (std::vector<std::string>{"B", "*", "*", "A"}));
    EXPECT_EQ(key.Points, (std::vector<double>{1, 1, 1, 1}));
    EXPECT_EQ(key.Sheet, "klucz.png");
}

TEST(ScoreDocument, AddsScoresAndKeepsEveryOtherKey) {
    Json doc = *ParseJson(R"({"Version":1,"Project":"P","QCnt":3,"ACnt":4,"MultiChoice":false,"Folder":"f",
        "Date":1,"Date2":"x","Lista":[
          {"Student":"0001","FileName":"a.png","Wyniki":["A","B","C"]},
          {"Student":"0002","FileName":"b.png","Wyniki":["A","A"]},
          {"Student":"0003","FileName":"k.png","Wyniki":["A","B","D"]}],
        "Pominiete":[{"FileName":"z.png","Status":2,"Message":"m"}]})");
    const Json before = doc;
    TAnswerKey key = Key(R"({"Version":1,"Answers":["A","B","D"],"Sheet":"k.png"})");
    ScoreDocument(doc, key);
    EXPECT_EQ(doc["Klucz"], AnswerKeyToJson(key));
    EXPECT_EQ(doc["Pominiete"], before["Pominiete"]);
    const Json& e = doc["Lista"];
    EXPECT_EQ(e[0]["Punkty"], 2.0);
    EXPECT_EQ(e[0]["Max"], 3.0);
    EXPECT_EQ(e[0]["Procent"], 66.7);
    EXPECT_EQ(e[0]["Ocena"], 3);
    EXPECT_EQ(e[0]["Wersja"], "");
    EXPECT_FALSE(e[0].contains("Uwagi"));
    EXPECT_EQ(e[1]["Max"], 2.0);
    EXPECT_TRUE(e[1].contains("Uwagi"));
    EXPECT_TRUE(e[2].contains("Uwagi"));
    for (size_t i = 0; i < 3; ++i)
        for (const char* k : {"Student", "FileName", "Wyniki"}) EXPECT_EQ(e[i][k], before["Lista"][i][k]);
    // Scored again with a key that fits every sheet: no remark is left over.
    ScoreDocument(doc, Key(R"({"Version":1,"Answers":["A","B","*"]})"));
    EXPECT_FALSE(doc["Lista"][2].contains("Uwagi"));
    EXPECT_TRUE(doc["Lista"][1].contains("Uwagi"));
    Json wrong = before;
    EXPECT_THROW(ScoreDocument(wrong, Key(R"({"Version":1,"Answers":["A","B"]})")), TKeyError);
    EXPECT_EQ(wrong, before);
}

// A sheet whose reading was cut (Esc, "Przerwij", "Zakończ", a wrong answer
// count) holds only the answers read so far: it gets no grade, says why, and
// the class figures leave it out, whatever status it carries.
TEST(ScoreDocument, SheetsWhoseReadingDidNotEndGetNoGradeAndStayOutOfTheClass) {
    struct Case {
        const char* Name;
        int Status;
        const char* Message;
        const char* Note;
    };
    for (const Case& c : {Case{"interrupted", 2, "Procedura przerwana przez Użytkownika.",
                               "Bez oceny: odczyt arkusza nie został dokończony (status 2: Procedura przerwana przez "
                               "Użytkownika)."},
                          Case{"count off", 3, "Niezgodna ilość odpowiedzi\r(2 zamiast 3)",
                               "Bez oceny: odczyt arkusza nie został dokończony (status 3: Niezgodna ilość "
                               "odpowiedzi (2 zamiast 3))."},
                          Case{"no message", 1, "", "Bez oceny: odczyt arkusza nie został dokończony (status 1)."}}) {
        Json doc = *ParseJson(R"({"Version":1,"Project":"P","QCnt":3,"ACnt":4,"MultiChoice":false,"Lista":[
              {"Student":"1","FileName":"a.png","Wyniki":["A","B","D"]},
              {"Student":"2","FileName":"b.png","Wyniki":["A","C","D"]},
              {"Student":"3","FileName":"c.png","Wyniki":["A"]}]})");
        doc["Lista"][2]["Status"] = c.Status;
        doc["Lista"][2]["Message"] = c.Message;
        const TAnswerKey key = Key(R"({"Version":1,"Answers":["A","B","D"]})");
        const std::vector<TScoredEntry> scored = ScoreEntries(doc, key);
        ASSERT_EQ(scored.size(), 3u) << c.Name;
        EXPECT_FALSE(scored[2].Score.Graded) << c.Name;
        EXPECT_FALSE(scored[2].Counted()) << c.Name;
        EXPECT_TRUE(scored[0].Counted() && scored[1].Counted()) << c.Name;
        EXPECT_EQ(scored[2].Status, c.Status) << c.Name;
        // The class is the two whole sheets: 3 and 2 points.
        const TClassStats stats = ComputeClassStatistics(scored, key, ShapeOf(doc));
        EXPECT_EQ(stats.N, 2) << c.Name;
        EXPECT_DOUBLE_EQ(stats.Mean, 2.5) << c.Name;
        EXPECT_DOUBLE_EQ(stats.Min, 2) << c.Name;
        EXPECT_EQ(stats.Questions[0].Answered, 2) << c.Name;
        EXPECT_EQ(stats.GradeCounts[0], 0) << c.Name << ": no grade 1 for the cut sheet";

        ScoreDocument(doc, key);
        const Json& e = doc["Lista"][2];
        EXPECT_TRUE(e["Punkty"].is_null()) << c.Name;
        EXPECT_TRUE(e["Procent"].is_null()) << c.Name;
        EXPECT_TRUE(e["Ocena"].is_null()) << c.Name;
        EXPECT_EQ(e["Max"], 3.0) << c.Name;
        EXPECT_EQ(e["Uwagi"], c.Note) << c.Name;
        EXPECT_EQ(e["Status"], c.Status) << c.Name;
        EXPECT_EQ(doc["Lista"][0]["Punkty"], 3.0) << c.Name;
        // The class figures the program hands on leave it out too.
        ASSERT_TRUE(AddClassAnalysis(doc)) << c.Name;
        EXPECT_EQ(doc["Analiza"]["N"], 2) << c.Name;
        // Tables show empty figures, not zeros, and carry status and remark.
        const std::string csv = ScoresCsv(scored);
        EXPECT_NE(csv.find("3;3;c.png;;;3;;;" + std::to_string(c.Status) + ";" + c.Note + "\r\n"), std::string::npos)
            << csv;
    }
}

// Two sheets with one code are two entries for one student: both say so,
// and the class figures count the code once (its first sheet the class can
// count), and say that too.
TEST(ScoreDocument, RepeatedCodesAreFlaggedOnEverySheetAndCountOnceInTheClass) {
    Json doc = *ParseJson(R"({"Version":1,"Project":"P","QCnt":2,"ACnt":4,"MultiChoice":false,"Lista":[
          {"Student":"1001","FileName":"a.png","Wyniki":["A"],"Status":2,"Message":"Przerwano"},
          {"Student":"1001","FileName":"b.png","Wyniki":["A","B"]},
          {"Student":"5","FileName":"c.png","Wyniki":["C","C"]},
          {"Student":"1001","FileName":"d.png","Wyniki":["C","C"]},
          {"Student":"7","FileName":"e.png","Wyniki":["A","C"]},
          {"Student":"7","FileName":"f.png","Wyniki":["A","C"]}]})");
    const TAnswerKey key = Key(R"({"Version":1,"Answers":["A","B"]})");
    const std::vector<TScoredEntry> scored = ScoreEntries(doc, key);
    const std::vector<bool> counted = {false, true, true, false, true, false};
    for (size_t i = 0; i < scored.size(); ++i) EXPECT_EQ(scored[i].Counted(), counted[i]) << i;
    const TClassStats stats = ComputeClassStatistics(scored, key, ShapeOf(doc));
    EXPECT_EQ(stats.N, 3);  // 1001 by b.png (a.png was cut short), 5, 7
    EXPECT_DOUBLE_EQ(stats.Mean, (2 + 0 + 1) / 3.0);
    EXPECT_EQ(RepeatedCodesRemark(stats),
              "Kody powtórzone na kilku arkuszach, w statystyce liczone raz: 1001 (3 arkusze), 7 (2 arkusze).");

    ScoreDocument(doc, key);
    const Json& e = doc["Lista"];
    EXPECT_EQ(e[1]["Uwagi"], "Kod 1001 powtarza się na 3 arkuszach.");
    EXPECT_EQ(e[3]["Uwagi"], "Kod 1001 powtarza się na 3 arkuszach.");
    EXPECT_EQ(e[5]["Uwagi"], "Kod 7 powtarza się na 2 arkuszach.");
    EXPECT_EQ(e[0]["Uwagi"],
              "Bez oceny: odczyt arkusza nie został dokończony (status 2: Przerwano). Kod 1001 powtarza się na 3 "
              "arkuszach.");
    EXPECT_FALSE(e[2].contains("Uwagi"));
    // A later sheet of a code keeps its own score: only the class counts once.
    EXPECT_EQ(e[3]["Punkty"], 0.0);
    ASSERT_TRUE(AddClassAnalysis(doc));
    EXPECT_EQ(doc["Analiza"]["N"], 3);
    EXPECT_EQ(doc["Analiza"]["Uwagi"], RepeatedCodesRemark(stats));
}

TEST(ClassStatistics, RepeatedCodesRemarkUsesThePolishPluralOfSheets) {
    for (const auto& [n, word] : std::vector<std::pair<int, std::string>>{
             {2, "arkusze"}, {4, "arkusze"}, {5, "arkuszy"}, {12, "arkuszy"}, {14, "arkuszy"}, {19, "arkuszy"},
             {22, "arkusze"}, {112, "arkuszy"}}) {
        TClassStats stats;
        stats.RepeatedCodes = {{"1001", n}};
        EXPECT_EQ(RepeatedCodesRemark(stats), "Kody powtórzone na kilku arkuszach, w statystyce liczone raz: 1001 (" +
                                                  std::to_string(n) + " " + word + ").")
            << n;
    }
    EXPECT_EQ(RepeatedCodesRemark(TClassStats{}), "");
}
