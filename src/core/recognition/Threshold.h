#pragma once

#include <cstdint>

namespace quorlen {

// A pixel is ink when it is darker than this share of its paper. Scans are
// reduced against their own paper (Binarize.h); the rotation reduces a black
// and white raster, whose paper is white, so there the share gives 128 of
// 255. The share decides what happens to the thin lines: a ruler tick is one
// sheet pixel wide (1.8 px at 150 dpi), and after blur or deskew
// interpolation its pixels are only partly dark. Higher shares keep ticks but
// thicken box outlines until an empty box nears the 44 % black level at
// 150 dpi (at 60 % an empty box holds 0.8 of the black level's count); lower
// ones lose ticks. Measured on 40 simulated office scans (blur, jitter, up to
// 1 degree) at 150/200/300 dpi: 128 of 255 reads 37/35/40 sheets exactly,
// 140 reads 33/40/40; 128 keeps the low resolution working.
constexpr int kLineInkPercent = 50;
constexpr int kInkThreshold = (255 * kLineInkPercent + 50) / 100;

inline bool IsInk(int grey) { return grey < kInkThreshold; }

// ITU-R BT.601 luminance, the same weights the JPEG decoder uses for grey output.
inline int Luminance(int r, int g, int b) { return (r * 19595 + g * 38470 + b * 7471 + 32768) >> 16; }

}  // namespace quorlen
