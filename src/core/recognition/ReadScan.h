#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "core/common/AnswerList.h"
#include "core/common/ScanGeometry.h"
#include "core/common/SharedSwitch.h"
#include "core/recognition/RasterBudget.h"
#include "core/recognition/ScanHandlers.h"

namespace quorlen {

// How a scan read ended; the numbers are the ones stored in results documents.
enum class TScanStatus : int32_t {
    Blank = -3,         // a page with almost no ink: the back of a duplex scan
    LoadFailed = -1,    // the file is no picture we can decode
    Read = 0,           // read to the end
    Failed = 1,         // an unexpected error while reading
    Aborted = 2,        // the operator aborted a question
    CountMismatch = 3,  // read, but the number of answers differs from the expected one
};

// The outcome of reading one scan. Answers holds the question lines only.
struct TScanResult {
    std::string Code;
    TAnswerList Answers;
    TScanGeometry Geometry{0, 0, 0, 0, 0.0f, 50};
    TScanStatus Status = TScanStatus::Read;
    std::string Message;
};

// Everything a read takes from its run.
struct TReadOptions {
    // Unmarked questions go to the operator (on) or read as " " (off); read at each decision.
    TSharedSwitch CheckEmpty{true};
    int32_t Level = 50;  // black level in percent
    int32_t FirstQuestionNo = 1;
    int32_t ExpectedCount = 0;  // 0 = not checked
    // The corners and angle of an earlier scan to start from; Left = 0 for none.
    TScanGeometry StoredGeometry{};
    // Pause after each recorded answer. It lets the desktop breathe while many
    // scans run; benchmarks set it to zero to measure computing time alone.
    std::chrono::microseconds AnswerPause{1000};
    // Where the raster's memory is accounted; none leaves it unbounded. The
    // share covers the raster, its deskewed copy and the decoder's buffers.
    TRasterBudget* Budget = nullptr;
    // False on a thread that must not wait for room, because the jobs holding
    // it may be waiting for that thread (the host answers their questions).
    bool MayWaitForBudget = true;
    // A code the operator read off the sheet: taken instead of the printed
    // one, unchecked. Empty: the code is read and checked.
    std::string GivenCode;
};

// Reads one scan file from start to end: load, locate, read the code and the
// answers, check the answer count. Never raises; the outcome is in Status. A
// page of a PDF or TIFF file that is blank (IsBlankPage) ends as Blank right
// after loading: a copier's duplex stack has one after every sheet.
TScanResult ReadScan(const std::string& path, const TReadOptions& options, const TScanHandlers& handlers = {});

// The answers as the results document keeps them: the question lines, then
// the code as a "Student" line when there is one.
TAnswerList AnswersWithCode(const TScanResult& result);

// The job's messages, character 13 where the operator sees a line break.
std::string LoadFailedMessage(const std::string& path);
// A scan that could not be read at all (no permission, a FIFO or a device):
// the reason first, then the file.
std::string UnreadableFileMessage(const std::string& path, const std::string& reason);
extern const char* const UnknownErrorMessage;
extern const char* const BlankPageMessage;
extern const char* const AbortedByOperatorMessage;
std::string CountMismatchMessage(int read, int expected);

}  // namespace quorlen
