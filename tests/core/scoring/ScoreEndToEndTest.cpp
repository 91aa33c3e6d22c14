#include <gtest/gtest.h>

#include <map>

#include "core/common/Json.h"
#include "support/TestSupport.h"
#include "testing/SimulateSheets.h"

using namespace quorlen;
using quorlen::testing::ReadFileBytes;
using quorlen::testing::RunCommand;
using quorlen::testing::TempDir;
using quorlen::testing::WriteFileBytes;

namespace {

const std::string kCli = QUORLEN_CLI_PATH;

// The class: 8 simulated sheets, codes 296..303; 300 and up write version B.
// The key weighs questions, takes half a point for a wrong answer and annuls
// question 5.
struct SimulatedClass {
    TempDir Dir{"scoring"};
    Json Truth;
    std::vector<std::string> Main, VersionB;
    std::vector<double> Points;
    std::string KeyPath;

    SimulatedClass() {
        sim::TBatchOptions o;
        o.Questions = 20;
        o.Answers = 4;
        o.Count = 8;
        o.CodesFrom = 296;
        o.BlankRate = 0.1;
        o.OutDir = Dir.File("skany");
        o.Seed = 1;
        Truth = sim::SimulateBatch(o);
        for (int q = 0; q < 20; ++q) {
            Main.push_back(std::string(1, static_cast<char>('A' + q % 4)));
            VersionB.push_back(std::string(1, static_cast<char>('A' + (q * 3 + 1) % 4)));
            Points.push_back(1 + q % 3);
        }
        Main[4] = "*";
        Json key = {{"Version", 1},
                    {"Answers", Main},
                    {"Points", Points},
                    {"WrongPoints", -0.5},
                    {"Versions", {{{"Name", "B"}, {"Codes", {"300-399"}}, {"Answers", VersionB}}}}};
        KeyPath = Dir.File("test.klucz.json");
        WriteFileBytes(KeyPath, key.dump());
    }

    // Worked out from what the simulator marked, not from what was read.
    std::map<std::string, double> ExpectedPoints() const {
        std::map<std::string, double> out;
        for (const Json& f : Truth["Files"]) {
            const std::string code = f["Code"];
            const auto& key = std::stoi(code) >= 300 ? VersionB : Main;
            double total = 0;
            for (size_t q = 0; q < key.size(); ++q) {
                const std::string a = f["Answers"][q];
                if (key[q] == "*")
                    total += Points[q];
                else if (a == key[q])
                    total += Points[q];
                else if (!a.empty())
                    total -= 0.5;
            }
            out[code] = total;
        }
        return out;
    }
};

}  // namespace

TEST(ScoreEndToEnd, AnalyzeWithAKeyGivesEveryStudentTheTruthsPoints) {
    SimulatedClass c;
    const std::string results = c.Dir.File("wyniki.json");
    ASSERT_EQ(RunCommand(kCli + " analyze " + c.Dir.File("skany") + " --questions 20 --answers 4 --threads 2" +
                         " --pause-us 0 --key " + c.KeyPath + " --out " + results + " 2>/dev/null"),
              0);
    const Json doc = *ParseJsonFile(results);
    ASSERT_TRUE(doc.contains("Klucz"));
    const auto expected = c.ExpectedPoints();
    ASSERT_EQ(doc["Lista"].size(), expected.size());
    int versionB = 0;
    for (const Json& e : doc["Lista"]) {
        const std::string code = std::to_string(std::stoi(e["Student"].get<std::string>()));
        ASSERT_TRUE(expected.count(code)) << code;
        EXPECT_DOUBLE_EQ(e["Punkty"].get<double>(), expected.at(code)) << code;
        EXPECT_DOUBLE_EQ(e["Max"].get<double>(), 39) << code;
        EXPECT_EQ(e["Wersja"], std::stoi(code) >= 300 ? "B" : "") << code;
        versionB += e["Wersja"] == "B";
    }
    EXPECT_EQ(versionB, 4);

    // The same run without a key has none of the scoring keys.
    const std::string plain = c.Dir.File("bez-klucza.json");
    ASSERT_EQ(RunCommand(kCli + " analyze " + c.Dir.File("skany") + " --questions 20 --answers 4 --threads 2" +
                         " --pause-us 0 --out " + plain + " 2>/dev/null"),
              0);
    const Json bare = *ParseJsonFile(plain);
    EXPECT_FALSE(bare.contains("Klucz"));
    for (const Json& e : bare["Lista"]) EXPECT_EQ(e.size(), 3u) << e.dump();

    // A key that does not fit stops the run before it reads a scan.
    WriteFileBytes(c.Dir.File("zly.klucz.json"), R"({"Version":1,"Answers":["A","E"]})");
    std::string out;
    EXPECT_EQ(RunCommand(kCli + " analyze " + c.Dir.File("skany") + " --questions 20 --answers 4 --key " +
                             c.Dir.File("zly.klucz.json") + " 2>&1",
                         &out),
              1);
    EXPECT_NE(out.find("klucz ma 2 pytań, a projekt 20"), std::string::npos) << out;
}

