#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <set>
#include <thread>
#include <vector>

#include "core/results/ResultsDocument.h"

using namespace quorlen;

TEST(ResultsDocument, RootKeysAtCreation) {
    TResultsDocument doc({"Sprawdzian", 40, 4, true, "/skany"});
    const Json j = doc.Snapshot();
    EXPECT_EQ(j["Version"], 1);
    EXPECT_EQ(j["Project"], "Sprawdzian");
    EXPECT_EQ(j["QCnt"], 40);
    EXPECT_EQ(j["ACnt"], 4);
    EXPECT_EQ(j["MultiChoice"], true);
    EXPECT_EQ(j["Folder"], "/skany");
    EXPECT_TRUE(j["Date"].is_number_integer());
    EXPECT_GT(j["Date"].get<int64_t>(), 1700000000000);
    EXPECT_TRUE(j["Date2"].is_string());
    EXPECT_TRUE(j["Lista"].is_array());
    EXPECT_TRUE(j["Pominiete"].is_array());
}

TEST(ResultsDocument, EntryKeepsValuesAsReadAndDropsTheStudentLine) {
    TResultsDocument doc({"P", 3, 2, false, "/s"});
    TAnswerList answers;
    answers.Add("1=B");
    answers.Add("2=");
    answers.Add("3= ");
    answers.Add("Student=0012");
    doc.AddResultEntry(answers, "s1.png");
    const Json e = doc.Snapshot()["Lista"][0];
    EXPECT_EQ(e["Student"], "0012");
    EXPECT_EQ(e["FileName"], "s1.png");
    EXPECT_EQ(e["Wyniki"], Json::array({"B", "", " "}));
}

TEST(ResultsDocument, OnlyEntriesOfUnfinishedScanJobsCarryStatusAndMessage) {
    struct Case {
        int Status;
        const char* Message;
        bool Marked;
    };
    for (const Case& c : {Case{0, "", false}, Case{2, "Procedura przerwana przez Użytkownika.", true},
                          Case{3, "Niezgodna ilość odpowiedzi", true}}) {
        TResultsDocument doc({"P", 2, 2, false, "/s"});
        TAnswerList answers;
        answers.Add("1=A");
        answers.Add("Student=5");
        doc.AddResultEntry(answers, "s.png", c.Status, c.Message);
        const Json e = doc.Snapshot()["Lista"][0];
        EXPECT_EQ(e.contains("Status"), c.Marked) << c.Status;
        EXPECT_EQ(e.contains("Message"), c.Marked) << c.Status;
        if (c.Marked) {
            EXPECT_EQ(e["Status"], c.Status);
            EXPECT_EQ(e["Message"], c.Message);
        } else {
            EXPECT_EQ(e.size(), 3u);  // complete entries keep exactly their three keys
        }
    }
}

TEST(ResultsDocument, ScansWithoutACodeAreListedAsSkipped) {
    TResultsDocument doc({"P", 3, 2, false, "/s"});
    TAnswerList noCode;
    noCode.Add("1=A");
    doc.AddResultEntry(noCode, "a.png", 0, "");
    doc.AddResultEntry(TAnswerList{}, "b.png", -1,
                       "Nieznany format pliku graficznego:\r/s/b.png\rlub ten plik jest uszkodzony.");
    const Json j = doc.Snapshot();
    EXPECT_TRUE(j["Lista"].empty());
    ASSERT_EQ(j["Pominiete"].size(), 2u);
    EXPECT_EQ(j["Pominiete"][0]["Message"], "Nie odczytano kodu arkusza.");
    EXPECT_EQ(j["Pominiete"][0]["Status"], 0);
    EXPECT_EQ(j["Pominiete"][1]["Status"], -1);
}

TEST(ResultsDocument, LinesBeyondTheCountAndGapsFollowTheNumbers) {
    TResultsDocument doc({"P", 3, 2, false, "/s"});
    TAnswerList answers;
    answers.Add("2=C");
    answers.Add("Student=7");
    answers.Add("1=A");
    doc.AddResultEntry(answers, "x.png");
    EXPECT_EQ(doc.Snapshot()["Lista"][0]["Wyniki"], Json::array({"A", "C"}));
}

TEST(ResultsDocument, ConcurrentAppendsAreWholeAndOnce) {
    TResultsDocument doc({"P", 2, 2, false, "/s"});
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 250; ++i) {
                TAnswerList a;
                a.Add("1=A");
                a.Add("2=B");
                a.Add("Student=" + std::to_string(t * 1000 + i));
                doc.AddResultEntry(a, "f.png");
            }
        });
    for (auto& th : threads) th.join();
    const Json j = doc.Snapshot();
    ASSERT_EQ(j["Lista"].size(), 1000u);
    std::set<std::string> codes;
    for (const auto& e : j["Lista"]) {
        EXPECT_EQ(e["Wyniki"].size(), 2u);
        codes.insert(e["Student"].get<std::string>());
    }
    EXPECT_EQ(codes.size(), 1000u);
}

