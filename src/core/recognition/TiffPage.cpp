#include "core/recognition/TiffPage.h"

#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "core/recognition/Binarize.h"
#include "core/recognition/Threshold.h"

namespace quorlen {

namespace {

bool Fail(std::string* detail, const std::string& why) {
    if (detail) *detail = why;
    return false;
}

// What libtiff said on this one open. Errors always fail the page; warnings
// count only while pixels are decoded (a fax decoder reports a premature end
// of data as a warning and leaves the rest of the page white), not while the
// directory is read (scanners write private tags libtiff warns about).
struct TiffMessages {
    std::string Error;
    std::string Warning;
};

void Format(std::string& into, const char* module, const char* fmt, va_list ap) {
    if (!into.empty()) return;
    char text[512];
    std::vsnprintf(text, sizeof text, fmt, ap);
    into = module && *module ? std::string(module) + ": " + text : std::string(text);
}

int OnError(TIFF*, void* user, const char* module, const char* fmt, va_list ap) {
    Format(static_cast<TiffMessages*>(user)->Error, module, fmt, ap);
    return 1;  // handled: libtiff's process-wide handler is not called
}

int OnWarning(TIFF*, void* user, const char* module, const char* fmt, va_list ap) {
    Format(static_cast<TiffMessages*>(user)->Warning, module, fmt, ap);
    return 1;
}

// A single allocation inside libtiff larger than this is refused: a hostile
// directory may claim strips of gigabytes. A page within kMaxScanPixels
// uncompressed in one strip (250 MB of grey) still fits.
constexpr tmsize_t kMaxTiffAllocation = tmsize_t{1} << 30;

struct Memory {
    const char* Data;
    uint64_t Size;
    uint64_t At;
};

tmsize_t MemoryRead(thandle_t h, void* buf, tmsize_t size) {
    auto* m = static_cast<Memory*>(h);
    const uint64_t n = std::min<uint64_t>(static_cast<uint64_t>(size), m->At < m->Size ? m->Size - m->At : 0);
    std::memcpy(buf, m->Data + m->At, n);
    m->At += n;
    return static_cast<tmsize_t>(n);
}
tmsize_t MemoryWrite(thandle_t, void*, tmsize_t) { return -1; }
toff_t MemorySeek(thandle_t h, toff_t off, int whence) {
    auto* m = static_cast<Memory*>(h);
    const int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<int64_t>(m->At) : static_cast<int64_t>(m->Size);
    const int64_t to = base + static_cast<int64_t>(off);
    if (to < 0) return static_cast<toff_t>(-1);
    m->At = static_cast<uint64_t>(to);
    return m->At;
}
int MemoryClose(thandle_t) { return 0; }
toff_t MemorySize(thandle_t h) { return static_cast<Memory*>(h)->Size; }
int MemoryMap(thandle_t h, void** base, toff_t* size) {
    auto* m = static_cast<Memory*>(h);
    *base = const_cast<char*>(m->Data);
    *size = m->Size;
    return 1;
}
void MemoryUnmap(thandle_t, void*, toff_t) {}

struct TiffCloser {
    void operator()(TIFF* t) const { TIFFClose(t); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

struct OptionsFree {
    void operator()(TIFFOpenOptions* o) const { TIFFOpenOptionsFree(o); }
};

std::unique_ptr<TIFFOpenOptions, OptionsFree> Options(TiffMessages& messages) {
    std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
    if (options) {
        TIFFOpenOptionsSetErrorHandlerExtR(options.get(), OnError, &messages);
        TIFFOpenOptionsSetWarningHandlerExtR(options.get(), OnWarning, &messages);
        TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxTiffAllocation);
    }
    return options;
}

// libtiff closes the descriptor it is given; the caller keeps its own.
TiffHandle OpenFd(int fd, TiffMessages& messages) {
    auto options = Options(messages);
    if (!options) return nullptr;
    const int own = ::dup(fd);
    if (own < 0) return nullptr;
    TIFF* tif = TIFFFdOpenExt(own, "scan.tif", "r", options.get());
    if (!tif) ::close(own);
    return TiffHandle(tif);
}

TiffHandle OpenMemory(Memory& memory, TiffMessages& messages) {
    auto options = Options(messages);
    if (!options) return nullptr;
    return TiffHandle(TIFFClientOpenExt("scan.tif", "r", &memory, MemoryRead, MemoryWrite, MemorySeek, MemoryClose,
                                        MemorySize, MemoryMap, MemoryUnmap, options.get()));
}

std::string Damaged(const TiffMessages& m) {
    const std::string& said = !m.Error.empty() ? m.Error : m.Warning;
    return "Plik TIFF jest uszkodzony lub niepełny" + (said.empty() ? std::string(".") : " (" + said + ").");
}

// Masks the bits past the width, as a one-bit BMP's are.
void MaskRowEnds(TMonoBitmap& raster) {
    const int w = raster.Width();
    if (!(w & 7)) return;
    const size_t last = static_cast<size_t>(w) / 8;
    for (int y = 0; y < raster.Height(); ++y) raster.Row(y)[last] &= static_cast<uint8_t>(0xFF00u >> (w & 7));
}

bool ReadOneBit(TIFF* tif, uint32_t w, uint32_t h, TMonoBitmap& raster, std::string* detail) {
    raster.Resize(static_cast<int32_t>(w), static_cast<int32_t>(h));
    const size_t rowBytes = (static_cast<size_t>(w) + 7) / 8;
    if (!TIFFIsTiled(tif)) {
        uint32_t perStrip = h;
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &perStrip);
        perStrip = std::clamp<uint32_t>(perStrip, 1, h);
        const tmsize_t scanline = TIFFScanlineSize(tif);
        if (scanline <= 0 || static_cast<size_t>(scanline) < rowBytes) return Fail(detail, "TIFF: bad row size");
        std::vector<uint8_t> strip(static_cast<size_t>(scanline) * perStrip);
        for (uint32_t y0 = 0, s = 0; y0 < h; y0 += perStrip, ++s) {
            const uint32_t rows = std::min(perStrip, h - y0);
            const tmsize_t want = scanline * static_cast<tmsize_t>(rows);
            if (TIFFReadEncodedStrip(tif, s, strip.data(), want) < want) return false;
            for (uint32_t r = 0; r < rows; ++r)
                std::memcpy(raster.Row(static_cast<int32_t>(y0 + r)), strip.data() + static_cast<size_t>(scanline) * r,
                            rowBytes);
        }
    } else {
        uint32_t tw = 0, th = 0;
        TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tw);
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &th);
        const tmsize_t tileRow = TIFFTileRowSize(tif);
        // Tiles are 16 pixels wide at the least, so each starts on a byte.
        if (tw == 0 || th == 0 || tw % 8 || tileRow <= 0) return Fail(detail, "TIFF: bad tile size");
        std::vector<uint8_t> tile(static_cast<size_t>(tileRow) * th);
        for (uint32_t y0 = 0; y0 < h; y0 += th)
            for (uint32_t x0 = 0; x0 < w; x0 += tw) {
                const tmsize_t want = static_cast<tmsize_t>(tile.size());
                if (TIFFReadEncodedTile(tif, TIFFComputeTile(tif, x0, y0, 0, 0), tile.data(), want) < want)
                    return false;
                const size_t bytes = (std::min(tw, w - x0) + 7) / 8;
                for (uint32_t r = 0; r < th && y0 + r < h; ++r)
                    std::memcpy(raster.Row(static_cast<int32_t>(y0 + r)) + x0 / 8,
                                tile.data() + static_cast<size_t>(tileRow) * r, bytes);
            }
    }
    MaskRowEnds(raster);
    return true;
}

