#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <functional>

#include <cstdio>
#include <string>
#include <vector>

#include "core/recognition/BmpReader.h"
#include "core/recognition/LoadScan.h"
#include "core/recognition/ReadScan.h"
#include "support/TestSupport.h"
#include "testing/ScanSimulator.h"

using namespace quorlen;
using quorlen::testing::ReadFileBytes;
using quorlen::testing::TempDir;
using quorlen::testing::WriteFileBytes;

namespace {

void Put16(std::string& s, uint32_t v) { s += static_cast<char>(v & 255), s += static_cast<char>(v >> 8 & 255); }
void Put32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s += static_cast<char>(v >> (8 * i) & 255);
}

// A BMP whose pixel (x, y) is ink where ink(x, y); built byte by byte so the
// reader is checked against the format, not against our own writer.
std::string MakeBmp(int w, int h, int bpp, bool topDown, bool bitfields, bool invertedPalette,
                    const std::function<bool(int, int)>& ink) {
    const size_t rowBytes = ((static_cast<size_t>(w) * static_cast<size_t>(bpp) + 31) / 32) * 4;
    const int paletteCount = bpp <= 8 ? (1 << bpp) : 0;
    const uint32_t offset = 14 + 40 + (bitfields ? 12 : 0) + static_cast<uint32_t>(paletteCount) * 4;
    std::string s = "BM";
    Put32(s, static_cast<uint32_t>(offset + rowBytes * static_cast<size_t>(h)));
    Put32(s, 0);
    Put32(s, offset);
    Put32(s, 40);
    Put32(s, static_cast<uint32_t>(w));
    Put32(s, static_cast<uint32_t>(topDown ? -h : h));
    Put16(s, 1);
    Put16(s, static_cast<uint32_t>(bpp));
    Put32(s, bitfields ? 3 : 0);
    Put32(s, static_cast<uint32_t>(rowBytes * static_cast<size_t>(h)));
    Put32(s, 2835);
    Put32(s, 2835);
    Put32(s, 0);
    Put32(s, 0);
    if (bitfields) {
        Put32(s, 0x0000FF00);  // red in the second byte: an unusual layout on purpose
        Put32(s, 0x00FF0000);
        Put32(s, 0xFF000000);
    }
    // Palette: index 0 ink unless inverted; other entries grey ramps.
    for (int i = 0; i < paletteCount; ++i) {
        uint32_t c;
        if (bpp == 1)
            c = (i == 0) != invertedPalette ? 0x000000 : 0xFFFFFF;
        else
            c = i == 0 ? 0x000000 : 0xFFFFFF;
        Put32(s, c);
    }
    for (int row = 0; row < h; ++row) {
        const int y = topDown ? row : h - 1 - row;
        std::string bytes(rowBytes, '\0');
        for (int x = 0; x < w; ++x) {
            const bool black = ink(x, y);
            switch (bpp) {
                case 1: {
                    const bool bit = black ? invertedPalette : !invertedPalette;
                    if (bit) bytes[static_cast<size_t>(x / 8)] |= static_cast<char>(0x80 >> (x % 8));
                    break;
                }
                case 4:
                    if (!black) bytes[static_cast<size_t>(x / 2)] |= static_cast<char>(x % 2 ? 0x01 : 0x10);
                    break;
                case 8:
                    bytes[static_cast<size_t>(x)] = static_cast<char>(black ? 0 : 1);
                    break;
                case 24:
                    for (int k = 0; k < 3; ++k)
                        bytes[static_cast<size_t>(3 * x + k)] = static_cast<char>(black ? 10 : 240);
                    break;
                case 32:
                    for (int k = 0; k < 4; ++k)
                        bytes[static_cast<size_t>(4 * x + k)] = static_cast<char>(black ? 10 : 240);
                    break;
            }
        }
        s += bytes;
    }
    return s;
}

bool Pattern(int x, int y) { return (x * 7 + y * 3) % 5 == 0 || x == y; }

