#pragma once

#include <string>
#include <string_view>

#include "core/common/MonoBitmap.h"
#include "core/recognition/ScanLimits.h"

namespace quorlen {

// The JPEG decoder of LoadScan, for a JPEG held elsewhere (a PDF page's
// DCTDecode image is a JPEG file as it is): the same raster as the file.
bool DecodeJpegBytes(std::string_view bytes, TMonoBitmap& raster, std::string* detail,
                     const TScanSizeHook& sizeHook);

}  // namespace quorlen
