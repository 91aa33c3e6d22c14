#pragma once

#include <string>

#include "core/common/MonoBitmap.h"

namespace quorlen {

// Writes the raster as a one-bit greyscale PNG, black ink = 0. Throws
// std::runtime_error with a readable message when the file cannot be written.
void WriteMonoPng(const TMonoBitmap& raster, const std::string& path);

}  // namespace quorlen
