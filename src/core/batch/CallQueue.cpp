// A worker queues a pointer to a call on its own stack and sleeps on a
// condition variable until the host has run it; the call's exception travels
// back with it, so the worker sees it as if it had called directly.
#include "core/batch/CallQueue.h"

namespace quorlen {

void TCallQueue::CallAndWait(const std::function<void()>& fn, const std::function<void()>& wake) {
    Pending call{fn};
    {
        std::lock_guard lock(mutex_);
        calls_.push_back(&call);
    }
    wake();
    std::unique_lock lock(mutex_);
    done_.wait(lock, [&] { return call.Done; });
    if (call.Error) std::rethrow_exception(call.Error);
}

bool TCallQueue::RunPending() {
    bool ran = false;
    std::unique_lock lock(mutex_);
    while (!calls_.empty()) {
        Pending* call = calls_.front();
        calls_.pop_front();
        lock.unlock();
        try {
            call->Fn();
        } catch (...) {
            call->Error = std::current_exception();
        }
        lock.lock();
        call->Done = true;
        done_.notify_all();
        ran = true;
    }
    return ran;
}

bool TCallQueue::HasPending() {
    std::lock_guard lock(mutex_);
    return !calls_.empty();
}

}  // namespace quorlen
