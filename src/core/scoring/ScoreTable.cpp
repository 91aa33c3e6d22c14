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

// A sheet without a grade shows empty figures, never a zero that reads as
// a student's result. The CSV carries the scan job's status for a filter.
std::vector<std::string> Row(size_t index, const TScoredEntry& e, bool withStatus) {
    const TEntryScore& s = e.Score;
    std::vector<std::string> row = {std::to_string(index + 1),
                                    e.Student,
                                    e.FileName,
                                    s.Version,
                                    s.Graded ? PolishNumber(s.Points, 2) : std::string(),
                                    PolishNumber(s.Max, 2),
                                    s.Graded ? PolishNumber(OneDecimal(s.Percent), 1, true) : std::string(),
                                    s.Graded ? PolishNumber(s.Grade, 2) : std::string()};
    if (withStatus) row.push_back(std::to_string(e.Status));
    row.push_back(s.Note);
    return row;
}

std::vector<std::string> Header(bool withStatus) {
    std::vector<std::string> header = {"Lp", "ID", "Skan", "Wersja", "Punkty", "Max", "Procent", "Ocena"};
    if (withStatus) header.push_back("Status");
    header.push_back("Uwagi");
    return header;
}

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
    line(Header(true));
    for (size_t i = 0; i < entries.size(); ++i) line(Row(i, entries[i], true));
    return out;
}

std::string ScoresText(const std::vector<TScoredEntry>& entries) {
    std::vector<std::vector<std::string>> rows{Header(false)};
    for (size_t i = 0; i < entries.size(); ++i) rows.push_back(Row(i, entries[i], false));
    std::vector<size_t> widths(rows[0].size(), 0);
    for (const auto& r : rows)
        for (size_t c = 0; c < r.size(); ++c) widths[c] = std::max(widths[c], Width(r[c]));
    std::string out;
    for (const auto& r : rows) {
        std::string line;
        for (size_t c = 0; c < r.size(); ++c) {
            // Names to the left, figures to the right.
            const std::string pad(widths[c] - Width(r[c]), ' ');
            const bool number = c == 0 || (c >= 4 && c + 1 < r.size());
            line += (c ? "  " : "") + (number ? pad + r[c] : r[c] + pad);
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out += line + "\n";
    }
    return out;
}

}  // namespace quorlen
