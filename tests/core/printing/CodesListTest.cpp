#include "core/printing/CodesList.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

using namespace quorlen;
using quorlen::testing::TempDir;
using quorlen::testing::WriteFileBytes;

TEST(CodeFromLine, KeepsLeadingZerosAndStripsBlanksAndControlsAtBothEnds) {
    EXPECT_EQ(CodeFromLine(" 0042 "), "0042");
    EXPECT_EQ(CodeFromLine("\t12\r"), "12");
    EXPECT_EQ(CodeFromLine(std::string("\x01\x1f"
                                       "7\x7f",
                                       4)),
              "7");
    EXPECT_EQ(CodeFromLine(std::string("\0"
                                       "5",
                                       2)),
              "5");
    EXPECT_EQ(CodeFromLine("0"), "0");
}

TEST(CodeFromLine, AcceptsOneToTenDigitsOnly) {
    EXPECT_EQ(CodeFromLine("1234567890"), "1234567890");
    EXPECT_EQ(CodeFromLine("  1234567890  "), "1234567890");
    EXPECT_EQ(CodeFromLine("12345678901"), "");
    EXPECT_EQ(CodeFromLine(""), "");
    EXPECT_EQ(CodeFromLine("   "), "");
}

TEST(CodeFromLine, RefusesAnythingButDecimalDigitsInside) {
    for (const char* line : {"abc", "12a", "1 2", "-5", "+5", "1.0", "0x1F", "١٢"})
        EXPECT_EQ(CodeFromLine(line), "") << line;
    // A no-break space is not a blank to trim: the line is not a code.
    EXPECT_EQ(CodeFromLine("\xC2\xA0"
                           "12"),
              "");
}

TEST(CodesStartingFrom, CountsUpFromTheStart) {
    EXPECT_EQ(CodesStartingFrom(5, 2), (std::vector<std::string>{"5", "6"}));
    EXPECT_TRUE(CodesStartingFrom(5, 0).empty());
    EXPECT_TRUE(CodesStartingFrom(5, -3).empty());
}

TEST(CodesStartingFrom, HighestDialogStartAndCountStaysWithinSevenDigits) {
    const std::vector<std::string> codes = CodesStartingFrom(999999, 1000);
    ASSERT_EQ(codes.size(), 1000u);
    EXPECT_EQ(codes.front(), "999999");
    EXPECT_EQ(codes[1], "1000000");
    EXPECT_EQ(codes.back(), "1000998");
    for (size_t i = 0; i < codes.size(); ++i) ASSERT_EQ(SheetCodeAt(&codes, static_cast<int>(i)), codes[i]);
}

TEST(CodesStartingFrom, TenDigitCodesAreTheLastThatPrint) {
    const std::vector<std::string> codes = CodesStartingFrom(9999999999LL, 2);
    EXPECT_EQ(SheetCodeAt(&codes, 0), "9999999999");
    EXPECT_EQ(SheetCodeAt(&codes, 1), "");  // eleven digits
}

TEST(SheetCount, AListWithLinesOverridesTheCount) {
    const std::vector<std::string> three{"12", "", "abc"};
    const std::vector<std::string> none;
    EXPECT_EQ(SheetCountFor(7, &three), 3);
    EXPECT_EQ(SheetCountFor(0, &three), 3);
    EXPECT_EQ(SheetCountFor(7, &none), 7);
    EXPECT_EQ(SheetCountFor(7, nullptr), 7);
    EXPECT_EQ(SheetCountFor(0, nullptr), 0);
    EXPECT_EQ(SheetCountFor(-1, nullptr), 0);
}

