#pragma once

#include <cstdint>
#include <vector>

#include "core/common/MonoBitmap.h"

namespace quorlen {

// Rotates the raster in place by angleDegrees about its outer top-left
// corner; width and height stay. Angle 0 leaves the raster unchanged. The
// bands the turned picture no longer covers take its nearest edge pixel: a
// scanner's dark border runs on to the raster's edge, as it would have been
// scanned, and a plain paper edge stays white. White there would put paper
// outside the border, and the corner search would stop on the border.
void Deskew(TMonoBitmap& raster, double angleDegrees);

// The same rotation made on demand, in square tiles: a reader that looks at a
// few per cent of the page rotates only the tiles it touches. Each pixel of a
// made tile is exactly the pixel Deskew gives; pixels of tiles not yet made
// must not be read. With angle 0 (or a non-finite one) the raster stays as it
// is and every tile counts as made.
class TDeskewTiles {
public:
    static constexpr int TileSide = 32;  // pixels; a multiple of 8, so tiles share no byte

    // Takes the raster's pixels as the source and leaves it blank for the tiles.
    TDeskewTiles(TMonoBitmap& raster, double angleDegrees);
    TDeskewTiles(const TDeskewTiles&) = delete;
    TDeskewTiles& operator=(const TDeskewTiles&) = delete;

    // Makes the tile holding (x, y); a point off the raster needs none.
    void Make(int x, int y) {
        if (active_ && x >= 0 && y >= 0 && x < raster_.Width() && y < raster_.Height())
            MakeTile(x / TileSide, y / TileSide);
    }
    // Makes every tile that [x0, x1] × [y0, y1] touches, clipped to the raster.
    void MakeRect(int x0, int y0, int x1, int y1);
    void MakeAll() { MakeRect(0, 0, raster_.Width() - 1, raster_.Height() - 1); }
    int TilesMade() const;
    int TileCount() const { return tilesX_ * tilesY_; }

private:
    void MakeTile(int tileX, int tileY);

    TMonoBitmap& raster_;
    TMonoBitmap source_;
    bool active_ = false;
    int grey_[2] = {0, 0};
    double sin_ = 0, cos_ = 1;
    int tilesX_ = 0, tilesY_ = 0;
    std::vector<uint8_t> made_;
};

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
