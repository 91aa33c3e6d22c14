#include "core/batch/BatchRun.h"

#include <algorithm>
#include <filesystem>

#include "core/batch/ScanList.h"
#include "core/recognition/SkanItem.h"

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
    std::vector<std::string> files;
    try {
        files = ListScanFiles(folder);
    } catch (const std::exception&) {
        // A folder that cannot be read has no scans; StartRun says so.
    }
    for (const std::string& file : files) {
        auto item = std::make_unique<TItem>();
        item->FileName = file;
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
    if (WorkerStarted) WorkerStarted(itemIndex, slot, s.CpuIndex);
    s.Worker->Start();
}

void TBatchRun::ProcessScan(TWorkThread* worker, TItem& item) {
    if (!worker) SharedGeometry.Level = settings_.BlackLevel;
    TSkanItem job(item);
    job.SetHandlers(item.OnGetStartPoint, item.OnGetOdp);
    job.FirstQuestionNo = 1;
    job.Geometry = SharedGeometry;
    job.ExpectedCount = item.QuestionCount;
    job.OnAnswerRead = [this](TItem& it) { ReportProgress(it); };
    job.AnswerPause = AnswerPause;
    job.Budget = &RasterBudget;
    job.MayWaitForBudget = worker != nullptr;
    job.Run();
    if (job.Status == 0 && !worker && settings_.AllScansAlike) SharedGeometry = job.Geometry;
    Results.AddResultEntry(item.Answers, std::filesystem::path(item.FileName).filename().string(), job.Status,
                           job.Message);
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
    if (!Cancelled && NextIndex < static_cast<int>(Items.size()) && slot >= 0) {
        StartWorker(NextIndex, slot);
        ++NextIndex;
        return;
    }
    const bool allEmpty = std::all_of(Slots.begin(), Slots.end(), [](const TSlot& s) { return !s.Worker; });
    if (SlotCount == 0 || allEmpty) FinishRun();
}

void TBatchRun::FinishRun() {
    Running = false;
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
