#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "Export.h"

namespace quorlen_exporter {

namespace {
// RFC 4180: a cell holding the separator, a quote or a line break is quoted,
// its quotes doubled.
void AppendCell(std::string& out, const std::string& cell) {
    if (cell.find_first_of(";\"\r\n") == std::string::npos) {
        out += cell;
        return;
    }
    out += '"';
    for (char c : cell) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

// A figure as a Polish spreadsheet reads it, the way quorlen-cli score
// writes it: decimal comma, at most `decimals` places, trailing zeros dropped
// unless `fixed`.
std::string PolishNumber(double value, int decimals, bool fixed) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    std::string text = buffer;
    if (!fixed && text.find('.') != std::string::npos) {
        while (text.back() == '0') text.pop_back();
        if (text.back() == '.') text.pop_back();
    }
    if (text[0] == '-' && text.find_first_of("123456789") == std::string::npos) text.erase(0, 1);
    for (char& c : text)
        if (c == '.') c = ',';
    return text;
}

void AppendScore(std::string& out, const TRow& row) {
    const auto figure = [&](const std::optional<double>& value, int decimals, bool fixed) {
        out += ';';
        if (value) out += PolishNumber(*value, decimals, fixed);
    };
    out += ';';
    AppendCell(out, row.Version);
    figure(row.Points, 2, false);
    figure(row.Max, 2, false);
    figure(row.Percent, 1, true);
    figure(row.Grade, 2, false);
}

std::string CsvText(const Json& document) {
    int columns = 0;
    const std::vector<TRow> rows = RowsOf(document, columns);
    const bool scored = IsScored(document);
    std::string out = "\xEF\xBB\xBFLp;ID;Skan";
    for (int q = 1; q <= columns; ++q) out += ";" + std::to_string(q);
    if (scored)
        for (const char* title : ScoreTitles) out += std::string(";") + title;
    for (const char* title : StatusTitles) out += std::string(";") + title;
    out += "\r\n";
    for (const TRow& row : rows) {
        out += std::to_string(row.Lp) + ";";
        AppendCell(out, row.Id);
        out += ';';
        AppendCell(out, row.Scan);
        for (int q = 0; q < columns; ++q) {
            out += ';';
            if (q < static_cast<int>(row.Answers.size())) AppendCell(out, row.Answers[q]);
        }
        if (scored) AppendScore(out, row);
        out += ";" + std::to_string(row.Status) + ";";
        AppendCell(out, row.Note);
        out += "\r\n";
    }
    return out;
}
}  // namespace

void WriteCsv(const std::string& fileName, const Json& document) {
    const std::string text = CsvText(document);
    const std::string temporary = TemporaryBeside(fileName);
    FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) {
        const int error = errno;
        ::unlink(temporary.c_str());
        FailFile(fileName, std::strerror(error));
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    int error = errno;
    const bool closed = std::fclose(file) == 0;
    if (written && !closed) error = errno;
    if (!written || !closed) {
        ::unlink(temporary.c_str());
        FailFile(fileName, std::strerror(error));
    }
    Commit(temporary, fileName);
}

}  // namespace quorlen_exporter
