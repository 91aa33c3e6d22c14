#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/common/MonoBitmap.h"

namespace quorlen::sim {

// An 8-bit grey picture, the simulated output of a scanner.
struct TGreyPicture {
    int Width = 0;
    int Height = 0;
    std::vector<uint8_t> Pixels;
    uint8_t& At(int x, int y) {
        return Pixels[static_cast<size_t>(y) * static_cast<size_t>(Width) + static_cast<size_t>(x)];
    }
    uint8_t At(int x, int y) const {
        return Pixels[static_cast<size_t>(y) * static_cast<size_t>(Width) + static_cast<size_t>(x)];
    }
};

enum class TMarkShape { Solid, Scribble, Cross, Partial };

// What the participants write with. A pen scans as dark as the print; graphite
// scans grey with a grain of paper showing through, the harder the lighter.
enum class TInk { Pen, HbPencil, LightPencil };

struct TScanParams {
    int Dpi = 200;
    double AngleDegrees = 0;  // positive turns the sheet clockwise on screen
    double ShiftXmm = 0;
    double ShiftYmm = 0;
    double NoiseLevel = 0;  // 0..1: share of grey-level jitter and speckles
    bool Blur = false;
    bool DarkBorder = false;
    // 0..1: dimmer paper, light falling off across the page and the shadow
    // of a book spine along the left edge, as a flatbed under a lid gives.
    double Lighting = 0;
    TInk Ink = TInk::Pen;
    uint32_t Seed = 1;
};

// What a participant marked on one page: per question (index 0 = first
// question of the page) the chosen box indices, and the code to pre-print.
struct TPageMarks {
    std::vector<std::vector<int>> Boxes;
    std::vector<TMarkShape> Shapes;
};

// Fills the chosen answer boxes of a rendered sheet page with pen-like marks.
void MarkAnswers(TMonoBitmap& page, int questionCount, int answerCount, int firstQuestion, const TPageMarks& marks,
                 uint32_t seed);

// Places a 640 × 850 sheet page on an A4 picture at the given resolution the
// way the print job does (stretched across the printable width, about 200 mm),
// rotated and shifted a little, with noise, blur and a dark border as asked.
// The participant's marks come in their own layer when given (drawn in
// params.Ink); without it every black pixel of the page is print.
TGreyPicture PlaceOnA4(const TMonoBitmap& page, const TScanParams& params, const TMonoBitmap* marks = nullptr);

enum class TFileFormat { Png, Jpeg, JpegColour, Bmp24, Bmp1 };
// Writes the picture; throws std::runtime_error on failure.
void SavePicture(const TGreyPicture& picture, const std::string& path, TFileFormat format, int jpegQuality = 90);
std::string FileExtension(TFileFormat format);

}  // namespace quorlen::sim
