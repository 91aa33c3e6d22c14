// Every document the program reads comes through here, so that a FIFO planted
// under a document's name, a link to /dev/zero or a file without read
// permission is a clear error instead of a hang, a runaway read or a
// misleading "damaged file".
#include "core/common/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/common/FileDescriptor.h"

namespace quorlen {

namespace {

const char* const NotRegularReason = "to nie jest zwykły plik (potok, gniazdo lub urządzenie)";

std::string TooLargeReason(uint64_t maxBytes) {
    if (maxBytes >= 1024 * 1024 && maxBytes % (1024 * 1024) == 0)
        return "plik jest większy niż " + std::to_string(maxBytes / (1024 * 1024)) + " MB";
    return "plik jest większy niż " + std::to_string(maxBytes) + " B";
}

}  // namespace

std::string FileReadReason(int error) {
    if (error == EACCES || error == EPERM) return "nie można odczytać pliku (brak uprawnień)";
    if (error == ENOENT) return "nie ma takiego pliku";
    if (error == EISDIR) return "to jest folder, a nie plik";
    return std::string("nie można odczytać pliku (") + std::strerror(error) + ")";
}

int OpenRegularFile(const std::string& path, uint64_t maxBytes, uint64_t* size) {
    struct stat before {};
    if (::stat(path.c_str(), &before) != 0) throw TFileReadError(path, FileReadReason(errno));
    if (S_ISDIR(before.st_mode)) throw TFileReadError(path, FileReadReason(EISDIR));
    if (!S_ISREG(before.st_mode)) throw TFileReadError(path, NotRegularReason);
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.Get() < 0) throw TFileReadError(path, FileReadReason(errno));
    struct stat opened {};
    if (::fstat(fd.Get(), &opened) != 0) throw TFileReadError(path, FileReadReason(errno));
    if (!S_ISREG(opened.st_mode)) throw TFileReadError(path, NotRegularReason);
    const uint64_t bytes = static_cast<uint64_t>(opened.st_size);
    if (bytes > maxBytes) throw TFileReadError(path, TooLargeReason(maxBytes));
    if (size) *size = bytes;
    return fd.Release();
}

std::string ReadRegularFile(const std::string& path, uint64_t maxBytes) {
    uint64_t size = 0;
    FileDescriptor fd(OpenRegularFile(path, maxBytes, &size));
    // Read at its size in one piece (a scan may be large; growing a buffer
    // would hold it twice); a probe at the end sees a file that grew meanwhile,
    // which is read on up to the cap. A file cut short decodes as truncated.
    std::string bytes(static_cast<size_t>(size), '\0');
    size_t have = 0;
    for (;;) {
        ssize_t n;
        if (have < bytes.size()) {
            n = ::read(fd.Get(), bytes.data() + have, bytes.size() - have);
            if (n > 0) have += static_cast<size_t>(n);
        } else {
            char probe[4096];
            n = ::read(fd.Get(), probe, sizeof probe);
            if (n > 0) {
                bytes.resize(have);
                bytes.append(probe, static_cast<size_t>(n));
                have = bytes.size();
            }
        }
        if (n < 0) {
            if (errno == EINTR) continue;
            throw TFileReadError(path, FileReadReason(errno));
        }
        if (n == 0) break;
        if (have > maxBytes) throw TFileReadError(path, TooLargeReason(maxBytes));
    }
    bytes.resize(have);
    return bytes;
}

}  // namespace quorlen
