#pragma once

#include <cstdint>
#include <vector>

#include "core/common/MonoBitmap.h"

namespace quorlen {

// Rotates the raster in place by angleDegrees about its outer top-left
// corner; width and height stay. Angle 0 leaves the raster unchanged.
void Deskew(TMonoBitmap& raster, double angleDegrees);

// An 8-bit single-channel image. The rotation's input is black and white, so
// all three channels of a colour working image would be equal; one channel
// gives the identical result at a third of the cost.
struct TGrayImage {
    int32_t Width = 0;
    int32_t Height = 0;
    std::vector<uint8_t> Pixels;  // row-major, Width × Height
    TGrayImage() = default;
    TGrayImage(int32_t w, int32_t h, uint8_t fill = 255)
        : Width(w), Height(h), Pixels(static_cast<size_t>(w) * static_cast<size_t>(h), fill) {}
    uint8_t At(int32_t x, int32_t y) const {
        return Pixels[static_cast<size_t>(y) * static_cast<size_t>(Width) + static_cast<size_t>(x)];
    }
    uint8_t& At(int32_t x, int32_t y) {
        return Pixels[static_cast<size_t>(y) * static_cast<size_t>(Width) + static_cast<size_t>(x)];
    }
};

// Writes dst from src rotated by angleDegrees about (cx, cy); bilinear on a
// nearest-pixel base with signed weights. dst pixels whose source lies off
// src keep their value.
void RotateImage(const TGrayImage& src, TGrayImage& dst, int cx, int cy, double angleDegrees);

}  // namespace quorlen
