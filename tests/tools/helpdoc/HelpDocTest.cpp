#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

#include "QuorlenVersion.h"
#include "support/TestSupport.h"
#include "tools/helpdoc/BashCompletion.h"
#include "tools/helpdoc/ProgramHelp.h"

using namespace quorlen::helpdoc;
using quorlen::testing::ReadFileBytes;
using quorlen::testing::RunCommand;
using quorlen::testing::TempDir;
using quorlen::testing::WriteFileBytes;

namespace {

// A help text with every shape our programs' texts take.
const char* const kToolHelp =
    "Usage: tool COMMAND [OPTIONS]\n"
    "       tool --help | --version\n\n"
    "Does things to files. Second sentence.\n\n"
    "Commands:\n"
    "  copy          copy a file\n"
    "  a-very-long-name  with a summary\n\n"
    "Exit codes: 0 done, 2 bad arguments.\n";

const char* const kCopyHelp =
    "Usage: tool copy FILE.spf [--out DIR]\n"
    "                 [--level L] [--quiet]\n"
    "       tool copy --list\n\n"
    "Copies the project: a line\nthat runs on.\n\n"
    "Options:\n"
    "  --out DIR          where to\n"
    "                     put it\n"
    "  --dpi 150|200|300  resolution\n"
    "  -k, --key FILE     the key\r\n"
    "  /AUTOMATION, /EMBEDDING\n"
    "                     a term alone on its line\n"
    "  --list\n\n"
    "Command keys: Title, QCnt.\n\n"
    "  kept   as\n"
    "    it is\n";

TProgramHelp ToolHelp() {
    TProgramHelp help;
    help.Name = "tool";
    help.Version = "1.2";
    help.Top = ParseHelp(kToolHelp);
    help.Commands.push_back({"copy", "copy a file", ParseHelp(kCopyHelp)});
    help.Commands.push_back({"a-very-long-name", "with a summary", ParseHelp("Usage: tool a-very-long-name\n")});
    return help;
}

// The page through the man reader with its warnings on, as lintian reads it.
std::string ManWarnings(const std::string& page) {
    std::string out;
    RunCommand("man --warnings -E UTF-8 -l -Tutf8 -Z '" + page + "' 2>&1 >/dev/null", &out);
    return out;
}

// Words a completion offers after the typed words (the last one being
// completed), from a real bash in `folder`.
std::vector<std::string> Complete(const std::string& script, const std::string& folder,
                                  const std::vector<std::string>& words) {
    std::string array;
    for (const std::string& w : words) array += " '" + w + "'";
    std::string out;
    const std::string command = "cd '" + folder + "' && bash -c 'source \"$0\"; COMP_WORDS=(" + array +
                                "); COMP_CWORD=" + std::to_string(words.size() - 1) +
                                "; _tool; printf \"%s\\n\" \"${COMPREPLY[@]}\"' '" + script + "'";
    EXPECT_EQ(RunCommand(command, &out), 0) << command;
    std::vector<std::string> offered;
    size_t start = 0;
    for (size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1)
        if (end > start) offered.push_back(out.substr(start, end - start));
    std::sort(offered.begin(), offered.end());
    return offered;
}

}  // namespace

TEST(HelpText, UsageFormsParagraphsListsAndLabels) {
    const THelpPage page = ParseHelp(kCopyHelp);
    EXPECT_EQ(page.Usage,
              (std::vector<std::string>{"tool copy FILE.spf [--out DIR] [--level L] [--quiet]", "tool copy --list"}));
    ASSERT_EQ(page.Blocks.size(), 4u);
    EXPECT_EQ(page.Blocks[0].Text, "Copies the project: a line that runs on.");
    EXPECT_TRUE(page.Blocks[0].Heading.empty());  // a colon deep in a sentence is no label

    const THelpBlock* options = FindList(page, "Options");
    ASSERT_NE(options, nullptr);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"--out DIR", "where to put it"},
        {"--dpi 150|200|300", "resolution"},
        {"-k, --key FILE", "the key"},
        {"/AUTOMATION, /EMBEDDING", "a term alone on its line"},
        {"--list", ""}};
    ASSERT_EQ(options->Entries.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(options->Entries[i].Term, expected[i].first);
        EXPECT_EQ(options->Entries[i].Text, expected[i].second);
    }
    EXPECT_TRUE(page.Blocks[2].Heading.empty());
    EXPECT_EQ(page.Blocks[2].Text, "Command keys: Title, QCnt.");
    EXPECT_EQ(page.Blocks[3].Verbatim, (std::vector<std::string>{"kept   as", "  it is"}));

    const THelpPage top = ParseHelp(kToolHelp);
    EXPECT_EQ(FindList(top, "Commands")->Entries[1].Term, "a-very-long-name");
    EXPECT_EQ(top.Blocks.back().Heading, "Exit codes");
    EXPECT_EQ(top.Blocks.back().Text, "0 done, 2 bad arguments.");
    EXPECT_TRUE(ParseHelp("").Blocks.empty());
}

