#include "core/printing/SheetFont.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <vector>

namespace quorlen {

namespace {

constexpr int kTargetLineHeight = 13;
constexpr const char* kDefaultFace = "DejaVu Sans";

std::string FindFontFile(const char* family) {
    if (const char* forced = std::getenv("QUORLEN_SHEET_FONT")) return forced;
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (!config) throw std::runtime_error("fontconfig could not be initialised");
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family));
    FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    std::string file;
    if (match) {
        FcChar8* path = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path)
            file = reinterpret_cast<const char*>(path);
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    FcConfigDestroy(config);
    if (file.empty()) throw std::runtime_error(std::string("no font found for ") + family);
    return file;
}

// Decodes UTF-8; malformed bytes become U+FFFD so that bad text never stops a print.
std::vector<char32_t> DecodeUtf8(std::string_view s) {
    std::vector<char32_t> out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + static_cast<size_t>(len) > s.size()) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        char32_t cp = len == 1 ? c : (c & (0xFF >> (len + 1)));
        bool ok = true;
        for (int k = 1; k < len; ++k) {
            unsigned char cc = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
            if ((cc >> 6) != 2) ok = false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (!ok) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        out.push_back(cp);
        i += static_cast<size_t>(len);
    }
    return out;
}

}  // namespace

struct TSheetFont::Impl {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    std::mutex mutex;
};

TSheetFont& TSheetFont::Instance() {
    static TSheetFont font;
    return font;
}

TSheetFont::TSheetFont() : impl_(new Impl) {
    try {
        fontFile_ = FindFontFile(kDefaultFace);
        if (FT_Init_FreeType(&impl_->library)) throw std::runtime_error("FreeType could not be initialised");
        if (FT_New_Face(impl_->library, fontFile_.c_str(), 0, &impl_->face))
            throw std::runtime_error("cannot open the sheet font " + fontFile_);
        // The largest pixel size whose line height does not exceed the target;
        // DejaVu Sans reaches it exactly.
        for (int ppem = 24; ppem >= 6; --ppem) {
            FT_Set_Pixel_Sizes(impl_->face, 0, static_cast<FT_UInt>(ppem));
            const FT_Size_Metrics& m = impl_->face->size->metrics;
            int height = static_cast<int>((m.ascender - m.descender) >> 6);
            if (height <= kTargetLineHeight) {
                pixelSize_ = ppem;
                lineHeight_ = height;
                ascender_ = static_cast<int>(m.ascender >> 6);
                break;
            }
        }
        if (pixelSize_ == 0) throw std::runtime_error("the sheet font has no usable size");
    } catch (...) {
        if (impl_->face) FT_Done_Face(impl_->face);
        if (impl_->library) FT_Done_FreeType(impl_->library);
        delete impl_;
        throw;
    }
}

TSheetFont::~TSheetFont() {
    FT_Done_Face(impl_->face);
    FT_Done_FreeType(impl_->library);
    delete impl_;
}

int TSheetFont::TextWidth(std::string_view utf8) const {
    std::lock_guard lock(impl_->mutex);
    int width = 0;
    for (char32_t cp : DecodeUtf8(utf8)) {
        if (FT_Load_Char(impl_->face, cp, FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO)) continue;
        width += static_cast<int>(impl_->face->glyph->advance.x >> 6);
    }
    return width;
}

void TSheetFont::DrawText(TMonoBitmap& raster, int x, int y, std::string_view utf8,
                          std::optional<TTextClip> clip) const {
    TTextClip c = clip.value_or(TTextClip{0, 0, raster.Width(), raster.Height()});
    c.Left = std::max(c.Left, 0);
    c.Top = std::max(c.Top, 0);
    c.Right = std::min(c.Right, raster.Width());
    c.Bottom = std::min(c.Bottom, raster.Height());

    const int width = TextWidth(utf8);
    for (int yy = std::max(y, c.Top); yy < std::min(y + lineHeight_, c.Bottom); ++yy)
        for (int xx = std::max(x, c.Left); xx < std::min(x + width, c.Right); ++xx) raster.SetPixel(xx, yy, false);

    std::lock_guard lock(impl_->mutex);
    const int baseline = y + ascender_;
    int pen = x;
    for (char32_t cp : DecodeUtf8(utf8)) {
        if (FT_Load_Char(impl_->face, cp, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO)) continue;
        FT_GlyphSlot g = impl_->face->glyph;
        const FT_Bitmap& bm = g->bitmap;
        if (bm.pixel_mode == FT_PIXEL_MODE_MONO) {
            for (unsigned row = 0; row < bm.rows; ++row) {
                int py = baseline - g->bitmap_top + static_cast<int>(row);
                if (py < c.Top || py >= c.Bottom) continue;
                const unsigned char* src = bm.buffer + static_cast<ptrdiff_t>(row) * bm.pitch;
                for (unsigned col = 0; col < bm.width; ++col) {
                    if (!(src[col >> 3] & (0x80 >> (col & 7)))) continue;
                    int px = pen + g->bitmap_left + static_cast<int>(col);
                    if (px >= c.Left && px < c.Right) raster.SetPixel(px, py, true);
                }
            }
        }
        pen += static_cast<int>(g->advance.x >> 6);
    }
}

}  // namespace quorlen
