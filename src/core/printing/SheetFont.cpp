// One face found by fontconfig, rendered by FreeType in mono mode at the
// largest pixel size whose line height fits; glyphs are cached per process.
#include "core/printing/SheetFont.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <unordered_map>
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

// A glyph as FreeType rendered it in mono mode, kept for the life of the
// process: sheets use a few dozen characters, and with the cache the face is
// touched once per character instead of once per drawn string.
struct TSheetGlyph {
    int Left = 0;     // bitmap offset from the pen position
    int Top = 0;      // bitmap rows above the baseline
    int Advance = 0;  // whole pixels
    int Width = 0;
    int Rows = 0;
    std::vector<uint8_t> Ink;  // Width × Rows, 1 = ink
};

struct TSheetFont::Impl {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    // Guards the face and the cache: a FreeType face is not thread-safe, and
    // sheets are drawn on several threads at once (scan simulation).
    std::mutex mutex;
    // Node-based, so a glyph's address stays valid while others are added.
    std::unordered_map<char32_t, TSheetGlyph> glyphs;

    // The caller holds the mutex.
    const TSheetGlyph& Glyph(char32_t cp) {
        auto it = glyphs.find(cp);
        if (it != glyphs.end()) return it->second;
        TSheetGlyph g;
        if (FT_Load_Char(face, cp, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) == 0) {
            FT_GlyphSlot slot = face->glyph;
            const FT_Bitmap& bm = slot->bitmap;
            g.Left = slot->bitmap_left;
            g.Top = slot->bitmap_top;
            g.Advance = static_cast<int>(slot->advance.x >> 6);
            g.Width = static_cast<int>(bm.width);
            g.Rows = static_cast<int>(bm.rows);
            g.Ink.assign(static_cast<size_t>(g.Width) * static_cast<size_t>(g.Rows), 0);
            for (int row = 0; row < g.Rows; ++row) {
                const unsigned char* src = bm.buffer + static_cast<ptrdiff_t>(row) * bm.pitch;
                for (int col = 0; col < g.Width; ++col) {
                    bool ink = bm.pixel_mode == FT_PIXEL_MODE_MONO   ? (src[col >> 3] & (0x80 >> (col & 7))) != 0
                               : bm.pixel_mode == FT_PIXEL_MODE_GRAY ? src[col] >= 128
                                                                     : false;
                    g.Ink[static_cast<size_t>(row * g.Width + col)] = ink ? 1 : 0;
                }
            }
        }
        return glyphs.emplace(cp, std::move(g)).first->second;
    }

    std::vector<const TSheetGlyph*> Glyphs(std::string_view utf8) {
        std::vector<char32_t> text = DecodeUtf8(utf8);
        std::vector<const TSheetGlyph*> out;
        out.reserve(text.size());
        std::lock_guard lock(mutex);
        for (char32_t cp : text) out.push_back(&Glyph(cp));
        return out;
    }
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
    int width = 0;
    for (const TSheetGlyph* g : impl_->Glyphs(utf8)) width += g->Advance;
    return width;
}

void TSheetFont::DrawText(TMonoBitmap& raster, int x, int y, std::string_view utf8,
                          std::optional<TTextClip> clip) const {
    TTextClip c = clip.value_or(TTextClip{0, 0, raster.Width(), raster.Height()});
    c.Left = std::max(c.Left, 0);
    c.Top = std::max(c.Top, 0);
    c.Right = std::min(c.Right, raster.Width());
    c.Bottom = std::min(c.Bottom, raster.Height());

    // Cached glyphs never change, so drawing needs no lock.
    const std::vector<const TSheetGlyph*> glyphs = impl_->Glyphs(utf8);
    int width = 0;
    for (const TSheetGlyph* g : glyphs) width += g->Advance;
    raster.FillRect(std::max(x, c.Left), std::max(y, c.Top), std::min(x + width, c.Right),
                    std::min(y + lineHeight_, c.Bottom), false);

    const int baseline = y + ascender_;
    int pen = x;
    for (const TSheetGlyph* g : glyphs) {
        for (int row = 0; row < g->Rows; ++row) {
            const int py = baseline - g->Top + row;
            if (py < c.Top || py >= c.Bottom) continue;
            for (int col = 0; col < g->Width; ++col) {
                const int px = pen + g->Left + col;
                if (g->Ink[static_cast<size_t>(row * g->Width + col)] && px >= c.Left && px < c.Right)
                    raster.SetPixel(px, py, true);
            }
        }
        pen += g->Advance;
    }
}

}  // namespace quorlen
