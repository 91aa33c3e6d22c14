#include "testing/ScanSimulator.h"

#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <numbers>
#include <random>
#include <stdexcept>

#include "core/common/Rounding.h"
#include "core/project/SheetLayout.h"

namespace quorlen::sim {

namespace {

constexpr double kA4WidthMm = 210.0;
constexpr double kA4HeightMm = 297.0;
// A laser printer's printable width on A4 is about 197..203 mm; the reader
// needs the frame to span more than about 193 mm of the 210 mm page, and its
// right border to end at least 10 sheet pixels' worth before the image edge.
constexpr double kPrintableWidthMm = 195.0;
constexpr double kTopMarginMm = 12.0;

void MarkBox(TMonoBitmap& page, TGridPoint p, TMarkShape shape, std::mt19937& rng) {
    const TSheetBox b = BoxAt(p);
    switch (shape) {
        case TMarkShape::Solid:
            page.FillRect(b.Left, b.Top, b.Right + 1, b.Bottom + 1, true);
            break;
        case TMarkShape::Scribble:
            // Strokes of a ballpoint (about 0.6 mm, two sheet pixels) with gaps.
            for (int y = b.Top + 1; y < b.Bottom; y += 3) page.FillRect(b.Left, y, b.Right + 1, y + 2, true);
            page.FillRect(b.Left + 1 + static_cast<int>(rng() % 2), b.Top, b.Left + 4, b.Bottom + 1, true);
            break;
        case TMarkShape::Cross:
            for (int i = 0; i < 10; ++i) {
                for (int t = -1; t <= 2; ++t) {
                    page.SetPixel(b.Left + i + t, b.Top + i, true);
                    page.SetPixel(b.Right - i + t, b.Top + i, true);
                }
            }
            break;
        case TMarkShape::Partial:
            page.FillRect(b.Left + 1, b.Top + 2, b.Right, b.Bottom, true);
            break;
    }
}

}  // namespace

void MarkAnswers(TMonoBitmap& page, int questionCount, int answerCount, int firstQuestion, const TPageMarks& marks,
                 uint32_t seed) {
    std::mt19937 rng(seed);
    const TSheetLayout layout = TSheetLayout::Make(answerCount, questionCount, firstQuestion);
    for (size_t j = 0; j < marks.Boxes.size(); ++j) {
        const int q = firstQuestion + static_cast<int>(j);
        if (q > layout.LastQuestion()) break;
        for (int box : marks.Boxes[j]) {
            TMarkShape shape = j < marks.Shapes.size() ? marks.Shapes[j] : TMarkShape::Solid;
            MarkBox(page, layout.AnswerBox(q, box + 1), shape, rng);
        }
    }
}

namespace {

// The grey of one scanned point of a mark: graphite varies from point to
// point with the paper's tooth, and some points catch no graphite at all.
struct TInkTone {
    int Mean;
    int Spread;
    double Gap;  // share of points that show the paper
};

TInkTone ToneOf(TInk ink) {
    switch (ink) {
        case TInk::HbPencil:
            return {128, 24, 0.05};  // about 105..150 once scanned
        case TInk::LightPencil:
            return {148, 25, 0.12};  // about 125..175 once scanned, with more gaps
        default:
            return {0, 0, 0};
    }
}

// Brightness of the light reaching the point (x, y), 1 for an ideal scanner.
double LightAt(double lighting, double x, double y, int width, int height, double pxPerMm) {
    const double paper = 1 - 0.06 * lighting;
    const double falloff = 1 - 0.15 * lighting * (x / width) * (0.5 + 0.5 * y / height);
    const double spine = 1 - 0.45 * lighting * std::exp(-x / (12 * pxPerMm));
    return paper * falloff * spine;
}

}  // namespace

TGreyPicture PlaceOnA4(const TMonoBitmap& page, const TScanParams& params, const TMonoBitmap* marks) {
    const double pxPerMm = params.Dpi / 25.4;
    TGreyPicture pic;
    pic.Width = Round(kA4WidthMm * pxPerMm);
    pic.Height = Round(kA4HeightMm * pxPerMm);
    pic.Pixels.assign(static_cast<size_t>(pic.Width) * static_cast<size_t>(pic.Height), 255);

    const double scale = kPrintableWidthMm * pxPerMm / page.Width();
    const double originX = ((kA4WidthMm - kPrintableWidthMm) / 2 + params.ShiftXmm) * pxPerMm;
    const double originY = (kTopMarginMm + params.ShiftYmm) * pxPerMm;
    const double a = params.AngleDegrees * std::numbers::pi / 180.0;
    const double ca = std::cos(a), sa = std::sin(a);
    const TInkTone tone = ToneOf(params.Ink);
    const bool penMarks = marks && params.Ink == TInk::Pen;
    const bool greyMarks = marks && params.Ink != TInk::Pen;
    // Its own generator, so that pen scans stay what they were for a seed.
    std::mt19937 grain(params.Seed ^ 0x5bd1e995u);
    std::uniform_int_distribution<int> toneJitter(-tone.Spread, tone.Spread);
    std::uniform_real_distribution<double> unitGrain(0, 1);
    // A skewed sheet turns about its top-left corner. Each picture pixel samples
    // the sheet at four points, which gives the grey edges of a real scan.
    const double cxs = 0, cys = 0;
    const double offsets[4][2] = {{0.25, 0.25}, {0.75, 0.25}, {0.25, 0.75}, {0.75, 0.75}};
    for (int y = 0; y < pic.Height; ++y) {
        for (int x = 0; x < pic.Width; ++x) {
            int ink = 0, graphite = 0;
            for (const auto& o : offsets) {
                const double px = x + o[0] - originX - cxs;
                const double py = y + o[1] - originY - cys;
                const double u = (px * ca + py * sa + cxs) / scale;
                const double v = (-px * sa + py * ca + cys) / scale;
                const int iu = static_cast<int>(std::floor(u)), iv = static_cast<int>(std::floor(v));
                ink += page.IsBlack(iu, iv) || (penMarks && marks->IsBlack(iu, iv));
                graphite += greyMarks && marks->IsBlack(iu, iv);
            }
            int value = ink ? 255 - ink * 60 : 255;
            if (graphite) {
                const int point = unitGrain(grain) < tone.Gap ? 235 : tone.Mean + toneJitter(grain);
                value = std::min(value, 255 - graphite * (255 - point) / 4);
            }
            pic.At(x, y) = static_cast<uint8_t>(value);
        }
    }

    std::mt19937 rng(params.Seed);
    if (params.Blur) {
        TGreyPicture blurred = pic;
        // A 3 × 3 Gaussian: the softness of a cheap document scanner's optics.
        static const int kernel[3][3] = {{1, 2, 1}, {2, 4, 2}, {1, 2, 1}};
        for (int y = 1; y < pic.Height - 1; ++y)
            for (int x = 1; x < pic.Width - 1; ++x) {
                int sum = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) sum += pic.At(x + dx, y + dy) * kernel[dy + 1][dx + 1];
                blurred.At(x, y) = static_cast<uint8_t>(sum / 16);
            }
        pic = std::move(blurred);
    }
    if (params.Lighting > 0)
        for (int y = 0; y < pic.Height; ++y)
            for (int x = 0; x < pic.Width; ++x)
                pic.At(x, y) = static_cast<uint8_t>(
                    Round(pic.At(x, y) * LightAt(params.Lighting, x, y, pic.Width, pic.Height, pxPerMm)));
    if (params.NoiseLevel > 0) {
        std::uniform_int_distribution<int> jitter(-static_cast<int>(40 * params.NoiseLevel),
                                                  static_cast<int>(40 * params.NoiseLevel));
        std::uniform_real_distribution<double> unit(0, 1);
        for (auto& p : pic.Pixels) {
            int v = p + jitter(rng);
            // Isolated dark specks, as dust on the glass gives, only for rough
            // scans: one speck in the blank gap under a question ends its column
            // for the reader, exactly as a speck of dust does on paper.
            if (params.NoiseLevel > 0.5 && unit(rng) < (params.NoiseLevel - 0.5) * 0.0002) v = 40;
            p = static_cast<uint8_t>(std::clamp(v, 0, 255));
        }
    }
    if (params.DarkBorder) {
        const int band = Round(2 * pxPerMm);
        for (int y = 0; y < pic.Height; ++y)
            for (int x = 0; x < pic.Width; ++x)
                if (x < band || y < band / 2 || x >= pic.Width - band / 2 || y >= pic.Height - band / 3)
                    pic.At(x, y) = 20;
    }
    return pic;
}

