#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

// The shipped exporter's writers. Each throws std::runtime_error with a Polish
// text naming the file when it cannot finish; nothing half-written is left.
namespace quorlen_exporter {

using Json = nlohmann::json;

// One row per entry of "Lista": its position from 1, code, scan file and
// answers (a lone space is written as an empty cell), and the entry's score
// when the document was scored (none for an entry that carries no figure).
// Status and Note say whether the sheet was read to its end: a sheet cut short
// must not look like a student who left questions blank.
struct TRow {
    int Lp = 0;
    std::string Id;
    std::string Scan;
    std::vector<std::string> Answers;
    std::string Version;
    std::optional<double> Points, Max, Percent, Grade;
    int Status = 0;    // the scan job's status, 0 for a sheet read to its end
    std::string Note;  // "Uwagi" of a scored entry, else the scan job's message
};

// A document scored against an answer key carries the key at its root.
bool IsScored(const Json& document);
// The titles of the score columns, after the answers.
inline const char* const ScoreTitles[] = {"Wersja", "Punkty", "Max", "Procent", "Ocena"};
// The titles of the last two columns, in every table.
inline const char* const StatusTitles[] = {"Status", "Uwagi"};

// The rows of the results document and the number of answer columns (the
// larger of "QCnt" and the longest "Wyniki", so that nothing is cut off).
std::vector<TRow> RowsOf(const Json& document, int& columns);

// The text under key, empty when the object has none.
std::string TextOf(const Json& object, const char* key);
// The entry's remark for the "Uwagi" column, on one line: its "Uwagi" when
// scored, else its scan job's "Message".
std::string NoteOf(const Json& entry);
// The number under key, none when the object has none.
std::optional<double> NumberOf(const Json& object, const char* key);

// One record of "Pominiete": a scan that gave no entry, and why.
struct TSkipped {
    std::string Scan;
    int Status = 0;
    std::string Message;
};
std::vector<TSkipped> SkippedOf(const Json& document);

void WriteCsv(const std::string& fileName, const Json& document);
void WriteXlsx(const std::string& fileName, const Json& document);

// The database in the data folder; a path to create on first use.
std::string DatabasePath();
// Appends the run in one transaction.
void AppendToDatabase(const std::string& path, const Json& document);

// A fresh temporary name beside fileName (the file is created, empty);
// Commit renames it over fileName. Both throw with the Polish text.
std::string TemporaryBeside(const std::string& fileName);
void Commit(const std::string& temporary, const std::string& fileName);
[[noreturn]] void FailFile(const std::string& fileName, const std::string& reason);

}  // namespace quorlen_exporter
