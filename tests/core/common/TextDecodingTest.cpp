#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/common/TextFile.h"

using namespace quorlen;

namespace {

// The bytes our writer produces for text: Windows-1250 when every character
// fits, which is the case for every word below.
std::string AsWindows1250(const std::string& utf8) {
    std::string bytes;
    EXPECT_TRUE(EncodeWindows1250(utf8, bytes)) << utf8;
    return bytes;
}

}  // namespace

// Words whose Windows-1250 bytes happen to be valid UTF-8 ("ÓŁ" is D3 A3,
// the Cyrillic U+04E3) must come back as written, like every other word.
TEST(TextDecoding, Windows1250PolishWordsComeBackAsWritten) {
    const std::vector<std::string> words = {
        "ZAŻÓŁĆ GĘŚLĄ JAŹŃ", "PÓŁROCZNY", "STÓŁ", "TEST SZKÓŁ", "KÓŁKO", "zażółć gęślą jaźń",
        "półroczny",         "stół",      "Łódź", "ŚĆIEŻKA Ń",  "Ä ą",   "Nazwa=TEST SZKÓŁ\r\nPrintLine1=KÓŁKO\r\n",
    };
    for (const std::string& word : words) EXPECT_EQ(DecodeTextBytes(AsWindows1250(word)), word) << word;
}

TEST(TextDecoding, Utf8WithoutAMarkIsTakenOnlyWhenItLooksLikeText) {
    struct Case {
        const char* Name;
        std::string Bytes;
        std::string Text;
    };
    const std::vector<Case> cases = {
        {"ascii only", "plain text 123", "plain text 123"},
        {"hand-written, typographic quotes and a dash", "„Cytat” – to jest tekst, ÓŁ", "„Cytat” – to jest tekst, ÓŁ"},
        {"Latin-1 and Latin Extended-A", "café naïve Łódź", "café naïve Łódź"},
        {"euro sign", "cena 5 €", "cena 5 €"},
        {"no-break space at the lower edge",
         "a\xC2\xA0"
         "b",
         "a\xC2\xA0"
         "b"},
        {"ſ at the upper edge of Latin Extended-A", "\xC5\xBF", "\xC5\xBF"},
        // Just past the ranges: valid UTF-8, yet not text we expect, so the
        // bytes are the code page's.
        {"U+0180 just past Latin Extended-A", "\xC6\x80", "Ć€"},
        {"U+009F, a C1 control", "\xC2\x9F", "Âź"},
        {"U+2070 just past the punctuation", "\xE2\x81\xB0", "â\uFFFD°"},
        {"Cyrillic", "\xD0\xA2\xD0\xB5", "Đ˘Đµ"},
        {"emoji", "\xF0\x9F\x98\x80", "đź\uFFFD€"},
        {"one foreign character spoils the rest", "ł\xD0\xA2", "Ĺ‚Đ˘"},
        {"invalid UTF-8", "\xB9\x9C\xA3", "ąśŁ"},
        {"overlong form", "\xC0\xAF", "ŔŻ"},
        {"cut sequence at the end", "ab\xC5", "abĹ"},
    };
    for (const Case& c : cases) EXPECT_EQ(DecodeTextBytes(c.Bytes), c.Text) << c.Name;
}

TEST(TextDecoding, ByteOrderMarksStillWinOverTheGuess) {
    // D3 A3 after a UTF-8 mark is the Cyrillic letter it encodes.
    EXPECT_EQ(DecodeTextBytes("\xEF\xBB\xBF\xD3\xA3"), "\xD3\xA3");
    EXPECT_EQ(DecodeTextBytes(std::string("\xFF\xFE\x3F\x04", 4)), "п");
    // Stray bytes after a UTF-8 mark become U+FFFD: the text stays valid UTF-8.
    EXPECT_EQ(DecodeTextBytes("\xEF\xBB\xBF\xC5\x81\xD2\xD2"
                              "d\xC5"),
              "Ł\uFFFD\uFFFDd\uFFFD");
}
