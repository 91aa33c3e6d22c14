#pragma once

#include <nlohmann/json.hpp>
#include <functional>
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

// The row of the entry at position lp.
TRow RowOf(const Json& entry, int lp);

// A "SaveToFile" or "SaveVirtual" request read from the host's text without
// its entries in memory: the request and the results document ("Wyniki")
// with an empty "Lista", and the entries passed over one at a time. The text
// must outlive the object. Throws std::runtime_error for text that is not
// JSON, or nests deeper than 256 levels.
class TRequest {
public:
    explicit TRequest(const char16_t* text);
    TRequest(const TRequest&) = delete;
    TRequest& operator=(const TRequest&) = delete;

    const Json& Head() const { return head_; }
    const Json& Document() const { return *document_; }
    // The number of answer columns: the larger of "QCnt" and the longest
    // "Wyniki", so that nothing is cut off.
    int Columns() const { return columns_; }
    // Each entry of the document's "Lista" (the last one when the key
    // repeats; none when it is not an array), in order.
    void ForEachEntry(const std::function<void(const Json&)>& visit) const;
    // The same as rows numbered from 1.
    void ForEachRow(const std::function<void(const TRow&)>& visit) const;

private:
    const char16_t* text_;
    const char16_t* end_;
    Json head_;
    const Json* document_ = nullptr;
    int columns_ = 0;
    int list_ = 0;
    bool listStreamed_ = false;
};

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

void WriteCsv(const std::string& fileName, const TRequest& request);
void WriteXlsx(const std::string& fileName, const TRequest& request);

// The database in the data folder; a path to create on first use.
std::string DatabasePath();
// Appends the run in one transaction.
void AppendToDatabase(const std::string& path, const TRequest& request);

// A fresh temporary name beside fileName (the file is created, empty);
// Commit renames it over fileName. Both throw with the Polish text.
std::string TemporaryBeside(const std::string& fileName);
void Commit(const std::string& temporary, const std::string& fileName);
[[noreturn]] void FailFile(const std::string& fileName, const std::string& reason);

}  // namespace quorlen_exporter