TEST(SheetCode, PastTheListOrWithoutOneTheSheetHasNoCode) {
    const std::vector<std::string> codes{"12", "", "abc", " 0042 ", "12345678901", "12"};
    EXPECT_EQ(SheetCodeAt(&codes, 0), "12");
    EXPECT_EQ(SheetCodeAt(&codes, 1), "");
    EXPECT_EQ(SheetCodeAt(&codes, 2), "");
    EXPECT_EQ(SheetCodeAt(&codes, 3), "0042");
    EXPECT_EQ(SheetCodeAt(&codes, 4), "");
    EXPECT_EQ(SheetCodeAt(&codes, 5), "12");  // repeats are allowed
    EXPECT_EQ(SheetCodeAt(&codes, 6), "");
    EXPECT_EQ(SheetCodeAt(&codes, -1), "");
    EXPECT_EQ(SheetCodeAt(nullptr, 0), "");
}

TEST(ReadCodesFile, OneLinePerSheetWhateverTheLineEnds) {
    TempDir dir("codes");
    struct Case {
        const char* Name;
        std::string Bytes;
        std::vector<std::string> Lines;
    };
    const std::vector<Case> cases = {
        {"crlf.txt", "12\r\n\r\nabc\r\n", {"12", "", "abc"}},
        {"lf-no-final.txt", "12\n\nabc", {"12", "", "abc"}},
        {"cr.txt", "1\r2\r", {"1", "2"}},
        {"empty.txt", "", {}},
        {"blank-lines.txt", "\n\n", {"", ""}},
        // A Windows-1250 note whose bytes are also valid UTF-8 (D3 A3).
        {"cp1250.txt", "12\r\nK\xD3\xA3KO\r\n", {"12", "KÓŁKO"}},
        {"utf8-bom.txt",
         "\xEF\xBB\xBF"
         "0042\r\n",
         {"0042"}},
        {"utf16le-bom.txt",
         std::string("\xFF\xFE"
                     "7\0\r\0\n\0"
                     "8\0",
                     10),
         {"7", "8"}},
        {"utf16be-bom.txt",
         std::string("\xFE\xFF\0"
                     "9\0\n",
                     6),
         {"9"}},
    };
    for (const Case& c : cases) {
        const std::string path = dir.File(c.Name);
        WriteFileBytes(path, c.Bytes);
        EXPECT_EQ(ReadCodesFile(path), c.Lines) << c.Name;
    }
    // The byte-order mark must not stick to the first code.
    const std::vector<std::string> withMark = ReadCodesFile(dir.File("utf8-bom.txt"));
    EXPECT_EQ(SheetCodeAt(&withMark, 0), "0042");
}

TEST(ReadCodesFile, AMissingFileIsAnError) {
    TempDir dir("codes");
    EXPECT_THROW(ReadCodesFile(dir.File("missing.txt")), std::runtime_error);
}

// A codes file of a million lines ran two minutes into a 384 MB PDF; the cap
// is the automation's, 100,000 sheets, for the dialog and the CLI alike.
TEST(ReadCodesFile, MoreLinesThanOneJobPrintsAreRefused) {
    TempDir dir("codes");
    std::string lines;
    for (int i = 0; i < MaxPrintSheets; ++i) lines += "1\n";
    WriteFileBytes(dir.File("full.txt"), lines);
    EXPECT_EQ(ReadCodesFile(dir.File("full.txt")).size(), static_cast<size_t>(MaxPrintSheets));
    WriteFileBytes(dir.File("over.txt"), lines + "\n");  // one empty line more
    try {
        ReadCodesFile(dir.File("over.txt"));
        ADD_FAILURE() << "100,001 lines were taken";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("ma 100001 wierszy; jeden wydruk to najwyżej 100000 arkuszy"),
                  std::string::npos)
            << e.what();
    }
    std::string out;
    EXPECT_EQ(quorlen::testing::RunCommand(std::string(QUORLEN_CLI_PATH) +
                                               " print --questions 5 --answers 4 --codes-file '" + dir.File("over.txt") +
                                               "' --pdf '" + dir.File("out.pdf") + "' 2>&1",
                                           &out),
              1)
        << out;
    EXPECT_NE(out.find("najwyżej 100000 arkuszy"), std::string::npos) << out;
}
