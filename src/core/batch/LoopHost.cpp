// Run sleeps on one condition variable that a posted message and a
// marshalled call both signal; pending calls run first, and the loop stops as
// soon as done() holds.
#include "core/batch/LoopHost.h"

#include <chrono>

namespace quorlen {

void TLoopHost::Wake() {
    // Taking the loop's mutex orders the wake-up after the waiter's check.
    { std::lock_guard lock(mutex_); }
    wake_.notify_all();
}

void TLoopHost::Post(const TBatchMessage& message) {
    {
        std::lock_guard lock(mutex_);
        messages_.push_back(message);
    }
    wake_.notify_all();
}

void TLoopHost::Call(const std::function<void()>& fn) {
    if (OnHostThread()) {
        fn();
        return;
    }
    calls_.CallAndWait(fn, [this] { Wake(); });
}

void TLoopHost::AcquireWhileServing(std::binary_semaphore& semaphore) {
    while (!semaphore.try_acquire()) {
        if (calls_.RunPending()) continue;
        // The semaphore cannot wake us, so look again shortly.
        std::unique_lock lock(mutex_);
        wake_.wait_for(lock, std::chrono::milliseconds(1));
    }
}

void TLoopHost::Run(const std::function<bool()>& done) {
    for (;;) {
        calls_.RunPending();
        std::unique_lock lock(mutex_);
        if (done()) return;
        if (messages_.empty()) {
            wake_.wait(lock, [&] { return !messages_.empty() || calls_.HasPending(); });
            continue;
        }
        const TBatchMessage m = messages_.front();
        messages_.pop_front();
        lock.unlock();
        if (handler_) handler_(m);
    }
}

}  // namespace quorlen
