#include "core/recognition/LoadScan.h"

#include <jerror.h>
#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <vector>

#include "core/common/FileDescriptor.h"
#include "core/common/RegularFile.h"
#include "core/common/Text.h"
#include "core/recognition/Binarize.h"
#include "core/recognition/BmpReader.h"
#include "core/recognition/PdfPage.h"
#include "core/recognition/ScanDecoders.h"
#include "core/recognition/ScanPages.h"
#include "core/recognition/Threshold.h"
#include "core/recognition/TiffPage.h"

namespace quorlen {

namespace {

bool Fail(std::string* detail, const std::string& why) {
    if (detail) *detail = why;
    return false;
}

// libjpeg reports fatal errors through error_exit, which must not return; it
// jumps back into ReadJpeg. Nothing with a destructor lives in that function:
// the buffers and the reduction the rows stream through belong to its caller,
// whose frame the jump never leaves.
struct JpegError {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    bool truncated;
};

void JpegErrorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<JpegError*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings are quiet, except that libjpeg pads a file that ends too early with
// grey and calls it a warning: such a scan is damaged, not readable.
void JpegMessage(j_common_ptr cinfo, int level) {
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) reinterpret_cast<JpegError*>(cinfo->err)->truncated = true;
}

struct JpegBuffers {
    std::vector<uint8_t> Line;  // CMYK samples; grey rows go straight into the reduction
    std::optional<TScanReduction> Reduction;
};

bool ReadJpeg(std::string_view bytes, JpegBuffers& buffers, TMonoBitmap& raster, std::string* detail,
              const TScanSizeHook& sizeHook) {
    jpeg_decompress_struct cinfo{};
    JpegError err{};
    cinfo.err = jpeg_std_error(&err.base);
    err.base.error_exit = JpegErrorExit;
    err.base.emit_message = JpegMessage;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return Fail(detail, std::string("JPEG: ") + err.message);
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&cinfo, TRUE);
    // A progressive picture keeps the coefficients of every component,
    // two bytes per sample, until its last scan.
    const uint64_t samples = static_cast<uint64_t>(cinfo.image_width) * cinfo.image_height;
    const uint64_t working = cinfo.image_width * 4ull + ReductionBytes(cinfo.image_width, cinfo.image_height) +
                             (cinfo.progressive_mode ? samples * 2 * static_cast<uint64_t>(cinfo.num_components) : 0);
    bool accepted = false;
    try {
        accepted = AcceptScanSize(cinfo.image_width, cinfo.image_height, working, sizeHook, detail);
    } catch (...) {
        Fail(detail, "JPEG: no memory for the picture");
    }
    if (!accepted) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    // Grey output is the luminance channel itself: the same reduction as for
    // colour pictures, without the colour conversion.
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_GRAYSCALE;
    jpeg_start_decompress(&cinfo);
    const int w = static_cast<int>(cinfo.output_width);
    const int h = static_cast<int>(cinfo.output_height);
    try {
        buffers.Reduction.emplace(w, h, raster);
        buffers.Line.resize(cmyk ? static_cast<size_t>(w) * 4 : 0);
    } catch (...) {
        jpeg_destroy_decompress(&cinfo);
        return Fail(detail, "JPEG: out of memory");
    }
    TScanReduction& reduction = *buffers.Reduction;
    while (cinfo.output_scanline < cinfo.output_height) {
        const int y = static_cast<int>(cinfo.output_scanline);
        uint8_t* grey = reduction.Row(y);
        JSAMPROW row = cmyk ? buffers.Line.data() : grey;
        jpeg_read_scanlines(&cinfo, &row, 1);
        if (cmyk) {
            // Adobe writes CMYK inverted: each sample is already 255 − ink.
            for (int x = 0; x < w; ++x) {
                const uint8_t* p = &buffers.Line[static_cast<size_t>(4 * x)];
                const int k = p[3];
                grey[x] = static_cast<uint8_t>(Luminance(p[0] * k / 255, p[1] * k / 255, p[2] * k / 255));
            }
        }
        reduction.RowDone(y);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    if (err.truncated) return Fail(detail, "JPEG: the file ends before the picture");
    return true;
}


struct PngSource {
    const std::string* bytes;
    size_t at;
};

void PngRead(png_structp png, png_bytep out, png_size_t count) {
    auto* src = static_cast<PngSource*>(png_get_io_ptr(png));
    if (src->at + count > src->bytes->size()) png_error(png, "truncated PNG data");
    std::memcpy(out, src->bytes->data() + src->at, count);
    src->at += count;
}

void PngErrorFn(png_structp png, png_const_charp message) {
    auto* why = static_cast<std::string*>(png_get_error_ptr(png));
    if (why) *why = std::string("PNG: ") + message;
    png_longjmp(png, 1);
}

void PngWarningFn(png_structp, png_const_charp) {}

// What PNG decoding allocates, owned by DecodePng so that ReadPng, where
// libpng's errors jump to, holds nothing with a destructor.
struct PngBuffers {
    std::vector<uint8_t> Rgba;
    std::optional<TScanReduction> Reduction;
    std::vector<png_bytep> Rows;
};

bool ReadPng(png_structp png, png_infop info, PngSource& source, PngBuffers& buffers, TMonoBitmap& raster,
             std::string* detail, const TScanSizeHook& sizeHook) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_read_fn(png, &source, PngRead);
    // Sizes are refused from the header, before any pixel memory exists.
    png_set_user_limits(png, kMaxScanSide, kMaxScanSide);
    png_read_info(png, info);
    const png_uint_32 w = png_get_image_width(png, info);
    const png_uint_32 h = png_get_image_height(png, info);
    const int colourType = png_get_color_type(png, info);

