// SANE sends a page as frames of rows of bytes_per_line bytes, in pieces of
// any size. One-bit grey has 1 for black (PNG has 0), 16-bit samples are in
// the host's byte order, and rows may carry padding past their pixels.
#include "core/scanner/ScanPage.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/recognition/ScanLimits.h"
#include "core/scanner/ScannerError.h"

namespace quorlen {

namespace {

constexpr size_t kReadChunk = 64 * 1024;
// Beyond this a row is no scanner's: 65535 pixels of 16-bit colour.
constexpr SANE_Int kMaxRowBytes = kMaxScanSide * 6;

[[noreturn]] void Fail(SANE_Handle handle, SANE_Status status) {
    sane_cancel(handle);
    throw TScannerError(status, ScannerStatusMessage(status));
}

[[noreturn]] void Unsupported(SANE_Handle handle, const std::string& what) {
    sane_cancel(handle);
    throw TScannerError(SANE_STATUS_UNSUPPORTED, "Skaner przesłał obraz, którego program nie umie zapisać (" + what +
                                                     "). Wybierz inny tryb skanowania.");
}

bool Raised(const std::atomic<bool>* cancel) { return cancel && cancel->load(std::memory_order_relaxed); }

int Channels(SANE_Frame format) { return format == SANE_FRAME_RGB ? 3 : 1; }

size_t NeededRowBytes(const SANE_Parameters& p) {
    const size_t samples = static_cast<size_t>(p.pixels_per_line) * static_cast<size_t>(Channels(p.format));
    return p.depth == 1 ? (samples + 7) / 8 : samples * static_cast<size_t>(p.depth / 8);
}

void Check(SANE_Handle handle, const SANE_Parameters& p) {
    if (p.format != SANE_FRAME_GRAY && p.format != SANE_FRAME_RGB && p.format != SANE_FRAME_RED &&
        p.format != SANE_FRAME_GREEN && p.format != SANE_FRAME_BLUE)
        Unsupported(handle, "format ramki " + std::to_string(p.format));
    if (p.depth != 1 && p.depth != 8 && p.depth != 16)
        Unsupported(handle, std::to_string(p.depth) + " bitów na próbkę");
    if (p.depth == 1 && p.format != SANE_FRAME_GRAY) Unsupported(handle, "kolor po 1 bicie");
    if (p.pixels_per_line <= 0 || p.pixels_per_line > kMaxScanSide || p.lines > kMaxScanSide ||
        p.bytes_per_line > kMaxRowBytes || p.bytes_per_line < static_cast<SANE_Int>(NeededRowBytes(p)))
        Unsupported(handle, "strona " + std::to_string(p.pixels_per_line) + " × " + std::to_string(p.lines) +
                                " pikseli, " + std::to_string(p.bytes_per_line) + " bajtów w wierszu");
}

uint8_t Sample(const uint8_t* row, size_t i, int depth) {
    if (depth == 8) return row[i];
    uint16_t v;
    std::memcpy(&v, row + 2 * i, 2);
    return static_cast<uint8_t>(v >> 8);
}

// One SANE row (grey or interleaved colour) into one PNG row.
class TRowConverter {
public:
    TRowConverter(const SANE_Parameters& p, bool colour)
        : width_(p.pixels_per_line), depth_(p.depth), rgb_(p.format == SANE_FRAME_RGB) {
        Kind = p.depth == 1 ? TPixelKind::Mono : rgb_ && colour ? TPixelKind::Rgb : TPixelKind::Grey;
        out_.resize(PngRowBytes(Kind, width_));
    }
    TPixelKind Kind;
    int Width() const { return width_; }

