#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace quorlen {

// The largest raster side we accept: ruler positions are kept in 16 bits.
constexpr int kMaxScanSide = 65535;

// The largest picture we load, in pixels. A 600-dpi A3 scan has about 70
// megapixels; 250 leave room for any real scan while a header claiming
// 65535 × 65535 (4300 megapixels, a 512 MB raster before its deskewed copy)
// is refused before any pixel memory exists.
constexpr int64_t kMaxScanPixels = 250'000'000;

// Bytes of a one-bit raster of this size (rows padded to 64-bit words).
uint64_t RasterBytes(int64_t width, int64_t height);

// Told a picture's size once its header is read and found within the limits,
// before any pixel memory exists; workingBytes is what the decoder needs
// beside the raster itself. It may wait (for memory) or throw.
using TScanSizeHook = std::function<void(int32_t width, int32_t height, uint64_t workingBytes)>;

// The decoders' one gate before allocating: false with *error set when the
// size is empty or over a limit; otherwise tells the hook and returns true.
bool AcceptScanSize(int64_t width, int64_t height, uint64_t workingBytes, const TScanSizeHook& hook,
                    std::string* error);

}  // namespace quorlen