// Rows of RGBA arrive a band at a time (a strip's or a tile row's worth, so
// that each is decoded once), at most this many bytes of them.
constexpr uint64_t kMaxBandBytes = 64ull << 20;

uint32_t BandRows(TIFF* tif, uint32_t w, uint32_t h) {
    uint32_t rows = h;
    if (TIFFIsTiled(tif))
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &rows);
    else
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rows);
    rows = std::clamp<uint32_t>(rows, 1, h);
    const uint64_t cap = std::max<uint64_t>(1, kMaxBandBytes / (static_cast<uint64_t>(w) * 4));
    return static_cast<uint32_t>(std::min<uint64_t>(rows, cap));
}

struct RgbaImage {
    TIFFRGBAImage Image{};
    bool Begun = false;
    ~RgbaImage() {
        if (Begun) TIFFRGBAImageEnd(&Image);
    }
};

bool ReadGrey(TIFF* tif, uint32_t w, uint32_t h, uint32_t band, TMonoBitmap& raster, std::string* detail) {
    char why[1024] = "";
    RgbaImage rgba;
    if (!TIFFRGBAImageOK(tif, why) || !TIFFRGBAImageBegin(&rgba.Image, tif, 0, why))
        return Fail(detail, std::string("TIFF: ") + why);
    rgba.Begun = true;
    // The rows as stored: orientation tags are ignored, as for every scan.
    rgba.Image.req_orientation = rgba.Image.orientation;
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * band);
    TScanReduction reduction(static_cast<int32_t>(w), static_cast<int32_t>(h), raster);
    for (uint32_t y0 = 0; y0 < h; y0 += band) {
        const uint32_t rows = std::min(band, h - y0);
        rgba.Image.row_offset = static_cast<int>(y0);
        rgba.Image.col_offset = 0;
        if (!TIFFRGBAImageGet(&rgba.Image, pixels.data(), w, rows)) return false;
        for (uint32_t r = 0; r < rows; ++r) {
            const int32_t y = static_cast<int32_t>(y0 + r);
            uint8_t* grey = reduction.Row(y);
            const uint32_t* p = pixels.data() + static_cast<size_t>(w) * r;
            for (uint32_t x = 0; x < w; ++x) {
                const int a = static_cast<int>(TIFFGetA(p[x]));
                auto over = [a](uint32_t c) { return (static_cast<int>(c) * a + 255 * (255 - a) + 127) / 255; };
                grey[x] = static_cast<uint8_t>(Luminance(over(TIFFGetR(p[x])), over(TIFFGetG(p[x])), over(TIFFGetB(p[x]))));
            }
            reduction.RowDone(y);
        }
    }
    return true;
}

