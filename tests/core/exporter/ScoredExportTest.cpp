// A document scored against a key, through the host and the shipped plug-in:
// the score columns, the "Analiza" sheet and the database's score columns,
// read back by Python's csv module, openpyxl and the sqlite3 shell.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/exporter/ExporterHost.h"
#include "core/exporter/ExporterTestSupport.h"
#include "core/scoring/Scoring.h"
#ifdef QUORLEN_SHIPPED_EXPORTER
#include "core/exporter/ShippedExport.h"
#endif

namespace quorlen {
namespace {

using testing::SampleResults;
using testing::TempDir;

// Four questions, the last annulled, one version for code 7 and negative
// marking. The sheets, worked by hand:
//   0042  A _ C A  main  1 + 0 + 1 + 1        = 3    of 5  60,0 %  3
//   7     B D _ C  "B"   1 + 2 + 0 + 1        = 4    of 5  80,0 %  4
//   0001  AB _ B _ main  -0,25 + 0 - 0,25 + 1 = 0,5  of 5  10,0 %  1
//   12    A B C D  main  1 - 0,25 + 1 + 1     = 2,75 of 5  55,0 %  3
//   9     B D      main  -0,25 + 2            = 1,75 of 3  58,3 %  3 (two answers: remark)
const char* const kKey = R"({"Version":1,"Answers":["A","D","C","*"],"Points":[1,2,1,1],"WrongPoints":-0.25,
    "Versions":[{"Name":"B","Codes":["7"],"Answers":["B","D","A","*"]}]})";

Json UnscoredClass() {
    Json doc = SampleResults();
    doc["QCnt"] = 4;
    doc["Lista"] = Json::parse(R"([
        {"Student":"0042","FileName":"a.png","Wyniki":["A"," ","C","A"]},
        {"Student":"7","FileName":"b.png","Wyniki":["B","D","","C"]},
        {"Student":"0001","FileName":"c;\"d\".png","Wyniki":["AB"," ","B"," "]},
        {"Student":"12","FileName":"d.png","Wyniki":["A","B","C","D"]},
        {"Student":"9","FileName":"e.png","Wyniki":["B","D"]}])");
    return doc;
}

Json ScoredClass() {
    Json doc = UnscoredClass();
    ScoreDocument(doc, ParseAnswerKey(Json::parse(kKey)));
    return doc;
}

// The host hands a scored document over with its class figures; an unscored
// one, or one whose key or entries no longer read, goes exactly as it is.
TEST(ScoredExport, TheHostAddsTheClassFiguresOnlyToAScoredDocument) {
    TempDir dir;
    testing::InstallTestExporter(dir.Path() / "data", {{"types", R"([{"FilterName":"A","Filter":"*.a"},
        {"Virtual":true,"DeviceName":"D"}])"}},
                                 dir.File("calls.log"));
    TExporterHost host;
    ASSERT_EQ(host.LoadExporter({(dir.Path() / "data").string(), dir.File("bin")}), TLoadStatus::Loaded);
    const auto sent = [&] {
        const std::string call = testing::LogLines(dir.File("calls.log")).back();
        return Json::parse(call.substr(call.find(' ') + 1))["Wyniki"];
    };
    Json badKey = ScoredClass(), badEntry = ScoredClass();
    badKey["Klucz"]["Answers"][0] = "Z";
    badEntry["Lista"][1] = "not an entry";
    for (const Json& doc : {UnscoredClass(), badKey, badEntry}) {
        ASSERT_TRUE(host.SaveResultsToFile("/tmp/x.a", 2, doc).Ok);
        EXPECT_EQ(sent(), doc);
    }
    const Json scored = ScoredClass();
    ASSERT_TRUE(host.SaveResultsToFile("/tmp/x.a", 2, scored).Ok);
    Json file = sent();
    ASSERT_TRUE(host.SaveResultsToDevice(0, scored).Ok);
    EXPECT_EQ(sent(), file) << "the same figures for a file and a device";
    EXPECT_EQ(file["Analiza"]["N"], 5);
    EXPECT_EQ(file["Analiza"]["Questions"].size(), 4u);
    file.erase("Analiza");
    EXPECT_EQ(file, scored) << "nothing else changes";
}

