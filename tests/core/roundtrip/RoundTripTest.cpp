#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "core/printing/RenderSheet.h"
#include "core/project/SheetLayout.h"
#include "core/recognition/ReadScan.h"
#include "support/TestSupport.h"
#include "testing/ScanSimulator.h"

using namespace quorlen;
using namespace quorlen::sim;

namespace {

struct Case {
    int Questions;
    int Answers;
    std::string Code;
    int Dpi;
    double Angle;
    TFileFormat Format;
    bool Border = false;
    double Noise = 0;
};

std::string Describe(const Case& c) {
    return "Q=" + std::to_string(c.Questions) + " A=" + std::to_string(c.Answers) + " code=" + c.Code +
           " dpi=" + std::to_string(c.Dpi) + " angle=" + std::to_string(c.Angle) + FileExtension(c.Format);
}

// Prints a sheet, marks one answer per question, scans it and reads every
// page back through the scan job; returns the answers it expected.
void CheckRoundTrip(const Case& c, uint32_t seed) {
    SCOPED_TRACE(Describe(c));
    quorlen::testing::TempDir dir("roundtrip");
    std::mt19937 rng(seed);
    std::unique_ptr<TMonoBitmap> second;
    TMonoBitmap first = RenderSheet(c.Questions, c.Answers, c.Code, "Brenvik Quorlen\rTest", 1, &second);
    std::vector<TMonoBitmap*> pages = {&first};
    if (second) pages.push_back(second.get());

    std::vector<int> truth(static_cast<size_t>(c.Questions), -1);
    std::vector<int> shapes(static_cast<size_t>(c.Questions), -1);
    int pageFirst = 1;
    for (size_t p = 0; p < pages.size(); ++p) {
        const TSheetLayout layout = TSheetLayout::Make(c.Answers, c.Questions, pageFirst);
        TPageMarks marks;
        for (int q = pageFirst; q <= layout.LastQuestion(); ++q) {
            const int box = static_cast<int>(rng() % static_cast<unsigned>(c.Answers));
            truth[static_cast<size_t>(q - 1)] = box;
            marks.Boxes.push_back({box});
            marks.Shapes.push_back(static_cast<TMarkShape>(rng() % 4));
            shapes[static_cast<size_t>(q - 1)] = static_cast<int>(marks.Shapes.back());
        }
        MarkAnswers(*pages[p], c.Questions, c.Answers, pageFirst, marks, seed);
        TScanParams params;
        params.Dpi = c.Dpi;
        params.AngleDegrees = c.Angle;
        params.ShiftXmm = 0.7;
        params.ShiftYmm = -0.4;
        params.DarkBorder = c.Border;
        params.NoiseLevel = c.Noise;
        params.Seed = seed;
        const std::string path = dir.File("scan" + std::to_string(p) + FileExtension(c.Format));
        SavePicture(PlaceOnA4(*pages[p], params), path, c.Format);

        TReadOptions options;
        options.AnswerPause = {};
        options.Level = 44;
        options.FirstQuestionNo = pageFirst;
        options.ExpectedCount = layout.LastQuestion() - pageFirst + 1;
        const TScanResult item = ReadScan(path, options);
        ASSERT_EQ(item.Status, TScanStatus::Read) << item.Message;
        EXPECT_EQ(item.Code, c.Code);
        for (int q = pageFirst; q <= layout.LastQuestion(); ++q)
            EXPECT_EQ(item.Answers.Value(std::to_string(q)),
                      std::string(1, static_cast<char>('A' + truth[static_cast<size_t>(q - 1)])))
                << "question " << q << " mark shape " << shapes[static_cast<size_t>(q - 1)];
        pageFirst = layout.LastQuestion() + 1;
    }
}

}  // namespace

TEST(RoundTrip, PngAt200DpiSlightlyRotated) { CheckRoundTrip({50, 5, "1234", 200, 1.0, TFileFormat::Png}, 7); }

TEST(RoundTrip, GreyJpegAt150DpiWithDarkBorder) {
    CheckRoundTrip({30, 4, "0123456789", 150, 0, TFileFormat::Jpeg, true}, 11);
}

TEST(RoundTrip, ColourJpegAt300Dpi) { CheckRoundTrip({3, 2, "", 300, 0.5, TFileFormat::JpegColour}, 3); }

TEST(RoundTrip, OneBitBmpWithContinuationPage) { CheckRoundTrip({200, 16, "905612", 200, -0.8, TFileFormat::Bmp1}, 5); }

TEST(RoundTrip, NoisyTwentyFourBitBmpTwoHundredQuestionsOfTwoAnswers) {
    CheckRoundTrip({200, 2, "42", 200, -1.5, TFileFormat::Bmp24, false, 0.3}, 9);
}

TEST(RoundTrip, CodesOfEveryLengthAt150Dpi) {
    const std::string digits = "9081726354";
    for (size_t n = 0; n <= 10; ++n)
        CheckRoundTrip({10, 3, digits.substr(0, n), 150, n % 2 ? 0.6 : -0.6, TFileFormat::Png}, 20 + n);
}

TEST(RoundTrip, AnticlockwiseTwoDegreesAt200Dpi) { CheckRoundTrip({50, 5, "77", 200, -2.0, TFileFormat::Jpeg}, 31); }
