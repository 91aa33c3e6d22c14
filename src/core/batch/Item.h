#pragma once

#include <cstdint>
#include <string>

#include "core/recognition/ReadScan.h"
#include "core/recognition/ScanHandlers.h"

namespace quorlen {

// One scan of a batch (a picture file or a page of a PDF or TIFF) and, once read, its result.
struct TItem {
    std::string FileName;  // full path; "…/skany.pdf#3" for a page of a multi-page file
    // Why the file's pages could not be counted (Polish): the scan is then
    // reported as not loaded, with this reason, and never read.
    std::string Refused;
    TScanResult Result;
    int32_t Index = 0;
    int32_t QuestionCount = 0;
    int32_t AnswersRead = 0;
    TStartPointRequest OnGetStartPoint;
    TAnswerRequest OnGetOdp;
};

}  // namespace quorlen
