#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorlen {

// Longest sheet code the sheet has boxes for.
constexpr size_t MaxCodeDigits = 10;
// The most sheets one print job takes, from a codes file as from a counter
// or an automation command: a million lines ran two minutes into a 384 MB PDF.
constexpr int MaxPrintSheets = 100000;

// The code a codes-list line stands for: the line without blanks and control
// characters at either end, when what is left is 1..10 decimal digits (leading
// zeros kept). Anything else gives the empty code, which prints no code.
std::string CodeFromLine(std::string_view line);

// The codes S, S + 1, …, S + count − 1 in decimal; nothing for count <= 0.
std::vector<std::string> CodesStartingFrom(long long start, int count);

// The lines of a codes file, read with byte-order-mark detection. A final line
// break ends the last line rather than opening an empty one, so a file saved
// by an editor gives as many sheets as it shows codes. Throws
// std::runtime_error when the file cannot be read or holds more than
// MaxPrintSheets lines.
std::vector<std::string> ReadCodesFile(const std::string& path);

// Sheets a job prints: a list with at least one line decides, otherwise count.
int SheetCountFor(int count, const std::vector<std::string>* codes);

// Code of sheet i (from 0): from its line, or empty past the end of the list
// or without one.
std::string SheetCodeAt(const std::vector<std::string>* codes, int i);

}  // namespace quorlen
