#include "testing/SimulateSheets.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

#include "core/common/AtomicFile.h"
#include "core/common/Json.h"
#include "core/printing/RenderSheet.h"
#include "core/project/SheetLayout.h"

namespace quorlen::sim {

bool ApplyPreset(const std::string& name, TBatchOptions& o) {
    if (name == "clean") {
        o.RotateMax = 0.3;
        o.Noise = 0;
        o.Blur = false;
        o.Border = false;
    } else if (name == "office") {
        o.RotateMax = 1.0;
        o.Noise = 0.2;
        o.Blur = true;
        o.Border = false;
        o.Lighting = 0.25;
        o.JpegQuality = 85;
    } else if (name == "rough") {
        o.RotateMax = 1.5;
        o.Noise = 0.6;
        o.Blur = true;
        o.Border = true;
        o.Lighting = 0.6;
        o.JpegQuality = 70;
        o.BlankRate = std::max(o.BlankRate, 0.02);
        o.DoubleRate = std::max(o.DoubleRate, 0.02);
    } else {
        return false;
    }
    return true;
}

bool ParseInk(const std::string& name, TInk& ink) {
    if (name == "pen")
        ink = TInk::Pen;
    else if (name == "hb")
        ink = TInk::HbPencil;
    else if (name == "light")
        ink = TInk::LightPencil;
    else
        return false;
    return true;
}

bool ParseFormat(const std::string& name, TFileFormat& format) {
    if (name == "png")
        format = TFileFormat::Png;
    else if (name == "jpg" || name == "jpeg")
        format = TFileFormat::Jpeg;
    else if (name == "jpg-colour" || name == "jpg-color")
        format = TFileFormat::JpegColour;
    else if (name == "bmp")
        format = TFileFormat::Bmp24;
    else if (name == "bmp1")
        format = TFileFormat::Bmp1;
    else
        return false;
    return true;
}

nlohmann::json SimulateBatch(const TBatchOptions& o, const std::function<void(int, int)>& progress) {
    std::filesystem::create_directories(o.OutDir);
    std::mt19937 rng(o.Seed);
    std::uniform_real_distribution<double> unit(0, 1);
    Json files = Json::array();
    const int digits = std::to_string(o.Count).size() > 4 ? static_cast<int>(std::to_string(o.Count).size()) : 4;

    for (int n = 0; n < o.Count; ++n) {
        const std::string code = o.Codes ? std::to_string(o.CodesFrom + static_cast<uint64_t>(n)) : std::string();
        std::unique_ptr<TMonoBitmap> second;
        TMonoBitmap first = RenderSheet(o.Questions, o.Answers, code, "Brenvik Quorlen\rSymulacja", 1, &second);
        std::vector<TMonoBitmap*> pages = {&first};
        if (second) pages.push_back(second.get());

        int pageFirst = 1;
        for (size_t p = 0; p < pages.size(); ++p) {
            const TSheetLayout layout = TSheetLayout::Make(o.Answers, o.Questions, pageFirst);
            TPageMarks marks;
            Json answers = Json::array();
            for (int q = pageFirst; q <= layout.LastQuestion(); ++q) {
                std::vector<int> boxes;
                const double roll = unit(rng);
                if (roll < o.BlankRate) {
                    // left blank
                } else if (o.Multi) {
                    for (int b = 0; b < o.Answers; ++b)
                        if (unit(rng) < 0.3) boxes.push_back(b);
                } else {
                    boxes.push_back(static_cast<int>(rng() % static_cast<unsigned>(o.Answers)));
                    if (roll < o.BlankRate + o.DoubleRate) {
                        int other = static_cast<int>(rng() % static_cast<unsigned>(o.Answers));
                        if (other != boxes[0]) boxes.push_back(other);
                    }
                }
                std::sort(boxes.begin(), boxes.end());
                std::string letters;
                for (int b : boxes) letters += static_cast<char>('A' + b);
                answers.push_back(letters);
                marks.Boxes.push_back(boxes);
                marks.Shapes.push_back(static_cast<TMarkShape>(rng() % 4));
            }
            // Pen marks go onto the page itself, as they always did; graphite
            // needs its own layer to be scanned grey.
            TMonoBitmap markLayer;
            if (o.Ink != TInk::Pen) markLayer.Resize(pages[p]->Width(), pages[p]->Height());
            MarkAnswers(o.Ink == TInk::Pen ? *pages[p] : markLayer, o.Questions, o.Answers, pageFirst, marks,
                        static_cast<uint32_t>(rng()));

            TScanParams params;
            params.Dpi = o.Dpi;
            params.AngleDegrees = (unit(rng) * 2 - 1) * o.RotateMax;
            params.ShiftXmm = (unit(rng) * 2 - 1) * 1.0;
            params.ShiftYmm = (unit(rng) * 2 - 1) * 1.0;
            params.NoiseLevel = o.Noise;
            params.Blur = o.Blur;
            params.DarkBorder = o.Border;
            params.Lighting = o.Lighting;
            params.Ink = o.Ink;
            params.Seed = static_cast<uint32_t>(rng());
            std::string number = std::to_string(n + 1);
            number.insert(0, static_cast<size_t>(std::max(0, digits - static_cast<int>(number.size()))), '0');
            const std::string name = "scan" + number + (p ? "-2" : "") + FileExtension(o.Format);
            SavePicture(PlaceOnA4(*pages[p], params, o.Ink == TInk::Pen ? nullptr : &markLayer),
                        (std::filesystem::path(o.OutDir) / name).string(), o.Format, o.JpegQuality);
            files.push_back({{"File", name},
                             {"Code", code},
                             {"FirstQuestion", pageFirst},
                             {"Answers", answers},
                             {"Angle", params.AngleDegrees},
                             {"ShiftXmm", params.ShiftXmm},
                             {"ShiftYmm", params.ShiftYmm}});
            pageFirst = layout.LastQuestion() + 1;
        }
        if (progress) progress(n + 1, o.Count);
    }
    Json truth = {{"Questions", o.Questions},
                  {"Answers", o.Answers},
                  {"Multi", o.Multi},
                  {"Dpi", o.Dpi},
                  {"Format", FileExtension(o.Format)},
                  {"Seed", o.Seed},
                  {"RotateMax", o.RotateMax},
                  {"Noise", o.Noise},
                  {"Blur", o.Blur},
                  {"Border", o.Border},
                  {"Lighting", o.Lighting},
                  {"Ink", o.Ink == TInk::Pen        ? "pen"
                          : o.Ink == TInk::HbPencil ? "hb"
                                                    : "light"},
                  {"Files", files}};
    WriteFileAtomically((std::filesystem::path(o.OutDir) / "truth.json").string(), DumpJsonIndented(truth));
    return truth;
}

}  // namespace quorlen::sim
