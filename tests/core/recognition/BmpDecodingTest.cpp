#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/recognition/BmpReader.h"
#include "support/TestSupport.h"

using namespace quorlen;

namespace {

void Put16(std::string& s, uint32_t v) { s += static_cast<char>(v & 255), s += static_cast<char>(v >> 8 & 255); }
void Put32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s += static_cast<char>(v >> (8 * i) & 255);
}

struct TBmpHeader {
    int Width = 6;
    int Height = 4;  // negative: top-down
    int Bpp = 8;
    uint32_t Compression = 0;
    uint32_t HeaderSize = 40;
    std::vector<uint32_t> Masks;    // after a 40-byte header, inside a larger one
    std::vector<uint32_t> Palette;  // 0x00RRGGBB
};

// A whole file around the given pixel bytes, built from the format's own
// layout rather than from our reader's view of it.
std::string MakeFile(const TBmpHeader& h, const std::string& pixels) {
    std::string info;
    Put32(info, h.HeaderSize);
    Put32(info, static_cast<uint32_t>(h.Width));
    Put32(info, static_cast<uint32_t>(h.Height));
    Put16(info, 1);
    Put16(info, static_cast<uint32_t>(h.Bpp));
    Put32(info, h.Compression);
    Put32(info, static_cast<uint32_t>(pixels.size()));
    Put32(info, 2835);
    Put32(info, 2835);
    Put32(info, static_cast<uint32_t>(h.Palette.size()));
    Put32(info, 0);
    for (uint32_t m : h.Masks) Put32(info, m);
    if (info.size() < h.HeaderSize) info.resize(h.HeaderSize, '\0');
    for (uint32_t c : h.Palette) Put32(info, c);
    std::string s = "BM";
    Put32(s, static_cast<uint32_t>(14 + info.size() + pixels.size()));
    Put32(s, 0);
    Put32(s, static_cast<uint32_t>(14 + info.size()));
    return s + info + pixels;
}

// Rows written top to bottom as text, '#' ink and '.' paper.
using TPicture = std::vector<std::string>;

void ExpectPicture(const TMonoBitmap& r, const TPicture& expected, const std::string& what) {
    ASSERT_EQ(r.Height(), static_cast<int>(expected.size())) << what;
    ASSERT_EQ(r.Width(), static_cast<int>(expected[0].size())) << what;
    for (int y = 0; y < r.Height(); ++y) {
        std::string row;
        for (int x = 0; x < r.Width(); ++x) row += r.IsBlack(x, y) ? '#' : r.IsWhite(x, y) ? '.' : '?';
        EXPECT_EQ(row, expected[static_cast<size_t>(y)]) << what << " row " << y;
    }
}

// 16-bit pixels of the picture in the given channel layout, rows padded to 4
// bytes; ink is dark grey and paper light grey in every channel.
std::string Pixels16(const TPicture& picture, bool topDown, int greenBits) {
    std::string s;
    const size_t w = picture[0].size();
    for (size_t row = 0; row < picture.size(); ++row) {
        const std::string& line = picture[topDown ? row : picture.size() - 1 - row];
        for (size_t x = 0; x < w; ++x) {
            const uint32_t level5 = line[x] == '#' ? 3 : 28;  // of 31
            const uint32_t green = greenBits == 6 ? level5 * 2 : level5;
            Put16(s, greenBits == 6 ? (level5 << 11 | green << 5 | level5) : (level5 << 10 | green << 5 | level5));
        }
        while (s.size() % 4) s += '\0';
    }
    return s;
}

// Run-length streams, escape by escape.
struct TRle {
    std::string Bytes;
    TRle& Run(int count, int value) { return Add({count, value}); }
    TRle& EndOfLine() { return Add({0, 0}); }
    TRle& EndOfBitmap() { return Add({0, 1}); }
    TRle& Delta(int dx, int dy) { return Add({0, 2, dx, dy}); }
    // Absolute run of palette indices; bpp 4 packs two to a byte.
    TRle& Absolute(const std::vector<int>& indices, int bpp) {
        Add({0, static_cast<int>(indices.size())});
        std::string data;
        for (size_t i = 0; i < indices.size(); ++i) {
            if (bpp == 8)
                data += static_cast<char>(indices[i]);
            else if (i % 2 == 0)
                data += static_cast<char>(indices[i] << 4);
            else
                data.back() = static_cast<char>(data.back() | indices[i]);
        }
        if (data.size() % 2) data += '\0';
        Bytes += data;
        return *this;
    }
    TRle& Add(std::initializer_list<int> bytes) {
        for (int b : bytes) Bytes += static_cast<char>(b);
        return *this;
    }
};

