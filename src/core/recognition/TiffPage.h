#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/common/MonoBitmap.h"
#include "core/recognition/ScanLimits.h"

namespace quorlen {

// Pages of a TIFF (one directory each) read through libtiff. Nothing here
// touches libtiff's process-wide handlers: every open carries its own, which
// put the first error into the caller's message, so that the workers reading
// pages at once neither print nor see each other's errors.

// The pages of the TIFF open on fd (the caller keeps fd); 0 with *why in
// Polish when the file is not a TIFF, is damaged or has no page.
int CountTiffPages(int fd, std::string* why);

// Decodes page (from 1) of the TIFF open on fd into the raster. One-bit
// pages (G3, G4, uncompressed, either photometric) are taken over bit for bit
// with their palette, as a one-bit BMP is; every other page is reduced to
// black and white through the reduction of a grey JPEG. Resolution and
// orientation tags are ignored, as for every scan. The size is checked
// against ScanLimits.h, and sizeHook told, before pixel memory exists.
bool DecodeTiffPage(int fd, int page, TMonoBitmap& raster, std::string* detail, const TScanSizeHook& sizeHook);

// The first page of a TIFF held in memory.
bool DecodeTiffBytes(std::string_view bytes, TMonoBitmap& raster, std::string* detail,
                     const TScanSizeHook& sizeHook);

// A one-strip TIFF holding G4 fax data as a PDF stores it (CCITTFaxDecode
// with K < 0), so that the fax decoder is libtiff's in both formats. Black
// runs decode to set bits (photometric min-is-white).
std::string G4AsTiff(std::string_view data, uint32_t width, uint32_t height);

}  // namespace quorlen