TEST(HelpText, OptionsFromListsAndUsageLines) {
    std::vector<std::string> seen;
    for (const TOption& o : PageOptions(ParseHelp(kCopyHelp))) seen.push_back(o.Name + "=" + o.Argument);
    EXPECT_EQ(seen, (std::vector<std::string>{"--out=DIR", "--dpi=150|200|300", "-k=FILE", "--key=FILE",
                                              "--list=", "--level=L", "--quiet="}));
    // "-" (standard input) and "--" are no options; "--x=Y" names its argument.
    seen.clear();
    for (const TOption& o : PageOptions(ParseHelp("Usage: t run FILE|- [--x=Y] [--] [--flag]\n")))
        seen.push_back(o.Name + "=" + o.Argument);
    EXPECT_EQ(seen, (std::vector<std::string>{"--x=Y", "--flag="}));
}

TEST(ManPage, EscapesWhatTroffWouldReadAsItsOwn) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"--out", "\\-\\-out"},
        {"C:\\dir", "C:\\edir"},
        {"Demo \xE2\x80\x94 sprawdzian", "Demo \\[u2014] sprawdzian"},
        {"ó", "\\[u00F3]"},
        {"\xF0\x9F\x98\x80", "\\[u1F600]"},
        {"\xC3", "\\[uFFFD]"},    // cut short
        {"\xC3x", "\\[uFFFD]x"},  // broken by a plain byte
        {"\x80", "\\[uFFFD]"},
    };
    for (const auto& [text, escaped] : cases) EXPECT_EQ(Escape(text), escaped) << text;
}

TEST(ManPage, SectionsInReadersOrderWithACommandEach) {
    THelpPage top = ParseHelp(std::string(kToolHelp) +
                              "\nFiles:\n  ~/x  a file\n\nOptions:\n  --all  every\n\n"
                              ".dot starts this line\n");
    TProgramHelp help = ToolHelp();
    help.Top = top;
    const std::string page = WriteManPage(help, {"2026-12-10", "Tool", {"other(1)", "more(5)"}});

    EXPECT_NE(page.find(".TH TOOL 1 \"2026-12-10\" \"tool 1.2\" \"Tool\"\n"), std::string::npos) << page;
    EXPECT_NE(page.find(".SH NAME\ntool \\- does things to files\n"), std::string::npos) << page;
    EXPECT_NE(page.find(".SY tool\n\\fICOMMAND\\fR [\\fIOPTIONS\\fR]\n.YS\n"), std::string::npos) << page;
    // The note after the options stays with them, and its leading dot is no request.
    EXPECT_NE(page.find("every\n.PP\n\\&.dot starts"), std::string::npos) << page;
    std::vector<size_t> at;
    for (const char* section : {".SH SYNOPSIS", ".SH DESCRIPTION", ".SH OPTIONS", ".SH COMMANDS", ".SH \"EXIT STATUS\"",
                                ".SH FILES", ".SH \"SEE ALSO\""}) {
        at.push_back(page.find(section));
        EXPECT_NE(at.back(), std::string::npos) << section << "\n" << page;
    }
    EXPECT_TRUE(std::is_sorted(at.begin(), at.end())) << page;
    EXPECT_NE(page.find(".SS \"copy\"\n.SY \"tool copy\"\n\\fIFILE.spf\\fR [\\fB\\-\\-out\\fR \\fIDIR\\fR]"),
              std::string::npos)
        << page;
    EXPECT_NE(page.find(".TP\n\\fB\\-k\\fR, \\fB\\-\\-key\\fR \\fIFILE\\fR\nthe key\n"), std::string::npos) << page;
    // A command with nothing but its usage still says what it does.
    EXPECT_NE(
        page.find(".SS \"a\\-very\\-long\\-name\"\n.SY \"tool a\\-very\\-long\\-name\"\n.YS\n.PP\nwith a summary"),
        std::string::npos)
        << page;
    EXPECT_NE(page.find(".BR other (1),\n.BR more (5)\n"), std::string::npos) << page;

    TempDir dir("helpdoc");
    WriteFileBytes(dir.File("tool.1"), page);
    EXPECT_EQ(ManWarnings(dir.File("tool.1")), "");
}

