#pragma once

#include <string>
#include <string_view>

#include "core/common/MonoBitmap.h"

namespace quorlen {

// The largest raster side we accept: ruler positions are kept in 16 bits.
constexpr int kMaxScanSide = 65535;

// Decodes a Windows bitmap held in memory: 1, 4, 8, 24 and 32 bits per pixel,
// bottom-up or top-down, uncompressed or with bit fields. A one-bit picture
// is taken over bit for bit with its palette; any other is reduced to black
// and white. Returns false with *error set for anything else, a truncated
// file, or a side over kMaxScanSide, before pixel memory is allocated.
bool DecodeBmp(std::string_view file, TMonoBitmap& raster, std::string* error);

}  // namespace quorlen