#ifdef QUORLEN_SHIPPED_EXPORTER
std::string PythonRows(const testing::TShippedExport& e, const std::string& csv) {
    return e.Python("import csv\nwith open('" + csv +
                    "', newline='', encoding='utf-8-sig') as f:\n"
                    "    for row in csv.reader(f, delimiter=';'): print(repr(row))\n");
}

// The score columns follow the answers, named and written as quorlen-cli
// score --csv writes them.
TEST(ScoredExport, CsvAddsTheScoreColumnsOfTheScoreCommand) {
    testing::TShippedExport e(ScoredClass());
    std::string out;
    ASSERT_EQ(e.Run("--type 1 --out " + e.dir.File("w.csv"), &out), 0) << out;
    EXPECT_EQ(PythonRows(e, e.dir.File("w.csv")),
              "['Lp', 'ID', 'Skan', '1', '2', '3', '4', 'Wersja', 'Punkty', 'Max', 'Procent', 'Ocena', 'Status', "
              "'Uwagi']\n"
              "['1', '0042', 'a.png', 'A', '', 'C', 'A', '', '3', '5', '60,0', '3', '0', '']\n"
              "['2', '7', 'b.png', 'B', 'D', '', 'C', 'B', '4', '5', '80,0', '4', '0', '']\n"
              "['3', '0001', 'c;\"d\".png', 'AB', '', 'B', '', '', '0,5', '5', '10,0', '1', '0', '']\n"
              "['4', '12', 'd.png', 'A', 'B', 'C', 'D', '', '2,75', '5', '55,0', '3', '0', '']\n"
              "['5', '9', 'e.png', 'B', 'D', '', '', '', '1,75', '3', '58,3', '3', '0', 'Arkusz ma 2 odpowiedzi, a klucz 4 pytań: ocenione wspólne pytania.']\n");

    testing::WriteFileBytes(e.dir.File("k.klucz.json"), kKey);
    ASSERT_EQ(testing::RunCommand(QUORLEN_CLI_PATH " score '" + e.results + "' --key '" + e.dir.File("k.klucz.json") +
                                  "' --csv '" + e.dir.File("s.csv") + "' >/dev/null 2>&1"),
              0);
    const std::string compare = e.Python(
        "import csv\n"
        "def rows(name):\n"
        "    with open(name, newline='', encoding='utf-8-sig') as f: return list(csv.reader(f, delimiter=';'))\n"
        "ours, score = rows('" +
        e.dir.File("w.csv") + "'), rows('" + e.dir.File("s.csv") +
        "')\n"
        "print([r[-7:] for r in ours] == [r[3:] for r in score])\n");
    EXPECT_EQ(compare, "True\n");
}