void ExpectPattern(const TMonoBitmap& r, int w, int h, const std::string& what) {
    ASSERT_EQ(r.Width(), w) << what;
    ASSERT_EQ(r.Height(), h) << what;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            ASSERT_EQ(r.IsBlack(x, y), Pattern(x, y)) << what << " at " << x << "," << y;
            ASSERT_NE(r.IsBlack(x, y), r.IsWhite(x, y)) << what;
        }
}

sim::TGreyPicture PatternPicture(int w, int h) {
    sim::TGreyPicture p;
    p.Width = w;
    p.Height = h;
    p.Pixels.assign(static_cast<size_t>(w * h), 250);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (Pattern(x, y)) p.At(x, y) = 20;
    return p;
}

// A PNG of any colour type and depth through libpng's writer.
void WritePng(const std::string& path, int w, int h, int colourType, int depth, bool transparentInk = false) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), depth, colourType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        png_color palette[2] = {{0, 0, 0}, {255, 255, 255}};
        png_set_PLTE(png, info, palette, 2);
        if (transparentInk) {
            png_byte alpha[1] = {0};  // entry 0 fully transparent: composes to white
            png_set_tRNS(png, info, alpha, 1, nullptr);
        }
    }
    png_write_info(png, info);
    const int channels = colourType == PNG_COLOR_TYPE_RGB          ? 3
                         : colourType == PNG_COLOR_TYPE_RGBA       ? 4
                         : colourType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                                                                   : 1;
    const int bytesPerSample = depth == 16 ? 2 : 1;
    std::vector<png_byte> row(static_cast<size_t>(w * channels * bytesPerSample + 8));
    for (int y = 0; y < h; ++y) {
        std::fill(row.begin(), row.end(), 0);
        for (int x = 0; x < w; ++x) {
            const bool ink = Pattern(x, y);
            if (depth < 8) {
                const int maxV = (1 << depth) - 1;
                const int v = colourType == PNG_COLOR_TYPE_PALETTE ? (ink ? 0 : 1) : (ink ? 0 : maxV);
                const int bitPos = x * depth;
                row[static_cast<size_t>(bitPos / 8)] |= static_cast<png_byte>(v << (8 - depth - bitPos % 8));
                continue;
            }
            for (int c = 0; c < channels; ++c) {
                int v = ink ? 15 : 245;
                if (colourType == PNG_COLOR_TYPE_PALETTE) v = ink ? 0 : 1;
                const bool alpha = (colourType == PNG_COLOR_TYPE_RGBA && c == 3) ||
                                   (colourType == PNG_COLOR_TYPE_GRAY_ALPHA && c == 1);
                if (alpha) v = (transparentInk && ink) ? 0 : 255;
                const size_t at = static_cast<size_t>((x * channels + c) * bytesPerSample);
                if (depth == 16) {
                    row[at] = static_cast<png_byte>(v);
                    row[at + 1] = static_cast<png_byte>(v);
                } else {
                    row[at] = static_cast<png_byte>(v);
                }
            }
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
}

}  // namespace

TEST(LoadScan, BmpOfEveryDepthAndOrientation) {
    TempDir dir;
    struct V {
        int bpp;
        bool topDown, bitfields;
    };
    for (V v : {V{1, false, false}, V{1, true, false}, V{4, false, false}, V{8, true, false}, V{24, false, false},
                V{24, true, false}, V{32, false, false}, V{32, true, true}}) {
        const std::string what =
            std::to_string(v.bpp) + (v.topDown ? " top-down" : "") + (v.bitfields ? " bitfields" : "");
        const std::string path = dir.File("p.bmp");
        WriteFileBytes(path, MakeBmp(37, 13, v.bpp, v.topDown, v.bitfields, false, Pattern));
        TMonoBitmap r;
        std::string detail;
        ASSERT_TRUE(LoadScan(path, r, &detail)) << what << ": " << detail;
        ExpectPattern(r, 37, 13, what);
    }
}

