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
// missing folder…); the old file is untouched and the temporary removed. An
// in-place rewrite reserves the room for the new bytes first, so a full disk
// leaves the old file whole; only a crash in the middle of it mixes the two.
// With followLinks false a link at path is replaced by the file instead (for
// folders others may plant links in, such as an unpacked demo).
void WriteFileAtomically(const std::string& path, std::string_view bytes, bool followLinks = true);

// Checks, without changing anything, that WriteFileAtomically(path, …) could
// save there now: a temporary can be made in the folder (and is removed at
// once), or the existing file can be rewritten in place. Throws what the
// write would: std::runtime_error naming the file and the reason. For
// commands that should fail before an hour's work, not after it.
void CheckFileWritable(const std::string& path);

}  // namespace quorlen
