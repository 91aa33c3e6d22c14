#include <gtest/gtest.h>

#include <filesystem>

#include "core/project/ProjectFile.h"
#include "support/TestSupport.h"

using namespace quorlen;
using quorlen::testing::ReadFileBytes;
using quorlen::testing::TempDir;
using quorlen::testing::WriteFileBytes;

namespace {

TProjectSettings Read(const TempDir& dir, const std::string& bytes, const TProjectSettings& current = {}) {
    std::string path = dir.File("p.spf");
    WriteFileBytes(path, bytes);
    return ReadProjectFile(path, current);
}

}  // namespace

TEST(ProjectFile, RoundTripKeepsEverySettingAndFillsTheScanFolder) {
    TempDir dir;
    TProjectSettings s;
    s.ProjectName = "Sprawdzian z fizyki";
    s.QuestionCount = 40;
    s.AnswerCount = 4;
    s.MultipleChoice = false;
    s.BlackLevel = 50;
    s.CheckEmpty = false;
    s.AllScansAlike = true;
    s.PrintLine1 = "Grupa=A";
    s.PrintLine2 = "Imię i nazwisko: ........";
    std::string path = dir.File("fizyka.spf");
    WriteProjectFile(path, s);

    std::string bytes = ReadFileBytes(path);
    EXPECT_EQ(bytes.rfind(";Brenvik Quorlen project file\r\nNazwa=Sprawdzian z fizyki\r\nIlePytan=40\r\n"
                          "IleOdpowiedzi=4\r\nWybor=1\r\nPoziom=50\r\nTakieSame=1\r\nKontrPuste=0\r\n",
                          0),
              0u);
    EXPECT_NE(bytes.find("Imi\xEA"), std::string::npos);  // 'ę' in Windows-1250, no BOM
    EXPECT_NE(bytes.substr(0, 3), "\xEF\xBB\xBF");

    TProjectSettings back = ReadProjectFile(path, TProjectSettings{});
    s.ScanFolder = std::filesystem::absolute(dir.Path()).string();
    EXPECT_EQ(back, s);
}

TEST(ProjectFile, OnlyLineClampsQuestionsAndKeepsTheRest) {
    TempDir dir;
    TProjectSettings current;
    current.ProjectName = "stara";
    current.AnswerCount = 7;
    current.BlackLevel = 61;
    current.CheckEmpty = false;
    current.AllScansAlike = true;
    current.MultipleChoice = false;
    TProjectSettings s = Read(dir, "IlePytan=500", current);
    EXPECT_EQ(s.QuestionCount, 200);
    EXPECT_EQ(s.ProjectName, "");
    EXPECT_TRUE(s.MultipleChoice);
    EXPECT_EQ(s.ScanFolder, std::filesystem::absolute(dir.Path()).string());
    EXPECT_EQ(s.AnswerCount, 7);
    EXPECT_EQ(s.BlackLevel, 61);
    EXPECT_FALSE(s.CheckEmpty);
    EXPECT_TRUE(s.AllScansAlike);
    EXPECT_EQ(Read(dir, "IlePytan=1\r\nIleOdpowiedzi=99").QuestionCount, 3);
    EXPECT_EQ(Read(dir, "IleOdpowiedzi=99").AnswerCount, 16);
    EXPECT_EQ(Read(dir, "IleOdpowiedzi=1").AnswerCount, 2);
}

TEST(ProjectFile, NamesIgnoreCaseValuesAreExactAndTheFirstLineWins) {
    TempDir dir;
    EXPECT_TRUE(Read(dir, "Wybor=n").MultipleChoice);
    EXPECT_FALSE(Read(dir, "wybor=1").MultipleChoice);
    EXPECT_TRUE(Read(dir, "Wybor= 1").MultipleChoice);
    EXPECT_EQ(Read(dir, "Nazwa= Test").ProjectName, " Test");
    EXPECT_EQ(Read(dir, "PrintLine1=Grupa=A").PrintLine1, "Grupa=A");
    EXPECT_EQ(Read(dir, "NAZWA=pierwsza\r\nNazwa=druga").ProjectName, "pierwsza");
    EXPECT_EQ(Read(dir, "SkanFolder=/skany\r\nbez znaku\r\nInny=1").ScanFolder, "/skany");
    EXPECT_EQ(Read(dir, "SkanFolder=").ScanFolder, std::filesystem::absolute(dir.Path()).string());
}

TEST(ProjectFile, BadLevelsAndNumbersAreIgnoredKeyByKey) {
    TempDir dir;
    TProjectSettings current;
    current.BlackLevel = 60;
    current.QuestionCount = 33;
    EXPECT_EQ(Read(dir, "Poziom=4", current).BlackLevel, 60);
    EXPECT_EQ(Read(dir, "Poziom=abc", current).BlackLevel, 60);
    EXPECT_EQ(Read(dir, "Poziom=101", current).BlackLevel, 60);
    EXPECT_EQ(Read(dir, "Poziom=5", current).BlackLevel, 5);
    EXPECT_EQ(Read(dir, "Poziom=100", current).BlackLevel, 100);
    TProjectSettings s = Read(dir, "IlePytan=x\r\nKontrPuste=tak\r\nTakieSame=2\r\nPoziom=70", current);
    EXPECT_EQ(s.QuestionCount, 33);
    EXPECT_TRUE(s.CheckEmpty);
    EXPECT_TRUE(s.AllScansAlike);
    EXPECT_EQ(s.BlackLevel, 70);
}

