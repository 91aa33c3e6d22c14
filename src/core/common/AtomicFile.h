#pragma once

#include <string>
#include <string_view>

namespace quorlen {

// Replaces the file at path with bytes so that readers see either the old or
// the new file, never half of one: the bytes go to a temporary file in the same
// folder, are flushed to disk, and the temporary is renamed over the target.
// On any failure the old file is untouched, the temporary removed, and
// std::runtime_error says what went wrong (a full disk, a missing folder…).
void WriteFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace quorlen
