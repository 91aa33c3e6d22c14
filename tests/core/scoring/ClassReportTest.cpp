#include <gtest/gtest.h>

#include "core/common/Json.h"
#include "core/scoring/ClassReport.h"

using namespace quorlen;

namespace {

std::string Report(const Json& doc, const std::string& keyText) {
    const TAnswerKey key = ParseAnswerKey(*ParseJson(keyText));
    const auto entries = ScoreEntries(doc, key);
    return ClassReportHtml(doc, key, entries, ComputeClassStatistics(entries, key, ShapeOf(doc)));
}

Json Class(const std::vector<std::string>& codes) {
    Json doc = {
        {"Project", "Fizyka <3b> & \"R\""}, {"QCnt", 2}, {"ACnt", 3}, {"Date2", "1.12.2026"}, {"Lista", Json::array()},
        {"Pominiete", Json::array()}};
    for (const std::string& c : codes)
        doc["Lista"].push_back({{"Student", c}, {"FileName", "s" + c + ".png"}, {"Wyniki", {"A", "B"}}});
    return doc;
}

}  // namespace

TEST(ClassReport, StudentsInCodeOrderAndTextsEscaped) {
    const std::string html = Report(Class({"12", "0101", "9", "x7", "009"}), R"({"Version":1,"Answers":["A","C"]})");
    std::vector<size_t> at;
    for (const char* file : {"s009.png", "s9.png", "s12.png", "s0101.png", "sx7.png"}) at.push_back(html.find(file));
    for (size_t i = 0; i < at.size(); ++i) ASSERT_NE(at[i], std::string::npos) << i;
    EXPECT_TRUE(std::is_sorted(at.begin(), at.end()));
    EXPECT_NE(html.find("Fizyka &lt;3b&gt; &amp; &quot;R&quot;"), std::string::npos);
    EXPECT_EQ(html.find("<3b>"), std::string::npos);
    EXPECT_EQ(html.find("Skany bez wyniku"), std::string::npos);  // nothing skipped, no section
}

TEST(ClassReport, KeyFiguresAndSkippedScans) {
    Json doc = Class({"1", "2"});
    doc["Pominiete"].push_back({{"FileName", "a<b>.png"}, {"Status", -1}, {"Message", "Zły\rplik"}});
    const std::string html = Report(doc, R"({"Version":1,"Answers":["A","C"]})");
    EXPECT_NE(html.find("a&lt;b&gt;.png</td><td class=\"t\">Zły plik</td>"), std::string::npos);
    EXPECT_NE(html.find("<td>Liczba uczniów</td><td>2</td>"), std::string::npos);
    EXPECT_NE(html.find("<td>Średnia</td><td>1,00 pkt (50,0 %)</td>"), std::string::npos);
    EXPECT_NE(html.find("za łatwe"), std::string::npos);   // question 1: everyone right
    EXPECT_NE(html.find("za trudne"), std::string::npos);  // question 2: nobody
}

TEST(ClassReport, ASheetCutShortIsListedWithoutFiguresAndLeftOutOfTheClass) {
    Json doc = Class({"1", "2", "3"});
    doc["Lista"][2]["Wyniki"] = {"B"};
    doc["Lista"][2]["Status"] = 2;
    doc["Lista"][2]["Message"] = "Procedura przerwana przez Użytkownika.";
    const std::string html = Report(doc, R"({"Version":1,"Answers":["A","C"]})");
    EXPECT_NE(html.find("<td>Liczba uczniów</td><td>2</td>"), std::string::npos);
    EXPECT_NE(html.find("<td>Najniższy wynik</td><td>1 pkt</td>"), std::string::npos);
    EXPECT_NE(html.find("s3.png</td><td class=\"t\"></td><td></td><td>2</td><td></td><td></td><td class=\"t\">Bez "
                        "oceny: odczyt arkusza nie został dokończony (status 2: Procedura przerwana przez "
                        "Użytkownika).</td>"),
              std::string::npos)
        << html;
}

TEST(ClassReport, TheHeaderDatesTheRunThePolishWay) {
    setenv("TZ", "UTC", 1);
    tzset();
    Json doc = Class({"1"});
    doc["Date"] = 1796911439000;
    doc["Date2"] = "12/10/26 14:03:59";
    EXPECT_NE(Report(doc, R"({"Version":1,"Answers":["A","C"]})").find("<p>Data odczytu: 10.12.2026 14:03. Pytań: 2"),
              std::string::npos);
    doc.erase("Date");  // a document made by hand: its own text
    EXPECT_NE(Report(doc, R"({"Version":1,"Answers":["A","C"]})").find("<p>Data odczytu: 12/10/26 14:03:59. "),
              std::string::npos);
}
