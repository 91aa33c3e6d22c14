#include <gtest/gtest.h>
#include <sys/stat.h>

#include "core/common/Json.h"
#include "core/results/ResultsStream.h"
#include "support/TestSupport.h"

namespace quorlen {
namespace {

using testing::TempDir;
using testing::WriteFileBytes;

std::string Narrow(const std::u16string& text) {
    std::string out;
    for (const char16_t c : text) {
        EXPECT_LT(c, 0x80) << "the text for a plug-in is ASCII";
        out += static_cast<char>(c);
    }
    return out;
}

// What export took for a results document when it parsed the file into a tree.
bool TreeIsResultsDocument(const Json& d) {
    return d.is_object() && d.contains("Version") && d.contains("Lista") && d.at("Lista").is_array();
}

// The streamed reading agrees with the tree on every file: parsed or not,
// the same error, the same document, the same verdict on its shape.
void ExpectSameAsTree(const std::string& path, const std::string& label) {
    std::string why;
    const std::optional<Json> tree = ParseJsonFile(path, &why);
    const TStreamedResults streamed = StreamResultsFile(path);
    ASSERT_EQ(streamed.Parsed, tree.has_value()) << label << ": " << streamed.Why;
    if (!tree) {
        EXPECT_EQ(streamed.Why, why) << label;
        EXPECT_TRUE(streamed.Text.empty()) << label;
        return;
    }
    EXPECT_EQ(Json::parse(Narrow(streamed.Text)), *tree) << label;
    EXPECT_EQ(streamed.ResultsDocument, TreeIsResultsDocument(*tree)) << label;
    EXPECT_EQ(streamed.Scored, tree->is_object() && tree->contains("Klucz")) << label;
}

TEST(ResultsStream, AgreesWithTheTreeOnDocumentsAndRefusals) {
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    const std::string deep257 = std::string(257, '[') + std::string(257, ']');
    const std::string deep256 = std::string(255, '[') + std::string(255, ']');
    struct Case {
        const char* Label;
        std::string Text;
    };
    const Case cases[] = {
        {"results", R"({"Version":1,"QCnt":2,"Lista":[{"Student":"1","Wyniki":["A"," "]}],"Pominiete":[]})"},
        {"raw UTF-8 and escapes", "{\"Version\":1,\"Project\":\"Zażółć \\\"x\\\"\\n\\u0001\\ud83d\\ude00\",\"Lista\":[]}"},
        {"numbers", R"({"Version":1.50,"Lista":[0,-0,-0.0,1e2,1E-3,18446744073709551615,-9223372036854775808,3.141592653589793]})"},
        {"empty containers", R"({"Version":{},"Lista":[[],{},[[{}]]]})"},
        {"keys repeat, the last counts", R"({"Lista":{},"Version":1,"Lista":[1],"Version":2})"},
        {"a list that ends as no array", R"({"Version":1,"Lista":[],"Lista":"x"})"},
        {"no Version", R"({"Lista":[]})"},
        {"no Lista", R"({"Version":1})"},
        {"Lista an object", R"({"Version":1,"Lista":{}})"},
        {"Version and Lista inside, not at the root", R"({"x":{"Version":1,"Lista":[]}})"},
        {"an array at the root", R"([{"Version":1,"Lista":[]}])"},
        {"a string at the root", R"("Version")"},
        {"scored", R"({"Version":1,"Klucz":{"Odp":["A"]},"Lista":[]})"},
        {"nested 256 deep", "{\"Version\":1,\"Lista\":[],\"x\":" + deep256 + "}"},
        {"nested 257 deep", "{\"Version\":1,\"Lista\":[],\"x\":" + deep257 + "}"},
        {"nested 100,000 deep", "{\"Version\":1,\"Lista\":[],\"x\":" + deep + "}"},
        {"deep and broken later", "{\"Version\":1,\"x\":" + deep257 + ",}"},
        {"brackets inside strings do not nest", "{\"Version\":1,\"Lista\":[],\"x\":\"" + deep + "\\\"\"}"},
        {"truncated", R"({"Version":1,"Lista":[{"Student":"1")"},
        {"truncated in a string", R"({"Version":1,"Lista":["ab)"},
        {"trailing comma", R"({"Version":1,"Lista":[],})"},
        {"trailing bytes", R"({"Version":1,"Lista":[]} x)"},
        {"comment", "{\"Version\":1,/* */\"Lista\":[]}"},
        {"invalid UTF-8", "{\"Version\":1,\"Lista\":[\"\xC3\x28\"]}"},
        {"empty file", ""},
        {"huge string", "{\"Version\":1,\"Lista\":[\"" + std::string(20 << 20, 'A') + "\"]}"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        const std::string path = dir.File("wyniki.json");
        WriteFileBytes(path, c.Text);
        ExpectSameAsTree(path, c.Label);
    }
    ExpectSameAsTree(dir.File("missing.json"), "missing file");
    ExpectSameAsTree(dir.Path().string(), "a folder");
    const std::string fifo = dir.File("fifo.json");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ExpectSameAsTree(fifo, "a FIFO");
}

TEST(ResultsStream, TextIsWhatTheTreeWritesWhenKeysComeSorted) {
    TempDir dir;
    const Json document = Json::parse(R"({"ACnt":4,"Date":1700000000000,"Folder":"/skany",
        "Lista":[{"FileName":"a.png","Message":"Przerwał","Status":3,"Student":"0042","Wyniki":["A"," ",""]}],
        "MultiChoice":false,"Project":"Próba","QCnt":3,"Version":1,"x":[1.5,-2,null,true]})");
    WriteFileBytes(dir.File("w.json"), DumpJsonIndented(document));
    const TStreamedResults streamed = StreamResultsFile(dir.File("w.json"));
    ASSERT_TRUE(streamed.Parsed) << streamed.Why;
    EXPECT_TRUE(streamed.ResultsDocument);
    EXPECT_FALSE(streamed.Scored);
    EXPECT_EQ(Narrow(streamed.Text), DumpJsonCompact(document));
}

// The nesting count carries its state from one piece to the next: a piece
// may end inside a string, right after a backslash.
TEST(ResultsStream, NestingCountsAlikeInPiecesAndWhole) {
    const std::string texts[] = {
        R"({"a":[{"b":"[[\"[{"},[[]]],"c":"\\"})",
        R"(["\\\"[[[",[[["]"]]]])",
        std::string(300, '[') + std::string(300, ']'),
    };
    for (const std::string& text : texts)
        for (size_t cut = 0; cut <= text.size(); ++cut)
            for (const int limit : {2, 4, MaxJsonDepth}) {
                TNestingCounter counter(limit);
                counter.Feed(std::string_view(text).substr(0, cut));
                counter.Feed(std::string_view(text).substr(cut));
                const int whole = JsonNestingDepth(text, limit);
                // Past the limit only "too deep" matters, not by how much.
                EXPECT_EQ(counter.Deepest() > limit, whole > limit) << text << " cut at " << cut;
                if (whole <= limit) EXPECT_EQ(counter.Deepest(), whole) << text << " cut at " << cut;
            }
}

}  // namespace
}  // namespace quorlen
