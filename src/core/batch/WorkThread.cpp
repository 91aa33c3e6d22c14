// Each worker owns one std::thread pinned to one processor; its questions to
// the operator go through the host under the run's question lock, one at a
// time, and its end is posted whatever the reading threw.
#include "core/batch/WorkThread.h"

#include <pthread.h>
#include <sched.h>

namespace quorlen {

namespace {

// Holds the question lock for one marshalled question; released on every path.
class LockHolder {
public:
    explicit LockHolder(std::binary_semaphore& s) : s_(s) { s_.acquire(); }
    ~LockHolder() { s_.release(); }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

private:
    std::binary_semaphore& s_;
};

}  // namespace

TWorkThread::TWorkThread(TItem& item, TWorkRoutine work, int slot, TBatchHost& window, std::binary_semaphore& lock,
                         int cpuIndex)
    : Item(item), Slot(slot), CpuIndex(cpuIndex), work_(std::move(work)), window_(window), lock_(lock) {
    SavedGetStartPoint = Item.OnGetStartPoint;
    SavedGetOdp = Item.OnGetOdp;
    // A question nobody would answer stays unasked, as without a worker.
    if (SavedGetStartPoint)
        Item.OnGetStartPoint = [this](const TScanView& s, TRect a, TPoint& p, bool& ok) {
            ThreadOnGetStartPoint(s, a, p, ok);
        };
    if (SavedGetOdp)
        Item.OnGetOdp = [this](const TScanView& s, TRect a, int c, std::string& ans, bool& ok) {
            ThreadOnGetOdp(s, a, c, ans, ok);
        };
}

TWorkThread::~TWorkThread() {
    if (thread_.joinable()) thread_.join();
    // The item outlives its worker; leave it with the window's own callbacks.
    Item.OnGetStartPoint = SavedGetStartPoint;
    Item.OnGetOdp = SavedGetOdp;
}

void TWorkThread::Start(const TThreadFactory& create) {
    std::function<void()> body = [this] { Execute(); };
    thread_ = create ? create(std::move(body)) : std::thread(std::move(body));
    if (CpuIndex >= 0 && CpuIndex < CPU_SETSIZE) {
        cpu_set_t set;
        CPU_ZERO(&set);
        CPU_SET(static_cast<size_t>(CpuIndex), &set);
        // A processor the machine lacks (an injected count in tests) is not an
        // error worth stopping a run for: the worker then runs unpinned.
        Pinned = pthread_setaffinity_np(thread_.native_handle(), sizeof set, &set) == 0;
    }
}

void TWorkThread::Execute() {
    try {
        work_(this, Item);
    } catch (...) {
        // Stays inside the thread: the run must still hear that this file ended.
    }
    window_.Post({WM_SCANFINISHED, Item.Index, Slot});
    finished_.store(true);
}

void TWorkThread::ThreadOnGetStartPoint(const TScanView& scan, TRect area, TPoint& pt, bool& ok) {
    LockHolder hold(lock_);
    if (Terminated() || !SavedGetStartPoint) {
        ok = false;
        return;
    }
    TPoint point = pt;
    bool answerOk = ok;
    window_.Call([&] { SavedGetStartPoint(scan, area, point, answerOk); });
    pt = point;
    ok = answerOk;
}

void TWorkThread::ThreadOnGetOdp(const TScanView& scan, TRect area, int count, std::string& answer, bool& ok) {
    LockHolder hold(lock_);
    if (Terminated() || !SavedGetOdp) {
        ok = false;
        return;
    }
    std::string text = answer;
    bool answerOk = ok;
    window_.Call([&] { SavedGetOdp(scan, area, count, text, answerOk); });
    answer = text;
    ok = answerOk;
}

}  // namespace quorlen
