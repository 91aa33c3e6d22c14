#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace quorlen::testing {

// A fresh directory under the system's temporary folder, removed with its
// contents when the object goes.
class TempDir {
public:
    explicit TempDir(const std::string& tag = "quorlen");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

// Runs a shell command, returns its exit status; stdout goes to *output.
int RunCommand(const std::string& command, std::string* output = nullptr);

// Runs body in a forked child and returns its exit code, or 128 + the signal
// that ended it, so that a crash shows as a failed expectation instead of
// taking the test binary down. With asUnprivileged, the child first drops to
// the user "nobody" when the tests run as root (as they do on CI), so that
// file permissions apply to it.
int RunInChild(const std::function<int()>& body, bool asUnprivileged = false);

}  // namespace quorlen::testing