bool ReadPage(TIFF* tif, TiffMessages& messages, TMonoBitmap& raster, std::string* detail,
              const TScanSizeHook& sizeHook) {
    uint32_t w = 0, h = 0;
    uint16_t bits = 1, samples = 1, photometric = PHOTOMETRIC_MINISWHITE;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h))
        return Fail(detail, "TIFF: the page has no size");
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    const bool hasPhotometric = TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric) != 0;
    const bool oneBit = bits == 1 && samples == 1 &&
                        (!hasPhotometric || photometric == PHOTOMETRIC_MINISWHITE ||
                         photometric == PHOTOMETRIC_MINISBLACK);
    const uint64_t buffer = static_cast<uint64_t>(std::max<tmsize_t>(
        0, TIFFIsTiled(tif) ? TIFFTileSize(tif) : TIFFStripSize(tif)));
    const uint32_t band = oneBit || w == 0 || h == 0 ? 0 : BandRows(tif, w, h);
    const uint64_t working = buffer + (oneBit ? 0 : static_cast<uint64_t>(w) * band * 4 + ReductionBytes(w, h));
    if (!AcceptScanSize(w, h, working, sizeHook, detail)) return false;
    // Warnings from here on are the pixels' own.
    messages.Warning.clear();
    const bool ok = oneBit ? ReadOneBit(tif, w, h, raster, detail) : ReadGrey(tif, w, h, band, raster, detail);
    if (oneBit && ok) {
        if (photometric == PHOTOMETRIC_MINISBLACK)
            raster.SetPalette(TMonoBitmap::Black, TMonoBitmap::White);
        else
            raster.SetPalette(TMonoBitmap::White, TMonoBitmap::Black);
    }
    if (!messages.Error.empty() || !messages.Warning.empty()) return Fail(detail, Damaged(messages));
    if (!ok && detail && detail->empty()) *detail = Damaged(messages);
    return ok;
}

