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

std::string Header(const TRequest& request) {
    const bool scored = IsScored(request.Document());
    std::string out = "\xEF\xBB\xBFLp;ID;Skan";
    for (int q = 1; q <= request.Columns(); ++q) out += ";" + std::to_string(q);
    if (scored)
        for (const char* title : ScoreTitles) out += std::string(";") + title;
    for (const char* title : StatusTitles) out += std::string(";") + title;
    out += "\r\n";
    return out;
}

void AppendRow(std::string& out, const TRow& row, int columns, bool scored) {
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

// Rows go to the file as they are made: the whole table in memory cost as
// much as the document once more.
class TCsvFile {
public:
    TCsvFile(const std::string& fileName, const std::string& temporary) : fileName_(fileName), temporary_(temporary) {
        file_ = std::fopen(temporary.c_str(), "wb");
        if (!file_) Fail(errno);
    }
    ~TCsvFile() {
        if (file_) {
            std::fclose(file_);
            ::unlink(temporary_.c_str());
        }
    }
    void Write(const std::string& text) {
        if (!text.empty() && std::fwrite(text.data(), 1, text.size(), file_) != text.size()) Fail(errno);
    }
    void Close() {
        FILE* file = file_;
        file_ = nullptr;
        if (std::fclose(file) != 0) Fail(errno);
    }

private:
    [[noreturn]] void Fail(int error) {
        if (file_) std::fclose(file_);
        file_ = nullptr;
        ::unlink(temporary_.c_str());
        FailFile(fileName_, std::strerror(error));
    }
    std::string fileName_;
    std::string temporary_;
    FILE* file_ = nullptr;
};
}  // namespace

void WriteCsv(const std::string& fileName, const TRequest& request) {
    const std::string temporary = TemporaryBeside(fileName);
    TCsvFile file(fileName, temporary);
    file.Write(Header(request));
    const bool scored = IsScored(request.Document());
    std::string chunk;
    request.ForEachRow([&](const TRow& row) {
        AppendRow(chunk, row, request.Columns(), scored);
        if (chunk.size() >= 1 << 16) {
            file.Write(chunk);
            chunk.clear();
        }
    });
    file.Write(chunk);
    file.Close();
    Commit(temporary, fileName);
}

}  // namespace quorlen_exporter
