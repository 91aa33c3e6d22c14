#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "core/batch/Item.h"
#include "core/common/MonoBitmap.h"
#include "core/common/ScanGeometry.h"
#include "core/recognition/RasterBudget.h"
#include "core/recognition/ScanHandlers.h"

namespace quorlen {

// Called after each answer line the job records; receives the job's TItem.
using TAnswerReadEvent = std::function<void(TItem& item)>;

// Processes one scan file from start to end: load, locate, read, copy the
// results into the TItem, check the answer count. Run never raises; the
// outcome is Status and Message.
class TSkanItem {
public:
    explicit TSkanItem(TItem& item);
    ~TSkanItem();
    TSkanItem(const TSkanItem&) = delete;
    TSkanItem& operator=(const TSkanItem&) = delete;

    void SetHandlers(TStartPointRequest onGetStartPoint, TAnswerRequest onGetOdp) {
        OnGetStartPoint = std::move(onGetStartPoint);
        OnGetOdp = std::move(onGetOdp);
    }

    void Run() noexcept;

    TItem& Item;
    // Exists only while Run runs; operator handlers may read it during their call.
    TMonoBitmap Raster;
    TScanGeometry Geometry{0, 0, 0, 0, 0.0f, 50};
    std::string Message;
    int32_t Status = 0;
    TStartPointRequest OnGetStartPoint;
    TAnswerRequest OnGetOdp;
    int32_t FirstQuestionNo = 1;
    int32_t ExpectedCount = 0;
    TAnswerReadEvent OnAnswerRead;
    // Pause after each recorded answer. It lets the desktop breathe while many
    // scans run; benchmarks set it to zero to measure computing time alone.
    std::chrono::microseconds AnswerPause{1000};
    // Where the raster's memory is accounted; none leaves it unbounded. The
    // share covers the raster, its deskewed copy and the decoder's buffers.
    TRasterBudget* Budget = nullptr;
    // False on a thread that must not wait for room, because the jobs holding
    // it may be waiting for that thread (the host answers their questions).
    bool MayWaitForBudget = true;
};

// The job's messages, character 13 where the operator sees a line break.
std::string LoadFailedMessage(const std::string& path);
extern const char* const UnknownErrorMessage;
extern const char* const AbortedByOperatorMessage;
std::string CountMismatchMessage(int read, int expected);

}  // namespace quorlen
