#pragma once

#include <optional>
#include <string>

#include "core/common/Json.h"

namespace quorlen::cli {

// A results document to the file of --out (the results file, written whole
// or not at all; a failure throws) or, without it, indented to stdout.
void OutputResults(const std::optional<std::string>& out, const Json& document);

}  // namespace quorlen::cli
