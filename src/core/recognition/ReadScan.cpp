// A scan read is one function over its inputs: decode the file into a one-bit
// raster (within the run's memory budget), hand it to the recognizer, and turn
// what it found into a result value. Nothing escapes: every failure becomes a
// status and its message.
#include "core/recognition/ReadScan.h"

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/recognition/BlankPage.h"
#include "core/recognition/CodeCheck.h"
#include "core/recognition/LoadScan.h"
#include "core/recognition/Quorlen.h"
#include "core/recognition/ScanPages.h"

namespace quorlen {

const char* const UnknownErrorMessage = "Wystąpił nieznany błąd.";
const char* const BlankPageMessage = "Pusta strona";
const char* const AbortedByOperatorMessage = "Procedura przerwana przez Użytkownika.";

std::string LoadFailedMessage(const std::string& path) {
    return "Nieznany format pliku graficznego:\r" + path + "\rlub ten plik jest uszkodzony.";
}

std::string UnreadableFileMessage(const std::string& path, const std::string& reason) {
    std::string text = reason;
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 'a' + 'A');
    // The readers' reasons are sentences; the file's name follows a colon.
    while (!text.empty() && (text.back() == '.' || text.back() == ' ')) text.pop_back();
    return text + ":\r" + path;
}

std::string CountMismatchMessage(int read, int expected) {
    return "Ilość odczytanych odpowiedzi (" + std::to_string(read) +
           ")\rjest niezgodna z oczekiwaną ilością odpowiedzi (" + std::to_string(expected) + ")";
}

TAnswerList AnswersWithCode(const TScanResult& result) {
    TAnswerList answers = result.Answers;
    answers.SetValue("Student", result.Code);
    return answers;
}

namespace {

// Raster::Clear keeps the pixel memory for reuse; a finished read gives it back
// before its budget share is returned.
void FreeRaster(TMonoBitmap& raster) noexcept {
    std::vector<uint8_t>().swap(raster.Bits());
    raster.Clear();
}

}  // namespace

TScanResult ReadScan(const std::string& path, const TReadOptions& options, const TScanHandlers& handlers) {
    TScanResult result;
    result.Geometry = options.StoredGeometry;
    result.Geometry.Level = options.Level;

    // Declared first, so returned last: after the raster's memory is freed.
    TRasterBudget::THold share;
    auto takeShare = [&](int32_t width, int32_t height, uint64_t workingBytes) {
        if (!options.Budget) return;
        const uint64_t bytes = 2 * RasterBytes(width, height) + workingBytes;
        share = options.MayWaitForBudget ? options.Budget->Acquire(bytes) : options.Budget->AcquireNow(bytes);
    };
    TMonoBitmap raster;
    bool loaded = false;
    const bool page = IsMultiPageFileName(SplitScanPageName(path).File);
    std::string unreadable, detail;
    try {
        std::lock_guard lock(raster.DrawingLock());
        loaded = LoadScan(path, raster, &detail, takeShare, &unreadable);
    } catch (...) {
        loaded = false;
    }
    if (!loaded) {
        // The page readers say in Polish why a page of a PDF or TIFF failed
        // (past the end, damaged, locked); the picture decoders' details are
        // for logs.
        if (unreadable.empty() && page && detail.rfind("Plik ", 0) == 0)
            unreadable = detail;
        result.Status = TScanStatus::LoadFailed;
        result.Message = unreadable.empty() ? LoadFailedMessage(path) : UnreadableFileMessage(path, unreadable);
        FreeRaster(raster);
        return result;
    }
    // A flatbed's blank picture stays a question to the operator (a sheet
    // may lie face down); a copier's stack holds the backs as pages.
    if (page && IsBlankPage(raster)) {
        result.Status = TScanStatus::Blank;
        result.Message = BlankPageMessage;
        FreeRaster(raster);
        return result;
    }

    auto aborted = [&result] {
        result.Status = TScanStatus::Aborted;
        result.Message = AbortedByOperatorMessage;
    };
    int answersRead = 0;
    // Declared before the lock so that the recognizer goes first, while the
    // lock is still held, and the lock is released on every path.
    std::unique_lock<std::mutex> lock;
    std::unique_ptr<TQuorlen> recognizer;
    try {
        lock = std::unique_lock(raster.DrawingLock());
        recognizer = std::make_unique<TQuorlen>(raster, options.FirstQuestionNo, result.Geometry);
        recognizer->CheckEmpty = options.CheckEmpty;
        const TScanView view{raster, path};
        if (handlers.OnGetStartPoint)
            recognizer->OnGetStartPoint = [&](TQuorlen&, TRect area, TPoint& pt, bool& ok) {
                handlers.OnGetStartPoint(view, area, pt, ok);
                if (!ok) aborted();
            };
        if (handlers.OnGetOdp)
            recognizer->OnGetOdp = [&](TQuorlen&, TRect area, int answerCount, std::string& answer, bool& ok) {
                handlers.OnGetOdp(view, area, answerCount, answer, ok);
                if (!ok) aborted();
            };
        recognizer->OnAnswerRead = [&](TQuorlen&) {
            if (options.AnswerPause.count() > 0) std::this_thread::sleep_for(options.AnswerPause);
            ++answersRead;
            if (handlers.OnAnswerRead) handlers.OnAnswerRead(answersRead);
        };

        // A doubtful code block gives no code rather than someone else's. It
        // is judged before the answers: a refused sheet's answers belong to
        // nobody, so they are read without a question to the operator.
        std::string doubt;
        recognizer->CodeRead = [&](TQuorlen& r) {
            if (!options.GivenCode.empty()) {
                r.Code = options.GivenCode;
                return;
            }
            doubt = CodeDoubt(r);
            if (!doubt.empty()) r.OnGetOdp = nullptr;
        };
        recognizer->Run();

        result.Code = doubt.empty() ? recognizer->Code : std::string();
        if (!doubt.empty()) result.Message = doubt;
        result.Answers = recognizer->Answers;
        result.Geometry = recognizer->Geometry;
        // The refusal is what decided such a sheet; a count it leaves short
        // (a sheet located wrongly reads few answers) is only its consequence.
        if (doubt.empty() && options.ExpectedCount > 0 && result.Answers.Count() != options.ExpectedCount) {
            result.Status = TScanStatus::CountMismatch;
            result.Message = CountMismatchMessage(result.Answers.Count(), options.ExpectedCount);
        }
    } catch (...) {
        result.Status = TScanStatus::Failed;
        result.Message = UnknownErrorMessage;
    }
    recognizer.reset();
    if (lock.owns_lock()) lock.unlock();
    FreeRaster(raster);
    return result;
}

}  // namespace quorlen
