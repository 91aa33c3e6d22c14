#include <gtest/gtest.h>

#include <filesystem>

#include "app/automation/AutomationCommand.h"
#include "app/automation/ServerSwitches.h"
#include "support/TestSupport.h"

using namespace quorlen;

namespace {

struct PlanCase {
    const char* Command;
    bool PrintMode;
    int Count;
    std::vector<std::string> Codes;
};

void ExpectPlan(const PlanCase& c) {
    const TAutomationCommand command = ParseAutomationCommand(c.Command);
    EXPECT_EQ(IsPrintMode(command), c.PrintMode) << c.Command;
    if (!c.PrintMode) return;
    const TPrintPlan plan = PlanPrint(command);
    EXPECT_EQ(plan.Count, c.Count) << c.Command;
    EXPECT_EQ(plan.Codes, c.Codes) << c.Command;
}

}  // namespace

// The mode and the sheets of a command beyond the printed cases of the
// server's tests, element rules of PrintList included:
// a null, an 11-digit value and one past 64 bits are left out, and the count
// is the codes kept.
TEST(AutomationCommand, PrintPlans) {
    for (const PlanCase& c : std::vector<PlanCase>{
             {R"({"Title":"T","ScansFolder":"/x"})", false, 0, {}},
             {R"({"PrintCount":0,"PrintFrom":0})", false, 0, {}},
             {R"({"PrintList":"5","ScansFolder":"/x"})", false, 0, {}},
             {R"({"PrintList":{"a":1}})", false, 0, {}},
             {R"({"PrintCount":3})", true, 3, {}},
             {R"({"PrintList":[-4]})", true, 1, {"-4"}},
             {R"({"PrintList":[null,2.5,3.5,-2.5,true,false,"abc","+12","007",[1],9999999999,"99999999999999999999"]})",
              true,
              10,
              {"2", "4", "-2", "1", "0", "", "12", "7", "0", "9999999999"}},
             // A text that is not a whole number prints a sheet without a code
             // (it printed code 0).
             {R"({"PrintList":["12a","1 2",""," 5","0x10","12"]})", true, 6, {"", "", "", "", "", "12"}},
             {R"({"PrintFrom":9999999999,"PrintCount":2})", true, 2, {"9999999999", "10000000000"}},
             {R"({"PrintFrom":9223372036854775807,"PrintCount":2})", true, 2, {"-", "-"}},
             {R"({"PrintCount":2.5})", true, 2, {}},
             {R"({"PrintCount":"3"})", false, 0, {}},
         })
        ExpectPlan(c);
}

TEST(AutomationCommand, TooManySheetsBuildNothing) {
    EXPECT_FALSE(PlanPrint(ParseAutomationCommand(R"({"PrintCount":100000})")).TooMany);
    const TPrintPlan plan = PlanPrint(ParseAutomationCommand(R"({"PrintFrom":1,"PrintCount":2000000000})"));
    EXPECT_TRUE(plan.TooMany);
    EXPECT_TRUE(plan.Codes.empty());
}

// Keys of another type read as missing; integers beyond 32 bits are pinned.
TEST(AutomationCommand, KeysOfTheWrongTypeReadAsMissing) {
    const TAutomationCommand c = ParseAutomationCommand(
        R"({"Title":5,"QCnt":"20","ACnt":4.5,"MultiChoice":1,"CheckEmpty":true,"ScansFolder":["/x"],"BlackLevel":1e12})");
    EXPECT_EQ(c.Title, "");
    EXPECT_EQ(c.QCnt, 0);
    EXPECT_EQ(c.ACnt, 4);
    EXPECT_FALSE(c.MultiChoice);
    EXPECT_TRUE(c.CheckEmpty);
    EXPECT_EQ(c.ScansFolder, "");
    EXPECT_EQ(c.BlackLevel, 2147483647);
}