    // Everything becomes 8-bit RGBA; transparency is then composed over white.
    png_set_expand(png);
    png_set_strip_16(png);
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);

    // Interlaced pictures need the whole image in RGBA; rare for scans.
    const uint64_t working =
        (passes > 1 ? static_cast<uint64_t>(w) * h * 4 : static_cast<uint64_t>(w) * 4) + ReductionBytes(w, h);
    try {
        if (!AcceptScanSize(w, h, working, sizeHook, detail)) return false;
        buffers.Reduction.emplace(static_cast<int32_t>(w), static_cast<int32_t>(h), raster);
        buffers.Rgba.resize(static_cast<size_t>(w) * 4 * (passes > 1 ? h : 1));
        if (passes > 1) buffers.Rows.resize(h);
    } catch (...) {
        return Fail(detail, "PNG: out of memory");
    }
    TScanReduction& reduction = *buffers.Reduction;
    auto toGrey = [&](const uint8_t* px, int y) {
        uint8_t* grey = reduction.Row(y);
        for (png_uint_32 x = 0; x < w; ++x) {
            const uint8_t* p = px + 4 * x;
            const int a = p[3];
            const int r = (p[0] * a + 255 * (255 - a) + 127) / 255;
            const int g = (p[1] * a + 255 * (255 - a) + 127) / 255;
            const int b = (p[2] * a + 255 * (255 - a) + 127) / 255;
            grey[x] = static_cast<uint8_t>(Luminance(r, g, b));
        }
        reduction.RowDone(y);
    };
    if (passes > 1) {
        for (png_uint_32 y = 0; y < h; ++y) buffers.Rows[y] = buffers.Rgba.data() + static_cast<size_t>(y) * w * 4;
        png_read_image(png, buffers.Rows.data());
        for (png_uint_32 y = 0; y < h; ++y) toGrey(buffers.Rows[y], static_cast<int>(y));
    } else {
        for (png_uint_32 y = 0; y < h; ++y) {
            png_read_row(png, buffers.Rgba.data(), nullptr);
            toGrey(buffers.Rgba.data(), static_cast<int>(y));
        }
    }
    png_read_end(png, nullptr);
    return true;
}

bool DecodePng(const std::string& bytes, TMonoBitmap& raster, std::string* detail, const TScanSizeHook& sizeHook) {
    if (bytes.size() < 8 || png_sig_cmp(reinterpret_cast<png_const_bytep>(bytes.data()), 0, 8) != 0)
        return Fail(detail, "not a PNG file");
    std::string why;
    PngBuffers buffers;
    PngSource source{&bytes, 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &why, PngErrorFn, PngWarningFn);
    if (!png) return Fail(detail, "PNG: out of memory");
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return Fail(detail, "PNG: out of memory");
    }
    std::string refused;
    const bool ok = ReadPng(png, info, source, buffers, raster, &refused, sizeHook);
    png_destroy_read_struct(&png, &info, nullptr);
    if (ok) return true;
    return Fail(detail, !refused.empty() ? refused : why.empty() ? "PNG: decoding failed" : why);
}

}  // namespace

