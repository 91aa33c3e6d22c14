#pragma once

#include <cstdint>
#include <functional>
#include <semaphore>

namespace quorlen {

// The batch's window messages, numbered as the desktop program has always
// numbered them (WM_USER + 1 and + 2).
constexpr int WM_USER_BASE = 1024;
constexpr int WM_SCANFINISHED = WM_USER_BASE + 1;  // wParam: item index; lParam: worker slot or -1
constexpr int WM_SCANPROGRESS = WM_USER_BASE + 2;  // wParam: item index; lParam: answers read

struct TBatchMessage {
    int Message = 0;
    int64_t WParam = 0;
    int64_t LParam = 0;
};

// The thread that owns a batch run (the GUI thread of the desktop program, the
// main thread of the CLI). The engine knows no toolkit; it reaches its owner
// only through these three operations.
class TBatchHost {
public:
    virtual ~TBatchHost() = default;
    // Queues a message for the host thread, which hands it to the engine's
    // HandleMessage later. Callable from any thread; never blocks.
    virtual void Post(const TBatchMessage& message) = 0;
    // Runs fn on the host thread and returns when it has run. Called by workers.
    virtual void Call(const std::function<void()>& fn) = 0;
    // On the host thread: takes the semaphore, meanwhile running the calls that
    // workers queue, since the holder may be a worker waiting in Call.
    virtual void AcquireWhileServing(std::binary_semaphore& semaphore) = 0;
};

}  // namespace quorlen
