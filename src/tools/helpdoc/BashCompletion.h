#pragma once

#include <string>

#include "tools/helpdoc/ManPage.h"

namespace quorlen::helpdoc {

// What a word after an option may be, from the option's argument in the
// help: "DIR" or "FOLDER" a folder, "FILE", "PATH" or "NAME.ext" a file
// (of that extension), "150|200|300" one of those words, anything else
// (a number, a text) nothing a shell could offer.
enum class TValueKind { None, Folder, File, Words };
TValueKind ValueKind(const std::string& argument);

// A bash completion script for a program with commands: the commands at the
// first word, each command's options after it, and for an option's value
// what its argument says; other words complete as file names.
std::string WriteBashCompletion(const TProgramHelp& help);

}  // namespace quorlen::helpdoc
