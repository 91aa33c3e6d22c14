#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/common/MonoBitmap.h"

namespace quorlen {

struct TRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;
    bool operator==(const TRect&) const = default;
};

struct TPoint {
    int32_t X = 0;
    int32_t Y = 0;
    bool operator==(const TPoint&) const = default;
};

// What an operator handler may look at while it is asked: the deskewed raster
// of the scan being read and the scan's file. Valid only during the call.
struct TScanView {
    const TMonoBitmap& Raster;
    const std::string& FileName;
};

// Operator handlers. Ok is in/out; false = aborted.
// Corner request: the operator's point is returned relative to Area's top-left.
using TStartPointRequest = std::function<void(const TScanView& scan, TRect area, TPoint& pt, bool& ok)>;
// Answer request: answer is in: the letters found, out: the operator's answer.
using TAnswerRequest =
    std::function<void(const TScanView& scan, TRect area, int answerCount, std::string& answer, bool& ok)>;

// What a scan read calls while it runs; any may be left empty. An empty
// operator handler leaves its question unasked: corners unchecked, answers as read.
struct TScanHandlers {
    TStartPointRequest OnGetStartPoint;
    TAnswerRequest OnGetOdp;
    // After each recorded answer line, with the number recorded so far.
    std::function<void(int answersRead)> OnAnswerRead;
};

}  // namespace quorlen