const std::vector<uint32_t> kBlackWhite = {0x000000, 0xFFFFFF};

std::string Rle(int bpp, const TRle& stream, int width = 6, int height = 4) {
    TBmpHeader h;
    h.Width = width;
    h.Height = height;
    h.Bpp = bpp;
    h.Compression = bpp == 8 ? 1 : 2;
    h.Palette = kBlackWhite;
    return MakeFile(h, stream.Bytes);
}

}  // namespace

TEST(BmpDecoding, SixteenBitPixelsInEveryChannelLayout) {
    const TPicture picture = {"#..#.##", ".#..#..", "##...##"};
    struct Case {
        const char* Name;
        uint32_t Compression;
        uint32_t HeaderSize;
        std::vector<uint32_t> Masks;
        int GreenBits;
        bool TopDown;
    };
    const Case cases[] = {
        {"5-5-5 without masks", 0, 40, {}, 5, false},
        {"5-5-5 without masks, top-down", 0, 40, {}, 5, true},
        {"5-5-5 with masks", 3, 40, {0x7C00, 0x03E0, 0x001F}, 5, false},
        {"5-6-5 with masks", 3, 40, {0xF800, 0x07E0, 0x001F}, 6, false},
        {"5-6-5 with masks, top-down", 3, 40, {0xF800, 0x07E0, 0x001F}, 6, true},
        {"5-6-5, masks inside a V5 header", 3, 124, {0xF800, 0x07E0, 0x001F, 0}, 6, false},
        {"5-6-5 with alpha bit fields", 6, 40, {0xF800, 0x07E0, 0x001F, 0}, 6, false},
    };
    for (const Case& c : cases) {
        TBmpHeader h;
        h.Width = 7;
        h.Height = c.TopDown ? -3 : 3;
        h.Bpp = 16;
        h.Compression = c.Compression;
        h.HeaderSize = c.HeaderSize;
        h.Masks = c.Masks;
        TMonoBitmap r;
        std::string error;
        ASSERT_TRUE(DecodeBmp(MakeFile(h, Pixels16(picture, c.TopDown, c.GreenBits)), r, &error))
            << c.Name << ": " << error;
        ExpectPicture(r, picture, c.Name);
    }
}

TEST(BmpDecoding, RunLengthEscapesPlacePixelsAndLeaveSkippedOnesWhite) {
    // Bottom row first: encoded and absolute runs (odd ones padded), end of
    // line, a delta that crosses a row, end of bitmap.
    const TRle rle8 = TRle()
                          .Run(2, 0)
                          .Run(4, 1)
                          .EndOfLine()
                          .Absolute({0, 1, 0}, 8)
                          .Run(3, 0)
                          .EndOfLine()
                          .Run(1, 0)
                          .Delta(2, 1)
                          .Run(3, 0)
                          .EndOfBitmap();
    TMonoBitmap r;
    std::string error;
    ASSERT_TRUE(DecodeBmp(Rle(8, rle8), r, &error)) << error;
    ExpectPicture(r, {"...###", "#.....", "#.####", "##...."}, "RLE8");

    // RLE4: an encoded run alternates its two nibbles; absolute runs of odd
    // length end in half a byte, and the byte count is padded to even.
    const TRle rle4 = TRle()
                          .Run(5, 0x01)
                          .Run(1, 0x11)
                          .EndOfLine()
                          .Absolute({1, 1, 0}, 4)
                          .Run(3, 0x00)
                          .EndOfLine()
                          .Absolute({0, 1, 0, 1, 0}, 4)
                          .Delta(0, 1)
                          .Run(1, 0x00)
                          .EndOfBitmap();
    ASSERT_TRUE(DecodeBmp(Rle(4, rle4), r, &error)) << error;
    ExpectPicture(r, {".....#", "#.#.#.", "..####", "#.#.#."}, "RLE4");
}

