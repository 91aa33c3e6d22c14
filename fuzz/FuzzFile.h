#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace quorlen::fuzz {

// The input as a file, for readers that take a path: one scratch file per
// process and name, in memory-backed /dev/shm where it exists so that the
// writers' fsync costs nothing. Returns the path, or "" when it cannot be written.
inline std::string InputFile(const uint8_t* data, size_t size, const std::string& name) {
    static const std::string folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    const std::string path = folder + "/quorlen-fuzz-" + std::to_string(getpid()) + "-" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return {};
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok ? path : std::string();
}

}  // namespace quorlen::fuzz
