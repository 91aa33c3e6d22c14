#include "app/batch/QtBatchHost.h"

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
    calls_.CallAndWait(fn, [this] {
        QMetaObject::invokeMethod(
            this, [this] { calls_.RunPending(); }, Qt::QueuedConnection);
    });
}

void TQtBatchHost::AcquireWhileServing(std::binary_semaphore& semaphore) {
    ServeUntil([&semaphore] { return semaphore.try_acquire(); });
}

void TQtBatchHost::ServeUntil(const std::function<bool()>& done) {
    while (!done()) {
        if (!calls_.RunPending()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace quorlen
