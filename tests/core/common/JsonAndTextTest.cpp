#include <gtest/gtest.h>
#include <sys/stat.h>

#include "core/common/AtomicFile.h"
#include "core/common/Json.h"
#include "core/common/TextFile.h"
#include "support/TestSupport.h"

using namespace quorlen;
using quorlen::testing::ReadFileBytes;
using quorlen::testing::TempDir;
using quorlen::testing::WriteFileBytes;

TEST(Json, ParsingIsStrict) {
    EXPECT_TRUE(ParseJson(R"({"a":[1,2,{"b":null}]})"));
    EXPECT_FALSE(ParseJson(R"({"a":1,})"));
    EXPECT_FALSE(ParseJson("{\"a\":1} // note"));
    EXPECT_FALSE(ParseJson("{'a':1}"));
    EXPECT_FALSE(ParseJson(""));
    EXPECT_FALSE(ParseJson("{\"a\":1} x"));
    EXPECT_FALSE(ParseJsonFile("/nonexistent/quorlen.json"));
}

TEST(Json, EveryNonAsciiCharacterIsEscaped) {
    Json doc = {{"Project", "Zażółć gęślą jaźń"}, {"emoji", "\xF0\x9F\x98\x80"}};
    std::string compact = DumpJsonCompact(doc);
    for (char c : compact) EXPECT_LT(static_cast<unsigned char>(c), 0x80);
    EXPECT_NE(compact.find("Za\\u017c\\u00f3\\u0142\\u0107"), std::string::npos);
    EXPECT_NE(compact.find("\\ud83d\\ude00"), std::string::npos);
    EXPECT_EQ(compact.find('\n'), std::string::npos);
    std::string indented = DumpJsonIndented(doc);
    EXPECT_NE(indented.find("\n  \""), std::string::npos);
    EXPECT_EQ(*ParseJson(indented), doc);
}

TEST(Json, InvalidUtf8DoesNotAbortWriting) {
    Json doc = {{"bad", std::string("a\xFF"
                                    "b")}};
    EXPECT_NO_THROW(DumpJsonCompact(doc));
}

TEST(TextFile, ByteOrderMarksDecideTheEncoding) {
    EXPECT_EQ(DecodeTextBytes("\xEF\xBB\xBFZa\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87"), "Zażółć");
    EXPECT_EQ(DecodeTextBytes(std::string("\xFF\xFE"
                                          "A\0\x05\x01",
                                          6)),
              "Aą");
    EXPECT_EQ(DecodeTextBytes(std::string("\xFE\xFF\0A\x01\x05", 6)), "Aą");
    // Surrogate pair in UTF-16 LE.
    EXPECT_EQ(DecodeTextBytes(std::string("\xFF\xFE\x3D\xD8\x00\xDE", 6)), "\xF0\x9F\x98\x80");
}

TEST(TextFile, WithoutAMarkValidUtf8WinsElseWindows1250) {
    EXPECT_EQ(DecodeTextBytes("plain"), "plain");
    EXPECT_EQ(DecodeTextBytes("\xC5\x82\xC3\xB3"), "łó");
    // 0xB9 is 'ą', 0x9C 'ś', 0xA3 'Ł' in Windows-1250; alone they are not UTF-8.
    EXPECT_EQ(DecodeTextBytes("\xB9\x9C\xA3"), "ąśŁ");
    // Unassigned bytes of the code page do not fail the file.
    EXPECT_EQ(DecodeTextBytes("a\x98"
                              "b"),
              "a\xEF\xBF\xBD"
              "b");
}

TEST(TextFile, Windows1250EncodingReportsLoss) {
    std::string out;
    EXPECT_TRUE(EncodeWindows1250("Zażółć\r\n", out));
    EXPECT_EQ(out, "Za\xBF\xF3\xB3\xE6\r\n");
    EXPECT_FALSE(EncodeWindows1250("Тест", out));
    EXPECT_FALSE(EncodeWindows1250("\xF0\x9F\x98\x80", out));
}

TEST(TextFile, SplitLinesAcceptsEveryLineEnd) {
    EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("a\r\n\r\nb\r\n"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_TRUE(SplitLines("").empty());
}

TEST(TextFile, UnreadableFileRaises) { EXPECT_THROW(ReadTextFile("/nonexistent/x.spf"), std::runtime_error); }

TEST(AtomicFile, ReplacesWholeAndLeavesNoTemporary) {
    TempDir dir;
    std::string path = dir.File("doc.json");
    WriteFileBytes(path, "old");
    WriteFileAtomically(path, "new contents");
    EXPECT_EQ(ReadFileBytes(path), "new contents");
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.Path())) (void)e, ++files;
    EXPECT_EQ(files, 1);
}

TEST(AtomicFile, FailureKeepsTheOldFile) {
    TempDir dir;
    EXPECT_THROW(WriteFileAtomically(dir.File("missing/doc.json"), "x"), std::runtime_error);
    // A folder we cannot write into (skipped as root, who may write anywhere).
    if (geteuid() != 0) {
        std::string sub = dir.File("ro");
        std::filesystem::create_directory(sub);
        WriteFileBytes(sub + "/doc.json", "old");
        chmod(sub.c_str(), 0555);
        EXPECT_THROW(WriteFileAtomically(sub + "/doc.json", "new"), std::runtime_error);
        EXPECT_EQ(ReadFileBytes(sub + "/doc.json"), "old");
        chmod(sub.c_str(), 0755);
    }
}
