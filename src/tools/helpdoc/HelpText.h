#pragma once

#include <string>
#include <vector>

namespace quorlen::helpdoc {

// A program's --help text as our programs write it: a "Usage:" paragraph,
// paragraphs of text, and blocks under a heading line ("Options:") whose
// indented lines are entries, a term and its text, the text running on in
// deeper-indented lines. Paragraphs are separated by blank lines.

// One entry of a list: "--out FILE" and "write the results file ...".
struct THelpEntry {
    std::string Term;
    std::string Text;
};

struct THelpBlock {
    // "Options" for a block opened by "Options:" on a line of its own;
    // "Exit codes" for a paragraph that starts "Exit codes: ..."; else empty.
    std::string Heading;
    // A paragraph's words, its lines joined with single blanks.
    std::string Text;
    // The entries of a list under a heading line.
    std::vector<THelpEntry> Entries;
    // Indented lines that are no list under a heading: kept line for line.
    std::vector<std::string> Verbatim;
};

struct THelpPage {
    // One line per form of the call, continuation lines joined on.
    std::vector<std::string> Usage;
    std::vector<THelpBlock> Blocks;
};

THelpPage ParseHelp(const std::string& text);

// An option a page names: "--out" with its argument "FILE", empty for a
// switch that takes none. Its text is empty when only a usage line names it.
struct TOption {
    std::string Name;
    std::string Argument;
    std::string Text;
};

// Every option of the page that starts with "-": the entries of its lists
// first ("-a, --all" gives two), then any that only its usage lines name.
std::vector<TOption> PageOptions(const THelpPage& page);

// The list under the heading, or null.
const THelpBlock* FindList(const THelpPage& page, const std::string& heading);

}  // namespace quorlen::helpdoc
