#pragma once

#include <cstdint>
#include <mutex>
#include <string>

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
class TResultsDocument {
public:
    TResultsDocument() = default;
    // Creates the root with every key; the clock is read now.
    explicit TResultsDocument(const TRunDescription& run);
    TResultsDocument(const TResultsDocument& other) : root_(other.Snapshot()) {}
    TResultsDocument& operator=(const TResultsDocument& other) {
        if (this != &other) {
            Json copy = other.Snapshot();
            std::lock_guard lock(mutex_);
            root_ = std::move(copy);
        }
        return *this;
    }

    // Appends the scan's entry when its answers carry a "Student" line with a
    // code; otherwise records the scan under "Pominiete" with the job's status
    // and message (or NoCodeMessage when the job had nothing to say).
    void AddResultEntry(TAnswerList answers, const std::string& fileName, int status = 0,
                        const std::string& message = std::string());
    // Records under "Pominiete" a scan that gave no entry for a reason of the
    // run's own (never read because the run was cancelled).
    void AddSkipped(const std::string& fileName, int status, const std::string& message);

    Json Snapshot() const;
    size_t EntryCount() const;
    bool Empty() const;

private:
    mutable std::mutex mutex_;
    Json root_;
};

// "Date2": the local short date and long time; no time at exactly midnight.
std::string FormatLocalDateTime(int64_t utcMilliseconds);

}  // namespace quorlen
