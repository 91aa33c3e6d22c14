#pragma once

#include <cstdio>
#include <ctime>
#include <string>

namespace quorlen {

// "Skan_RRRRMMDD_GGMMSS" of that moment in local time: the stem every page
// of one batch shares.
std::string ScanFileStem(std::time_t when);
// stem + "_001.png" for number 1; more digits from 1000 on.
std::string ScanFileName(const std::string& stem, int number);

// The scan folder as pages land in it. A page is written under a hidden
// temporary name that the scan list passes over, and becomes
// Skan_…_NNN.png only when whole, under the first number from the next one
// on that no file holds: nothing in the folder is ever replaced, even by a
// second batch started in the same second.
class TScanFolder {
public:
    TScanFolder(std::string folder, std::string stem) : folder_(std::move(folder)), stem_(std::move(stem)) {}

    // A new, empty temporary file; its path in *path. Throws
    // std::runtime_error when the folder takes no file.
    std::FILE* NewPage(std::string* path);
    // Gives the finished temporary its name and returns the page's path.
    std::string Keep(const std::string& temporary);
    static void Discard(const std::string& temporary);

private:
    std::string folder_, stem_;
    int next_ = 1;
    int temporaries_ = 0;
};

}  // namespace quorlen