// Scores are numbers; the analysis sheet holds the figures worked by hand
// from the table above (top group {7}, bottom {0001}); the correlations,
// the mean percent and the standard deviation are Python's
// statistics.correlation, mean and pstdev of the same shares and totals.
TEST(ScoredExport, XlsxHasScoresAsNumbersAndTheAnalysisSheet) {
    testing::TShippedExport e(ScoredClass());
    std::string out;
    ASSERT_EQ(e.Run("--type 2 --out " + e.dir.File("w.xlsx"), &out), 0) << out;
    const std::string read = e.Python(
        "import openpyxl\n"
        "def show(ws):\n"
        "    for row in ws.iter_rows(values_only=True):\n"
        "        row = [round(v, 6) if isinstance(v, float) else v for v in row]\n"
        "        while row and row[-1] is None: row.pop()\n"
        "        print(tuple(row))\n"
        "wb = openpyxl.load_workbook('" +
        e.dir.File("w.xlsx") +
        "')\n"
        "print(wb.sheetnames)\n"
        "show(wb['Wyniki'])\n"
        "print(wb['Wyniki']['K2'].number_format, wb['Wyniki']['H1'].font.b)\n"
        "show(wb['Analiza'])\n"
        "print(wb['Analiza'].freeze_panes, wb['Analiza']['D2'].number_format)\n");
    EXPECT_EQ(read,
              "['Wyniki', 'Analiza', 'Projekt', 'Pominiete']\n"
              "('Lp', 'ID', 'Skan', '1', '2', '3', '4', 'Wersja', 'Punkty', 'Max', 'Procent', 'Ocena', 'Status', "
              "'Uwagi')\n"
              "(1, '0042', 'a.png', 'A', None, 'C', 'A', None, 3, 5, 60, 3, 0)\n"
              "(2, '7', 'b.png', 'B', 'D', None, 'C', 'B', 4, 5, 80, 4, 0)\n"
              "(3, '0001', 'c;\"d\".png', 'AB', None, 'B', None, None, 0.5, 5, 10, 1, 0)\n"
              "(4, '12', 'd.png', 'A', 'B', 'C', 'D', None, 2.75, 5, 55, 3, 0)\n"
              "(5, '9', 'e.png', 'B', 'D', None, None, None, 1.75, 3, 58.3, 3, 0, 'Arkusz ma 2 odpowiedzi, a klucz 4 pytań: ocenione wspólne pytania.')\n"
              "0.0 True\n"
              "('Nr', 'Klucz', 'Pkt', 'p', 'D', 'r', 'A', 'B', 'C', 'D', 'Puste', 'Podw.', 'Uwagi')\n"
              "(1, 'A', 1, 0.5, 1.25, 0.875158, 3, 3, 0, 0, 0, 1)\n"
              "(2, 'D', 2, 0.375, 1, 0.297396, 0, 1, 0, 2, 2, 0)\n"
              "(3, 'C', 1, 0.4375, 0.25, 0.39145, 0, 1, 2, 0, 1, 0)\n"
              "(4, '*', 1, 1, 0, None, 1, 0, 1, 1, 1, 0, 'unieważnione')\n"
              "()\n"
              "('Liczba uczniów', 5)\n"
              "('Średnia', 2.4)\n"
              "('Średnia %', 52.666667)\n"
              "('Mediana', 2.75)\n"
              "('Odchylenie standardowe', 1.189538)\n"
              "('Najniższy wynik', 0.5)\n"
              "('Najwyższy wynik', 4)\n"
              "('Punkty do zdobycia', 5)\n"
              "('Rzetelność KR-20',)\n"
              "A2 0.00\n");
}

// Scores land in sheets.points, percent and grade, as the document holds
// them; a save without a key leaves them NULL.
TEST(ScoredExport, TheDatabaseStoresTheScoresAndNullWithoutAKey) {
    testing::TShippedExport e(ScoredClass());
    std::string out;
    ASSERT_EQ(e.Run("--device 0", &out), 0) << out;
    testing::WriteFileBytes(e.results, UnscoredClass().dump());
    ASSERT_EQ(e.Run("--device 0", &out), 0) << out;
    EXPECT_EQ(e.Sql("SELECT run_id, nr, code, quote(points), quote(percent), quote(grade) FROM sheets;"),
              "1|1|0042|3.0|60.0|3.0\n"
              "1|2|7|4.0|80.0|4.0\n"
              "1|3|0001|0.5|10.0|1.0\n"
              "1|4|12|2.75|55.0|3.0\n"
              "1|5|9|1.75|58.3|3.0\n"
              "2|1|0042|NULL|NULL|NULL\n"
              "2|2|7|NULL|NULL|NULL\n"
              "2|3|0001|NULL|NULL|NULL\n"
              "2|4|12|NULL|NULL|NULL\n"
              "2|5|9|NULL|NULL|NULL\n");
}

