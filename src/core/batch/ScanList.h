#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/batch/Item.h"

namespace quorlen {

// True for the four extensions a scan may have, compared upper-cased:
// ".JPG", ".JPEG", ".BMP", ".PNG".
bool IsScanFileName(const std::string& name);

// Lists the scan files of a folder in the order the file system enumerates
// them (no sorting, as the operator's scanner names the files in order
// anyway); directories and other files are skipped. Throws
// std::filesystem::filesystem_error when the folder cannot be read.
std::vector<std::string> ListScanFiles(const std::string& folder);

}  // namespace quorlen