std::string FileExtension(TFileFormat format) {
    switch (format) {
        case TFileFormat::Png:
            return ".png";
        case TFileFormat::Jpeg:
        case TFileFormat::JpegColour:
            return ".jpg";
        default:
            return ".bmp";
    }
}

namespace {

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

FilePtr OpenForWriting(const std::string& path) {
    FilePtr f(std::fopen(path.c_str(), "wb"));
    if (!f) throw std::runtime_error("cannot write " + path);
    return f;
}

void SavePng(const TGreyPicture& pic, const std::string& path) {
    FilePtr f = OpenForWriting(path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("PNG encoding failed for " + path);
    }
    png_init_io(png, f.get());
    png_set_compression_level(png, 1);
    png_set_IHDR(png, info, static_cast<png_uint_32>(pic.Width), static_cast<png_uint_32>(pic.Height), 8,
                 PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < pic.Height; ++y)
        png_write_row(png, const_cast<png_bytep>(&pic.Pixels[static_cast<size_t>(y) * static_cast<size_t>(pic.Width)]));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
}

void SaveJpeg(const TGreyPicture& pic, const std::string& path, bool colour, int quality) {
    FilePtr f = OpenForWriting(path);
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, f.get());
    cinfo.image_width = static_cast<JDIMENSION>(pic.Width);
    cinfo.image_height = static_cast<JDIMENSION>(pic.Height);
    cinfo.input_components = colour ? 3 : 1;
    cinfo.in_color_space = colour ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(static_cast<size_t>(pic.Width) * (colour ? 3 : 1));
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = static_cast<int>(cinfo.next_scanline);
        for (int x = 0; x < pic.Width; ++x) {
            const uint8_t g = pic.At(x, y);
            if (colour) {
                // Ink scans bluish, paper slightly warm, as from a colour scanner.
                row[static_cast<size_t>(3 * x)] = static_cast<uint8_t>(g < 128 ? g / 2 : std::min(255, g + 2));
                row[static_cast<size_t>(3 * x + 1)] = static_cast<uint8_t>(g < 128 ? g / 2 + 10 : g);
                row[static_cast<size_t>(3 * x + 2)] =
                    static_cast<uint8_t>(g < 128 ? std::min(255, g + 60) : std::max(0, g - 4));
            } else {
                row[static_cast<size_t>(x)] = g;
            }
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
}

void Put16(std::string& s, uint16_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8);
}
void Put32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