TEST(ProjectFile, EmptyValuesAreNotWritten) {
    TempDir dir;
    TProjectSettings s;
    std::string path = dir.File("empty.spf");
    WriteProjectFile(path, s);
    std::string bytes = ReadFileBytes(path);
    EXPECT_EQ(bytes.find("Nazwa"), std::string::npos);
    EXPECT_EQ(bytes.find("SkanFolder"), std::string::npos);
    EXPECT_EQ(bytes.find("PrintLine"), std::string::npos);
    EXPECT_EQ(ReadProjectFile(path, s).ProjectName, "");
}

TEST(ProjectFile, ByteOrderMarkedAndUtf16FilesAreRead) {
    TempDir dir;
    EXPECT_EQ(Read(dir, "\xEF\xBB\xBFNazwa=Łódź").ProjectName, "Łódź");
    std::string utf16 = std::string("\xFF\xFE", 2);
    for (char c : std::string("Nazwa=Test\r\nIlePytan=7")) utf16 += std::string{c, '\0'};
    TProjectSettings s = Read(dir, utf16);
    EXPECT_EQ(s.ProjectName, "Test");
    EXPECT_EQ(s.QuestionCount, 7);
    EXPECT_EQ(Read(dir, "Nazwa=\xA3\xF3\x64\x9F").ProjectName, "Łódź");
}

TEST(ProjectFile, TextOutsideTheCodePageIsWrittenAsUtf8WithAMark) {
    TempDir dir;
    TProjectSettings s;
    s.ProjectName = "Тест по физике";
    s.PrintLine1 = "Zażółć";
    std::string path = dir.File("ru.spf");
    WriteProjectFile(path, s);
    EXPECT_EQ(ReadFileBytes(path).substr(0, 3), "\xEF\xBB\xBF");
    TProjectSettings back = ReadProjectFile(path, {});
    EXPECT_EQ(back.ProjectName, s.ProjectName);
    EXPECT_EQ(back.PrintLine1, s.PrintLine1);
}

TEST(ProjectFile, FailuresChangeNothing) {
    TempDir dir;
    EXPECT_THROW(ReadProjectFile(dir.File("none.spf"), {}), std::runtime_error);
    std::string path = dir.File("keep.spf");
    WriteFileBytes(path, "Nazwa=stary\r\n");
    TProjectSettings s;
    s.ProjectName = "nowy";
    EXPECT_THROW(WriteProjectFile(dir.File("no/such/folder.spf"), s), std::runtime_error);
    EXPECT_EQ(ReadFileBytes(path), "Nazwa=stary\r\n");
}

// Windows-1250 "ÓŁ" (D3 A3) is also valid UTF-8; a saved project must still
// read back as it was written.
TEST(ProjectFile, PolishTextSurvivesSaveAndLoadInTheCodePage) {
    TempDir dir;
    for (const char* text : {"TEST SZKÓŁ", "KÓŁKO", "ZAŻÓŁĆ GĘŚLĄ JAŹŃ", "PÓŁROCZNY", "STÓŁ", "zażółć gęślą jaźń"}) {
        TProjectSettings s;
        s.ProjectName = text;
        s.PrintLine1 = text;
        s.PrintLine2 = std::string("Klasa ") + text;
        const std::string path = dir.File("szkoła.spf");
        WriteProjectFile(path, s);
        ASSERT_NE(ReadFileBytes(path).substr(0, 3), "\xEF\xBB\xBF") << text;
        const TProjectSettings back = ReadProjectFile(path, {});
        EXPECT_EQ(back.ProjectName, s.ProjectName);
        EXPECT_EQ(back.PrintLine1, s.PrintLine1);
        EXPECT_EQ(back.PrintLine2, s.PrintLine2);
    }
    // A file written by hand in UTF-8 without a mark.
    EXPECT_EQ(Read(dir, "Nazwa=„Sprawdzian” – STÓŁ\r\n").ProjectName, "„Sprawdzian” – STÓŁ");
}

// --project given a folder, a JPEG or random bytes ran with the defaults and
// multiple choice on (exit code 0); a FIFO would have blocked it.
TEST(ProjectFile, WhatIsNoProjectFileIsRefusedWithItsReason) {
    TempDir dir;
    std::string random;
    for (int i = 0; i < 4096; ++i) random += static_cast<char>((i * 7919 + 13) & 0xFF);
    WriteFileBytes(dir.File("skan.jpg"), std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01", 12) + random);
    WriteFileBytes(dir.File("random.spf"), random);
    WriteFileBytes(dir.File("notes.spf"), "zakupy\r\nmleko=2\r\n");
    std::filesystem::create_directory(dir.File("folder.spf"));
    ASSERT_EQ(quorlen::testing::RunCommand("mkfifo '" + dir.File("fifo.spf") + "'"), 0);
    struct Case {
        const char* Name;
        const char* Says;
    };
    for (const Case& c : {Case{"skan.jpg", "nie jest plikiem projektu (zawiera dane binarne)"},
                          Case{"random.spf", "nie jest plikiem projektu (zawiera dane binarne)"},
                          Case{"notes.spf", "nie jest plikiem projektu (brak znanych ustawień)"},
                          Case{"folder.spf", "to jest folder"}, Case{"fifo.spf", "to nie jest zwykły plik"}}) {
        try {
            ReadProjectFile(dir.File(c.Name), {});
            ADD_FAILURE() << c.Name << " was read as a project";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(c.Says), std::string::npos) << e.what();
        }
        std::string out;
        EXPECT_EQ(quorlen::testing::RunCommand(std::string("timeout 60 ") + QUORLEN_CLI_PATH + " print --project '" +
                                                   dir.File(c.Name) + "' --pdf '" + dir.File("out.pdf") + "' 2>&1",
                                               &out),
                  1)
            << c.Name << ": " << out;
        EXPECT_NE(out.find(c.Says), std::string::npos) << out;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.pdf")));
}