TEST(LoadScan, OneBitBmpIsTakenOverBitForBitWithItsPalette) {
    TempDir dir;
    for (bool inverted : {false, true}) {
        const std::string path = dir.File("mono.BMP");
        const std::string file = MakeBmp(70, 9, 1, false, false, inverted, Pattern);
        WriteFileBytes(path, file);
        TMonoBitmap r;
        ASSERT_TRUE(LoadScan(path, r));
        ExpectPattern(r, 70, 9, inverted ? "inverted" : "standard");
        EXPECT_EQ(r.PaletteColor(0), inverted ? TMonoBitmap::White : TMonoBitmap::Black);
        // The bottom file row is raster row 8, copied byte for byte.
        const size_t offset = static_cast<size_t>(static_cast<unsigned char>(file[10]));
        EXPECT_EQ(static_cast<unsigned char>(file[offset]), r.Row(8)[0]);
    }
}

TEST(LoadScan, PngOfEveryColourTypeAndDepth) {
    TempDir dir;
    struct V {
        int type, depth;
    };
    for (V v :
         {V{PNG_COLOR_TYPE_GRAY, 1}, V{PNG_COLOR_TYPE_GRAY, 2}, V{PNG_COLOR_TYPE_GRAY, 4}, V{PNG_COLOR_TYPE_GRAY, 8},
          V{PNG_COLOR_TYPE_GRAY, 16}, V{PNG_COLOR_TYPE_RGB, 8}, V{PNG_COLOR_TYPE_RGB, 16}, V{PNG_COLOR_TYPE_RGBA, 8},
          V{PNG_COLOR_TYPE_GRAY_ALPHA, 8}, V{PNG_COLOR_TYPE_PALETTE, 1}, V{PNG_COLOR_TYPE_PALETTE, 8}}) {
        const std::string what = "type " + std::to_string(v.type) + " depth " + std::to_string(v.depth);
        const std::string path = dir.File("p.Png");
        WritePng(path, 29, 11, v.type, v.depth);
        TMonoBitmap r;
        std::string detail;
        ASSERT_TRUE(LoadScan(path, r, &detail)) << what << ": " << detail;
        ExpectPattern(r, 29, 11, what);
    }
}

TEST(LoadScan, TransparencyIsComposedOverWhite) {
    TempDir dir;
    for (int type : {PNG_COLOR_TYPE_RGBA, PNG_COLOR_TYPE_PALETTE}) {
        const std::string path = dir.File("t.png");
        WritePng(path, 20, 20, type, 8, true);
        TMonoBitmap r;
        ASSERT_TRUE(LoadScan(path, r));
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x) ASSERT_TRUE(r.IsWhite(x, y)) << type;
    }
}

TEST(LoadScan, JpegGreyAndColourAndUpperCaseExtensions) {
    TempDir dir;
    const sim::TGreyPicture picture = PatternPicture(64, 48);
    for (auto [format, name] : {std::pair{sim::TFileFormat::Jpeg, "g.JPG"},
                                {sim::TFileFormat::JpegColour, "c.jpeg"},
                                {sim::TFileFormat::Png, "p.PNG"},
                                {sim::TFileFormat::Bmp24, "b.Bmp"}}) {
        sim::SavePicture(picture, dir.File(name), format, 100);
        TMonoBitmap r;
        ASSERT_TRUE(LoadScan(dir.File(name), r)) << name;
        EXPECT_EQ(r.Width(), 64);
        EXPECT_EQ(r.Height(), 48);
        // JPEG blurs single pixels a little; the bulk must agree.
        int wrong = 0;
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x) wrong += r.IsBlack(x, y) != Pattern(x, y);
        EXPECT_LT(wrong, 64 * 48 / 50) << name;
    }
}

