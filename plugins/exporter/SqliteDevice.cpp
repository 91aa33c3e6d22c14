#include <sqlite3.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <set>
#include <stdexcept>
#include <utility>

#include "Export.h"

namespace quorlen_exporter {

namespace {
const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS runs(id INTEGER PRIMARY KEY, project TEXT, questions INTEGER, answers INTEGER, "
    "multi_choice INTEGER, folder TEXT, date_ms INTEGER, saved_at TEXT);"
    "CREATE TABLE IF NOT EXISTS sheets(run_id INTEGER REFERENCES runs(id), nr INTEGER, code TEXT, file TEXT, "
    "points REAL, percent REAL, grade REAL, status INTEGER, note TEXT, PRIMARY KEY(run_id, nr));"
    "CREATE TABLE IF NOT EXISTS marks(run_id INTEGER, nr INTEGER, question INTEGER, answer TEXT, "
    "PRIMARY KEY(run_id, nr, question));"
    "CREATE TABLE IF NOT EXISTS skipped(run_id INTEGER REFERENCES runs(id), nr INTEGER, file TEXT, status INTEGER, "
    "message TEXT, PRIMARY KEY(run_id, nr));";
// Columns that came later (the scores, then whether a sheet was read to its
// end); a database made before them gets them on its next save, and its
// earlier sheets read NULL there.
const std::pair<const char*, const char*> kLaterColumns[] = {
    {"points", "REAL"}, {"percent", "REAL"}, {"grade", "REAL"}, {"status", "INTEGER"}, {"note", "TEXT"}};
// How long a save waits for another writer before it reports the lock.
const int kBusyTimeoutMs = 1000;

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

void MakeFolders(const std::string& folder) {
    for (size_t i = 1; i <= folder.size(); ++i)
        if (i == folder.size() || folder[i] == '/') {
            const std::string part = folder.substr(0, i);
            if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
                throw std::runtime_error("Nie można utworzyć folderu " + part + ": " + std::strerror(errno));
        }
}

std::string NowIso8601Utc() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

// One open connection and one prepared statement at a time, freed on every
// path; a failure throws with SQLite's reason.
class TDatabase {
public:
    explicit TDatabase(const std::string& path) : path_(path) {
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
            Fail();
        sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    }
    ~TDatabase() {
        if (inTransaction_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(db_);
    }
    void Exec(const char* sql) {
        if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fail();
    }
    void Begin() {
        Exec("BEGIN IMMEDIATE");
        inTransaction_ = true;
    }
    void Commit() {
        Exec("COMMIT");
        inTransaction_ = false;
    }
    sqlite3_stmt* Prepare(const char* sql) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr) != SQLITE_OK) Fail();
        return statement;
    }
    void Step(sqlite3_stmt* statement) {
        const int rc = sqlite3_step(statement);
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
        if (rc != SQLITE_DONE) Fail();
    }
    int64_t LastId() const { return sqlite3_last_insert_rowid(db_); }
    [[noreturn]] void Fail() const {
        throw std::runtime_error("Nie można zapisać wyników w bazie " + path_ + ": " +
                                 (db_ ? sqlite3_errmsg(db_) : "brak pamięci"));
    }

private:
    std::string path_;
    sqlite3* db_ = nullptr;
    bool inTransaction_ = false;
};

struct TStatement {
    sqlite3_stmt* S;
    ~TStatement() { sqlite3_finalize(S); }
};

void AddMissingColumns(TDatabase& db) {
    std::set<std::string> present;
    {
        TStatement info{db.Prepare("PRAGMA table_info(sheets)")};
        int rc;
        while ((rc = sqlite3_step(info.S)) == SQLITE_ROW)
            present.insert(reinterpret_cast<const char*>(sqlite3_column_text(info.S, 1)));
        if (rc != SQLITE_DONE) db.Fail();
    }
    for (const auto& [column, type] : kLaterColumns)
        if (!present.count(column))
            db.Exec(("ALTER TABLE sheets ADD COLUMN " + std::string(column) + " " + type).c_str());
}

void BindNumber(sqlite3_stmt* s, int i, const std::optional<double>& value) {
    if (value) sqlite3_bind_double(s, i, *value);
}

void BindText(sqlite3_stmt* s, int i, const std::string& text) {
    sqlite3_bind_text(s, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

int64_t IntOf(const Json& object, const char* key) {
    return object.is_object() && object.contains(key) && object[key].is_number() ? object[key].get<int64_t>() : 0;
}
}  // namespace

std::string DatabasePath() {
    std::string folder = Env("QUORLEN_DATA_DIR");
    if (folder.empty()) {
        std::string data = Env("XDG_DATA_HOME");
        if (data.empty()) data = Env("HOME") + "/.local/share";
        folder = data + "/Brenvik/quorlen";
    }
    MakeFolders(folder);
    return folder + "/wyniki.sqlite";
}

void AppendToDatabase(const std::string& path, const TRequest& request) {
    const Json& document = request.Document();
    TDatabase db(path);
    db.Begin();
    db.Exec(kSchema);
    AddMissingColumns(db);
    {
        TStatement run{
            db.Prepare("INSERT INTO runs(project, questions, answers, multi_choice, folder, date_ms, saved_at) "
                       "VALUES(?, ?, ?, ?, ?, ?, ?)")};
        BindText(run.S, 1, TextOf(document, "Project"));
        sqlite3_bind_int64(run.S, 2, IntOf(document, "QCnt"));
        sqlite3_bind_int64(run.S, 3, IntOf(document, "ACnt"));
        const bool multi = document.is_object() && document.contains("MultiChoice") &&
                           document["MultiChoice"].is_boolean() && document["MultiChoice"].get<bool>();
        sqlite3_bind_int(run.S, 4, multi ? 1 : 0);
        BindText(run.S, 5, TextOf(document, "Folder"));
        sqlite3_bind_int64(run.S, 6, IntOf(document, "Date"));
        BindText(run.S, 7, NowIso8601Utc());
        db.Step(run.S);
    }
    const int64_t runId = db.LastId();
    TStatement sheet{
        db.Prepare("INSERT INTO sheets(run_id, nr, code, file, points, percent, grade, status, note) "
                   "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?)")};
    const bool scored = IsScored(document);
    TStatement mark{db.Prepare("INSERT INTO marks(run_id, nr, question, answer) VALUES(?, ?, ?, ?)")};
    int nr = 0;
    request.ForEachEntry([&](const Json& entry) {
        ++nr;
        sqlite3_bind_int64(sheet.S, 1, runId);
        sqlite3_bind_int(sheet.S, 2, nr);
        BindText(sheet.S, 3, TextOf(entry, "Student"));
        BindText(sheet.S, 4, TextOf(entry, "FileName"));
        if (scored) {
            BindNumber(sheet.S, 5, NumberOf(entry, "Punkty"));
            BindNumber(sheet.S, 6, NumberOf(entry, "Procent"));
            BindNumber(sheet.S, 7, NumberOf(entry, "Ocena"));
        }
        const std::optional<double> status = NumberOf(entry, "Status");
        sqlite3_bind_int(sheet.S, 8, status ? static_cast<int>(*status) : 0);
        if (const std::string note = NoteOf(entry); !note.empty()) BindText(sheet.S, 9, note);
        db.Step(sheet.S);
        if (!entry.is_object() || !entry.contains("Wyniki") || !entry["Wyniki"].is_array()) return;
        int question = 0;
        for (const Json& answer : entry["Wyniki"]) {
            sqlite3_bind_int64(mark.S, 1, runId);
            sqlite3_bind_int(mark.S, 2, nr);
            sqlite3_bind_int(mark.S, 3, ++question);
            BindText(mark.S, 4, answer.is_string() ? answer.get<std::string>() : answer.dump());
            db.Step(mark.S);
        }
    });
    TStatement skip{db.Prepare("INSERT INTO skipped(run_id, nr, file, status, message) VALUES(?, ?, ?, ?, ?)")};
    nr = 0;
    for (const TSkipped& skipped : SkippedOf(document)) {
        sqlite3_bind_int64(skip.S, 1, runId);
        sqlite3_bind_int(skip.S, 2, ++nr);
        BindText(skip.S, 3, skipped.Scan);
        sqlite3_bind_int(skip.S, 4, skipped.Status);
        BindText(skip.S, 5, skipped.Message);
        db.Step(skip.S);
    }
    db.Commit();
}

}  // namespace quorlen_exporter
