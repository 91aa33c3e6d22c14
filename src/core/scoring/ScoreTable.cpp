// One row per scored entry, formatted once and written either as CSV for a
// spreadsheet or as aligned columns for a terminal.
#include "core/scoring/ScoreTable.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace quorlen {
namespace {

// A field needs quotes when it holds the separator, a quote or a line break.
std::string CsvField(const std::string& text) {
    if (text.find_first_of(";\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::vector<std::string> Row(size_t index, const TScoredEntry& e) {
    const TEntryScore& s = e.Score;
    return {std::to_string(index + 1),
            e.Student,
            e.FileName,
            s.Version,
            PolishNumber(s.Points, 2),
            PolishNumber(s.Max, 2),
            PolishNumber(OneDecimal(s.Percent), 1, true),
            PolishNumber(s.Grade, 2)};
}

const std::vector<std::string> kHeader = {"Lp", "ID", "Skan", "Wersja", "Punkty", "Max", "Procent", "Ocena"};

// Terminal columns are counted in characters, not bytes.
size_t Width(const std::string& utf8) {
    return static_cast<size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

}  // namespace

std::string PolishNumber(double value, int decimals, bool fixed) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    std::string text = buffer;
    if (!fixed && text.find('.') != std::string::npos) {
        while (text.back() == '0') text.pop_back();
        if (text.back() == '.') text.pop_back();
    }
    if (text[0] == '-' && text.find_first_of("123456789") == std::string::npos) text.erase(0, 1);
    std::replace(text.begin(), text.end(), '.', ',');
    return text;
}

std::string ScoresCsv(const std::vector<TScoredEntry>& entries) {
    std::string out = "\xEF\xBB\xBF";
    auto line = [&](const std::vector<std::string>& fields) {
        for (size_t i = 0; i < fields.size(); ++i) out += (i ? ";" : "") + CsvField(fields[i]);
        out += "\r\n";
    };
    line(kHeader);
    for (size_t i = 0; i < entries.size(); ++i) line(Row(i, entries[i]));
    return out;
}

std::string ScoresText(const std::vector<TScoredEntry>& entries) {
    std::vector<std::vector<std::string>> rows{kHeader};
    for (size_t i = 0; i < entries.size(); ++i) rows.push_back(Row(i, entries[i]));
    std::vector<size_t> widths(kHeader.size(), 0);
    for (const auto& r : rows)
        for (size_t c = 0; c < r.size(); ++c) widths[c] = std::max(widths[c], Width(r[c]));
    std::string out;
    for (const auto& r : rows) {
        std::string line;
        for (size_t c = 0; c < r.size(); ++c) {
            // Names to the left, figures to the right.
            const std::string pad(widths[c] - Width(r[c]), ' ');
            const bool number = c == 0 || c >= 4;
            line += (c ? "  " : "") + (number ? pad + r[c] : r[c] + pad);
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out += line + "\n";
    }
    return out;
}

}  // namespace quorlen