TEST(BmpDecoding, RunLengthDataStaysInsideTheRowAndThePicture) {
    struct Case {
        const char* Name;
        int Bpp;
        TRle Stream;
        bool Ok;
    };
    const Case cases[] = {
        {"a run that fills the row exactly", 8, TRle().Run(6, 0).EndOfLine().EndOfBitmap(), true},
        // The row of 6 pixels is padded to 8 (8 bits) or 8 (4 bits): runs into
        // the padding are clipped (ImageMagick writes them), past it refused.
        {"a run one pixel past the row", 8, TRle().Run(7, 0).EndOfBitmap(), true},
        {"a run to the end of the padding", 8, TRle().Run(8, 0).EndOfLine().EndOfBitmap(), true},
        {"a run past the padding", 8, TRle().Run(9, 0).EndOfBitmap(), false},
        {"a second run past the row", 8, TRle().Run(6, 0).Run(1, 0).EndOfBitmap(), true},
        {"a second run past the padding", 8, TRle().Run(6, 0).Run(3, 0).EndOfBitmap(), false},
        {"an RLE4 run past the row", 4, TRle().Run(4, 0x01).Run(3, 0x01).EndOfBitmap(), true},
        {"an RLE4 run past the padding", 4, TRle().Run(4, 0x01).Run(5, 0x01).EndOfBitmap(), false},
        {"an absolute run past the row", 8, TRle().Absolute({0, 0, 0, 0, 0, 0, 0}, 8).EndOfBitmap(), true},
        {"an absolute run past the padding", 8, TRle().Absolute({0, 0, 0, 0, 0, 0, 0, 0, 0}, 8).EndOfBitmap(),
         false},
        {"a delta to the row's end", 8, TRle().Delta(6, 0).EndOfBitmap(), true},
        {"a delta past the row", 8, TRle().Delta(7, 0).EndOfBitmap(), false},
        {"a delta past the picture", 8, TRle().Delta(0, 5).EndOfBitmap(), false},
        {"a delta to the top, then a pixel", 8, TRle().Delta(0, 4).Run(1, 0).EndOfBitmap(), false},
        {"every row ended", 8, TRle().EndOfLine().EndOfLine().EndOfLine().EndOfLine().EndOfBitmap(), true},
        {"a pixel above the last row", 8, TRle().EndOfLine().EndOfLine().EndOfLine().EndOfLine().Run(1, 0), false},
        {"a line end above the last row", 8,
         TRle().EndOfLine().EndOfLine().EndOfLine().EndOfLine().EndOfLine().EndOfBitmap(), false},
        {"no end of bitmap", 8, TRle().Run(2, 0), false},
        {"an escape cut in half", 8, TRle().Run(2, 0).Add({0}), false},
        {"a delta without its offsets", 8, TRle().Add({0, 2, 1}), false},
        {"an absolute run cut short", 8, TRle().Add({0, 5, 0, 0}), false},
        {"an empty stream", 8, TRle(), false},
    };
    for (const Case& c : cases) {
        TMonoBitmap r;
        std::string error;
        EXPECT_EQ(DecodeBmp(Rle(c.Bpp, c.Stream), r, &error), c.Ok) << c.Name << ": " << error;
    }
}

// ImageMagick's RLE8 writer runs each row over its padding; such a file was
// refused as an unknown format. It now decodes pixel for pixel as the PNG
// it was made from.
TEST(BmpDecoding, ImageMagicksRunLengthFilesDecodeWithTheirRowsClipped) {
    quorlen::testing::TempDir dir;
    const std::string png = dir.File("in.png"), bmp = dir.File("rle.bmp");
    // 6 × 3: a row width whose padding the runs reach into.
    ASSERT_EQ(quorlen::testing::RunCommand("convert -size 6x3 xc:white -fill black -draw 'point 0,0' -draw 'point 5,1' "
                                           "-draw 'point 2,2' -type Palette -colors 2 '" +
                                           png + "' && convert '" + png + "' -type Palette -compress RLE BMP3:'" + bmp +
                                           "'"),
              0);
    const std::string bytes = quorlen::testing::ReadFileBytes(bmp);
    ASSERT_GT(bytes.size(), 34u);
    ASSERT_EQ(static_cast<unsigned char>(bytes[30]), 1) << "not RLE8";
    TMonoBitmap r;
    std::string error;
    ASSERT_TRUE(DecodeBmp(bytes, r, &error)) << error;
    ExpectPicture(r, {"#.....", ".....#", "..#..."}, "ImageMagick RLE8");
}

TEST(BmpDecoding, RunLengthHeadersThatCannotHoldRunLengthDataFail) {
    const std::string stream = TRle().Run(1, 0).EndOfBitmap().Bytes;
    TBmpHeader h;
    h.Palette = kBlackWhite;
    struct Case {
        const char* Name;
        int Bpp, Height;
        uint32_t Compression;
    };
    for (const Case& c : {Case{"top-down", 8, -4, 1}, Case{"RLE8 on 4 bits", 4, 4, 1}, Case{"RLE4 on 8 bits", 8, 4, 2},
                          Case{"RLE on 24 bits", 24, 4, 1}, Case{"unknown compression", 8, 4, 4}}) {
        h.Bpp = c.Bpp;
        h.Height = c.Height;
        h.Compression = c.Compression;
        TMonoBitmap r;
        std::string error;
        EXPECT_FALSE(DecodeBmp(MakeFile(h, stream), r, &error)) << c.Name;
        EXPECT_FALSE(error.empty()) << c.Name;
    }
}
