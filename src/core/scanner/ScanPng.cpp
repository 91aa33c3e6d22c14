// libpng reports errors by longjmp. Each call into it sits in a function of
// its own that holds no object with a destructor, so a jump skips nothing of
// ours; the caller turns the failure into an exception.
#include "core/scanner/ScanPng.h"

#include <png.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace quorlen {

namespace {
constexpr size_t kPngErrorSize = 200;
}  // namespace

struct TScanPngWriter::Png {
    png_structp Write = nullptr;
    png_infop Info = nullptr;
    std::FILE* File = nullptr;
    char Error[kPngErrorSize] = "";
};

namespace {

// Fast settings: a grey scan compresses well with the Sub filter alone, and
// the lowest zlib level keeps the encoder ahead of a scanner's transfer.
// Measured in bench/scan-vs-scanimage.sh.
constexpr int kZlibLevel = 1;

void OnError(png_structp png, png_const_charp message) {
    auto* error = static_cast<char*>(png_get_error_ptr(png));
    std::snprintf(error, kPngErrorSize, "%s", message ? message : "PNG");
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// libpng's own writer says only "Write Error"; the system's reason (a full
// disk, a vanished network share) is what the operator needs.
void OnWrite(png_structp png, png_bytep data, size_t length) {
    auto* p = static_cast<TScanPngWriter::Png*>(png_get_io_ptr(png));
    if (std::fwrite(data, 1, length, p->File) == length) return;
    std::snprintf(p->Error, sizeof p->Error, "%s", std::strerror(errno));
    png_longjmp(png, 1);
}

void OnFlush(png_structp) {}

bool WriteHeader(TScanPngWriter::Png& p, png_uint_32 width, png_uint_32 height, int bitDepth, int colourType,
                 png_uint_32 pixelsPerMetre) {
    if (setjmp(png_jmpbuf(p.Write))) return false;
    png_set_write_fn(p.Write, &p, OnWrite, OnFlush);
    png_set_compression_level(p.Write, kZlibLevel);
    png_set_filter(p.Write, PNG_FILTER_TYPE_BASE, bitDepth == 1 ? PNG_FILTER_NONE : PNG_FILTER_SUB);
    png_set_IHDR(p.Write, p.Info, width, height, bitDepth, colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (pixelsPerMetre > 0) png_set_pHYs(p.Write, p.Info, pixelsPerMetre, pixelsPerMetre, PNG_RESOLUTION_METER);
    png_write_info(p.Write, p.Info);
    return true;
}

bool WriteRow(TScanPngWriter::Png& p, const uint8_t* row) {
    if (setjmp(png_jmpbuf(p.Write))) return false;
    png_write_row(p.Write, const_cast<png_bytep>(row));
    return true;
}

bool WriteEnd(TScanPngWriter::Png& p) {
    if (setjmp(png_jmpbuf(p.Write))) return false;
    png_write_end(p.Write, p.Info);
    return true;
}

}  // namespace

size_t PngRowBytes(TPixelKind kind, int width) {
    const size_t w = static_cast<size_t>(width);
    switch (kind) {
        case TPixelKind::Mono:
            return (w + 7) / 8;
        case TPixelKind::Grey:
            return w;
        case TPixelKind::Rgb:
            return 3 * w;
    }
    return w;
}

TScanPngWriter::TScanPngWriter(std::FILE* file, const std::string& path, int width, int height, TPixelKind kind,
                               int dpi)
    : file_(file), path_(path), png_(new Png) {
    png_->Write = png_create_write_struct(PNG_LIBPNG_VER_STRING, png_->Error, OnError, OnWarning);
    if (png_->Write) png_->Info = png_create_info_struct(png_->Write);
    if (!png_->Info) Fail("brak pamięci");
    const png_uint_32 ppm = dpi > 0 ? static_cast<png_uint_32>(std::lround(dpi / 0.0254)) : 0;
    const int colourType = kind == TPixelKind::Rgb ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY;
    png_->File = file_;
    if (!WriteHeader(*png_, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height),
                     kind == TPixelKind::Mono ? 1 : 8, colourType, ppm))
        Fail(png_->Error);
}

TScanPngWriter::~TScanPngWriter() {
    if (png_) {
        png_destroy_write_struct(png_->Write ? &png_->Write : nullptr, png_->Info ? &png_->Info : nullptr);
        delete png_;
    }
    if (file_) std::fclose(file_);
}

void TScanPngWriter::Fail(const std::string& why) {
    throw std::runtime_error("Nie udało się zapisać strony do pliku " + path_ + ": " + why);
}

void TScanPngWriter::Row(const uint8_t* row) {
    if (!WriteRow(*png_, row)) Fail(png_->Error);
}

void TScanPngWriter::Finish() {
    if (!WriteEnd(*png_)) Fail(png_->Error);
    if (std::fflush(file_) != 0 || fsync(fileno(file_)) != 0) Fail(std::strerror(errno));
    std::FILE* file = file_;
    file_ = nullptr;
    if (std::fclose(file) != 0) Fail(std::strerror(errno));
}

}  // namespace quorlen
