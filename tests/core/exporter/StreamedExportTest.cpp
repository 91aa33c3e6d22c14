// The shipped plug-in reads the entries of a document one at a time; a
// document of odd shape must give the rows a tree would have given.
#ifdef QUORLEN_SHIPPED_EXPORTER
#include <gtest/gtest.h>

#include "core/exporter/ShippedExport.h"

namespace quorlen {
namespace {

using Export = testing::TShippedExport;

// The CSV's lines after the byte-order mark, CR LF taken as one break.
std::vector<std::string> CsvLines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t at = 3;
    for (size_t end; (end = bytes.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(bytes.substr(at, end - at));
    return lines;
}

TEST(StreamedExport, RowsAreThoseOfTheTreeForDocumentsOfOddShape) {
    const std::string deep = std::string(250, '[') + std::string(250, ']');
    struct Case {
        const char* Label;
        std::string Document;
        std::vector<std::string> Lines;
    };
    const Case cases[] = {
        {"the last of two lists counts",
         R"({"Version":1,"QCnt":1,"Lista":[{"Student":"1","Wyniki":["A","B","C"]}],"Lista":[{"Student":"2","Wyniki":["D"]}]})",
         {"Lp;ID;Skan;1;Status;Uwagi", "1;2;;D;0;"}},
        {"an empty last list leaves no rows",
         R"({"Version":1,"QCnt":2,"Lista":[{"Student":"1","Wyniki":["A","B","C"]}],"Lista":[]})",
         {"Lp;ID;Skan;1;2;Status;Uwagi"}},
        {"a list after the root's other keys, widest row beyond QCnt",
         R"({"QCnt":1,"Pominiete":[],"Version":1,"Lista":[{"Student":"1","Wyniki":["A"]},{"Student":"2","Wyniki":["A","B"]}]})",
         {"Lp;ID;Skan;1;2;Status;Uwagi", "1;1;;A;;0;", "2;2;;A;B;0;"}},
        {"entries that are no objects, answers that are no text",
         R"({"Version":1,"QCnt":2,"Lista":[7,null,["A"],{"Wyniki":[1,null," ","B"],"Status":2,"Message":"x\ry"},{"Wyniki":"AB"}]})",
         {"Lp;ID;Skan;1;2;3;4;Status;Uwagi", "1;;;;;;;0;", "2;;;;;;;0;", "3;;;;;;;0;", "4;;;;;;B;2;x y",
          "5;;;;;;;0;"}},
        {"repeated keys in an entry, the last counts",
         R"({"Version":1,"QCnt":1,"Lista":[{"Student":"1","Wyniki":["A","B"],"Student":"2","Wyniki":["C"]}]})",
         {"Lp;ID;Skan;1;Status;Uwagi", "1;2;;C;0;"}},
        {"an entry nested deep",
         R"({"Version":1,"QCnt":1,"Lista":[{"Student":"1","Wyniki":["A"],"x":)" + deep + "}]}",
         {"Lp;ID;Skan;1;Status;Uwagi", "1;1;;A;0;"}},
    };
    for (const Case& c : cases) {
        Export e;
        testing::WriteFileBytes(e.results, c.Document);
        std::string out;
        ASSERT_EQ(e.Run("--type 1 --out " + e.dir.File("w.csv"), &out), 0) << c.Label << "\n" << out;
        EXPECT_EQ(CsvLines(testing::ReadFileBytes(e.dir.File("w.csv"))), c.Lines) << c.Label;
    }
}

// The host lets a document nest 256 levels; the plug-in gets it one level
// further down, inside its request, and must take it all the same.
TEST(StreamedExport, ADocumentAtTheDepthLimitReachesEveryExporter) {
    const std::string deep = std::string(255, '[') + std::string(255, ']');
    Export e;
    testing::WriteFileBytes(e.results, R"({"Version":1,"Lista":[],"x":)" + deep + "}");
    for (const std::string& options :
         {"--type 1 --out " + e.dir.File("w.csv"), "--type 2 --out " + e.dir.File("w.xlsx"), std::string("--device 0")}) {
        std::string out;
        EXPECT_EQ(e.Run(options, &out), 0) << options << "\n" << out;
    }
    EXPECT_EQ(e.Sql("SELECT count(*) FROM runs;"), "1\n");
}

// Raw UTF-8 in the file goes out escaped and comes back as the same text.
TEST(StreamedExport, TextOutsideAsciiSurvivesTheRoundTrip) {
    Export e;
    testing::WriteFileBytes(e.results, "{\"Version\":1,\"QCnt\":1,\"Lista\":[{\"Student\":\"Zażółć\","
                                       "\"FileName\":\"\xF0\x9F\x98\x80.png\",\"Wyniki\":[\"Ż\"]}]}");
    std::string out;
    ASSERT_EQ(e.Run("--type 1 --out " + e.dir.File("w.csv"), &out), 0) << out;
    EXPECT_EQ(CsvLines(testing::ReadFileBytes(e.dir.File("w.csv"))).at(1), "1;Zażółć;\xF0\x9F\x98\x80.png;Ż;0;");
    ASSERT_EQ(e.Run("--device 0", &out), 0) << out;
    EXPECT_EQ(e.Sql("SELECT code, file FROM sheets;"), "Zażółć|\xF0\x9F\x98\x80.png\n");
}

// Past kRowsInMemory entries the workbook is written row by row; its cells
// must read back as those of a small one, and the rows on either side of the
// switch alike.
TEST(StreamedExport, ALargeClassWorkbookHoldsEveryRow) {
    Json document = testing::SampleResults();
    Json& list = document["Lista"];
    list = Json::array();
    const int count = 65537;
    for (int i = 0; i < count; ++i)
        list.push_back({{"Student", std::to_string(i)}, {"FileName", "s.png"}, {"Wyniki", {"A", " ", "Ż"}}});
    list[count - 1]["Status"] = 3;
    list[count - 1]["Message"] = "przerwano";
    Export e(document);
    std::string out;
    ASSERT_EQ(e.Run("--type 2 --out " + e.dir.File("w.xlsx"), &out), 0) << out;
    const std::string read = e.Python(
        "import openpyxl\n"
        "wb = openpyxl.load_workbook('" + e.dir.File("w.xlsx") + "', read_only=True)\n"
        "rows = list(wb['Wyniki'].iter_rows(values_only=True))\n"
        "print(len(rows), rows[0], rows[1], rows[-1])\n"
        "print(list(wb['Pominiete'].iter_rows(values_only=True))[1])\n");
    EXPECT_EQ(read,
              "65538 ('Lp', 'ID', 'Skan', '1', '2', '3', 'Status', 'Uwagi') (1, '0', 's.png', 'A', None, 'Ż', 0, None) "
              "(65537, '65536', 's.png', 'A', None, 'Ż', 3, 'przerwano')\n"
              "(1, 'c.png', 1, 'Nie odczytano kodu arkusza.')\n");
}

}  // namespace
}  // namespace quorlen
#endif
