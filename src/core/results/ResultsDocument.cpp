// Entries are appended under a mutex as scans end; Snapshot copies the
// document under the same mutex, so no reader sees a half-added entry.
#include "core/results/ResultsDocument.h"

#include <chrono>
#include <ctime>

namespace quorlen {

std::string FormatLocalDateTime(int64_t utcMilliseconds) {
    const std::time_t seconds = static_cast<std::time_t>(utcMilliseconds / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char buffer[128];
    // The locale's own date and time forms (the program sets LC_TIME from the
    // environment at start-up).
    const bool midnight = local.tm_hour == 0 && local.tm_min == 0 && local.tm_sec == 0 && utcMilliseconds % 1000 == 0;
    const size_t n = std::strftime(buffer, sizeof buffer, midnight ? "%x" : "%x %X", &local);
    return std::string(buffer, n);
}

TResultsDocument::TResultsDocument(const TRunDescription& run) {
    const int64_t now =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    root_ = Json::object();
    root_["Version"] = 1;
    root_["Project"] = run.Project;
    root_["QCnt"] = run.QuestionCount;
    root_["ACnt"] = run.AnswerCount;
    root_["MultiChoice"] = run.MultiChoice;
    root_["Folder"] = run.Folder;
    root_["Date"] = now;
    root_["Date2"] = FormatLocalDateTime(now);
    root_["Lista"] = Json::array();
    root_["Pominiete"] = Json::array();
}

void TResultsDocument::AddResultEntry(TAnswerList answers, const std::string& fileName, int status,
                                      const std::string& message) {
    const std::string student = answers.Value("Student");
    if (student.empty()) {
        AddSkipped(fileName, status, message.empty() ? std::string(NoCodeMessage) : message);
        return;
    }
    answers.Remove("Student");
    Json entry = {{"Student", student}, {"FileName", fileName}, {"Wyniki", Json::array()}};
    const int n = answers.Count();
    for (int q = 1; q <= n; ++q) entry["Wyniki"].push_back(answers.Value(std::to_string(q)));
    if (status != 0) {
        entry["Status"] = status;
        entry["Message"] = message;
    }
    std::lock_guard lock(mutex_);
    if (root_.is_object()) root_["Lista"].push_back(std::move(entry));
}

void TResultsDocument::AddSkipped(const std::string& fileName, int status, const std::string& message) {
    Json skipped = {{"FileName", fileName}, {"Status", status}, {"Message", message}};
    std::lock_guard lock(mutex_);
    if (root_.is_object()) root_["Pominiete"].push_back(std::move(skipped));
}

Json TResultsDocument::Snapshot() const {
    std::lock_guard lock(mutex_);
    return root_;
}

size_t TResultsDocument::EntryCount() const {
    std::lock_guard lock(mutex_);
    return root_.is_object() ? root_["Lista"].size() : 0;
}

bool TResultsDocument::Empty() const {
    std::lock_guard lock(mutex_);
    return !root_.is_object();
}

}  // namespace quorlen
