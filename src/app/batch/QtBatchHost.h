#pragma once

#include <QObject>
#include <functional>

#include "core/batch/BatchHost.h"
#include "core/batch/CallQueue.h"

namespace quorlen {

// The batch engine's host on the GUI thread: posted messages become queued
// invocations; a worker's Call is queued too and the worker waits until the
// GUI thread has run it. While the GUI thread waits for the question lock it
// keeps running those calls, so a worker holding the lock can finish.
class TQtBatchHost : public QObject, public TBatchHost {
    Q_OBJECT
public:
    explicit TQtBatchHost(QObject* parent = nullptr) : QObject(parent) {}
    std::function<void(const TBatchMessage&)> Handler;

    void Post(const TBatchMessage& message) override;
    void Call(const std::function<void()>& fn) override;
    void AcquireWhileServing(std::binary_semaphore& semaphore) override;
    // Waits on the GUI thread until done() holds, running the workers' calls
    // meanwhile so that none of them stays blocked on this thread.
    void ServeUntil(const std::function<bool()>& done);

private:
    TCallQueue calls_;
};

}  // namespace quorlen
