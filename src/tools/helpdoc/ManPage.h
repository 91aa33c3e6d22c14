#pragma once

#include <string>
#include <vector>

#include "tools/helpdoc/HelpText.h"

namespace quorlen::helpdoc {

// Everything a program says about itself: its --version and --help, and the
// --help of each command its "Commands:" list names.
struct TProgramHelp {
    std::string Name;     // "quorlen-cli"
    std::string Version;  // "0.1.0"
    THelpPage Top;
    struct TCommand {
        std::string Name;
        std::string Summary;
        THelpPage Page;
    };
    std::vector<TCommand> Commands;
};

struct TManOptions {
    std::string Date;                  // "2026-12-10"
    std::string Manual = "Quorlen";    // the centre of the page's footer
    std::vector<std::string> SeeAlso;  // "quorlen(1)"
};

// A section 1 manual page in the man macros: NAME from the first sentence of
// the description, SYNOPSIS from the usage forms, DESCRIPTION from the text,
// a section per heading ("Options" → OPTIONS, "Exit codes" → EXIT STATUS) and
// COMMANDS with one subsection per command.
std::string WriteManPage(const TProgramHelp& help, const TManOptions& options);

// Text for the man macros: backslashes and minus signs escaped, every
// character outside ASCII as a \[uXXXX] glyph, so that the page reads the
// same whatever the reader's locale.
std::string Escape(const std::string& text);

}  // namespace quorlen::helpdoc
