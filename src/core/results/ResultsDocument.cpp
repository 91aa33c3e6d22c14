// Entries are added under a mutex as scans end, each at its place in the scan
// list; Snapshot copies the document under the same mutex, so no reader sees a
// half-added entry.
#include "core/results/ResultsDocument.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "core/results/RepeatedCodes.h"

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

std::string FormatPolishDateTime(int64_t utcMilliseconds) {
    const std::time_t seconds = static_cast<std::time_t>(utcMilliseconds / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%02d.%02d.%04d %02d:%02d", local.tm_mday, local.tm_mon + 1,
                  local.tm_year + 1900, local.tm_hour, local.tm_min);
    return buffer;
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

void TResultsDocument::Insert(const char* key, std::vector<int64_t>& orders, Json record, int64_t order) {
    std::lock_guard lock(mutex_);
    if (!root_.is_object()) return;
    // Workers finish nearly in the order they started, so the place is almost
    // always at or near the end and the shift is short.
    const auto at = std::upper_bound(orders.begin(), orders.end(), order);
    const auto offset = at - orders.begin();
    orders.insert(at, order);
    Json& list = root_[key];
    list.insert(list.begin() + offset, std::move(record));
}

void TResultsDocument::AddResultEntry(TAnswerList answers, const std::string& fileName, int status,
                                      const std::string& message, int64_t order) {
    const std::string student = answers.Value("Student");
    if (student.empty()) {
        AddSkipped(fileName, status, message.empty() ? std::string(NoCodeMessage) : message, order);
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
    Insert("Lista", listOrder_, std::move(entry), order);
}

void TResultsDocument::AddSkipped(const std::string& fileName, int status, const std::string& message,
                                  int64_t order) {
    Insert("Pominiete", skippedOrder_, {{"FileName", fileName}, {"Status", status}, {"Message", message}}, order);
}

void TResultsDocument::FlagRepeatedCodes() {
    std::lock_guard lock(mutex_);
    quorlen::FlagRepeatedCodes(root_);
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
