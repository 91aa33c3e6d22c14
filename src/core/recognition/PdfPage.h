#pragma once

#include <string>

#include "core/common/MonoBitmap.h"
#include "core/recognition/ScanLimits.h"

namespace quorlen {

// Pages of a PDF. qpdf reads only the objects it needs from the file. Parsed
// documents are kept open between pages and lent to one reader at a time
// (DocumentShelf.h), so a long file is parsed a few times per run, not once
// per page.

// The pages of the PDF open on fd (the caller keeps fd); 0 with *why in
// Polish when the file is protected by a password, damaged, cut short or
// has no page. A file encrypted without a password to open (permissions
// only) is read, as every viewer reads it.
int CountPdfPages(int fd, std::string* why);

// Decodes page (from 1) of the PDF open on fd, whose name is path. A
// copier's page, one image filling the page, is taken as it is: a JPEG
// (DCTDecode) through the JPEG decoder of LoadScan, giving exactly the raster
// of that JPEG file; G4 fax through libtiff, as a G4 TIFF page; Flate, LZW
// and uncompressed samples (grey, RGB, CMYK, indexed; one-bit taken over bit
// for bit) through the grey reduction. Any other page (text, vector drawing,
// several images) is rendered with poppler in grey, at kRenderDpi, or at
// kFineRenderDpi when an image on it is that fine, and reduced as a grey JPEG.
// The size is checked against ScanLimits.h before pixel memory exists.
bool DecodePdfPage(int fd, const std::string& path, int page, TMonoBitmap& raster, std::string* detail,
                   const TScanSizeHook& sizeHook);

inline constexpr int kRenderDpi = 200;
inline constexpr int kFineRenderDpi = 300;
// An image of at least this many pixels per inch of the page asks for the
// finer rendering.
inline constexpr int kFineImageDpi = 250;

}  // namespace quorlen
