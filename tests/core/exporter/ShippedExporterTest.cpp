// The shipped plug-in through quorlen-cli export, its files and database read
// back by tools that share no code with it: Python's csv module, openpyxl and
// the sqlite3 shell.
#ifdef QUORLEN_SHIPPED_EXPORTER
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include "core/exporter/ShippedExport.h"

namespace quorlen {
namespace {

using testing::RunCommand;
using testing::SampleResults;
using testing::TempDir;

using Export = testing::TShippedExport;

Json TrickyResults() {
    Json doc = SampleResults();
    doc["Lista"].push_back({{"Student", "0001"}, {"FileName", "a;\"b\"\nc.png"}, {"Wyniki", {"AB", " ", "Ż"}}});
    return doc;
}

TEST(ShippedExporter, ListsItsTypesAndDeviceInOrder) {
    Export e;
    std::string out;
    ASSERT_EQ(RunCommand(QUORLEN_CLI_PATH " export --list --plugin " QUORLEN_SHIPPED_EXPORTER, &out), 0);
    EXPECT_EQ(out,
              "type 1\tPlik CSV (Excel, średnik)\t*.csv\n"
              "type 2\tSkoroszyt Excel\t*.xlsx\n"
              "device 0\tBaza wyników (SQLite)\n");
}

TEST(ShippedExporter, CsvReadsBackThroughAnIndependentParser) {
    Export e(TrickyResults());
    std::string out;
    ASSERT_EQ(e.Run("--type 1 --out " + e.dir.File("w.csv"), &out), 0) << out;
    EXPECT_EQ(out, "Wyniki zostały zapisane do pliku\n" + e.dir.File("w.csv") + "\n");
    const std::string bytes = testing::ReadFileBytes(e.dir.File("w.csv"));
    EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(bytes.substr(3, bytes.find('\n') - 2), "Lp;ID;Skan;1;2;3;Status;Uwagi\r\n");
    const std::string rows = e.Python(
        "import csv\n"
        "with open('" +
        e.dir.File("w.csv") +
        "', newline='', encoding='utf-8-sig') as f:\n"
        "    for row in csv.reader(f, delimiter=';'):\n"
        "        print(repr(row))\n");
    EXPECT_EQ(rows,
              "['Lp', 'ID', 'Skan', '1', '2', '3', 'Status', 'Uwagi']\n"
              "['1', '0042', 'a.png', 'A', '', 'C', '0', '']\n"
              "['2', '7', 'b.png', 'B', 'D', '', '0', '']\n"
              "['3', '0001', 'a;\"b\"\\nc.png', 'AB', '', 'Ż', '0', '']\n");
}

TEST(ShippedExporter, XlsxOpensInAnIndependentReaderWithCodesAsText) {
    // The plug-in runs in a child process, which takes the zone from here.
    setenv("TZ", "UTC", 1);
    Export e;
    std::string out;
    ASSERT_EQ(e.Run("--type 2 --out " + e.dir.File("w.xlsx"), &out), 0) << out;
    const std::string read = e.Python(
        "import openpyxl\n"
        "wb = openpyxl.load_workbook('" +
        e.dir.File("w.xlsx") +
        "')\n"
        "print(wb.sheetnames)\n"
        "ws = wb['Wyniki']\n"
        "for row in ws.iter_rows(values_only=True): print(row)\n"
        "print(ws.freeze_panes, ws['A1'].font.b, ws['D1'].font.b)\n"
        "for row in wb['Projekt'].iter_rows(values_only=True): print(row)\n"
        "for row in wb['Pominiete'].iter_rows(values_only=True): print(row)\n");
    EXPECT_EQ(read,
              "['Wyniki', 'Projekt', 'Pominiete']\n"
              "('Lp', 'ID', 'Skan', '1', '2', '3', 'Status', 'Uwagi')\n"
              "(1, '0042', 'a.png', 'A', None, 'C', 0, None)\n"
              "(2, '7', 'b.png', 'B', 'D', None, 0, None)\n"
              "A2 True True\n"
              "('Project', 'Nazwa projektu', 'Próba')\n"
              "('QCnt', 'Liczba pytań', 3)\n"
              "('ACnt', 'Liczba odpowiedzi', 4)\n"
              "('MultiChoice', 'Wielokrotny wybór', False)\n"
              "('Folder', 'Folder skanów', '/skany')\n"
              "('Date', 'Data odczytu', '14.11.2023 22:13')\n"
              "('Lp', 'Skan', 'Status', 'Komunikat')\n"
              "(1, 'c.png', 1, 'Nie odczytano kodu arkusza.')\n");
}

TEST(ShippedExporter, FileErrorsNameTheFileAndLeaveNothingBehind) {
    for (const char* type : {"1", "2"}) {
        Export e;
        const std::string target = e.dir.File("missing/w.out");
        std::string out;
        EXPECT_EQ(e.Run(std::string("--type ") + type + " --out " + target, &out), 1) << type;
        EXPECT_EQ(out.rfind("Nie można zapisać pliku " + target + ": ", 0), 0u) << out;
        // An existing file is replaced whole or not at all.
        testing::WriteFileBytes(e.dir.File("old.out"), "old");
        ASSERT_EQ(e.Run(std::string("--type ") + type + " --out " + e.dir.File("old.out"), &out), 0) << out;
        size_t files = 0;
        for (const auto& entry : std::filesystem::directory_iterator(e.dir.Path())) files += entry.is_regular_file();
        EXPECT_EQ(files, 2u) << "results file and the export, no temporary left";
        const mode_t mask = ::umask(0);
        ::umask(mask);
        EXPECT_EQ(static_cast<mode_t>(std::filesystem::status(e.dir.File("old.out")).permissions()), 0666 & ~mask)
            << "the mode of any new file, not a temporary's";
    }
}

TEST(ShippedExporter, EachSaveAppendsOneRunToTheDatabase) {
    Export e;
    std::string out;
    ASSERT_EQ(e.Run("--device 0", &out), 0) << out;
    EXPECT_EQ(out, "Wyniki zostały zapisane do Baza wyników (SQLite):\n" + e.Database() + "\n");  // where it is
    ASSERT_EQ(e.Run("--device 0", &out), 0) << out;
    EXPECT_EQ(e.Sql("SELECT count(*) FROM runs; SELECT count(*) FROM sheets; SELECT count(*) FROM marks;"),
              "2\n4\n12\n");
    EXPECT_EQ(e.Sql("SELECT run_id, nr, file, status, message FROM skipped;"),
              "1|1|c.png|1|Nie odczytano kodu arkusza.\n2|1|c.png|1|Nie odczytano kodu arkusza.\n");
    EXPECT_EQ(e.Sql("SELECT id, project, questions, answers, multi_choice, folder, date_ms FROM runs;"),
              "1|Próba|3|4|0|/skany|1700000000000\n2|Próba|3|4|0|/skany|1700000000000\n");
    EXPECT_EQ(e.Sql("SELECT nr, code, file FROM sheets WHERE run_id = 2;"), "1|0042|a.png\n2|7|b.png\n");
    EXPECT_EQ(e.Sql("SELECT question, '[' || answer || ']' FROM marks WHERE run_id = 1 AND nr = 1;"),
              "1|[A]\n2|[ ]\n3|[C]\n");
    const std::string savedAt = e.Sql("SELECT saved_at FROM runs WHERE id = 1;");
    EXPECT_EQ(savedAt.size(), std::string("2026-01-01T00:00:00Z\n").size()) << savedAt;
    EXPECT_EQ(savedAt[10], 'T');
    EXPECT_EQ(savedAt[19], 'Z');
}

TEST(ShippedExporter, ALockedDatabaseAnswersAnErrorAndKeepsEarlierRuns) {
    Export e;
    std::string out;
    ASSERT_EQ(e.Run("--device 0", &out), 0) << out;
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(e.Database().c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(e.Run("--device 0", &out), 1);
    EXPECT_EQ(out, "Nie można zapisać wyników w bazie " + e.Database() + ": database is locked\n");
    sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    EXPECT_EQ(e.Sql("SELECT count(*) FROM runs; SELECT count(*) FROM sheets; SELECT count(*) FROM marks;"),
              "1\n2\n6\n");
}

TEST(ShippedExporter, ADatabaseThatCannotBeCreatedIsReported) {
    Export e;
    testing::WriteFileBytes(e.Data(), "a file where the data folder should be");
    std::string out;
    EXPECT_EQ(e.Run("--device 0", &out), 1);
    EXPECT_NE(out.find(e.Data()), std::string::npos) << out;
}

TEST(ExportCommand, RejectsWhatItCannotDo) {
    struct Case {
        std::string options;
        int exit;
    };
    Export e;
    const Case cases[] = {
        {"--type 3 --out x.csv", 2},        {"--type 1", 2}, {"--device 1", 2},
        {"--device 0 --type 1 --out x", 2}, {"", 2},         {"--type 0 --out x.csv", 2},
    };
    for (const Case& c : cases) {
        std::string out;
        EXPECT_EQ(e.Run(c.options, &out), c.exit) << c.options << "\n" << out;
    }
    std::string out;
    EXPECT_EQ(RunCommand(QUORLEN_CLI_PATH " export " + e.results + " --device 0 --plugin /nonexistent.so 2>&1", &out),
              1);
    EXPECT_NE(out.find("Nie można załadować wtyczki eksportu /nonexistent.so"), std::string::npos) << out;
    testing::WriteFileBytes(e.results, "{not json");
    EXPECT_EQ(e.Run("--device 0", &out), 1);
    EXPECT_NE(out.find("is not a results document"), std::string::npos) << out;
}

// JSON that is no results document went out as empty rows with exit code 0;
// one nested 100,000 deep crashed export (SIGSEGV) for every type. Run as
// the real program, so that a crash shows as an exit code.
TEST(ExportCommand, RefusesJsonThatIsNoResultsDocument) {
    Export e;
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    struct Case {
        std::string Document;
        const char* Says;
    };
    const Case cases[] = {
        {R"({"Lista":[]})", "no \"Version\" and \"Lista\""},
        {R"({"Version":1})", "no \"Version\" and \"Lista\""},
        {R"({"Version":1,"Lista":{}})", "no \"Version\" and \"Lista\""},
        {R"([1,2,3])", "no \"Version\" and \"Lista\""},
        {R"({"Version":1,"Lista":[],"x":)" + deep + "}", "zagnieżdżony głębiej niż 256 poziomów"},
    };
    for (const Case& c : cases) {
        testing::WriteFileBytes(e.results, c.Document);
        for (const char* options : {"--device 0", "--type 1 --out x.csv"}) {
            std::string out;
            EXPECT_EQ(e.Run(options, &out), 1) << c.Document.substr(0, 30) << " " << options << "\n" << out;
            EXPECT_NE(out.find(c.Says), std::string::npos) << out;
        }
    }
}

}  // namespace
}  // namespace quorlen
#endif
