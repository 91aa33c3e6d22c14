#pragma once

#include <string>
#include <string_view>

namespace quorlen {

// Replaces the file at path with bytes so that readers see either the old or
// the new file, never half of one: the bytes go to a temporary file in the same
// folder, are flushed to disk, and the temporary is renamed over the target.
// A symbolic link is written through (its target is replaced, the link
// stays); an existing file keeps its mode, and its owner where permitted.
// When the folder admits no temporary file but the existing file is writable,
// the file is rewritten in place instead (not atomic, but saved).
// On a failure std::runtime_error says what went wrong (a full disk, a
// missing folder…); the old file is untouched and the temporary removed,
// except that a failing in-place rewrite may leave the file part written.
void WriteFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace quorlen
