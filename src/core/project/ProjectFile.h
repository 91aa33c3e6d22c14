#pragma once

#include <optional>
#include <string>

#include "core/project/ProjectSettings.h"

namespace quorlen {

inline constexpr const char* ProjectFileComment = ";Brenvik Quorlen project file";

// Reads a project file over the current settings: keys that are missing or
// hold no usable value leave the current value where the file format says so.
// Throws std::runtime_error when the file cannot be read (a folder, a FIFO)
// or is no project file (binary bytes, or none of the project's keys);
// nothing has changed then, since the caller's settings are only replaced by
// the returned value.
TProjectSettings ReadProjectFile(const std::string& path, const TProjectSettings& current);
// The same rules over text already decoded to UTF-8; projectFolder stands in
// for a missing scan folder.
TProjectSettings ParseProjectText(const std::string& text, const std::string& projectFolder,
                                  const TProjectSettings& current);

// The value of the first line named key (compared without regard to case),
// or nothing when no line has that name.
std::optional<std::string> ProjectFileValue(const std::string& text, const std::string& key);

// The file's lines, in key order; keys with empty values are left out.
std::string FormatProjectText(const TProjectSettings& settings);

// Writes the project file with CR LF line ends in Windows-1250. Text that
// Windows-1250 cannot hold (Cyrillic, say) is written as UTF-8 with a
// byte-order mark instead, so that nothing is lost; reading accepts both.
// The file is replaced atomically; throws std::runtime_error on failure and
// leaves an existing file as it was.
void WriteProjectFile(const std::string& path, const TProjectSettings& settings);
// Writes project-file text (UTF-8 lines ending in CR LF) the same way.
void WriteProjectText(const std::string& path, const std::string& text);

}  // namespace quorlen
