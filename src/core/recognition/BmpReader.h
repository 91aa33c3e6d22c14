#pragma once

#include <string>
#include <string_view>

#include "core/common/MonoBitmap.h"
#include "core/recognition/ScanLimits.h"

namespace quorlen {

// Decodes a Windows bitmap held in memory: 1, 4, 8, 16, 24 and 32 bits per
// pixel, bottom-up or top-down, uncompressed, with bit fields, or run-length
// encoded (RLE8, RLE4). A one-bit picture is taken over bit for bit with its
// palette; any other is reduced to black and white. Returns false with *error
// set for anything else, a truncated file, a run that leaves the row or the
// picture, or a size over the limits of ScanLimits.h, which are checked (and
// sizeHook told) before pixel memory is allocated.
bool DecodeBmp(std::string_view file, TMonoBitmap& raster, std::string* error, const TScanSizeHook& sizeHook = {});

}  // namespace quorlen