    const uint8_t* Convert(const uint8_t* in) {
        const size_t w = static_cast<size_t>(width_);
        if (Kind == TPixelKind::Mono) {
            for (size_t i = 0; i < out_.size(); ++i) out_[i] = static_cast<uint8_t>(~in[i]);
            // Bits past the last pixel are white, so that equal pages give
            // equal files.
            if (w % 8) out_.back() |= static_cast<uint8_t>(0xFFu >> (w % 8));
        } else if (Kind == TPixelKind::Rgb || !rgb_) {
            if (depth_ == 8)
                std::memcpy(out_.data(), in, out_.size());
            else
                for (size_t i = 0; i < out_.size(); ++i) out_[i] = Sample(in, i, depth_);
        } else {
            for (size_t x = 0; x < w; ++x) {
                const unsigned r = Sample(in, 3 * x, depth_), g = Sample(in, 3 * x + 1, depth_),
                               b = Sample(in, 3 * x + 2, depth_);
                out_[x] = static_cast<uint8_t>((299 * r + 587 * g + 114 * b + 500) / 1000);
            }
        }
        return out_.data();
    }

private:
    int width_, depth_;
    bool rgb_;
    std::vector<uint8_t> out_;
};

// Whole rows out of sane_read's pieces.
class TRowReader {
public:
    TRowReader(SANE_Handle handle, size_t rowBytes, const std::atomic<bool>* cancel)
        : handle_(handle),
          rowBytes_(rowBytes),
          cancel_(cancel),
          buffer_(std::max(kReadChunk / rowBytes, size_t{1}) * rowBytes) {}

