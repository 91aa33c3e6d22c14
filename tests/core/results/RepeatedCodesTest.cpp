#include <gtest/gtest.h>

#include "core/results/RepeatedCodes.h"

using namespace quorlen;

namespace {

Json List(const std::vector<std::pair<std::string, std::string>>& entries) {
    Json doc = {{"Lista", Json::array()}};
    for (const auto& [code, uwagi] : entries) {
        Json e = {{"Student", code}, {"FileName", code + ".png"}, {"Wyniki", {"A"}}};
        if (!uwagi.empty()) e["Uwagi"] = uwagi;
        doc["Lista"].push_back(e);
    }
    return doc;
}

std::vector<std::string> Notes(const Json& doc) {
    std::vector<std::string> out;
    for (const Json& e : doc["Lista"]) out.push_back(e.value("Uwagi", std::string("-")));
    return out;
}

}  // namespace

// Every entry of a repeated code is flagged, whatever other remark it holds;
// flagging again after the list changed leaves no stale remark behind.
TEST(RepeatedCodes, EveryRepeatedCodeIsFlaggedOnEachOfItsEntries) {
    struct Case {
        const char* Name;
        Json Document;
        std::vector<std::string> Expected;
    };
    const std::string two = "Kod 1001 powtarza się na 2 arkuszach.";
    const std::string three = "Kod 7 powtarza się na 3 arkuszach.";
    for (const Case& c : std::vector<Case>{
             {"no repeats", List({{"1", ""}, {"2", ""}, {"01", ""}}), {"-", "-", "-"}},
             {"one pair", List({{"1001", ""}, {"5", ""}, {"1001", ""}}), {two, "-", two}},
             {"three and a pair",
              List({{"7", ""}, {"1001", ""}, {"7", ""}, {"7", "x"}, {"1001", ""}}),
              {three, two, three, "x " + three, two}},
             {"other remarks stay",
              List({{"1001", "Arkusz ma 2 odpowiedzi."}, {"1001", ""}}),
              {"Arkusz ma 2 odpowiedzi. " + two, two}},
             {"stale remarks go",
              List({{"1001", "Kod 1001 powtarza się na 3 arkuszach."},
                    {"9", "Bez oceny. Kod 9 powtarza się na 2 arkuszach."},
                    {"1001", "Kod 1001 powtarza się na 3 arkuszach. Bez oceny."}}),
              {two, "Bez oceny.", "Bez oceny. " + two}},
         }) {
        Json doc = c.Document;
        FlagRepeatedCodes(doc);
        EXPECT_EQ(Notes(doc), c.Expected) << c.Name;
        Json again = doc;
        FlagRepeatedCodes(again);
        EXPECT_EQ(again, doc) << c.Name << ": flagging twice changes nothing";
    }
    EXPECT_EQ(RepeatedCodes(List({{"3", ""}, {"3", ""}, {"4", ""}})), (std::map<std::string, int>{{"3", 2}}));
    Json odd = {{"Lista", {{{"Student", ""}}, {{"Student", ""}}, 5}}};
    FlagRepeatedCodes(odd);  // entries without a code, or not objects, are passed over
    EXPECT_FALSE(odd["Lista"][0].contains("Uwagi"));
    Json none = Json::object();
    FlagRepeatedCodes(none);
    EXPECT_EQ(none, Json::object());
}