TEST(AutomationCommand, InvalidTextThrows) {
    for (const char* text : {"", "{", "{\"a\":}", "{\"a\":1,}", "// c\n{}", "[]", "5", "\"x\"", "null"})
        EXPECT_THROW(ParseAutomationCommand(text), TInvalidCommand) << text;
    try {
        ParseAutomationCommand("{\"Title\":\n tru}");
        FAIL();
    } catch (const TInvalidCommand& e) {
        EXPECT_NE(std::string(e.what()).find("line 2"), std::string::npos) << e.what();
    }
}

TEST(ServerSwitches, ParsedWithEitherPrefixInAnyCase) {
    struct Case {
        QStringList Arguments;
        TServerSwitch Expected;
    };
    for (const Case& c : std::vector<Case>{
             {{}, TServerSwitch::None},
             {{"/THREAD=4", "AUTOMATION", "--automation"}, TServerSwitch::None},
             {{"/Automation"}, TServerSwitch::Automation},
             {{"-embedding"}, TServerSwitch::Automation},
             {{"/regserver"}, TServerSwitch::RegServer},
             {{"-UnRegServer"}, TServerSwitch::UnregServer},
             {{"/AUTOMATION", "/REGSERVER"}, TServerSwitch::RegServer},
             {{"/automationx"}, TServerSwitch::None},
         })
        EXPECT_EQ(ParseServerSwitch(c.Arguments), c.Expected) << c.Arguments.join(' ').toStdString();
}

TEST(ServerSwitches, ServiceFileQuotesAnUnusualPath) {
    EXPECT_EQ(ServiceFileText("/usr/bin/quorlen"),
              "[D-BUS Service]\nName=com.brenvik.Quorlen\nExec=/usr/bin/quorlen /AUTOMATION\n");
    EXPECT_EQ(ServiceFileText("/opt/my apps/it's/quorlen"),
              "[D-BUS Service]\nName=com.brenvik.Quorlen\nExec='/opt/my apps/it'\\''s/quorlen' /AUTOMATION\n");
}

// A command's PdfFile overwrote ~/.bashrc with a PDF: any path the user could
// write, relative to the server's folder. Now only a .pdf name, relative ones
// in the documents folder, and never a file that is not a PDF.
TEST(AutomationCommand, PdfFileIsAPdfInTheDocumentsFolderOrRefused) {
    quorlen::testing::TempDir dir;
    const std::string docs = dir.File("Dokumenty");
    std::filesystem::create_directory(docs);
    quorlen::testing::WriteFileBytes(dir.File(".bashrc"), "export PATH\n");
    quorlen::testing::WriteFileBytes(dir.File("old.pdf"), "%PDF-1.4\n%%EOF\n");
    quorlen::testing::WriteFileBytes(dir.File("fake.pdf"), "export PATH\n");
    std::filesystem::create_symlink(dir.File(".bashrc"), dir.File("link.pdf"));
    struct Case {
        std::string Name;
        std::string Path;  // empty: refused
        const char* Says;
    };
    const Case cases[] = {
        {"arkusze.pdf", docs + "/arkusze.pdf", ""},
        {"klasa/3b.PDF", docs + "/klasa/3b.PDF", ""},
        {dir.File("old.pdf"), dir.File("old.pdf"), ""},
        {dir.File("new.pdf"), dir.File("new.pdf"), ""},
        {dir.File(".bashrc"), "", "musi kończyć się na .pdf"},
        {"arkusze", "", "musi kończyć się na .pdf"},
        {".pdf", "", "musi kończyć się na .pdf"},
        {dir.File("fake.pdf"), "", "istnieje i nie jest plikiem PDF"},
        {dir.File("link.pdf"), "", "istnieje i nie jest plikiem PDF"},
        {dir.Path().string() + "/", "", "musi kończyć się na .pdf"},
    };
    for (const Case& c : cases) {
        try {
            EXPECT_EQ(PdfFileForCommand(c.Name, docs), c.Path) << c.Name;
        } catch (const std::runtime_error& e) {
            EXPECT_TRUE(c.Path.empty()) << c.Name << ": " << e.what();
            EXPECT_NE(std::string(e.what()).find(c.Says), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(quorlen::testing::ReadFileBytes(dir.File(".bashrc")), "export PATH\n");
}
