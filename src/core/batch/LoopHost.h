#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "core/batch/BatchHost.h"
#include "core/batch/CallQueue.h"

namespace quorlen {

// A host with its own small message loop, for the command line and the tests:
// the thread that creates it is the host thread and must call Run.
class TLoopHost : public TBatchHost {
public:
    using Handler = std::function<void(const TBatchMessage&)>;

    void SetHandler(Handler handler) { handler_ = std::move(handler); }
    void Post(const TBatchMessage& message) override;
    void Call(const std::function<void()>& fn) override;
    void AcquireWhileServing(std::binary_semaphore& semaphore) override;

    // Delivers messages and runs calls until done() holds after a delivery.
    void Run(const std::function<bool()>& done);
    bool OnHostThread() const { return std::this_thread::get_id() == hostThread_; }

private:
    void Wake();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<TBatchMessage> messages_;
    TCallQueue calls_;
    Handler handler_;
    std::thread::id hostThread_ = std::this_thread::get_id();
};

}  // namespace quorlen
