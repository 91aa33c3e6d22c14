#include "core/common/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace quorlen {

namespace {
[[noreturn]] void Fail(const std::string& path, int error) {
    throw std::runtime_error("Nie można zapisać pliku " + path + ": " + std::strerror(error));
}
}  // namespace

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
    std::filesystem::path target(path);
    std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    std::string pattern = (folder / ("." + target.filename().string() + ".tmpXXXXXX")).string();
    int fd = mkstemp(pattern.data());
    if (fd < 0) Fail(path, errno);

    auto abandon = [&](int error) {
        ::close(fd);
        ::unlink(pattern.c_str());
        Fail(path, error);
    };
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            abandon(errno);
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0) abandon(errno);
    // mkstemp creates 0600; a replaced document should be readable like any file
    // the user saves.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    if (::close(fd) != 0) {
        int error = errno;
        ::unlink(pattern.c_str());
        Fail(path, error);
    }
    if (std::rename(pattern.c_str(), path.c_str()) != 0) {
        int error = errno;
        ::unlink(pattern.c_str());
        Fail(path, error);
    }
}

}  // namespace quorlen