bool DecodeJpegBytes(std::string_view bytes, TMonoBitmap& raster, std::string* detail,
                     const TScanSizeHook& sizeHook) {
    JpegBuffers buffers;
    return ReadJpeg(bytes, buffers, raster, detail, sizeHook);
}

namespace {

// Opens a multi-page file for its reader; on failure says why as LoadScan's
// callers expect (a missing file keeps the ordinary message).
int OpenMultiPage(const std::string& file, std::string* detail, std::string* unreadable) {
    try {
        return OpenRegularFile(file);
    } catch (const TFileReadError& e) {
        if (unreadable && e.Reason != FileReadReason(ENOENT)) *unreadable = e.Reason;
        Fail(detail, e.Reason);
        return -1;
    }
}

bool IsPdf(const std::string& file) {
    const std::string upper = ToUpperAscii(file);
    return upper.size() >= 4 && upper.compare(upper.size() - 4, 4, ".PDF") == 0;
}

}  // namespace

int CountScanPages(const std::string& path, std::string* why) {
    if (!IsMultiPageFileName(path)) return 1;
    const int fd = OpenMultiPage(path, why, nullptr);
    if (fd < 0) return 0;
    FileDescriptor owned(fd);
    return IsPdf(path) ? CountPdfPages(fd, why) : CountTiffPages(fd, why);
}

bool LoadScan(const std::string& path, TMonoBitmap& raster, std::string* detail, const TScanSizeHook& sizeHook,
              std::string* unreadable) {
    // "skany.pdf#3", or a multi-page file by its plain name: its first page.
    const TScanPageName name = SplitScanPageName(path);
    if (IsMultiPageFileName(name.File)) {
        const int fd = OpenMultiPage(name.File, detail, unreadable);
        if (fd < 0) return false;
        FileDescriptor owned(fd);
        const int page = std::max(name.Page, 1);
        const bool ok = IsPdf(name.File) ? DecodePdfPage(fd, name.File, page, raster, detail, sizeHook)
                                         : DecodeTiffPage(fd, page, raster, detail, sizeHook);
        if (!ok) raster.Clear();
        return ok;
    }
    const std::string upper = ToUpperAscii(path);
    auto endsWith = [&](const char* ext) {
        const std::string e(ext);
        return upper.size() >= e.size() && upper.compare(upper.size() - e.size(), e.size(), e) == 0;
    };
    enum class Kind { Jpeg, Png, Bmp } kind;
    if (endsWith(".JPG") || endsWith(".JPEG"))
        kind = Kind::Jpeg;
    else if (endsWith(".PNG"))
        kind = Kind::Png;
    else if (endsWith(".BMP"))
        kind = Kind::Bmp;
    else
        return Fail(detail, "unknown file extension");

    std::string bytes;
    try {
        bytes = ReadRegularFile(path);
    } catch (const TFileReadError& e) {
        // A missing file keeps the ordinary "cannot load" message.
        if (unreadable && e.Reason != FileReadReason(ENOENT)) *unreadable = e.Reason;
        return Fail(detail, e.Reason);
    }
    bool ok = false;
    switch (kind) {
        case Kind::Jpeg:
            ok = DecodeJpegBytes(bytes, raster, detail, sizeHook);
            break;
        case Kind::Png:
            ok = DecodePng(bytes, raster, detail, sizeHook);
            break;
        case Kind::Bmp:
            // The only decoder through which an exception may pass (memory,
            // or the size hook): it holds no library state to release.
            try {
                ok = DecodeBmp(bytes, raster, detail, sizeHook);
            } catch (const std::exception& e) {
                ok = Fail(detail, std::string("BMP: ") + e.what());
            }
            break;
    }
    if (!ok) raster.Clear();
    return ok;
}

}  // namespace quorlen
