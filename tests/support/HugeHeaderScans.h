#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>

#include "support/TestSupport.h"
#include "testing/ScanSimulator.h"

namespace quorlen::testing {

// A scan file of a few hundred bytes whose header claims width × height
// pixels; the data behind it is that of an 8 × 8 picture, so a loader that
// believes the header allocates the whole raster before failing. ext is
// ".png", ".jpg" or ".bmp" (run-length coded, which has no size to check the
// header against).
inline void WriteHugeHeaderScan(const std::string& path, const std::string& ext, uint32_t width, uint32_t height) {
    auto big16 = [](std::string& s, size_t at, uint32_t v) {
        s[at] = static_cast<char>(v >> 8 & 255);
        s[at + 1] = static_cast<char>(v & 255);
    };
    std::string bytes;
    if (ext == ".bmp") {
        auto put = [&](uint32_t v, int n) {
            for (int i = 0; i < n; ++i) bytes += static_cast<char>(v >> (8 * i) & 255);
        };
        bytes = "BM";
        put(14 + 40 + 8 + 4, 4), put(0, 4), put(14 + 40 + 8, 4);
        put(40, 4), put(width, 4), put(height, 4), put(1, 2), put(8, 2), put(1, 4);  // RLE8
        put(4, 4), put(2835, 4), put(2835, 4), put(2, 4), put(0, 4);
        put(0x000000, 4), put(0xFFFFFF, 4);
        put(0x00000001, 4);  // one black pixel, end of line, and no end of bitmap
    } else {
        sim::TGreyPicture small;
        small.Width = small.Height = 8;
        small.Pixels.assign(64, 200);
        sim::SavePicture(small, path, ext == ".png" ? sim::TFileFormat::Png : sim::TFileFormat::Jpeg);
        bytes = ReadFileBytes(path);
        if (ext == ".png") {
            // IHDR width and height, then its CRC.
            for (int i = 0; i < 4; ++i) {
                bytes[16 + static_cast<size_t>(i)] = static_cast<char>(width >> (24 - 8 * i) & 255);
                bytes[20 + static_cast<size_t>(i)] = static_cast<char>(height >> (24 - 8 * i) & 255);
            }
            const uint32_t crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(bytes.data() + 12), 17));
            for (int i = 0; i < 4; ++i)
                bytes[29 + static_cast<size_t>(i)] = static_cast<char>(crc >> (24 - 8 * i) & 255);
        } else {
            // Walk the segments to the start of frame: length, precision, height, width.
            auto byteAt = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
            for (size_t at = 2; at + 9 < bytes.size(); at += 2 + (byteAt(at + 2) << 8 | byteAt(at + 3))) {
                const unsigned char marker = byteAt(at + 1);
                if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
                    big16(bytes, at + 5, height);
                    big16(bytes, at + 7, width);
                    break;
                }
            }
        }
    }
    WriteFileBytes(path, bytes);
}

}  // namespace quorlen::testing
