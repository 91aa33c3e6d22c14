#pragma once

#include <filesystem>
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

}  // namespace quorlen::testing