// A database made before scores existed gets the columns on its first save
// and keeps its runs; its earlier sheets read NULL.
TEST(ScoredExport, AnOlderDatabaseGetsTheScoreColumns) {
    testing::TShippedExport e(ScoredClass());
    std::filesystem::create_directories(e.Data());
    e.Sql(
        "CREATE TABLE runs(id INTEGER PRIMARY KEY, project TEXT, questions INTEGER, answers INTEGER, "
        "multi_choice INTEGER, folder TEXT, date_ms INTEGER, saved_at TEXT);"
        "CREATE TABLE sheets(run_id INTEGER REFERENCES runs(id), nr INTEGER, code TEXT, file TEXT, "
        "PRIMARY KEY(run_id, nr));"
        "CREATE TABLE marks(run_id INTEGER, nr INTEGER, question INTEGER, answer TEXT, "
        "PRIMARY KEY(run_id, nr, question));"
        "CREATE TABLE skipped(run_id INTEGER REFERENCES runs(id), nr INTEGER, file TEXT, status INTEGER, "
        "message TEXT, PRIMARY KEY(run_id, nr));"
        "INSERT INTO runs VALUES(1, 'Stary', 3, 4, 0, '/s', 1, '2025-01-01T00:00:00Z');"
        "INSERT INTO sheets VALUES(1, 1, '5', 'old.png');");
    std::string out;
    for (int save = 0; save < 2; ++save) ASSERT_EQ(e.Run("--device 0", &out), 0) << save << ": " << out;
    EXPECT_EQ(e.Sql("SELECT group_concat(name, ',') FROM pragma_table_info('sheets');"),
              "run_id,nr,code,file,points,percent,grade,status,note\n");
    EXPECT_EQ(e.Sql("SELECT run_id, count(*), quote(sum(points)) FROM sheets GROUP BY run_id;"),
              "1|1|NULL\n2|5|12.0\n3|5|12.0\n");
    EXPECT_EQ(e.Sql("SELECT project FROM runs WHERE id = 1;"), "Stary\n");
}

// A sheet cut short (its reading interrupted, status 2) must not pass for a
// student who left questions blank in any export: no figures, its status and
// the reason in "Status"/"Uwagi", and the class figures without it. An
// unscored document's cut sheet carries the scan job's message instead.
TEST(ScoredExport, ASheetCutShortHasNoFiguresAndCarriesItsStatusInEveryExport) {
    Json unscored = UnscoredClass();
    unscored["Lista"][4]["Status"] = 2;
    unscored["Lista"][4]["Message"] = "Procedura przerwana\rprzez Użytkownika.";
    Json scored = unscored;
    ScoreDocument(scored, ParseAnswerKey(Json::parse(kKey)));
    const std::string note =
        "Bez oceny: odczyt arkusza nie został dokończony (status 2: Procedura przerwana przez Użytkownika).";
    testing::TShippedExport e(scored);
    std::string out;
    ASSERT_EQ(e.Run("--type 1 --out " + e.dir.File("w.csv"), &out), 0) << out;
    const std::string rows = PythonRows(e, e.dir.File("w.csv"));
    EXPECT_NE(rows.find("['5', '9', 'e.png', 'B', 'D', '', '', '', '', '5', '', '', '2', '" + note + "']\n"),
              std::string::npos)
        << rows;
    ASSERT_EQ(e.Run("--type 2 --out " + e.dir.File("w.xlsx"), &out), 0) << out;
    EXPECT_EQ(e.Python("import openpyxl\n"
                       "wb = openpyxl.load_workbook('" +
                       e.dir.File("w.xlsx") +
                       "')\n"
                       "print(tuple(c.value for c in wb['Wyniki'][6]))\n"
                       "print([r[1].value for r in wb['Analiza'].iter_rows() if r[0].value == 'Liczba uczniów'])\n"),
              "(5, '9', 'e.png', 'B', 'D', None, None, None, None, 5, None, None, 2, '" + note + "')\n[4]\n");
    ASSERT_EQ(e.Run("--device 0", &out), 0) << out;
    testing::WriteFileBytes(e.results, unscored.dump());
    ASSERT_EQ(e.Run("--device 0", &out), 0) << out;
    EXPECT_EQ(e.Sql("SELECT run_id, nr, quote(points), quote(grade), status, quote(note) FROM sheets WHERE nr >= 4;"),
              "1|4|2.75|3.0|0|NULL\n1|5|NULL|NULL|2|'" + note +
                  "'\n"
                  "2|4|NULL|NULL|0|NULL\n2|5|NULL|NULL|2|'Procedura przerwana przez Użytkownika.'\n");
}

#endif

}  // namespace
}  // namespace quorlen
