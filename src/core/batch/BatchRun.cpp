// The run reads the first file on the host thread, so that its geometry is
// there for all others, then keeps up to MaxWorkers workers busy, one file
// each; everything the window sees happens in HandleMessage on the host thread.
#include "core/batch/BatchRun.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/batch/ScanList.h"
#include "core/recognition/ReadScan.h"

namespace quorlen {

int DefaultMaxWorkers(int cpuCount) { return std::clamp(48 * std::max(cpuCount, 1), 1, 98); }

TBatchRun::TBatchRun(TBatchHost& host) : host_(host) {}

TBatchRun::~TBatchRun() {
    // Workers post to the host and touch their items: stop them before either
    // goes away. Their pending questions are answered with an abort at once.
    for (TSlot& slot : Slots)
        if (slot.Worker) slot.Worker->RequestStop();
    if (!lockReleased_) {
        QuestionLock.release();
        lockReleased_ = true;
    }
    Slots.clear();
}

void TBatchRun::BuildScanList(const std::string& folder, int questionCount) {
    Items.clear();
    FolderScanCount = 0;
    std::vector<std::string> files;
    try {
        files = ListScanFiles(folder);
    } catch (const std::exception&) {
        // A folder that cannot be read has no scans; StartRun says so.
    }
    std::vector<TListedScan> scans = ExpandScanPages(files, CountPages);
    FolderScanCount = static_cast<int>(scans.size());
    // Pages are shards' units as files are: one big PDF spreads over them all.
    if (Shard.Count > 1) std::erase_if(scans, [this](const TListedScan& s) { return !InShard(s.Name, Shard); });
    for (TListedScan& scan : scans) {
        auto item = std::make_unique<TItem>();
        item->FileName = std::move(scan.Name);
        item->Refused = std::move(scan.Refused);
        item->Index = static_cast<int32_t>(Items.size());
        item->QuestionCount = questionCount;
        item->OnGetStartPoint = Owner.GetStartPoint;
        item->OnGetOdp = Owner.GetOdp;
        Items.push_back(std::move(item));
    }
}

void TBatchRun::SetProgress(int position, bool notify) {
    ProgressPosition = position;
    if (Owner.ProgressBar) Owner.ProgressBar(ProgressMax, ProgressPosition);
    if (notify && Progress) Progress(ProgressMax, ProgressPosition);
}

bool TBatchRun::StartRun(const TRunSettings& settings) {
    if (Running) return false;
    settings_ = settings;
    BuildScanList(settings.ScanFolder, settings.QuestionCount);
    if (Items.empty()) {
        if (Owner.NoScanFiles) Owner.NoScanFiles();
        return false;
    }
    Running = true;
    Cancelled = false;
    retry_.clear();
    StoppedByButton = false;
    ProgressMax = settings.QuestionCount * static_cast<int>(Items.size());
    SetProgress(0, false);
    if (Owner.RunningChanged) Owner.RunningChanged(true);

    Results = TResultsDocument(TRunDescription{settings.ProjectName, settings.QuestionCount, settings.AnswerCount,
                                               settings.MultiChoice, settings.ScanFolder});
    NextIndex = 0;
    ProcessScan(nullptr, *Items[0]);
    NextIndex = 1;
    if (Cancelled) {
        host_.Post({WM_SCANFINISHED, 0, -1});
        return true;
    }
    SetProgress(settings.QuestionCount, true);

    SlotCount = static_cast<int>(Items.size()) - 1;
    if (SlotCount <= 0) {
        SlotCount = 0;
        Slots.clear();
        host_.Post({WM_SCANFINISHED, 0, -1});
        return true;
    }
    if (!lockReleased_) {
        QuestionLock.release();
        lockReleased_ = true;
    }
    SlotCount = std::min(SlotCount, std::max(MaxWorkers, 1));
    Slots.clear();
    Slots.resize(static_cast<size_t>(SlotCount));
    int k = -1;
    for (int s = 0; s < SlotCount; ++s) {
        if (++k >= std::max(CpuCount, 1)) k = 0;
        Slots[static_cast<size_t>(s)].CpuIndex = k;
        StartWorker(s + 1, s);
    }
    NextIndex = SlotCount + 1;
    return true;
}

void TBatchRun::StartWorker(int itemIndex, int slot) {
    TSlot& s = Slots[static_cast<size_t>(slot)];
    TItem& item = *Items[static_cast<size_t>(itemIndex)];
    s.Worker = std::make_unique<TWorkThread>(
        item, [this](TWorkThread* worker, TItem& it) { ProcessScan(worker, it); }, slot, host_, QuestionLock,
        s.CpuIndex);
    try {
        s.Worker->Start(CreateThread);
    } catch (const std::system_error&) {
        // The system has no thread to give (a process or memory limit). The
        // file must still be read and the run must still end: another worker
        // takes it when one finishes; with none left it is read right here,
        // where nothing else is reading now, and the slot goes on as if its
        // worker had ended.
        s.Worker.reset();
        const bool othersRunning =
            std::any_of(Slots.begin(), Slots.end(), [](const TSlot& other) { return other.Worker != nullptr; });
        if (othersRunning) {
            retry_.push_back(itemIndex);
            return;
        }
        ProcessScan(nullptr, item);
        host_.Post({WM_SCANFINISHED, item.Index, slot});
        return;
    }
    if (WorkerStarted) WorkerStarted(itemIndex, slot, s.CpuIndex);
}

bool TBatchRun::TakeNextItem(int& itemIndex) {
    if (Cancelled) return false;
    if (!retry_.empty()) {
        itemIndex = retry_.front();
        retry_.erase(retry_.begin());
        return true;
    }
    if (NextIndex >= static_cast<int>(Items.size())) return false;
    itemIndex = NextIndex++;
    return true;
}

void TBatchRun::ProcessScan(TWorkThread* worker, TItem& item) {
    // Only the first file sets the run's shared geometry; a later file read on
    // the host thread (no worker thread to be had) must not change it.
    const bool first = !worker && item.Index == 0;
    if (first) SharedGeometry.Level = settings_.BlackLevel;
    TReadOptions options;
    options.CheckEmpty = settings_.CheckEmpty;
    options.Level = SharedGeometry.Level;
    options.StoredGeometry = SharedGeometry;
    options.ExpectedCount = item.QuestionCount;
    options.AnswerPause = AnswerPause;
    options.Budget = &RasterBudget;
    options.MayWaitForBudget = worker != nullptr;
    TScanHandlers handlers{item.OnGetStartPoint, item.OnGetOdp, [this, &item](int answersRead) {
                               item.AnswersRead = answersRead;
                               ReportProgress(item);
                           }};
    if (item.Refused.empty()) {
        item.Result = ReadScan(item.FileName, options, handlers);
    } else {
        item.Result = TScanResult{};
        item.Result.Status = TScanStatus::LoadFailed;
        item.Result.Message = UnreadableFileMessage(item.FileName, item.Refused);
    }
    const TScanResult& r = item.Result;
    if (r.Status == TScanStatus::Read && first && settings_.AllScansAlike) SharedGeometry = r.Geometry;
    Results.AddResultEntry(AnswersWithCode(r), std::filesystem::path(item.FileName).filename().string(),
                           static_cast<int>(r.Status), r.Message, item.Index);
}

void TBatchRun::ReportProgress(TItem& item) { host_.Post({WM_SCANPROGRESS, item.Index, item.AnswersRead}); }

void TBatchRun::HandleMessage(const TBatchMessage& message) {
    if (message.Message == WM_SCANFINISHED)
        OnScanFinished(static_cast<int>(message.LParam));
    else if (message.Message == WM_SCANPROGRESS)
        OnScanProgress(static_cast<int>(message.WParam));
}

void TBatchRun::OnScanProgress(int index) {
    if (index <= 0 || !Running) return;
    SetProgress(ProgressPosition + 1, true);
}

void TBatchRun::OnScanFinished(int slot) {
    if (!Running) return;
    if (slot >= 0 && slot < static_cast<int>(Slots.size())) Slots[static_cast<size_t>(slot)].Worker.reset();
    int next = 0;
    if (slot >= 0 && slot < static_cast<int>(Slots.size()) && TakeNextItem(next)) {
        StartWorker(next, slot);
        return;
    }
    const bool allEmpty = std::all_of(Slots.begin(), Slots.end(), [](const TSlot& s) { return !s.Worker; });
    if (SlotCount == 0 || allEmpty) FinishRun();
}

void TBatchRun::ListUnreadFiles() {
    std::vector<int> unread = retry_;
    for (int i = std::max(NextIndex, 1); i < static_cast<int>(Items.size()); ++i) unread.push_back(i);
    std::sort(unread.begin(), unread.end());
    for (int i : unread)
        Results.AddSkipped(std::filesystem::path(Items[static_cast<size_t>(i)]->FileName).filename().string(),
                           NotAnalysedStatus, NotAnalysedMessage, i);
    retry_.clear();
    NextIndex = static_cast<int>(Items.size());
}

void TBatchRun::FinishRun() {
    Running = false;
    // A cancelled run accounts for every file of the folder it never read.
    if (Cancelled) ListUnreadFiles();
    // Two sheets with one code are two entries for one student.
    Results.FlagRepeatedCodes();
    if (!StoppedByButton) {
        ProgressPosition = ProgressMax;
        if (Owner.ProgressBar) Owner.ProgressBar(ProgressMax, ProgressPosition);
    }
    StoppedByButton = false;
    if (Owner.RunningChanged) Owner.RunningChanged(false);
    if (Owner.Finished) Owner.Finished();
}

void TBatchRun::RequestCancel() {
    if (!Running) return;
    // While a worker holds the lock it may be waiting for the host to run its
    // question, so the host keeps serving calls until the lock is free.
    if (!lockReleased_) {
        // Only the first file is being read: no worker can hold the lock.
    } else {
        host_.AcquireWhileServing(QuestionLock);
    }
    const bool yes = Owner.ConfirmCancel ? Owner.ConfirmCancel() : true;
    if (yes) {
        CancelRun();
        StoppedByButton = true;
    }
    if (lockReleased_) QuestionLock.release();
}

bool TBatchRun::WorkersFinished() const {
    for (const TSlot& slot : Slots)
        if (slot.Worker && !slot.Worker->Finished()) return false;
    return true;
}

void TBatchRun::CancelRun() {
    for (TSlot& slot : Slots)
        if (slot.Worker) slot.Worker->RequestStop();
    Cancelled = true;
}

}  // namespace quorlen
