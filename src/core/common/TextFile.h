#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorlen {

// Decodes the bytes of an 8-bit text file to valid UTF-8: a UTF-8 or UTF-16
// (LE/BE) byte-order mark decides (stray bytes after a UTF-8 mark become
// U+FFFD; UTF-16 that does not decode throws std::runtime_error); without one, the bytes are taken as UTF-8 only when
// they are valid UTF-8 with at least one multi-byte sequence and every
// non-ASCII character in U+00A0–U+017F, U+2000–U+206F or U+20AC, and read as
// Windows-1250 (the code page the files are written in) otherwise.
std::string DecodeTextBytes(std::string_view bytes);

// Reads a whole text file and decodes it as above. Throws std::runtime_error
// with the path and the system's reason when the file cannot be read.
std::string ReadTextFile(const std::string& path);

// Encodes UTF-8 text to Windows-1250. Returns false when some character has no
// Windows-1250 form (out then holds nothing useful).
bool EncodeWindows1250(std::string_view utf8, std::string& out);

// Splits text into lines at CR LF, LF or a lone CR.
std::vector<std::string> SplitLines(std::string_view text);

}  // namespace quorlen
