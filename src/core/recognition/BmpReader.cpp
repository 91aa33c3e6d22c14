#include "core/recognition/BmpReader.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "core/recognition/Binarize.h"
#include "core/recognition/Threshold.h"

namespace quorlen {

namespace {

uint32_t U32(std::string_view d, size_t at) {
    return static_cast<uint32_t>(static_cast<unsigned char>(d[at])) |
           static_cast<uint32_t>(static_cast<unsigned char>(d[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(d[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(d[at + 3])) << 24;
}
uint16_t U16(std::string_view d, size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(d[at]) | static_cast<unsigned char>(d[at + 1]) << 8);
}

bool Fail(std::string* error, const char* why) {
    if (error) *error = why;
    return false;
}

// Extracts a channel through a bit-field mask, scaled to 0..255.
struct Field {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;
    explicit Field(uint32_t m = 0) : mask(m) {
        if (m) {
            shift = std::countr_zero(m);
            bits = std::popcount(m);
        }
    }
    int Get(uint32_t v) const {
        if (!mask) return 0;
        uint32_t raw = (v & mask) >> shift;
        uint32_t max = bits >= 32 ? 0xFFFFFFFFu : ((1u << bits) - 1);
        return static_cast<int>((static_cast<uint64_t>(raw) * 255 + max / 2) / max);
    }
};

// Compression values of the info header.
constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6;

// Run-length pixel data, bottom row first, into the grey picture, which is
// then reduced as a whole (rows arrive bottom-up and with skips, out of the
// order a streamed reduction takes them in). Pixels the stream skips
// (delta escapes, rows ended early, rows never reached) stay paper, as on a
// sheet drawn onto white. Every write is checked against the row and the
// picture. Encoders (ImageMagick among them) write runs over the whole padded
// row of the uncompressed layout; pixels there are dropped, as other readers
// drop them. A run past the padding, or past the picture, fails the file.
bool DecodeRle(std::string_view data, int bpp, const std::vector<uint8_t>& paletteGrey, TGreyScan& grey,
               std::string* error) {
    const int w = grey.Width, h = grey.Height;
    // The row's pixels with its padding to four bytes.
    const int64_t padded = (static_cast<int64_t>(w) * bpp + 31) / 32 * 32 / bpp;
    for (int row = 0; row < h; ++row) std::fill(grey.Row(row), grey.Row(row) + w, uint8_t{255});
    int x = 0, y = 0;  // y counts file rows from the bottom
    size_t at = 0;
    auto byte = [&](size_t i) { return static_cast<uint8_t>(data[i]); };
    auto put = [&](int index) {
        if (x >= padded || y >= h) return false;
        if (x < w) grey.Row(h - 1 - y)[x] = paletteGrey[static_cast<size_t>(index)];
        ++x;
        return true;
    };
    auto nibble = [&](uint8_t pair, int i) { return (i & 1) ? pair & 0x0F : pair >> 4; };
    for (;;) {
        if (at + 2 > data.size()) return Fail(error, "truncated BMP run-length data");
        const int count = byte(at), value = byte(at + 1);
        at += 2;
        if (count > 0) {
            for (int i = 0; i < count; ++i)
                if (!put(bpp == 8 ? value : nibble(static_cast<uint8_t>(value), i)))
                    return Fail(error, "BMP run past the end of the row");
            continue;
        }
        switch (value) {
            case 0:  // end of line
                if (y >= h) return Fail(error, "BMP run-length data past the last row");
                x = 0;
                ++y;
                break;
            case 1:  // end of bitmap
                return true;
            case 2: {  // delta: right and up
                if (at + 2 > data.size()) return Fail(error, "truncated BMP run-length data");
                const int dx = byte(at), dy = byte(at + 1);
                at += 2;
                x += dx;
                y += dy;
                if (x > w || y > h) return Fail(error, "BMP delta past the picture");
                break;
            }
            default: {  // absolute run of value pixels, padded to a 16-bit boundary
                const size_t bytes = bpp == 8 ? static_cast<size_t>(value) : (static_cast<size_t>(value) + 1) / 2;
                if (at + bytes + (bytes & 1) > data.size()) return Fail(error, "truncated BMP run-length data");
                for (int i = 0; i < value; ++i)
                    if (!put(bpp == 8 ? byte(at + static_cast<size_t>(i))
                                      : nibble(byte(at + static_cast<size_t>(i / 2)), i)))
                        return Fail(error, "BMP run past the end of the row");
                at += bytes + (bytes & 1);
            }
        }
    }
}

}  // namespace

bool DecodeBmp(std::string_view d, TMonoBitmap& raster, std::string* error, const TScanSizeHook& sizeHook) {
    if (d.size() < 26 || d[0] != 'B' || d[1] != 'M') return Fail(error, "not a BMP file");
    const uint32_t dataOffset = U32(d, 10);
    const uint32_t headerSize = U32(d, 14);
    int64_t width, height;
    int bpp;
    uint32_t compression = kRgb, coloursUsed = 0;
    size_t paletteEntrySize = 4;
    if (headerSize == 12) {
        width = U16(d, 18);
        height = static_cast<int16_t>(U16(d, 20));
        bpp = U16(d, 24);
        paletteEntrySize = 3;
    } else if (headerSize >= 40 && headerSize <= 124) {
        if (d.size() < 14 + static_cast<size_t>(headerSize)) return Fail(error, "truncated BMP header");
        width = static_cast<int32_t>(U32(d, 18));
        height = static_cast<int32_t>(U32(d, 22));
        bpp = U16(d, 28);
        compression = U32(d, 30);
        coloursUsed = U32(d, 46);
    } else {
        return Fail(error, "unsupported BMP header");
    }
    const bool topDown = height < 0;
    if (topDown) height = -height;
    if (width <= 0 || height <= 0) return Fail(error, "BMP has no pixels");
    if (width > kMaxScanSide || height > kMaxScanSide) return Fail(error, "BMP larger than 65535 pixels");
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        return Fail(error, "unsupported BMP bit depth");

    Field red, green, blue;
    const bool runLength = compression == kRle8 || compression == kRle4;
    if (compression == kBitFields || compression == kAlphaBitFields) {
        if (bpp != 32 && bpp != 16) return Fail(error, "bit fields need 16 or 32 bits per pixel");
        // The masks follow a 40-byte header and sit at the same place inside
        // the larger ones.
        const size_t masksAt = 14 + 40;
        if (d.size() < masksAt + 12) return Fail(error, "truncated BMP bit fields");
        red = Field(U32(d, masksAt));
        green = Field(U32(d, masksAt + 4));
        blue = Field(U32(d, masksAt + 8));
    } else if (runLength) {
        if (bpp != (compression == kRle8 ? 8 : 4)) return Fail(error, "run-length coding does not match the depth");
        // Rows of run-length data run bottom-up only.
        if (topDown) return Fail(error, "top-down run-length BMP");
    } else if (compression != kRgb) {
        return Fail(error, "unsupported BMP compression");
    } else if (bpp == 32) {
        red = Field(0x00FF0000u);
        green = Field(0x0000FF00u);
        blue = Field(0x000000FFu);
    } else if (bpp == 16) {
        red = Field(0x7C00u);  // 5-5-5 unless masks say otherwise
        green = Field(0x03E0u);
        blue = Field(0x001Fu);
    }

    // Palette.
    std::vector<uint32_t> palette;
    if (bpp <= 8) {
        size_t count = coloursUsed ? coloursUsed : (size_t{1} << bpp);
        if (count > (size_t{1} << bpp)) count = size_t{1} << bpp;
        const size_t at = 14 + headerSize;
        if (at + count * paletteEntrySize > d.size()) return Fail(error, "truncated BMP palette");
        for (size_t i = 0; i < count; ++i) {
            const size_t p = at + i * paletteEntrySize;
            palette.push_back(static_cast<uint32_t>(static_cast<unsigned char>(d[p + 2])) << 16 |
                              static_cast<uint32_t>(static_cast<unsigned char>(d[p + 1])) << 8 |
                              static_cast<uint32_t>(static_cast<unsigned char>(d[p])));
        }
        palette.resize(size_t{1} << bpp, 0);
    }

    const size_t rowBytes = ((static_cast<size_t>(width) * static_cast<size_t>(bpp) + 31) / 32) * 4;
    if (dataOffset > d.size() || (!runLength && rowBytes * static_cast<size_t>(height) > d.size() - dataOffset))
        return Fail(error, "truncated BMP pixel data");
    const uint64_t working = bpp == 1 ? 0 : runLength ? GreyScanBytes(width, height) : ReductionBytes(width, height);
    if (!AcceptScanSize(width, height, working, sizeHook, error)) return false;

    const int w = static_cast<int>(width);
    auto sourceRow = [&](int y) {
        const size_t fileRow = topDown ? static_cast<size_t>(y) : static_cast<size_t>(height - 1 - y);
        return reinterpret_cast<const uint8_t*>(d.data()) + dataOffset + fileRow * rowBytes;
    };

    if (bpp == 1) {
        raster.Resize(static_cast<int32_t>(width), static_cast<int32_t>(height));
        const size_t copy = (static_cast<size_t>(w) + 7) / 8;
        for (int y = 0; y < height; ++y) {
            uint8_t* dst = raster.Row(y);
            std::memcpy(dst, sourceRow(y), copy);
            if (w & 7) dst[copy - 1] &= static_cast<uint8_t>(0xFF00u >> (w & 7));
        }
        raster.SetPalette(palette[0], palette[1]);
        return true;
    }

    std::vector<uint8_t> paletteGrey(palette.size());
    for (size_t i = 0; i < palette.size(); ++i)
        paletteGrey[i] = static_cast<uint8_t>(Luminance(static_cast<int>(palette[i] >> 16),
                                                        static_cast<int>((palette[i] >> 8) & 0xFF),
                                                        static_cast<int>(palette[i] & 0xFF)));
    if (runLength) {
        TGreyScan grey;
        grey.Resize(w, static_cast<int32_t>(height));
        if (!DecodeRle(d.substr(dataOffset), bpp, paletteGrey, grey, error)) return false;
        ReduceScan(grey, raster);
        return true;
    }

    TScanReduction reduction(w, static_cast<int32_t>(height), raster);
    for (int y = 0; y < height; ++y) {
        const uint8_t* src = sourceRow(y);
        const std::string_view row(reinterpret_cast<const char*>(src), rowBytes);
        uint8_t* grey = reduction.Row(y);
        for (int x = 0; x < w; ++x) {
            int g;
            switch (bpp) {
                case 4:
                    g = paletteGrey[(src[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F];
                    break;
                case 8:
                    g = paletteGrey[src[x]];
                    break;
                case 16: {
                    const uint32_t v = U16(row, static_cast<size_t>(2 * x));
                    g = Luminance(red.Get(v), green.Get(v), blue.Get(v));
                    break;
                }
                case 24:
                    g = Luminance(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
                    break;
                default: {
                    const uint32_t v = U32(row, static_cast<size_t>(4 * x));
                    g = Luminance(red.Get(v), green.Get(v), blue.Get(v));
                }
            }
            grey[x] = static_cast<uint8_t>(g);
        }
        reduction.RowDone(y);
    }
    return true;
}

}  // namespace quorlen
