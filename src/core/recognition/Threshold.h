#pragma once

#include <cstdint>

#include "core/common/MonoBitmap.h"

namespace quorlen {

// Grey level below which a scanned pixel counts as ink. Printed lines, filled
// boxes, blue ballpoint (luminance about 30..110) and black pen scan well
// below; paper at 200..255. The value decides what happens to the thin lines:
// a ruler tick is one sheet pixel wide (1.8 px at 150 dpi), and after blur or
// deskew interpolation its pixels are only partly dark. Higher values keep
// ticks but thicken box outlines until an empty box passes the 44 % black level
// at 150 dpi (160 fails there); lower ones lose ticks (112 and below lose
// most sheets). Measured on 40 simulated office scans (blur, jitter, up to 1
// degree) at 150/200/300 dpi: 128 reads 37/35/40 sheets exactly, 140 reads
// 33/40/40; 128 keeps the low resolution working.
constexpr int kInkThreshold = 128;

inline bool IsInk(int grey) { return grey < kInkThreshold; }

// ITU-R BT.601 luminance, the same weights the JPEG decoder uses for grey output.
inline int Luminance(int r, int g, int b) { return (r * 19595 + g * 38470 + b * 7471 + 32768) >> 16; }

// Reduces one row of 8-bit grey pixels into a raster row (standard palette).
void ReduceGreyRow(const uint8_t* grey, int width, uint8_t* row);

}  // namespace quorlen