void SaveBmp(const TGreyPicture& pic, const std::string& path, bool oneBit) {
    const int bpp = oneBit ? 1 : 24;
    const size_t rowBytes = ((static_cast<size_t>(pic.Width) * static_cast<size_t>(bpp) + 31) / 32) * 4;
    const uint32_t paletteBytes = oneBit ? 8 : 0;
    const uint32_t offset = 14 + 40 + paletteBytes;
    std::string out;
    out += "BM";
    Put32(out, static_cast<uint32_t>(offset + rowBytes * static_cast<size_t>(pic.Height)));
    Put32(out, 0);
    Put32(out, offset);
    Put32(out, 40);
    Put32(out, static_cast<uint32_t>(pic.Width));
    Put32(out, static_cast<uint32_t>(pic.Height));
    Put16(out, 1);
    Put16(out, static_cast<uint16_t>(bpp));
    Put32(out, 0);
    Put32(out, static_cast<uint32_t>(rowBytes * static_cast<size_t>(pic.Height)));
    Put32(out, 7874);  // 200 dpi in pixels per metre
    Put32(out, 7874);
    Put32(out, oneBit ? 2 : 0);
    Put32(out, 0);
    if (oneBit) {
        Put32(out, 0x00000000);  // entry 0 black, as scanners usually write it
        Put32(out, 0x00FFFFFF);
    }
    std::string row(rowBytes, '\0');
    for (int y = pic.Height - 1; y >= 0; --y) {
        std::fill(row.begin(), row.end(), '\0');
        for (int x = 0; x < pic.Width; ++x) {
            const uint8_t g = pic.At(x, y);
            if (oneBit) {
                if (g >= 128) row[static_cast<size_t>(x) >> 3] |= static_cast<char>(0x80 >> (x & 7));
            } else {
                row[static_cast<size_t>(3 * x)] = row[static_cast<size_t>(3 * x + 1)] =
                    row[static_cast<size_t>(3 * x + 2)] = static_cast<char>(g);
            }
        }
        out += row;
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(out.data(), static_cast<std::streamsize>(out.size()));
    if (!file) throw std::runtime_error("cannot write " + path);
}

}  // namespace

void SavePicture(const TGreyPicture& picture, const std::string& path, TFileFormat format, int jpegQuality) {
    switch (format) {
        case TFileFormat::Png:
            SavePng(picture, path);
            break;
        case TFileFormat::Jpeg:
            SaveJpeg(picture, path, false, jpegQuality);
            break;
        case TFileFormat::JpegColour:
            SaveJpeg(picture, path, true, jpegQuality);
            break;
        case TFileFormat::Bmp24:
            SaveBmp(picture, path, false);
            break;
        case TFileFormat::Bmp1:
            SaveBmp(picture, path, true);
            break;
    }
}

}  // namespace quorlen::sim
