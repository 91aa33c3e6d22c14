#pragma once

#include <atomic>
#include <functional>
#include <semaphore>
#include <string>
#include <thread>

#include "core/batch/BatchHost.h"
#include "core/batch/Item.h"

namespace quorlen {

class TWorkThread;
using TWorkRoutine = std::function<void(TWorkThread* worker, TItem& item)>;
// Makes the worker's thread; empty means std::thread. Throws std::system_error
// when the system has no thread to give, as std::thread does.
using TThreadFactory = std::function<std::thread(std::function<void()> body)>;

// One worker: reads one file on its own thread, pinned to one processor, and
// reports its end with exactly one WM_SCANFINISHED, whatever happens.
class TWorkThread {
public:
    TWorkThread(TItem& item, TWorkRoutine work, int slot, TBatchHost& window, std::binary_semaphore& lock,
                int cpuIndex);
    ~TWorkThread();  // joins; the thread has posted its report by then or is about to
    TWorkThread(const TWorkThread&) = delete;
    TWorkThread& operator=(const TWorkThread&) = delete;

    // Starts the thread (created suspended), then pins it to CpuIndex. Throws
    // std::system_error when no thread can be created; nothing runs then.
    void Start(const TThreadFactory& create = {});
    void RequestStop() { terminated_.store(true); }
    bool Terminated() const { return terminated_.load(); }
    // The routine has returned and the end has been posted to the host.
    bool Finished() const { return finished_.load(); }

    // The item's question callbacks as the worker reroutes them through the host.
    void ThreadOnGetStartPoint(const TScanView& scan, TRect area, TPoint& pt, bool& ok);
    void ThreadOnGetOdp(const TScanView& scan, TRect area, int count, std::string& answer, bool& ok);

    TItem& Item;
    const int Slot;
    const int CpuIndex;
    TStartPointRequest SavedGetStartPoint;
    TAnswerRequest SavedGetOdp;
    bool Pinned = false;

private:
    void Execute();

    TWorkRoutine work_;
    TBatchHost& window_;
    std::binary_semaphore& lock_;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

}  // namespace quorlen
