#pragma once

#include <cstdint>
#include <string>

#include "core/common/AnswerList.h"
#include "core/recognition/ScanHandlers.h"

namespace quorlen {

// One scan file of a batch, filled by its scan job.
struct TItem {
    std::string FileName;  // full path
    TAnswerList Answers;
    std::string Code;
    int32_t Index = 0;
    int32_t QuestionCount = 0;
    int32_t AnswersRead = 0;
    TStartPointRequest OnGetStartPoint;
    TAnswerRequest OnGetOdp;
};

}  // namespace quorlen
