#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace quorlen {

// How a saved page holds its pixels: one bit (0 = black, as PNG has it),
// one grey byte, or three colour bytes.
enum class TPixelKind { Mono, Grey, Rgb };

// Bytes of one PNG row of that kind and width.
size_t PngRowBytes(TPixelKind kind, int width);

// A scanned page written as a PNG row by row while the scanner sends it, so
// that a page is never held whole. The file is flushed to disk before
// Finish returns: a page reported saved survives a power cut. Failures throw
// std::runtime_error naming the file.
class TScanPngWriter {
public:
    // Takes over file (closed on every path); path only names it in messages.
    TScanPngWriter(std::FILE* file, const std::string& path, int width, int height, TPixelKind kind, int dpi);
    ~TScanPngWriter();
    TScanPngWriter(const TScanPngWriter&) = delete;
    TScanPngWriter& operator=(const TScanPngWriter&) = delete;

    void Row(const uint8_t* row);
    void Finish();

    // libpng's state, opaque to callers.
    struct Png;

private:
    [[noreturn]] void Fail(const std::string& why);

    std::FILE* file_;
    std::string path_;
    Png* png_;
};

}  // namespace quorlen
