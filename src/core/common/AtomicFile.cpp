// Write to a temporary file beside the target, fsync it, rename it over the
// target; a folder that refuses the temporary falls back to rewriting the
// file in place through its own descriptor.
#include "core/common/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "core/common/FileDescriptor.h"

namespace quorlen {

namespace {

[[noreturn]] void Fail(const std::string& path, int error) {
    throw std::runtime_error("Nie można zapisać pliku " + path + ": " + std::strerror(error));
}

// Writes every byte from the start of the file; 0 or the errno of the failure.
int WriteAll(int fd, std::string_view bytes) {
    const char* p = bytes.data();
    size_t left = bytes.size();
    off_t at = 0;
    while (left > 0) {
        const ssize_t n = ::pwrite(fd, p, left, at);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        p += n;
        at += n;
        left -= static_cast<size_t>(n);
    }
    return 0;
}

// The file a path finally names: a symbolic link is followed (relative links
// from their own folder) so that saving updates the file the link points to
// and the link stays. A dangling link names the file it would point to.
std::filesystem::path FinalTarget(const std::filesystem::path& path) {
    std::filesystem::path current = path;
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(current, ec))) return current;
        const std::filesystem::path link = std::filesystem::read_symlink(current, ec);
        if (ec) return current;
        current = link.is_absolute() ? link : current.parent_path() / link;
    }
    return current;  // a loop of links: the open below reports it
}

// Rewrites the existing file through its own descriptor: not atomic (a crash
// midway leaves a mixed file), but the only way to save a file that may be
// written in a folder that may not, where no sibling temporary can exist.
// The room for a longer file is reserved before the first byte is written,
// so that a full disk (the usual failure) leaves the old file as it was.
void WriteInPlace(const std::string& target, std::string_view bytes, const std::string& shownPath) {
    FileDescriptor fd(::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.Get() < 0) Fail(shownPath, errno);
    struct stat opened {};
    if (::fstat(fd.Get(), &opened) != 0) Fail(shownPath, errno);
    if (!S_ISREG(opened.st_mode)) Fail(shownPath, EINVAL);
    const off_t oldSize = opened.st_size;
    const off_t newSize = static_cast<off_t>(bytes.size());
    if (newSize > oldSize) {
        // posix_fallocate returns the error instead of setting errno.
        if (const int error = ::posix_fallocate(fd.Get(), oldSize, newSize - oldSize)) {
            (void)::ftruncate(fd.Get(), oldSize);
            Fail(shownPath, error);
        }
    }
    int error = WriteAll(fd.Get(), bytes);
    if (!error && ::ftruncate(fd.Get(), newSize) != 0) error = errno;
    if (!error && ::fsync(fd.Get()) != 0) error = errno;
    const int closeError = fd.Close();
    if (error || closeError) Fail(shownPath, error ? error : closeError);
}

}  // namespace

void WriteFileAtomically(const std::string& path, std::string_view bytes, bool followLinks) {
    const std::filesystem::path target = followLinks ? FinalTarget(path) : std::filesystem::path(path);
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    std::string pattern = (folder / ("." + target.filename().string() + ".tmpXXXXXX")).string();

    struct stat existing {};
    // Not following, a link is no file of ours: the rename replaces the link.
    const bool found = followLinks ? ::stat(target.c_str(), &existing) == 0
                                   : ::lstat(target.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode);
    // A FIFO or a device under the document's name (config.json linked to
    // /dev/zero) is never replaced by a file, nor written into.
    if (found && !S_ISREG(existing.st_mode))
        throw std::runtime_error("Nie można zapisać pliku " + path + ": to nie jest zwykły plik");
    const bool exists = found;

    const int created = ::mkstemp(pattern.data());
    if (created < 0) {
        const int error = errno;
        // A folder closed to us with a file open to us (a shared results file
        // in someone else's folder): the file is rewritten where it stands.
        if (exists && (error == EACCES || error == EPERM || error == EROFS) && ::access(target.c_str(), W_OK) == 0) {
            WriteInPlace(target.string(), bytes, path);
            return;
        }
        Fail(path, error);
    }
    FileDescriptor fd(created);

    auto abandon = [&](int error) {
        fd.Close();
        ::unlink(pattern.c_str());
        Fail(path, error);
    };
    if (const int error = WriteAll(fd.Get(), bytes)) abandon(error);
    if (::fsync(fd.Get()) != 0) abandon(errno);
    if (exists) {
        // The replacement keeps the file's permissions, and its owner and
        // group where we may give them away (root, or our own group).
        if (::fchown(fd.Get(), existing.st_uid, existing.st_gid) != 0)
            (void)::fchown(fd.Get(), static_cast<uid_t>(-1), existing.st_gid);
        if (::fchmod(fd.Get(), existing.st_mode & 07777) != 0) abandon(errno);
    } else {
        // mkstemp creates 0600; a new document should be readable like any
        // file the user saves.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd.Get(), 0666 & ~mask);
    }
    if (const int error = fd.Close()) {
        ::unlink(pattern.c_str());
        Fail(path, error);
    }
    if (std::rename(pattern.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(pattern.c_str());
        Fail(path, error);
    }
}

void CheckFileWritable(const std::string& path) {
    const std::filesystem::path target = FinalTarget(path);
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    struct stat existing {};
    const bool found = ::stat(target.c_str(), &existing) == 0;
    if (found && !S_ISREG(existing.st_mode))
        throw std::runtime_error("Nie można zapisać pliku " + path + ": to nie jest zwykły plik");
    std::string pattern = (folder / ("." + target.filename().string() + ".tmpXXXXXX")).string();
    const int probe = ::mkstemp(pattern.data());
    if (probe >= 0) {
        ::close(probe);
        ::unlink(pattern.c_str());
        return;
    }
    const int error = errno;
    if (found && (error == EACCES || error == EPERM || error == EROFS) && ::access(target.c_str(), W_OK) == 0) return;
    Fail(path, error);
}

}  // namespace quorlen
