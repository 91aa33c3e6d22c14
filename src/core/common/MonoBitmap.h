#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace quorlen {

// A one-bit raster: black ink on white paper.
//
// Rows are packed most significant bit first and padded to whole 64-bit words,
// so that scanners of the raster can test eight or sixty-four pixels at once.
// Each bit indexes a two-entry palette. Rasters we create use the palette
// {white, black} (bit 1 = ink); a raster taken over from a one-bit BMP keeps the
// file's palette as stored, which is why pixel reads go through the palette and
// callers compare with Black and White explicitly.
class TMonoBitmap {
public:
    static constexpr uint32_t Black = 0x000000u;
    static constexpr uint32_t White = 0xFFFFFFu;
    // Returned for reads outside the raster: neither black nor white, so that a
    // search skipping either colour stops there and it never counts as ink.
    static constexpr uint32_t Outside = 0xFF000000u;

    TMonoBitmap() { SetPalette(White, Black); }
    TMonoBitmap(int32_t width, int32_t height) { Resize(width, height); }

    TMonoBitmap(const TMonoBitmap& other)
        : width_(other.width_), height_(other.height_), stride_(other.stride_), bits_(other.bits_) {
        SetPalette(other.palette_[0], other.palette_[1]);
    }
    TMonoBitmap& operator=(const TMonoBitmap& other) {
        if (this != &other) {
            width_ = other.width_;
            height_ = other.height_;
            stride_ = other.stride_;
            bits_ = other.bits_;
            SetPalette(other.palette_[0], other.palette_[1]);
        }
        return *this;
    }
    TMonoBitmap(TMonoBitmap&& other) noexcept { *this = std::move(other); }
    TMonoBitmap& operator=(TMonoBitmap&& other) noexcept {
        if (this != &other) {
            width_ = other.width_;
            height_ = other.height_;
            stride_ = other.stride_;
            bits_ = std::move(other.bits_);
            SetPalette(other.palette_[0], other.palette_[1]);
            other.width_ = other.height_ = 0;
            other.stride_ = 0;
            other.bits_.clear();
        }
        return *this;
    }

    // Discards the contents: the raster becomes all white with palette {white, black}.
    void Resize(int32_t width, int32_t height);
    void Clear() { Resize(0, 0); }

    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    bool Empty() const { return width_ <= 0 || height_ <= 0; }
    // Bytes per row; always a multiple of 8.
    size_t Stride() const { return stride_; }

    uint8_t* Row(int32_t y) { return bits_.data() + static_cast<size_t>(y) * stride_; }
    const uint8_t* Row(int32_t y) const { return bits_.data() + static_cast<size_t>(y) * stride_; }

    bool Contains(int32_t x, int32_t y) const {
        return static_cast<uint32_t>(x) < static_cast<uint32_t>(width_) &&
               static_cast<uint32_t>(y) < static_cast<uint32_t>(height_);
    }
    // The raw bit, no bounds check.
    int Bit(int32_t x, int32_t y) const { return (Row(y)[x >> 3] >> (7 - (x & 7))) & 1; }

    // RGB colour of the pixel, Outside when (x, y) lies off the raster.
    uint32_t Pixel(int32_t x, int32_t y) const { return Contains(x, y) ? palette_[Bit(x, y)] : Outside; }
    bool IsBlack(int32_t x, int32_t y) const { return Contains(x, y) && isBlack_[Bit(x, y)]; }
    bool IsWhite(int32_t x, int32_t y) const { return Contains(x, y) && isWhite_[Bit(x, y)]; }

    // Sets a pixel to ink or paper in terms of the palette; pixels off the
    // raster are ignored. With a palette lacking that colour nothing changes.
    void SetPixel(int32_t x, int32_t y, bool black) {
        if (!Contains(x, y)) return;
        int bit = black ? inkBit_ : paperBit_;
        if (bit < 0) return;
        uint8_t mask = static_cast<uint8_t>(0x80u >> (x & 7));
        uint8_t& byte = Row(y)[x >> 3];
        byte = bit ? static_cast<uint8_t>(byte | mask) : static_cast<uint8_t>(byte & ~mask);
    }

    // Fills the rectangle [x0, x1) × [y0, y1), clipped to the raster.
    void FillRect(int32_t x0, int32_t y0, int32_t x1, int32_t y1, bool black);
    // One-pixel outline of the rectangle [x0, x1) × [y0, y1), clipped.
    void FrameRect(int32_t x0, int32_t y0, int32_t x1, int32_t y1, bool black);

    uint32_t PaletteColor(int index) const { return palette_[index & 1]; }
    void SetPalette(uint32_t colour0, uint32_t colour1) {
        palette_[0] = colour0;
        palette_[1] = colour1;
        for (int i = 0; i < 2; ++i) {
            isBlack_[i] = palette_[i] == Black;
            isWhite_[i] = palette_[i] == White;
        }
        inkBit_ = isBlack_[1] ? 1 : (isBlack_[0] ? 0 : -1);
        paperBit_ = isWhite_[0] ? 0 : (isWhite_[1] ? 1 : -1);
    }
    // The bit value that means ink, -1 when the palette holds no black.
    int InkBit() const { return inkBit_; }
    bool HasStandardPalette() const { return palette_[0] == White && palette_[1] == Black; }
    // Rewrites the bits so that the palette becomes {white, black}; colours
    // that are neither are treated as paper.
    void NormalizePalette();

    std::vector<uint8_t>& Bits() { return bits_; }
    const std::vector<uint8_t>& Bits() const { return bits_; }

    // The raster's drawing lock: held by whoever fills or reads the raster
    // while another thread may look at it.
    std::mutex& DrawingLock() const { return *lock_; }

    bool operator==(const TMonoBitmap& other) const;

private:
    int32_t width_ = 0;
    int32_t height_ = 0;
    size_t stride_ = 0;
    std::vector<uint8_t> bits_;
    uint32_t palette_[2] = {White, Black};
    bool isBlack_[2] = {false, true};
    bool isWhite_[2] = {true, false};
    int inkBit_ = 1;
    int paperBit_ = 0;
    std::unique_ptr<std::mutex> lock_ = std::make_unique<std::mutex>();
};

}  // namespace quorlen
