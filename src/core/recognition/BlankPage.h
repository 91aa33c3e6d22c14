#pragma once

#include "core/common/MonoBitmap.h"

namespace quorlen {

// The share of ink (0..1) inside the page's middle, the raster without a
// margin of a tenth of its width and height on every side: a scanner's dark
// border, a punched hole or the shadow of the lid lies in that margin, and
// every sheet prints its ruler, code and answer boxes inside it.
double InkShareInside(const TMonoBitmap& raster);

// The back of a duplex scan: almost no ink where a sheet has its boxes.
// Decided on the one-bit raster before the sheet search, so that such a page
// costs one pass over its bits and never reaches the operator.
inline constexpr double BlankPageInkShare = 0.002;
bool IsBlankPage(const TMonoBitmap& raster);

}  // namespace quorlen
