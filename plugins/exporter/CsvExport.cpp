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

std::string CsvText(const Json& document) {
    int columns = 0;
    const std::vector<TRow> rows = RowsOf(document, columns);
    std::string out = "\xEF\xBB\xBFLp;ID;Skan";
    for (int q = 1; q <= columns; ++q) out += ";" + std::to_string(q);
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
