#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>

namespace quorlen {

// Calls that worker threads hand to the host thread and wait for: the shared
// half of every TBatchHost's Call. The host decides when to run them.
class TCallQueue {
public:
    // Queues fn, calls wake() so the host notices, and blocks until the host
    // has run it; an exception of fn is raised here, in the caller.
    void CallAndWait(const std::function<void()>& fn, const std::function<void()>& wake);
    // On the host thread: runs every queued call; true when any ran.
    bool RunPending();
    bool HasPending();

private:
    struct Pending {
        std::function<void()> Fn;
        bool Done = false;
        std::exception_ptr Error = nullptr;
    };
    std::mutex mutex_;
    std::condition_variable done_;
    std::deque<Pending*> calls_;
};

}  // namespace quorlen
