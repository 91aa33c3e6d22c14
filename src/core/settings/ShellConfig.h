#pragma once

#include <functional>
#include <optional>
#include <string>

#include "core/common/Json.h"

namespace quorlen {

// The three values the desktop program remembers between sessions, kept in
// config.json under the "config" object.
struct TShellConfig {
    // The black level to start with; 0 when the file names none. The caller
    // takes it only within the track bar's range.
    int BlackLevel = 0;
    bool DownloadDemoFiles = true;
    bool UseDemoFiles = false;
};

// Reads the settings file. A missing, unreadable or invalid file, one that is
// not a regular file of at most 1 MB (a FIFO would block the start), one
// nested deeper than MaxJsonDepth, or one without a "config" object, gives
// the defaults; nothing is reported. Inside a
// "config" object a missing or non-boolean flag reads as false.
TShellConfig ReadShellConfig(const std::string& path);

// "demoUrl" of the "config" object: where the demo archive comes from. Empty
// when the file names none (or no text), and read like the rest: quietly. The
// program never writes it; a write keeps it like any other key.
std::string ReadDemoUrl(const std::string& path);

// Puts the three values into the file's "config" object, keeping every other
// key as it was read, and writes it compact and ASCII-escaped through a
// temporary file. Returns false when the file could not be written; the old
// file is then untouched. A file that does not parse is replaced.
bool WriteShellConfig(const std::string& path, const TShellConfig& config);

// The file's "config" object, read as the values above are: nothing when the
// file is missing, broken or has none.
std::optional<Json> ReadConfigSection(const std::string& path);
// Re-reads the file, lets change edit its "config" object (made when absent,
// the rest of the file kept) and writes it back as WriteShellConfig does.
bool UpdateConfigSection(const std::string& path, const std::function<void(Json& section)>& change);

}  // namespace quorlen
