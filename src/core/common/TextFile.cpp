// The byte-order mark decides first; without one, strict UTF-8 validation and
// a check of the characters used tell UTF-8 from Windows-1250, which iconv
// then converts (through a table built once for the single-byte code page).
#include "core/common/TextFile.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "core/common/RegularFile.h"

namespace quorlen {

namespace {

class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("no conversion from ") + from + " to " + to);
    }
    ~Iconv() { iconv_close(cd_); }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    // Whole-input conversion; false at the first character that cannot be converted.
    bool Convert(std::string_view in, std::string& out) {
        out.clear();
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        char buffer[4096];
        while (srcLeft > 0) {
            char* dst = buffer;
            size_t dstLeft = sizeof buffer;
            size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            out.append(buffer, static_cast<size_t>(dst - buffer));
            if (r == static_cast<size_t>(-1) && errno != E2BIG) return false;
            // glibc counts irreversible conversions in r; for our code pages a
            // non-zero count means a character was replaced, i.e. lost.
            if (r != static_cast<size_t>(-1) && r > 0) return false;
        }
        return true;
    }

private:
    iconv_t cd_;
};

// The length of the UTF-8 sequence at s[i] with its code point in *cp, or 0
// when the byte there does not start a valid sequence (overlong forms and
// surrogates included).
int Utf8SequenceAt(std::string_view s, size_t i, char32_t* cp) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    int len;
    if (c < 0x80) {
        *cp = c;
        return 1;
    } else if ((c >> 5) == 6) {
        len = 2;
        *cp = c & 0x1F;
    } else if ((c >> 4) == 14) {
        len = 3;
        *cp = c & 0x0F;
    } else if ((c >> 3) == 30) {
        len = 4;
        *cp = c & 0x07;
    } else {
        return 0;
    }
    if (i + static_cast<size_t>(len) > s.size()) return 0;
    for (int k = 1; k < len; ++k) {
        const unsigned char cc = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
        if ((cc >> 6) != 2) return 0;
        *cp = (*cp << 6) | (cc & 0x3F);
    }
    if ((len == 2 && *cp < 0x80) || (len == 3 && *cp < 0x800) || (len == 4 && (*cp < 0x10000 || *cp > 0x10FFFF)) ||
        (*cp >= 0xD800 && *cp <= 0xDFFF))
        return 0;
    return len;
}

// Walks the code points of UTF-8 text, calling visit(codePoint, length) for
// each; false at the first byte that does not belong to valid UTF-8.
template <typename Visit>
bool ForEachUtf8CodePoint(std::string_view s, Visit visit) {
    for (size_t i = 0; i < s.size();) {
        char32_t cp;
        const int len = Utf8SequenceAt(s, i, &cp);
        if (len == 0) return false;
        visit(cp, len);
        i += static_cast<size_t>(len);
    }
    return true;
}

// Text marked as UTF-8 whose bytes are not all UTF-8: each stray byte becomes
// U+FFFD, as an unassigned Windows-1250 byte does, so that the rest of the
// program only ever sees valid UTF-8 and the file still opens.
std::string RepairUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        char32_t cp;
        const int len = Utf8SequenceAt(s, i, &cp);
        if (len == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(s.substr(i, static_cast<size_t>(len)));
            i += static_cast<size_t>(len);
        }
    }
    return out;
}

bool IsValidUtf8(std::string_view s) {
    return ForEachUtf8CodePoint(s, [](char32_t, int) {});
}

// The letters and punctuation of Polish and Western text: Latin-1 Supplement
// and Latin Extended-A, general punctuation (dashes, typographic quotes) and
// the euro sign.
bool IsTextCharacter(char32_t cp) {
    return (cp >= 0xA0 && cp <= 0x17F) || (cp >= 0x2000 && cp <= 0x206F) || cp == 0x20AC;
}

// Windows-1250 bytes are often valid UTF-8 by accident: "ÓŁ" (D3 A3) is the
// Cyrillic U+04E3. Polish text in that code page never decodes into the ranges
// above, so bytes are taken as UTF-8 only when every non-ASCII character lands
// there; pure ASCII reads the same either way.
bool LooksLikeUtf8Text(std::string_view s) {
    bool multiByte = false;
    bool textOnly = true;
    const bool valid = ForEachUtf8CodePoint(s, [&](char32_t cp, int len) {
        if (len == 1) return;
        multiByte = true;
        if (!IsTextCharacter(cp)) textOnly = false;
    });
    return valid && multiByte && textOnly;
}

std::string Convert(const char* from, std::string_view bytes) {
    std::string out;
    Iconv conv("UTF-8", from);
    if (!conv.Convert(bytes, out)) throw std::runtime_error(std::string("the text is not valid ") + from);
    return out;
}

// Windows-1250 byte by byte through a table built once from iconv: the few
// unassigned bytes become U+FFFD instead of failing the whole file.
std::string DecodeWindows1250(std::string_view bytes) {
    static const auto table = [] {
        std::array<std::string, 128> t;
        Iconv conv("UTF-8", "WINDOWS-1250");
        for (int b = 0x80; b <= 0xFF; ++b) {
            char in = static_cast<char>(b);
            std::string out;
            t[static_cast<size_t>(b - 0x80)] =
                conv.Convert(std::string_view(&in, 1), out) && !out.empty() ? out : std::string("\xEF\xBF\xBD");
        }
        return t;
    }();
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (char c : bytes) {
        unsigned char b = static_cast<unsigned char>(c);
        if (b < 0x80)
            out += c;
        else
            out += table[b - 0x80];
    }
    return out;
}

}  // namespace

std::string DecodeTextBytes(std::string_view bytes) {
    auto startsWith = [&](std::string_view bom) { return bytes.substr(0, bom.size()) == bom; };
    if (startsWith("\xEF\xBB\xBF")) return RepairUtf8(bytes.substr(3));
    if (startsWith("\xFF\xFE")) return Convert("UTF-16LE", bytes.substr(2));
    if (startsWith("\xFE\xFF")) return Convert("UTF-16BE", bytes.substr(2));
    if (LooksLikeUtf8Text(bytes)) return std::string(bytes);
    return DecodeWindows1250(bytes);
}

std::string ReadTextFile(const std::string& path) {
    return DecodeTextBytes(ReadRegularFile(path));
}

bool EncodeWindows1250(std::string_view utf8, std::string& out) {
    if (!IsValidUtf8(utf8)) return false;
    Iconv conv("WINDOWS-1250", "UTF-8");
    return conv.Convert(utf8, out);
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::string current;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(current);
            current.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            current += c;
        }
    }
    if (!current.empty()) lines.push_back(current);
    return lines;
}

}  // namespace quorlen
