#pragma once

#include <string>
#include <vector>

#include "tools/helpdoc/ManPage.h"

namespace quorlen::helpdoc {

// Runs the program with the arguments and returns what it wrote to standard
// output; throws std::runtime_error when it cannot start or does not end
// with status 0.
std::string RunForOutput(const std::string& program, const std::vector<std::string>& arguments);

// Asks the program for its --version (the last word of the first line),
// its --help, and "COMMAND --help" of each command its "Commands:" list names.
TProgramHelp CollectHelp(const std::string& program);

}  // namespace quorlen::helpdoc
