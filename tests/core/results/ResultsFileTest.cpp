#include <gtest/gtest.h>

#include "core/common/Json.h"
#include "core/results/ResultsDocument.h"
#include "core/results/ResultsFile.h"
#include "support/TestSupport.h"

using namespace quorlen;
using quorlen::testing::ReadFileBytes;
using quorlen::testing::TempDir;
using quorlen::testing::WriteFileBytes;

TEST(ResultsFile, IsPureAsciiIndentedAndParsesBack) {
    TResultsDocument doc({"Sprawdzian z języka polskiego", 2, 2, false, "/home/ewa/Skany łódzkie"});
    TAnswerList a;
    a.Add("1=A");
    a.Add("2= ");
    a.Add("Student=0042");
    doc.AddResultEntry(a, "żółw.png");
    TempDir dir;
    const std::string path = dir.File("wyniki.json");
    WriteResultsFile(path, doc.Snapshot());
    const std::string bytes = ReadFileBytes(path);
    for (unsigned char c : bytes) ASSERT_LT(c, 0x80);
    EXPECT_NE(bytes.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_NE(bytes.find("\n  \"Lista\""), std::string::npos);
    EXPECT_NE(bytes.find("j\\u0119zyka"), std::string::npos);
    EXPECT_EQ(*ParseJson(bytes), doc.Snapshot());
    // Saving again gives the identical file.
    WriteResultsFile(path, doc.Snapshot());
    EXPECT_EQ(ReadFileBytes(path), bytes);
}

TEST(ResultsFile, FailedWriteKeepsTheOldFile) {
    TempDir dir;
    EXPECT_THROW(WriteResultsFile(dir.File("missing/wyniki.json"), Json::object()), std::runtime_error);
    const std::string path = dir.File("wyniki.json");
    WriteFileBytes(path, "old");
    try {
        WriteResultsFile(dir.File("wyniki.json/inside"), Json::object());
        FAIL() << "writing under a file must fail";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("wyniki.json"), std::string::npos);
    }
    EXPECT_EQ(ReadFileBytes(path), "old");
}
