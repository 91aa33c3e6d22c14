#pragma once

#include <string>

#include "core/common/Json.h"

namespace quorlen {

// The results file: the results document indented, one member per line, pure
// ASCII, no byte-order mark. Written through a temporary file in the target
// folder and renamed, so a failed write leaves an existing file as it was;
// throws std::runtime_error with the system's reason.
void WriteResultsFile(const std::string& path, const Json& document);
std::string FormatResultsFile(const Json& document);

}  // namespace quorlen