TEST(ScoreEndToEnd, ScoreWritesTheTableTheCsvAndAWellFormedReport) {
    SimulatedClass c;
    WriteFileBytes(c.Dir.File("skany/zepsuty.png"), "not a picture");
    const std::string results = c.Dir.File("wyniki.json");
    ASSERT_EQ(RunCommand(kCli + " analyze " + c.Dir.File("skany") + " --questions 20 --answers 4 --threads 2" +
                         " --pause-us 0 --out " + results + " 2>/dev/null"),
              0);
    const std::string csv = c.Dir.File("wyniki.csv"), report = c.Dir.File("raport.html");
    std::string table;
    ASSERT_EQ(RunCommand(kCli + " score " + results + " --key " + c.KeyPath + " --csv " + csv + " --report " + report +
                             " 2>/dev/null",
                         &table),
              0);
    EXPECT_EQ(table.substr(0, table.find('\n')), "Lp  ID   Skan          Wersja  Punkty  Max  Procent  Ocena  Uwagi");
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 9);
    const std::string bytes = ReadFileBytes(csv);
    ASSERT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(bytes.substr(3, bytes.find("\r\n") - 3), "Lp;ID;Skan;Wersja;Punkty;Max;Procent;Ocena;Status;Uwagi");
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 9);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\r'), 9);

    // A real XML parser, not a look at the text.
    EXPECT_EQ(RunCommand("xmllint --noout --nonet " + report + " 2>&1"), 0);
    const std::string html = ReadFileBytes(report);
    EXPECT_EQ(html.find("<script"), std::string::npos);
    for (const char* fetch : {"src=", "href=", "url(", "@import"}) EXPECT_EQ(html.find(fetch), std::string::npos);
    size_t charts = 0;
    for (size_t at = html.find("<svg"); at != std::string::npos; at = html.find("<svg", at + 1)) ++charts;
    EXPECT_EQ(charts, 2u + 20u);  // two histograms and a bar per question
    for (const Json& f : c.Truth["Files"]) EXPECT_NE(html.find(f["File"].get<std::string>()), std::string::npos);
    // The scan without a result is named in the report and on the terminal.
    EXPECT_NE(html.find("Skany bez wyniku"), std::string::npos);
    EXPECT_NE(html.find("zepsuty.png"), std::string::npos);
    std::string skipped;
    ASSERT_EQ(RunCommand(kCli + " score " + results + " --key " + c.KeyPath + " 2>&1 >/dev/null", &skipped), 0);
    EXPECT_NE(skipped.find("Skan bez wyniku: zepsuty.png"), std::string::npos) << skipped;

    std::string err;
    EXPECT_EQ(RunCommand(kCli + " score " + results + " 2>&1", &err), 2);
    EXPECT_EQ(RunCommand(kCli + " score " + c.KeyPath + " --key " + c.KeyPath + " 2>&1", &err), 1);
    EXPECT_NE(err.find("nie jest plikiem wyników"), std::string::npos) << err;
}

// score --out writes the document analyze --key would have written, so that
// an export of scores needs no second reading of the folder.
TEST(ScoreEndToEnd, ScoreOutWritesTheScoredResultsDocumentAsAnalyzeWithAKeyDoes) {
    SimulatedClass c;
    const std::string plain = c.Dir.File("wyniki.json"), keyed = c.Dir.File("klucz.json");
    const std::string analyze = kCli + " analyze " + c.Dir.File("skany") +
                                " --questions 20 --answers 4 --threads 1 --pause-us 0 --out ";
    ASSERT_EQ(RunCommand(analyze + plain + " 2>/dev/null"), 0);
    ASSERT_EQ(RunCommand(analyze + keyed + " --key " + c.KeyPath + " 2>/dev/null"), 0);
    const std::string scored = c.Dir.File("ocenione.json");
    std::string err;
    ASSERT_EQ(RunCommand(kCli + " score " + plain + " --key " + c.KeyPath + " --out " + scored + " 2>&1 >/dev/null",
                         &err),
              0)
        << err;
    EXPECT_NE(err.find("Scored results written to " + scored), std::string::npos) << err;
    auto fromScore = ParseJsonFile(scored), fromAnalyze = ParseJsonFile(keyed);
    ASSERT_TRUE(fromScore && fromAnalyze);
    for (Json* d : {&*fromScore, &*fromAnalyze}) {
        d->erase("Date");
        d->erase("Date2");
    }
    EXPECT_EQ(*fromScore, *fromAnalyze);
    EXPECT_EQ((*fromScore)["Lista"].size(), 8u);
    EXPECT_FALSE(fromScore->contains("Analiza")) << "the results file never holds the class figures";
    // The input stays as it was.
    EXPECT_FALSE(ParseJsonFile(plain)->contains("Klucz"));
    EXPECT_EQ(RunCommand(kCli + " score " + plain + " --key " + c.KeyPath + " --out 2>&1 >/dev/null", &err), 2);
    EXPECT_NE(err.find("option --out needs a value"), std::string::npos) << err;
}
