#pragma once

#include <string>

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

// Reads the settings file. A missing, unreadable or invalid file, or one
// without a "config" object, gives the defaults; nothing is reported. Inside a
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

}  // namespace quorlen
