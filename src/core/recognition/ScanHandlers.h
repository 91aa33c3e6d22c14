#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace quorlen {

class TSkanItem;

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

// Operator handlers as the scan job forwards them: the job is the sender, which
// gives the handler its Raster and its TItem. Ok is in/out; false = aborted.
// Corner request: the operator's point is returned relative to Area's top-left.
using TStartPointRequest = std::function<void(TSkanItem& sender, TRect area, TPoint& pt, bool& ok)>;
// Answer request: answer is in: the letters found, out: the operator's answer.
using TAnswerRequest =
    std::function<void(TSkanItem& sender, TRect area, int answerCount, std::string& answer, bool& ok)>;

}  // namespace quorlen
