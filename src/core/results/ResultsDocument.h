#pragma once

#include <cstdint>
#include <limits>
#include <mutex>
#include <string>
#include <vector>

#include "core/common/AnswerList.h"
#include "core/common/Json.h"

namespace quorlen {

// What describes a run in the document's root.
struct TRunDescription {
    std::string Project;
    int QuestionCount = 0;
    int AnswerCount = 0;
    bool MultiChoice = false;
    std::string Folder;
};

inline constexpr const char* NoCodeMessage = "Nie odczytano kodu arkusza.";

inline constexpr const char* NotAnalysedMessage = "Nie przeanalizowano: analiza została przerwana.";
// Status of a scan that a cancelled run never read.
inline constexpr int NotAnalysedStatus = -2;

// The results of one run: root keys, one entry per scan with a sheet code in
// "Lista", and one record per scan without a result in "Pominiete", so that no
// sheet vanishes silently. An entry whose scan job did not end cleanly (the
// operator interrupted it, the answer count was off) carries its "Status" and
// "Message" too, so that it cannot pass for a complete sheet. Appends come
// from several threads and are mutually exclusive; each entry goes in whole,
// once.
//
// Both lists stand in the order of the scan list (each record's place in it,
// given as `order`), not in the order the workers happen to finish, so that
// two runs over one folder give the same document. A record without a place
// goes after every record so far.
class TResultsDocument {
public:
    static constexpr int64_t AtTheEnd = std::numeric_limits<int64_t>::max();

    TResultsDocument() = default;
    // Creates the root with every key; the clock is read now.
    explicit TResultsDocument(const TRunDescription& run);
    TResultsDocument(const TResultsDocument& other) {
        std::lock_guard lock(other.mutex_);
        root_ = other.root_;
        listOrder_ = other.listOrder_;
        skippedOrder_ = other.skippedOrder_;
    }
    TResultsDocument& operator=(const TResultsDocument& other) {
        if (this != &other) {
            TResultsDocument copy(other);
            std::lock_guard lock(mutex_);
            root_ = std::move(copy.root_);
            listOrder_ = std::move(copy.listOrder_);
            skippedOrder_ = std::move(copy.skippedOrder_);
        }
        return *this;
    }

    // Adds the scan's entry when its answers carry a "Student" line with a
    // code; otherwise records the scan under "Pominiete" with the job's status
    // and message (or NoCodeMessage when the job had nothing to say).
    void AddResultEntry(TAnswerList answers, const std::string& fileName, int status = 0,
                        const std::string& message = std::string(), int64_t order = AtTheEnd);
    // Records under "Pominiete" a scan that gave no entry for a reason of the
    // run's own (never read because the run was cancelled).
    void AddSkipped(const std::string& fileName, int status, const std::string& message, int64_t order = AtTheEnd);

    // Flags every repeated code in "Uwagi" of its entries (see
    // FlagRepeatedCodes); the run does it when it ends.
    void FlagRepeatedCodes();

    Json Snapshot() const;
    size_t EntryCount() const;
    bool Empty() const;

private:
    // Inserts under the lock at the record's place in the scan list.
    void Insert(const char* key, std::vector<int64_t>& orders, Json record, int64_t order);

    mutable std::mutex mutex_;
    Json root_;
    // The place in the scan list of each record of "Lista" / "Pominiete".
    std::vector<int64_t> listOrder_;
    std::vector<int64_t> skippedOrder_;
};

// "Date2": the local short date and long time; no time at exactly midnight.
std::string FormatLocalDateTime(int64_t utcMilliseconds);

// The local time the Polish way, "10.12.2026 14:03", whatever the machine's
// locale: what the program itself prints and shows (the class report) is
// Polish, while "Date2" keeps the system's own short form.
std::string FormatPolishDateTime(int64_t utcMilliseconds);

}  // namespace quorlen
