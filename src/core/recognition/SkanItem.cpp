#include "core/recognition/SkanItem.h"

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/recognition/LoadScan.h"
#include "core/recognition/CodeCheck.h"
#include "core/recognition/Quorlen.h"

namespace quorlen {

const char* const UnknownErrorMessage = "Wystąpił nieznany błąd.";
const char* const AbortedByOperatorMessage = "Procedura przerwana przez Użytkownika.";

std::string LoadFailedMessage(const std::string& path) {
    return "Nieznany format pliku graficznego:\r" + path + "\rlub ten plik jest uszkodzony.";
}

std::string CountMismatchMessage(int read, int expected) {
    return "Ilość odczytanych odpowiedzi (" + std::to_string(read) +
           ")\rjest niezgodna z oczekiwaną ilością odpowiedzi (" + std::to_string(expected) + ")";
}

TSkanItem::TSkanItem(TItem& item) : Item(item) {}

TSkanItem::~TSkanItem() = default;

namespace {

// Raster::Clear keeps the pixel memory for reuse; a finished job must give it
// back, since the batch may keep the job until its results are collected.
void FreeRaster(TMonoBitmap& raster) noexcept {
    std::vector<uint8_t>().swap(raster.Bits());
    raster.Clear();
}

// Lines other than the "Student" line, which is not an answer.
int AnswerLines(const TAnswerList& answers) { return answers.Count() - (answers.IndexOfName("Student") >= 0 ? 1 : 0); }

}  // namespace

void TSkanItem::Run() noexcept {
    // Declared first, so returned last: after the raster's memory is freed.
    TRasterBudget::THold share;
    auto takeShare = [&](int32_t width, int32_t height, uint64_t workingBytes) {
        if (!Budget) return;
        const uint64_t bytes = 2 * RasterBytes(width, height) + workingBytes;
        share = MayWaitForBudget ? Budget->Acquire(bytes) : Budget->AcquireNow(bytes);
    };
    bool loaded = false;
    try {
        std::lock_guard lock(Raster.DrawingLock());
        loaded = LoadScan(Item.FileName, Raster, nullptr, takeShare);
    } catch (...) {
        loaded = false;
    }
    if (!loaded) {
        Status = -1;
        Message = LoadFailedMessage(Item.FileName);
        FreeRaster(Raster);
        return;
    }

    // Declared before the lock so that the recognizer goes first, while the
    // lock is still held, and the lock is released on every path.
    std::unique_lock<std::mutex> lock;
    std::unique_ptr<TQuorlen> recognizer;
    try {
        lock = std::unique_lock(Raster.DrawingLock());
        recognizer = std::make_unique<TQuorlen>(Raster, FirstQuestionNo, Geometry);
        // A job handler left unassigned leaves the recognizer's unassigned too,
        // so a job without an operator reads exactly like a recognizer without
        // one: corners unchecked, answers as read.
        if (OnGetStartPoint)
            recognizer->OnGetStartPoint = [this](TQuorlen&, TRect area, TPoint& pt, bool& ok) {
                OnGetStartPoint(*this, area, pt, ok);
                if (!ok) {
                    Status = 2;
                    Message = AbortedByOperatorMessage;
                }
            };
        if (OnGetOdp)
            recognizer->OnGetOdp = [this](TQuorlen&, TRect area, int answerCount, std::string& answer, bool& ok) {
                OnGetOdp(*this, area, answerCount, answer, ok);
                if (!ok) {
                    Status = 2;
                    Message = AbortedByOperatorMessage;
                }
            };
        recognizer->OnAnswerRead = [this](TQuorlen&) {
            if (AnswerPause.count() > 0) std::this_thread::sleep_for(AnswerPause);
            ++Item.AnswersRead;
            if (OnAnswerRead) OnAnswerRead(Item);
        };

        recognizer->Run();

        const std::string doubt = recognizer->Ok ? CodeDoubt(*recognizer) : std::string();
        Item.Code = doubt.empty() ? recognizer->Code : std::string();
        if (!doubt.empty() && Status == 0) Message = doubt;
        Item.Answers = recognizer->Answers;
        Item.Answers.SetValue("Student", Item.Code);
        Geometry = recognizer->Geometry;
        if (ExpectedCount > 0) {
            const int lines = AnswerLines(Item.Answers);
            if (lines != ExpectedCount) {
                Status = 3;
                Message = CountMismatchMessage(lines, ExpectedCount);
            }
        }
    } catch (...) {
        Status = 1;
        Message = UnknownErrorMessage;
    }
    recognizer.reset();
    if (lock.owns_lock()) lock.unlock();
    FreeRaster(Raster);
}

}  // namespace quorlen
