// libpng reports errors by longjmp: setjmp turns that into an exception, and
// the rows are packed before libpng runs so that the jump skips nothing of ours.
#include "core/common/MonoPng.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

namespace quorlen {

namespace {
struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
}  // namespace

void WriteMonoPng(const TMonoBitmap& raster, const std::string& path) {
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) throw std::runtime_error("Cannot write " + path + ": " + std::strerror(errno));

    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) throw std::runtime_error("Cannot write " + path + ": out of memory");
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        throw std::runtime_error("Cannot write " + path + ": out of memory");
    }
    // Rows are prepared before libpng is called so that its longjmp never
    // skips a destructor of ours.
    const size_t rowBytes = (static_cast<size_t>(raster.Width()) + 7) / 8;
    std::vector<std::vector<png_byte>> rows(static_cast<size_t>(raster.Height()), std::vector<png_byte>(rowBytes));
    for (int32_t y = 0; y < raster.Height(); ++y) {
        auto& row = rows[static_cast<size_t>(y)];
        for (int32_t x = 0; x < raster.Width(); ++x)
            if (!raster.IsBlack(x, y)) row[static_cast<size_t>(x) >> 3] |= static_cast<png_byte>(0x80u >> (x & 7));
    }
    std::vector<png_bytep> rowPointers;
    rowPointers.reserve(rows.size());
    for (auto& r : rows) rowPointers.push_back(r.data());

    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("Cannot write " + path + ": PNG encoding failed");
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, static_cast<png_uint_32>(raster.Width()), static_cast<png_uint_32>(raster.Height()), 1,
                 PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rowPointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fflush(file.get()) != 0) throw std::runtime_error("Cannot write " + path + ": " + std::strerror(errno));
}

}  // namespace quorlen
