#pragma once

#include <string>

#include "core/common/MonoBitmap.h"
#include "core/recognition/ScanLimits.h"

namespace quorlen {

// Reads a BMP, JPEG or PNG scan, or one page of a PDF or TIFF (decoder chosen
// by the extension, case-insensitively) into a one-bit raster. A page is
// named as ScanPages.h names it, "skany.pdf#3"; a multi-page file's plain
// name is its first page. Only that page is decoded (PdfPage.h, TiffPage.h);
// a page past the end fails with the file's page count in *detail. Returns false when the file
// cannot be opened, the extension selects no decoder, the content does not
// decode or the picture is over the limits of ScanLimits.h (checked from the
// header, before pixel memory exists); *detail then says why (for logs and the
// CLI; the operator sees the scan job's message). sizeHook is told the size of
// an accepted picture before its memory is allocated. Only a regular file is
// opened (a FIFO named like a scan would block the reader for ever);
// *unreadable is set to the reason in Polish when the file itself could not be
// read (no permission, not a regular file), as against not decoding; a
// missing file keeps the ordinary message.
bool LoadScan(const std::string& path, TMonoBitmap& raster, std::string* detail = nullptr,
              const TScanSizeHook& sizeHook = {}, std::string* unreadable = nullptr);

}  // namespace quorlen
