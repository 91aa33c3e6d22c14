#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace quorlen {

// One scanner as SANE names it: Name opens it ("test:0",
// "escl:http://…"); the rest is for people.
struct TScannerInfo {
    std::string Name, Vendor, Model, Type;
    // "Vendor Model", or the name when the backend gives neither.
    std::string Label() const;
};

// The SANE library between sane_init and sane_exit. SANE is one state per
// process and not safe to enter from two threads, so a session holds a
// process-wide lock for its whole life: a device search and a scan of another
// thread wait for each other instead of overlapping. Every session starts
// afresh, so a scanner plugged in after the program started is found.
// Throws TScannerError when the library cannot start.
class TSaneSession {
public:
    TSaneSession();
    ~TSaneSession();
    TSaneSession(const TSaneSession&) = delete;
    TSaneSession& operator=(const TSaneSession&) = delete;

    // Every scanner the backends find, local and networked; may take seconds
    // while network backends probe.
    std::vector<TScannerInfo> Devices();

private:
    std::unique_lock<std::mutex> lock_;
};

// The scanners of a session of its own.
std::vector<TScannerInfo> ListScanners();

}  // namespace quorlen
