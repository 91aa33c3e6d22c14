#include "core/recognition/SkanItem.h"

#include <memory>
#include <mutex>
#include <thread>

#include "core/recognition/LoadScan.h"
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

void TSkanItem::Run() noexcept {
    try {
        {
            std::lock_guard lock(Raster.DrawingLock());
            if (!LoadScan(Item.FileName, Raster)) {
                Status = -1;
                Message = LoadFailedMessage(Item.FileName);
            }
        }
        if (Status == -1) {
            Raster.Clear();
            return;
        }
    } catch (...) {
        Status = -1;
        Message = LoadFailedMessage(Item.FileName);
        Raster.Clear();
        return;
    }

    std::unique_ptr<TQuorlen> recognizer;
    std::unique_lock lock(Raster.DrawingLock());
    try {
        recognizer = std::make_unique<TQuorlen>(Raster, FirstQuestionNo, Geometry);
        // Forwarders: an unassigned job handler leaves the recognizer's request
        // unanswered, which behaves exactly like a recognizer without handlers.
        recognizer->OnGetStartPoint = [this](TQuorlen&, TRect area, TPoint& pt, bool& ok) {
            if (OnGetStartPoint) OnGetStartPoint(*this, area, pt, ok);
            if (!ok) {
                Status = 2;
                Message = AbortedByOperatorMessage;
            }
        };
        recognizer->OnGetOdp = [this](TQuorlen&, TRect area, int answerCount, std::string& answer, bool& ok) {
            if (OnGetOdp) OnGetOdp(*this, area, answerCount, answer, ok);
            if (!ok) {
                Status = 2;
                Message = AbortedByOperatorMessage;
            }
        };
        if (!OnGetStartPoint) recognizer->OnGetStartPoint = nullptr;
        if (!OnGetOdp) recognizer->OnGetOdp = nullptr;
        recognizer->OnAnswerRead = [this](TQuorlen&) {
            if (AnswerPause.count() > 0) std::this_thread::sleep_for(AnswerPause);
            ++Item.AnswersRead;
            if (OnAnswerRead) OnAnswerRead(Item);
        };

        recognizer->Run();

        Item.Code = recognizer->Code;
        Item.Answers = recognizer->Answers;
        Item.Answers.SetValue("Student", Item.Code);
        Geometry = recognizer->Geometry;
        if (ExpectedCount > 0) {
            int lines = 0;
            for (int i = 0; i < Item.Answers.Count(); ++i)
                if (Item.Answers.Name(i) != "Student") ++lines;
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
    lock.unlock();
    Raster.Clear();
}

}  // namespace quorlen