TEST(ResultsDocument, DateTextOmitsTheTimeAtMidnight) {
    setenv("TZ", "UTC", 1);
    tzset();
    const std::string midnight = FormatLocalDateTime(1733702400000);  // 2024-12-09 00:00:00 UTC
    const std::string noon = FormatLocalDateTime(1733745600000);      // 12:00:00
    EXPECT_EQ(midnight.find(':'), std::string::npos);
    EXPECT_NE(noon.find("12:00:00"), std::string::npos);
    EXPECT_EQ(noon.rfind(midnight, 0), 0u);
}

// Records come in the order workers finish; both lists must stand in the
// order of the scan list, with records that name no place after the rest.
TEST(ResultsDocument, ListsStandInScanListOrderWhateverOrderRecordsCome) {
    struct Case {
        const char* Name;
        std::vector<int64_t> Arrival;  // scan-list places in the order they come
    };
    for (const Case& c : {Case{"in order", {0, 1, 2, 3, 4, 5}}, Case{"reversed", {5, 4, 3, 2, 1, 0}},
                          Case{"one late", {0, 2, 3, 4, 5, 1}}, Case{"one early", {0, 5, 1, 2, 3, 4}},
                          Case{"no place last", {3, TResultsDocument::AtTheEnd, 1, 0}}}) {
        TResultsDocument doc({"P", 1, 2, false, "/s"});
        for (int64_t place : c.Arrival) {
            const std::string name = place == TResultsDocument::AtTheEnd ? "z" : std::to_string(place);
            TAnswerList a;
            a.Add("1=A");
            // Even places have a code, odd ones go to "Pominiete".
            if (place == TResultsDocument::AtTheEnd || place % 2 == 0) a.Add("Student=" + name);
            doc.AddResultEntry(a, name + ".png", 0, "", place);
        }
        std::vector<int64_t> sorted = c.Arrival;
        std::sort(sorted.begin(), sorted.end());
        std::vector<std::string> wantList, wantSkipped, gotList, gotSkipped;
        for (int64_t place : sorted) {
            const std::string name = place == TResultsDocument::AtTheEnd ? "z" : std::to_string(place);
            (place == TResultsDocument::AtTheEnd || place % 2 == 0 ? wantList : wantSkipped).push_back(name + ".png");
        }
        const Json j = doc.Snapshot();
        for (const Json& e : j["Lista"]) gotList.push_back(e["FileName"]);
        for (const Json& e : j["Pominiete"]) gotSkipped.push_back(e["FileName"]);
        EXPECT_EQ(gotList, wantList) << c.Name;
        EXPECT_EQ(gotSkipped, wantSkipped) << c.Name;
    }
}

TEST(ResultsDocument, ConcurrentAppendsInAnyOrderEndInScanListOrderAndCopiesKeepIt) {
    TResultsDocument doc({"P", 1, 2, false, "/s"});
    std::vector<std::thread> threads;
    // Four threads, each walking its own places backwards.
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 249; i >= 0; --i) {
                const int place = i * 4 + t;
                TAnswerList a;
                a.Add("1=A");
                a.Add("Student=" + std::to_string(place));
                doc.AddResultEntry(a, "f.png", 0, "", place);
            }
        });
    for (auto& th : threads) th.join();
    // A copy goes on ordering what it is given later.
    TResultsDocument copy;
    copy = doc;
    copy.AddSkipped("late.png", -1, "x", 2000);
    copy.AddSkipped("early.png", -1, "x", 3);
    const Json j = copy.Snapshot();
    ASSERT_EQ(j["Lista"].size(), 1000u);
    for (size_t i = 0; i < 1000; ++i) ASSERT_EQ(j["Lista"][i]["Student"], std::to_string(i)) << i;
    EXPECT_EQ(j["Pominiete"][0]["FileName"], "early.png");
    EXPECT_EQ(j["Pominiete"][1]["FileName"], "late.png");
    EXPECT_EQ(doc.Snapshot()["Pominiete"].size(), 0u);
}

// What the program prints is Polish whatever the machine's locale (the tests
// run in the C locale, whose short date is 12/10/26); "Date2" stays the
// system's own form.
TEST(ResultsDocument, PolishDateTimeWhateverTheLocale) {
    setenv("TZ", "UTC", 1);
    tzset();
    std::setlocale(LC_TIME, "C");
    struct Case {
        int64_t Ms;
        const char* Polish;
    };
    for (const Case& c : {Case{1796911439000, "10.12.2026 14:03"}, Case{1733702400000, "09.12.2024 00:00"},
                          Case{1704067199999, "31.12.2023 23:59"}, Case{0, "01.01.1970 00:00"}})
        EXPECT_EQ(FormatPolishDateTime(c.Ms), c.Polish) << c.Ms;
    EXPECT_EQ(FormatLocalDateTime(1796911439000), "12/10/26 14:03:59");
}