TEST(BashCompletion, ValueKindsFromTheArgument) {
    const std::vector<std::pair<std::string, TValueKind>> cases = {{"DIR", TValueKind::Folder},
                                                                   {"FOLDER", TValueKind::Folder},
                                                                   {"FILE", TValueKind::File},
                                                                   {"OUT.pdf", TValueKind::File},
                                                                   {"KEY.klucz.json", TValueKind::File},
                                                                   {"PATH", TValueKind::File},
                                                                   {"150|200|300", TValueKind::Words},
                                                                   {"Q", TValueKind::None},
                                                                   {"K/N", TValueKind::None},
                                                                   {"TEXT", TValueKind::None},
                                                                   {"A|B", TValueKind::None},
                                                                   {"", TValueKind::None}};
    for (const auto& [argument, kind] : cases) EXPECT_EQ(ValueKind(argument), kind) << argument;
}

TEST(BashCompletion, CommandsOptionsAndValuesInARealShell) {
    TempDir dir("helpdoc-completion");
    const std::string script = dir.File("tool.bash");
    WriteFileBytes(script, WriteBashCompletion(ToolHelp()));
    const std::string work = dir.File("work");
    std::filesystem::create_directories(work + "/sub folder");
    for (const char* name : {"a project.spf", "b.spf", "notes.txt"}) WriteFileBytes(work + "/" + name, "");

    using Words = std::vector<std::string>;
    const std::vector<std::pair<Words, Words>> cases = {
        {{"tool", ""}, {"--help", "--version", "a-very-long-name", "copy"}},
        {{"tool", "co"}, {"copy"}},
        {{"tool", "copy", "--"}, {"--dpi", "--help", "--key", "--level", "--list", "--out", "--quiet"}},
        {{"tool", "copy", "--dpi", "2"}, {"200"}},
        {{"tool", "copy", "--level", ""}, {}},                   // a number: nothing to offer
        {{"tool", "copy", "--out", ""}, {"sub folder"}},         // folders only
        {{"tool", "copy", "--out", "=", "su"}, {"sub folder"}},  // --out=su
        {{"tool", "copy", "--key", "n"}, {"notes.txt"}},
        {{"tool", "copy", ""}, {"a project.spf", "b.spf", "notes.txt", "sub folder"}},
        {{"tool", "unknown", "--"}, {}},
    };
    for (const auto& [words, expected] : cases) {
        std::string typed;
        for (const std::string& w : words) typed += w + " ";
        EXPECT_EQ(Complete(script, work, words), expected) << typed;
    }
}

// The pages and the completion the build made from the real programs: every
// command quorlen-cli lists has its section and its options, so that a new
// command is documented the moment it is registered.
TEST(BuiltDocumentation, EveryCommandOfTheProgramIsInThePageAndTheCompletion) {
    const std::string cli = QUORLEN_CLI_PATH;
    const TProgramHelp help = CollectHelp(cli);
    EXPECT_EQ(help.Version, QUORLEN_VERSION);
    EXPECT_EQ(RunForOutput(cli, {"--version"}), "quorlen-cli " QUORLEN_VERSION "\n");
    ASSERT_GE(help.Commands.size(), 10u);

    const std::string page = ReadFileBytes(QUORLEN_MAN_DIR "/quorlen-cli.1");
    const std::string completion = ReadFileBytes(QUORLEN_BASH_COMPLETION);
    for (const TProgramHelp::TCommand& command : help.Commands) {
        EXPECT_NE(page.find(".SS \"" + Escape(command.Name) + "\""), std::string::npos) << command.Name;
        const std::regex arm("\n    " + command.Name + "\\)\n        options='([^']*)'");
        std::smatch match;
        ASSERT_TRUE(std::regex_search(completion, match, arm)) << command.Name;
        std::set<std::string> offered;
        std::istringstream words(match[1].str());
        for (std::string w; words >> w;) offered.insert(w);
        for (const TOption& option : PageOptions(command.Page)) {
            EXPECT_TRUE(offered.count(option.Name)) << command.Name << " " << option.Name;
            EXPECT_NE(page.find(Escape(option.Name)), std::string::npos) << command.Name << " " << option.Name;
        }
    }
    for (const std::string name : {"quorlen-cli.1", "quorlen.1"}) {
        const std::string path = QUORLEN_MAN_DIR "/" + name;
        if (!std::filesystem::exists(path)) continue;  // no desktop program in this build
        EXPECT_EQ(ManWarnings(path), "") << name;
        // The installed copy is the same page.
        std::string unpacked;
        ASSERT_EQ(RunCommand("gzip -dc '" + path + ".gz'", &unpacked), 0);
        EXPECT_EQ(unpacked, ReadFileBytes(path));
    }
    EXPECT_EQ(RunCommand("bash -n '" QUORLEN_BASH_COMPLETION "'"), 0);
}
