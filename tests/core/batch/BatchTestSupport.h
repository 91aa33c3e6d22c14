#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/printing/RenderSheet.h"
#include "support/TestSupport.h"
#include "testing/ScanSimulator.h"

namespace quorlen::testing {

// A real scan file of a small sheet (150 dpi PNG) with the given code; every
// question is marked with box (index mod A).
inline void WriteSheetScan(const std::string& path, int questions, int answers, const std::string& code) {
    TMonoBitmap page = RenderSheet(questions, answers, code, "Brenvik Quorlen\rTest");
    sim::TPageMarks marks;
    for (int q = 0; q < questions; ++q) marks.Boxes.push_back({q % answers});
    sim::MarkAnswers(page, questions, answers, 1, marks, 1);
    sim::TScanParams params;
    params.Dpi = 150;
    sim::SavePicture(sim::PlaceOnA4(page, params), path, sim::TFileFormat::Jpeg);
}

// A blank page: the recognizer asks for both corners.
inline void WriteBlankScan(const std::string& path) {
    sim::TGreyPicture p;
    p.Width = 620;
    p.Height = 877;
    p.Pixels.assign(static_cast<size_t>(p.Width * p.Height), 250);
    sim::SavePicture(p, path, sim::TFileFormat::Png);
}

// Files whose content is not a picture: fast to "read", status -1.
inline void WriteBrokenScans(const TempDir& dir, int count) {
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "x%03d.png", i);
        WriteFileBytes(dir.File(name), "not a picture");
    }
}

}  // namespace quorlen::testing
