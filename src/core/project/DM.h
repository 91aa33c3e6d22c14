#pragma once

#include <atomic>
#include <string>

namespace quorlen {

// The small process-wide object shared by the project panel, the renderer and
// the recognizers. The check-empty switch is written by the GUI thread and read
// by recognizers on worker threads without a lock, hence atomic.
struct TDM {
    std::string PrintLine2;
    std::string PrintLine1;
    std::atomic<bool> CheckEmpty{true};
};

// The one instance of the process, created on first use.
TDM& DM();

}  // namespace quorlen
