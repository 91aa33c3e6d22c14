#include "core/scanner/ScanFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace quorlen {

namespace {

[[noreturn]] void Failed(const std::string& what, const std::string& path) {
    throw std::runtime_error(what + " " + path + ": " + std::strerror(errno));
}

// Moves from onto to unless to exists. RENAME_NOREPLACE decides in one step;
// where the file system lacks it, an exclusive create claims the name first.
bool MoveIfFree(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno == EEXIST) return false;
    if (errno != EINVAL && errno != ENOSYS) Failed("Nie udało się zapisać strony jako", to);
    const int claim = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (claim < 0) {
        if (errno == EEXIST) return false;
        Failed("Nie udało się zapisać strony jako", to);
    }
    close(claim);
    if (std::rename(from.c_str(), to.c_str()) != 0) {
        const int error = errno;
        unlink(to.c_str());
        errno = error;
        Failed("Nie udało się zapisać strony jako", to);
    }
    return true;
}

}  // namespace

std::string ScanFileStem(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char stem[32];
    std::strftime(stem, sizeof stem, "Skan_%Y%m%d_%H%M%S", &local);
    return stem;
}

std::string ScanFileName(const std::string& stem, int number) {
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, "_%03d.png", number);
    return stem + suffix;
}

std::FILE* TScanFolder::NewPage(std::string* path) {
    for (;;) {
        *path =
            folder_ + "/." + stem_ + "_" + std::to_string(getpid()) + "_" + std::to_string(++temporaries_) + ".part";
        // 0666 through the umask: a page is a document of the operator's.
        const int fd = open(path->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) Failed("Nie udało się utworzyć pliku strony w folderze", folder_);
        std::FILE* file = fdopen(fd, "wb");
        if (!file) {
            close(fd);
            unlink(path->c_str());
            Failed("Nie udało się utworzyć pliku strony w folderze", folder_);
        }
        return file;
    }
}

std::string TScanFolder::Keep(const std::string& temporary) {
    for (;; ++next_) {
        const std::string name = folder_ + "/" + ScanFileName(stem_, next_);
        if (MoveIfFree(temporary, name)) {
            ++next_;
            return name;
        }
    }
}

void TScanFolder::Discard(const std::string& temporary) { unlink(temporary.c_str()); }

}  // namespace quorlen