TEST(LoadScan, WrongContentTruncationAndUnknownExtensionsFail) {
    TempDir dir;
    sim::SavePicture(PatternPicture(300, 200), dir.File("real.png"), sim::TFileFormat::Png);
    sim::SavePicture(PatternPicture(300, 200), dir.File("real.jpg"), sim::TFileFormat::Jpeg);
    WriteFileBytes(dir.File("real.bmp"), MakeBmp(300, 200, 24, false, false, false, Pattern));
    WriteFileBytes(dir.File("png-inside.jpg"), ReadFileBytes(dir.File("real.png")));
    WriteFileBytes(dir.File("text.JPG"), "to nie jest obraz\n");
    WriteFileBytes(dir.File("empty.png"), "");
    TMonoBitmap r;
    for (const char* name : {"png-inside.jpg", "text.JPG", "empty.png", "missing.png"})
        EXPECT_FALSE(LoadScan(dir.File(name), r)) << name;
    WriteFileBytes(dir.File("scan.tif"), ReadFileBytes(dir.File("real.png")));
    EXPECT_FALSE(LoadScan(dir.File("scan.tif"), r));

    // Every prefix of a real file fails cleanly, and garbage after a valid
    // header too.
    for (const char* name : {"real.png", "real.jpg", "real.bmp"}) {
        const std::string bytes = ReadFileBytes(dir.File(name));
        const std::string ext = std::string(name).substr(4);
        for (size_t cut : {size_t{0}, size_t{1}, size_t{20}, size_t{60}, bytes.size() / 3, bytes.size() - 10}) {
            WriteFileBytes(dir.File("cut" + ext), bytes.substr(0, cut));
            EXPECT_FALSE(LoadScan(dir.File("cut" + ext), r)) << name << " cut at " << cut;
        }
        std::string garbage = bytes.substr(0, 40);
        for (int i = 0; i < 5000; ++i) garbage += static_cast<char>((i * 7919) & 255);
        WriteFileBytes(dir.File("garbage" + ext), garbage);
        EXPECT_FALSE(LoadScan(dir.File("garbage" + ext), r)) << name;
    }
}

TEST(LoadScan, PicturesOverTheTickRangeAreRefusedFromTheHeader) {
    TempDir dir;
    // A header claiming 70000 × 70000 pixels with no data: refused before any
    // allocation (a 600 MB raster would otherwise be attempted).
    std::string bmp = MakeBmp(1, 1, 24, false, false, false, Pattern);
    bmp[18] = static_cast<char>(70000 & 255), bmp[19] = static_cast<char>(70000 >> 8 & 255),
    bmp[20] = static_cast<char>(70000 >> 16 & 255);
    bmp[22] = static_cast<char>(70000 & 255), bmp[23] = static_cast<char>(70000 >> 8 & 255),
    bmp[24] = static_cast<char>(70000 >> 16 & 255);
    WriteFileBytes(dir.File("huge.bmp"), bmp);
    TMonoBitmap r;
    std::string detail;
    EXPECT_FALSE(LoadScan(dir.File("huge.bmp"), r, &detail));
    EXPECT_NE(detail.find("65535"), std::string::npos);

    // PNG: patch the IHDR width and fix its CRC.
    WritePng(dir.File("small.png"), 4, 4, PNG_COLOR_TYPE_GRAY, 8);
    std::string png = ReadFileBytes(dir.File("small.png"));
    const uint32_t width = 65536;
    for (int i = 0; i < 4; ++i) png[16 + static_cast<size_t>(i)] = static_cast<char>(width >> (24 - 8 * i) & 255);
    const uint32_t crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(png.data() + 12), 17));
    for (int i = 0; i < 4; ++i) png[29 + static_cast<size_t>(i)] = static_cast<char>(crc >> (24 - 8 * i) & 255);
    WriteFileBytes(dir.File("wide.png"), png);
    EXPECT_FALSE(LoadScan(dir.File("wide.png"), r));
}

TEST(LoadScan, ScanJobReportsTheExactMessageWithoutReading) {
    TempDir dir;
    const std::string path = dir.File("kartka.JPG");
    WriteFileBytes(path, "hello");
    bool asked = false;
    const TScanResult r = ReadScan(path, TReadOptions{},
                                   {[&](const TScanView&, TRect, TPoint&, bool&) { asked = true; },
                                    [&](const TScanView&, TRect, int, std::string&, bool&) { asked = true; },
                                    {}});
    EXPECT_EQ(r.Status, TScanStatus::LoadFailed);
    EXPECT_EQ(r.Message, "Nieznany format pliku graficznego:\r" + path + "\rlub ten plik jest uszkodzony.");
    EXPECT_FALSE(asked);
    EXPECT_EQ(r.Answers.Count(), 0);
}