int PageCount(TIFF* tif, const TiffMessages& messages, std::string* why) {
    const tdir_t count = TIFFNumberOfDirectories(tif);
    if (!messages.Error.empty()) {
        if (why) *why = Damaged(messages);
        return 0;
    }
    if (count == 0) {
        if (why) *why = "Plik TIFF nie ma żadnej strony.";
        return 0;
    }
    return static_cast<int>(std::min<tdir_t>(count, 1'000'000));
}

void Put16(std::string& s, uint32_t v) { s += static_cast<char>(v & 255), s += static_cast<char>(v >> 8 & 255); }
void Put32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s += static_cast<char>(v >> (8 * i) & 255);
}

}  // namespace

int CountTiffPages(int fd, std::string* why) {
    TiffMessages messages;
    TiffHandle tif = OpenFd(fd, messages);
    if (!tif) {
        if (why) *why = messages.Error.empty() ? "Plik TIFF jest uszkodzony lub niepełny." : Damaged(messages);
        return 0;
    }
    return PageCount(tif.get(), messages, why);
}

bool DecodeTiffPage(int fd, int page, TMonoBitmap& raster, std::string* detail, const TScanSizeHook& sizeHook) {
    TiffMessages messages;
    TiffHandle tif = OpenFd(fd, messages);
    if (!tif) return Fail(detail, Damaged(messages));
    std::string why;
    const int pages = PageCount(tif.get(), messages, &why);
    if (pages == 0) return Fail(detail, why);
    if (page < 1 || page > pages)
        return Fail(detail, "Plik TIFF ma " + std::to_string(pages) + " stron(y); strony " + std::to_string(page) +
                                " w nim nie ma.");
    if (!TIFFSetDirectory(tif.get(), static_cast<tdir_t>(page - 1)) || !messages.Error.empty())
        return Fail(detail, Damaged(messages));
    try {
        return ReadPage(tif.get(), messages, raster, detail, sizeHook);
    } catch (const std::exception& e) {
        return Fail(detail, std::string("TIFF: ") + e.what());
    }
}

bool DecodeTiffBytes(std::string_view bytes, TMonoBitmap& raster, std::string* detail,
                     const TScanSizeHook& sizeHook) {
    TiffMessages messages;
    Memory memory{bytes.data(), bytes.size(), 0};
    TiffHandle tif = OpenMemory(memory, messages);
    if (!tif) return Fail(detail, Damaged(messages));
    try {
        return ReadPage(tif.get(), messages, raster, detail, sizeHook);
    } catch (const std::exception& e) {
        return Fail(detail, std::string("TIFF: ") + e.what());
    }
}

std::string G4AsTiff(std::string_view data, uint32_t width, uint32_t height) {
    struct Entry {
        uint16_t Tag, Type;
        uint32_t Value;
    };
    constexpr uint16_t kShort = 3, kLong = 4;
    const Entry entries[] = {
        {TIFFTAG_IMAGEWIDTH, kLong, width},
        {TIFFTAG_IMAGELENGTH, kLong, height},
        {TIFFTAG_BITSPERSAMPLE, kShort, 1},
        {TIFFTAG_COMPRESSION, kShort, COMPRESSION_CCITTFAX4},
        {TIFFTAG_PHOTOMETRIC, kShort, PHOTOMETRIC_MINISWHITE},
        {TIFFTAG_STRIPOFFSETS, kLong, 0},  // set below
        {TIFFTAG_SAMPLESPERPIXEL, kShort, 1},
        {TIFFTAG_ROWSPERSTRIP, kLong, height},
        {TIFFTAG_STRIPBYTECOUNTS, kLong, static_cast<uint32_t>(data.size())},
    };
    constexpr uint32_t count = sizeof entries / sizeof entries[0];
    const uint32_t dataAt = 8 + 2 + count * 12 + 4;
    std::string s = "II";
    Put16(s, 42);
    Put32(s, 8);
    Put16(s, count);
    for (const Entry& e : entries) {
        Put16(s, e.Tag);
        Put16(s, e.Type);
        Put32(s, 1);
        const uint32_t v = e.Tag == TIFFTAG_STRIPOFFSETS ? dataAt : e.Value;
        if (e.Type == kShort) {
            Put16(s, v);
            Put16(s, 0);
        } else {
            Put32(s, v);
        }
    }
    Put32(s, 0);
    s.append(data);
    return s;
}

}  // namespace quorlen
