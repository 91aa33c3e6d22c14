#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/common/Json.h"
#include "support/TestSupport.h"

namespace quorlen::testing {

// Puts a copy of the steerable test plug-in, as QuorlenExporter.so, into
// folder (created) with its behaviour; the plug-in logs its calls to log.
void InstallTestExporter(const std::filesystem::path& folder, Json behaviour, const std::string& log);
// The log's lines.
std::vector<std::string> LogLines(const std::string& log);
// A small results document with two entries.
Json SampleResults();

}  // namespace quorlen::testing
