#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/common/MonoBitmap.h"

namespace quorlen {

struct TTextClip {
    int Left, Top, Right, Bottom;  // exclusive right and bottom
};

// The sheet font: one regular sans face found through fontconfig, rendered
// without anti-aliasing so that the one-bit sheet gets crisp glyphs.
//
// Text height: the face's line height at the chosen size, ascender minus
// descender of FreeType's grid-fitted size metrics, in whole pixels. Every
// string, whatever its characters, is that high, and the white box behind it
// is that high. The pixel size is the largest whole size whose text height
// does not exceed 13 px, the height the sheet layout's reference numbers
// assume; DejaVu Sans reaches 13 exactly at 10 px.
//
// One instance serves the whole process. Glyphs are rendered once and cached;
// the face and the cache sit behind a mutex because a FreeType face is not
// thread-safe and sheets are drawn on several threads at once. The environment
// variable QUORLEN_SHEET_FONT names a font file to use instead of the
// fontconfig match.
class TSheetFont {
public:
    static TSheetFont& Instance();

    // Line height in pixels: the height of every text string.
    int TextHeight() const { return lineHeight_; }
    int TextWidth(std::string_view utf8) const;
    // Draws UTF-8 text black on an opaque white box with its top-left corner at
    // (x, y); everything is clipped to clip when given, else to the raster.
    void DrawText(TMonoBitmap& raster, int x, int y, std::string_view utf8,
                  std::optional<TTextClip> clip = std::nullopt) const;

    const std::string& FontFile() const { return fontFile_; }
    int PixelSize() const { return pixelSize_; }

    TSheetFont(const TSheetFont&) = delete;
    TSheetFont& operator=(const TSheetFont&) = delete;
    ~TSheetFont();

private:
    TSheetFont();
    struct Impl;
    Impl* impl_;
    std::string fontFile_;
    int pixelSize_ = 0;
    int lineHeight_ = 0;
    int ascender_ = 0;
};

}  // namespace quorlen
