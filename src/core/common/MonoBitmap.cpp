// Rows are padded to whole 64-bit words for the readers; drawing sets pixel
// by pixel, as sheets draw little, and a foreign palette is rewritten to
// {white, black} once instead of being consulted on every read.
#include "core/common/MonoBitmap.h"

#include <algorithm>
#include <stdexcept>

namespace quorlen {

void TMonoBitmap::Resize(int32_t width, int32_t height) {
    if (width < 0 || height < 0) throw std::invalid_argument("TMonoBitmap: negative size");
    width_ = width;
    height_ = height;
    stride_ = ((static_cast<size_t>(width) + 63) / 64) * 8;
    bits_.assign(stride_ * static_cast<size_t>(height), 0);
    SetPalette(White, Black);
}

void TMonoBitmap::FillRect(int32_t x0, int32_t y0, int32_t x1, int32_t y1, bool black) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, width_);
    y1 = std::min(y1, height_);
    for (int32_t y = y0; y < y1; ++y)
        for (int32_t x = x0; x < x1; ++x) SetPixel(x, y, black);
}

void TMonoBitmap::FrameRect(int32_t x0, int32_t y0, int32_t x1, int32_t y1, bool black) {
    if (x1 <= x0 || y1 <= y0) return;
    FillRect(x0, y0, x1, y0 + 1, black);
    FillRect(x0, y1 - 1, x1, y1, black);
    FillRect(x0, y0, x0 + 1, y1, black);
    FillRect(x1 - 1, y0, x1, y1, black);
}

void TMonoBitmap::NormalizePalette() {
    if (HasStandardPalette()) return;
    const bool zeroIsInk = isBlack_[0];
    const bool oneIsInk = isBlack_[1];
    for (int32_t y = 0; y < height_; ++y) {
        uint8_t* row = Row(y);
        for (size_t i = 0; i < stride_; ++i) {
            uint8_t b = row[i];
            row[i] = static_cast<uint8_t>((oneIsInk ? b : 0) | (zeroIsInk ? static_cast<uint8_t>(~b) : 0));
        }
        // Padding bits past the width must stay paper.
        if (width_ & 7) row[width_ >> 3] &= static_cast<uint8_t>(0xFF00u >> (width_ & 7));
        for (size_t i = (static_cast<size_t>(width_) + 7) / 8; i < stride_; ++i) row[i] = 0;
    }
    SetPalette(White, Black);
}

bool TMonoBitmap::operator==(const TMonoBitmap& other) const {
    if (width_ != other.width_ || height_ != other.height_) return false;
    for (int32_t y = 0; y < height_; ++y)
        for (int32_t x = 0; x < width_; ++x)
            if (Pixel(x, y) != other.Pixel(x, y)) return false;
    return true;
}

}  // namespace quorlen
