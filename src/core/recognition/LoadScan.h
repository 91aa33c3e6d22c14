#pragma once

#include <string>

#include "core/common/MonoBitmap.h"

namespace quorlen {

// Reads a BMP, JPEG or PNG scan (decoder chosen by the extension,
// case-insensitively) into a one-bit raster. Returns false when the file
// cannot be opened, the extension selects no decoder, the content does not
// decode or the picture is larger than 65535 pixels either way; *detail then
// says why (for logs and the CLI; the operator sees the scan job's message).
bool LoadScan(const std::string& path, TMonoBitmap& raster, std::string* detail = nullptr);

}  // namespace quorlen
