#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "Export.h"

namespace quorlen_exporter {

void FailFile(const std::string& fileName, const std::string& reason) {
    throw std::runtime_error("Nie można zapisać pliku " + fileName + ": " + reason);
}

std::string TemporaryBeside(const std::string& fileName) {
    const size_t slash = fileName.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
    std::string pattern = folder + "." + base + ".tmpXXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) FailFile(fileName, std::strerror(errno));
    // mkstemp makes the file private; an exported file gets the mode any new
    // file of the user gets.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    ::close(fd);
    return pattern;
}

void Commit(const std::string& temporary, const std::string& fileName) {
    // The new file must be on disk before it replaces the old one.
    const int fd = ::open(temporary.c_str(), O_RDONLY);
    const bool synced = fd >= 0 && ::fsync(fd) == 0;
    const int error = errno;
    if (fd >= 0) ::close(fd);
    if (!synced) {
        ::unlink(temporary.c_str());
        FailFile(fileName, std::strerror(error));
    }
    if (std::rename(temporary.c_str(), fileName.c_str()) != 0) {
        const int renameError = errno;
        ::unlink(temporary.c_str());
        FailFile(fileName, std::strerror(renameError));
    }
}

std::string TextOf(const Json& object, const char* key) {
    return object.is_object() && object.contains(key) && object[key].is_string() ? object[key].get<std::string>()
                                                                                 : std::string();
}

std::string NoteOf(const Json& entry) {
    std::string note = TextOf(entry, "Uwagi");
    if (note.empty()) note = TextOf(entry, "Message");
    // Messages break their lines with CR; a cell holds one line.
    for (char& c : note)
        if (c == '\r') c = ' ';
    return note;
}

std::optional<double> NumberOf(const Json& object, const char* key) {
    if (!object.is_object()) return std::nullopt;
    const auto it = object.find(key);
    return it != object.end() && it->is_number() ? std::optional<double>(it->get<double>()) : std::nullopt;
}

bool IsScored(const Json& document) { return document.is_object() && document.contains("Klucz"); }

std::vector<TSkipped> SkippedOf(const Json& document) {
    std::vector<TSkipped> skipped;
    if (!document.contains("Pominiete") || !document["Pominiete"].is_array()) return skipped;
    for (const Json& record : document["Pominiete"]) {
        const bool hasStatus = record.is_object() && record.contains("Status") && record["Status"].is_number();
        skipped.push_back(
            {TextOf(record, "FileName"), hasStatus ? record["Status"].get<int>() : 0, TextOf(record, "Message")});
    }
    return skipped;
}

}  // namespace quorlen_exporter
