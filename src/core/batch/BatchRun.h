#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <semaphore>
#include <string>
#include <thread>
#include <vector>

#include "core/batch/BatchHost.h"
#include "core/batch/Item.h"
#include "core/batch/RunSettings.h"
#include "core/batch/ScanList.h"
#include "core/batch/Shard.h"
#include "core/batch/WorkThread.h"
#include "core/common/ScanGeometry.h"
#include "core/recognition/RasterBudget.h"
#include "core/results/ResultsDocument.h"

namespace quorlen {

// What the owning window does for the run: its dialogs and controls. Every
// callback runs on the host thread; any may be left empty.
struct TBatchOwner {
    // "Brak plików ze skanera w podanym folderze." — no run starts.
    std::function<void()> NoScanFiles;
    // The cancel question; true for Yes.
    std::function<bool()> ConfirmCancel;
    // Running switched: button caption, EnableSettings, the save buttons.
    std::function<void(bool running)> RunningChanged;
    // The progress bar moved (maximum, position).
    std::function<void(int maximum, int position)> ProgressBar;
    // After FinishRun: the results view.
    std::function<void()> Finished;
    // The window's operator handlers, given to every item.
    TStartPointRequest GetStartPoint;
    TAnswerRequest GetOdp;
};

// The default worker limit on Linux. Each scan job sleeps 1 ms per recorded
// answer (about 53 ms for a 50-question sheet) against some 17 ms of
// computing, and workers are pinned, so a core stays busy only with many
// sleepers on it. Measured on 200 office-preset 200-dpi scans on 2 cores:
// 16 workers read 80 scans/s with the cores 70 % busy, 32 gave 91/s (82 %),
// 64 gave 96/s (88 %), 96 gave 93-95/s (90 %). 48 per processor, at most 98.
int DefaultMaxWorkers(int cpuCount);

// One batch run over a scan folder: the first file on the host thread, the
// rest on up to MaxWorkers pinned worker threads, results appended as scans end.
class TBatchRun {
public:
    explicit TBatchRun(TBatchHost& host);
    ~TBatchRun();  // stops and joins workers still running
    TBatchRun(const TBatchRun&) = delete;
    TBatchRun& operator=(const TBatchRun&) = delete;

    // Inputs of the engine, set by the shell before a run.
    int MaxWorkers = 1;
    int CpuCount = 1;
    TBatchOwner Owner;
    // Progress notification for an attached automation client.
    std::function<void(int maximum, int position)> Progress;
    // Pause of each scan job per recorded answer.
    std::chrono::microseconds AnswerPause{1000};
    // The part of the folder this run reads; the whole folder by default.
    TShard Shard;
    // The memory all scans being read may hold in rasters at once; workers
    // wait for room, the host thread never does.
    TRasterBudget RasterBudget{DefaultRasterBudget()};
    // Counts the pages of each PDF and TIFF file when the list is made; empty
    // for the readers' own counter.
    TPageCounter CountPages;

    // Host-thread operations.
    bool StartRun(const TRunSettings& settings);
    void RequestCancel();
    void CancelRun();
    // True when no worker is still reading; their last posts may be queued.
    bool WorkersFinished() const;
    void HandleMessage(const TBatchMessage& message);
    void BuildScanList(const std::string& folder, int questionCount);

    // The per-scan routine, on the thread that reads the scan.
    void ProcessScan(TWorkThread* worker, TItem& item);
    void ReportProgress(TItem& item);

    // State, read by the window and the tests.
    std::vector<std::unique_ptr<TItem>> Items;
    int NextIndex = 0;
    struct TSlot {
        std::unique_ptr<TWorkThread> Worker;
        int CpuIndex = 0;
    };
    std::vector<TSlot> Slots;
    int SlotCount = 0;
    std::binary_semaphore QuestionLock{0};
    TResultsDocument Results;
    TScanGeometry SharedGeometry{};
    bool Running = false;
    bool StoppedByButton = false;
    // Cancelled in this run: no further file starts. Kept apart from NextIndex
    // so that a folder of any size can be cancelled.
    bool Cancelled = false;
    int ProgressMax = 0;
    int ProgressPosition = 0;
    // Scans (pages) of the whole folder at listing time, before the shard's
    // selection: a merge checks its shards against it.
    int FolderScanCount = 0;
    // For tests: which item started in which slot on which processor.
    std::function<void(int itemIndex, int slot, int cpuIndex)> WorkerStarted;
    // Makes the workers' threads (tests inject a system that has none left).
    TThreadFactory CreateThread;

private:
    void OnScanFinished(int slot);
    void OnScanProgress(int index);
    void FinishRun();
    void StartWorker(int itemIndex, int slot);
    // The next file to read: one whose worker could not be started first.
    bool TakeNextItem(int& itemIndex);
    void ListUnreadFiles();
    void SetProgress(int position, bool notify);

    TBatchHost& host_;
    TRunSettings settings_;
    // Files whose worker thread could not be created, waiting for a slot.
    std::vector<int> retry_;
    bool lockReleased_ = false;
};

}  // namespace quorlen
