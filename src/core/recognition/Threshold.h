#pragma once

#include <cstdint>

#include "core/common/MonoBitmap.h"

namespace quorlen {

// Grey level below which a scanned pixel counts as ink. Printed lines and
// filled boxes scan at 0..80, ballpoint blue (about 30..110 in luminance) and
// black pen stay well below; blank paper scans at 200..255 and light scanner
// noise or paper texture rarely drops under 180. 160 sits between the two and
// also decides what the rotation's interpolation makes of a partly covered
// pixel: a thin ruler tick, one sheet pixel wide, keeps a pixel wherever it
// covers more than about a third of it, so ticks survive a 2° deskew at 150 dpi.
constexpr int kInkThreshold = 128;

inline bool IsInk(int grey) { return grey < kInkThreshold; }

// ITU-R BT.601 luminance, the same weights the JPEG decoder uses for grey output.
inline int Luminance(int r, int g, int b) { return (r * 19595 + g * 38470 + b * 7471 + 32768) >> 16; }

// Reduces one row of 8-bit grey pixels into a raster row (standard palette).
void ReduceGreyRow(const uint8_t* grey, int width, uint8_t* row);

}  // namespace quorlen
