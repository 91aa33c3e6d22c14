#include "app/batch/QtBatchHost.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <chrono>
#include <thread>

namespace quorlen {

void TQtBatchHost::Post(const TBatchMessage& message) {
    QMetaObject::invokeMethod(
        this,
        [this, message] {
            if (Handler) Handler(message);
        },
        Qt::QueuedConnection);
}

void TQtBatchHost::Call(const std::function<void()>& fn) {
    if (QThread::currentThread() == thread()) {
        fn();
        return;
    }
    PendingCall call{fn};
    {
        std::lock_guard lock(mutex_);
        calls_.push_back(&call);
    }
    QMetaObject::invokeMethod(
        this, [this] { RunPendingCalls(); }, Qt::QueuedConnection);
    std::unique_lock lock(mutex_);
    done_.wait(lock, [&] { return call.Done; });
    if (call.Error) std::rethrow_exception(call.Error);
}

void TQtBatchHost::RunPendingCalls() {
    std::unique_lock lock(mutex_);
    while (!calls_.empty()) {
        PendingCall* call = calls_.front();
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
    }
}

void TQtBatchHost::AcquireWhileServing(std::binary_semaphore& semaphore) {
    while (!semaphore.try_acquire()) {
        RunPendingCalls();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace quorlen
