#include "AppTestSupport.h"

#include <QApplication>
#include <QElapsedTimer>

#include "core/printing/RenderSheet.h"

namespace quorlen::testing {

void WriteMarkedScan(const std::string& path, int questions, int answers, const std::string& code,
                     const std::vector<std::vector<int>>& boxes, sim::TFileFormat format, const std::string& title) {
    TMonoBitmap page = RenderSheet(questions, answers, code, "Brenvik Quorlen\r" + title);
    sim::TPageMarks marks;
    marks.Boxes = boxes;
    sim::MarkAnswers(page, questions, answers, 1, marks, 1);
    sim::TScanParams params;
    params.Dpi = 150;
    sim::SavePicture(sim::PlaceOnA4(page, params), path, format);
}

void WaitForRunEnd(TFormMain& w) {
    QElapsedTimer timer;
    timer.start();
    while (w.Run().Running && timer.elapsed() < 60000) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

}  // namespace quorlen::testing