    // The next row, or nullptr at the frame's end (End says which end).
    const uint8_t* Next() {
        if (filled_ - start_ >= rowBytes_) {
            const uint8_t* row = buffer_.data() + start_;
            start_ += rowBytes_;
            return row;
        }
        // The piece of a row left over goes to the front, then more comes.
        std::memmove(buffer_.data(), buffer_.data() + start_, filled_ - start_);
        filled_ -= start_;
        start_ = 0;
        while (filled_ < rowBytes_) {
            if (Raised(cancel_)) {
                sane_cancel(handle_);
                End = TPageRead::Cancelled;
                return nullptr;
            }
            SANE_Int got = 0;
            const SANE_Status status =
                sane_read(handle_, buffer_.data() + filled_, static_cast<SANE_Int>(buffer_.size() - filled_), &got);
            if (status == SANE_STATUS_EOF) return nullptr;
            if (status == SANE_STATUS_CANCELLED) End = TPageRead::Cancelled;
            if (status == SANE_STATUS_NO_DOCS) End = TPageRead::NoMorePages;
            if (status == SANE_STATUS_CANCELLED || status == SANE_STATUS_NO_DOCS) {
                sane_cancel(handle_);
                return nullptr;
            }
            if (status != SANE_STATUS_GOOD) Fail(handle_, status);
            filled_ += static_cast<size_t>(std::max(got, 0));
        }
        return Next();
    }
    TPageRead End = TPageRead::Page;

private:
    SANE_Handle handle_;
    size_t rowBytes_;
    const std::atomic<bool>* cancel_;
    std::vector<uint8_t> buffer_;
    size_t filled_ = 0, start_ = 0;
};

// A page in one frame of known height goes to the sink row by row; the
// scanner's rows past the height it announced are dropped, rows missing at
// the end are white.
TPageRead StreamPage(SANE_Handle handle, const SANE_Parameters& p, bool colour, TPageSink& sink,
                     const std::atomic<bool>* cancel) {
    TRowConverter convert(p, colour);
    TRowReader reader(handle, static_cast<size_t>(p.bytes_per_line), cancel);
    sink.Begin(convert.Width(), p.lines, convert.Kind);
    int rows = 0;
    while (const uint8_t* row = reader.Next())
        if (rows < p.lines) {
            sink.Row(convert.Convert(row));
            ++rows;
        }
    if (reader.End != TPageRead::Page) return reader.End;
    if (rows < p.lines) {
        const std::vector<uint8_t> white(PngRowBytes(convert.Kind, convert.Width()), 0xFF);
        for (; rows < p.lines; ++rows) sink.Row(white.data());
    }
    return TPageRead::Page;
}

// Frames collected whole: three colour passes, or a height the scanner
// learns only at the page's end.
TPageRead CollectPage(SANE_Handle handle, SANE_Parameters p, bool colour, TPageSink& sink,
                      const std::atomic<bool>* cancel) {
    const SANE_Parameters first = p;
    std::vector<std::vector<uint8_t>> planes(3);  // grey or colour in [0]; red, green, blue passes in [0..2]
    size_t rows = 0;
    while (true) {
        const int plane = p.format == SANE_FRAME_GREEN ? 1 : p.format == SANE_FRAME_BLUE ? 2 : 0;
        TRowReader reader(handle, static_cast<size_t>(p.bytes_per_line), cancel);
        const size_t need = NeededRowBytes(p);
        size_t frameRows = 0;
        while (const uint8_t* row = reader.Next()) {
            if (++frameRows > static_cast<size_t>(kMaxScanSide)) Unsupported(handle, "strona bez końca");
            planes[static_cast<size_t>(plane)].insert(planes[static_cast<size_t>(plane)].end(), row, row + need);
        }
        if (reader.End != TPageRead::Page) return reader.End;
        rows = rows ? std::min(rows, frameRows) : frameRows;
        if (p.last_frame) break;
        const SANE_Status status = sane_start(handle);
        if (status != SANE_STATUS_GOOD) Fail(handle, status);
        if (sane_get_parameters(handle, &p) != SANE_STATUS_GOOD) Fail(handle, SANE_STATUS_IO_ERROR);
        Check(handle, p);
        if (p.pixels_per_line != first.pixels_per_line || p.depth != first.depth || p.format == SANE_FRAME_GRAY ||
            p.format == SANE_FRAME_RGB)
            Unsupported(handle, "ramki barw niezgodne ze sobą");
    }
    if (rows == 0) return TPageRead::NoMorePages;
    const bool passes = first.format != SANE_FRAME_GRAY && first.format != SANE_FRAME_RGB;
    SANE_Parameters whole = first;
    if (passes) whole.format = SANE_FRAME_RGB;
    TRowConverter convert(whole, colour);
    sink.Begin(convert.Width(), static_cast<int>(rows), convert.Kind);
    const size_t sampleBytes = static_cast<size_t>(first.depth / 8);
    const size_t width = static_cast<size_t>(first.pixels_per_line);
    std::vector<uint8_t> joined(passes ? 3 * width * sampleBytes : 0);
    for (size_t y = 0; y < rows; ++y) {
        if (!passes) {
            sink.Row(convert.Convert(planes[0].data() + y * NeededRowBytes(first)));
            continue;
        }
        for (size_t c = 0; c < 3; ++c) {
            if (planes[c].size() < (y + 1) * width * sampleBytes) Unsupported(handle, "brak jednej z barw");
            for (size_t x = 0; x < width; ++x)
                std::memcpy(&joined[(3 * x + c) * sampleBytes], &planes[c][(y * width + x) * sampleBytes], sampleBytes);
        }
        sink.Row(convert.Convert(joined.data()));
    }
    return TPageRead::Page;
}

}  // namespace

TPageRead ReadPage(TScannerDevice& device, bool colour, TPageSink& sink, const std::atomic<bool>* cancel) {
    SANE_Handle handle = device.Handle();
    if (Raised(cancel)) return TPageRead::Cancelled;
    const SANE_Status status = sane_start(handle);
    // Some backends end a feeder batch with EOF instead of NO_DOCS.
    if (status == SANE_STATUS_NO_DOCS || status == SANE_STATUS_EOF) return TPageRead::NoMorePages;
    if (status == SANE_STATUS_CANCELLED) return TPageRead::Cancelled;
    if (status != SANE_STATUS_GOOD) Fail(handle, status);
    SANE_Parameters p{};
    if (sane_get_parameters(handle, &p) != SANE_STATUS_GOOD) Fail(handle, SANE_STATUS_IO_ERROR);
    Check(handle, p);
    try {
        if ((p.format == SANE_FRAME_GRAY || p.format == SANE_FRAME_RGB) && p.lines > 0 && p.last_frame)
            return StreamPage(handle, p, colour, sink, cancel);
        return CollectPage(handle, p, colour, sink, cancel);
    } catch (const TScannerError&) {
        throw;
    } catch (...) {
        // The sink failed (a full disk): the device must not go on sending.
        sane_cancel(handle);
        throw;
    }
}

}  // namespace quorlen
