#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "core/batch/BatchHost.h"

namespace quorlen {

// A host with its own small message loop, for the command line and the tests:
// the thread that calls Run becomes the host thread.
class TLoopHost : public TBatchHost {
public:
    using Handler = std::function<void(const TBatchMessage&)>;

    void SetHandler(Handler handler) { handler_ = std::move(handler); }
    void Post(const TBatchMessage& message) override;
    void Call(const std::function<void()>& fn) override;
    void AcquireWhileServing(std::binary_semaphore& semaphore) override;

    // Delivers messages and runs calls until done() holds after a delivery.
    void Run(const std::function<bool()>& done);
    // Delivers what is queued now, without waiting.
    void ProcessPending();
    bool OnHostThread() const { return std::this_thread::get_id() == hostThread_; }
    void BindToThisThread() { hostThread_ = std::this_thread::get_id(); }

private:
    struct Call_ {
        std::function<void()> Fn;
        bool Done = false;
        std::exception_ptr Error;
    };
    bool RunOneCall(std::unique_lock<std::mutex>& lock);

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable callDone_;
    std::deque<TBatchMessage> messages_;
    std::deque<Call_*> calls_;
    Handler handler_;
    std::thread::id hostThread_ = std::this_thread::get_id();
};

}  // namespace quorlen
