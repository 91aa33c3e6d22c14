#include "core/batch/LoopHost.h"

#include <chrono>

namespace quorlen {

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
    Call_ call{fn, false, nullptr};
    std::unique_lock lock(mutex_);
    calls_.push_back(&call);
    wake_.notify_all();
    callDone_.wait(lock, [&] { return call.Done; });
    if (call.Error) std::rethrow_exception(call.Error);
}

bool TLoopHost::RunOneCall(std::unique_lock<std::mutex>& lock) {
    if (calls_.empty()) return false;
    Call_* call = calls_.front();
    calls_.pop_front();
    lock.unlock();
    try {
        call->Fn();
    } catch (...) {
        call->Error = std::current_exception();
    }
    lock.lock();
    call->Done = true;
    callDone_.notify_all();
    return true;
}

void TLoopHost::AcquireWhileServing(std::binary_semaphore& semaphore) {
    for (;;) {
        if (semaphore.try_acquire()) return;
        std::unique_lock lock(mutex_);
        if (!RunOneCall(lock))
            // The semaphore has no way to wake us, so poll it briefly.
            wake_.wait_for(lock, std::chrono::milliseconds(1), [&] { return !calls_.empty(); });
    }
}

void TLoopHost::ProcessPending() {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (RunOneCall(lock)) continue;
        if (messages_.empty()) return;
        TBatchMessage m = messages_.front();
        messages_.pop_front();
        lock.unlock();
        if (handler_) handler_(m);
        lock.lock();
    }
}

void TLoopHost::Run(const std::function<bool()>& done) {
    std::unique_lock lock(mutex_);
    while (!done()) {
        if (RunOneCall(lock)) continue;
        if (!messages_.empty()) {
            TBatchMessage m = messages_.front();
            messages_.pop_front();
            lock.unlock();
            if (handler_) handler_(m);
            lock.lock();
            continue;
        }
        wake_.wait(lock, [&] { return !messages_.empty() || !calls_.empty(); });
    }
}

}  // namespace quorlen
