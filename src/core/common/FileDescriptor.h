#pragma once

#include <unistd.h>

#include <cerrno>

namespace quorlen {

// Closes the descriptor on every path; Close reports the error of an explicit close.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }
    // Hands the descriptor over to the caller, who closes it.
    int Release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    int Close() {
        const int result = ::close(fd_);
        fd_ = -1;
        return result == 0 ? 0 : errno;
    }

private:
    int fd_;
};

}  // namespace quorlen
