#pragma once

#include <cstdint>
#include <string>

#include "core/recognition/ReadScan.h"
#include "core/recognition/ScanHandlers.h"

namespace quorlen {

// One scan file of a batch and, once read, its result.
struct TItem {
    std::string FileName;  // full path
    TScanResult Result;
    int32_t Index = 0;
    int32_t QuestionCount = 0;
    int32_t AnswersRead = 0;
    TStartPointRequest OnGetStartPoint;
    TAnswerRequest OnGetOdp;
};

}  // namespace quorlen
