#include <gtest/gtest.h>

#include <QImage>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <chrono>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include "PrintTestSupport.h"
#include "app/printing/PrintJob.h"
#include "core/printing/CodesList.h"
#include "core/printing/RenderSheet.h"
#include "core/project/SheetLayout.h"
#include "support/TestSupport.h"

using namespace quorlen;
using namespace quorlen::printtest;
using quorlen::testing::ReadFileBytes;
using quorlen::testing::TempDir;

namespace {

const QString kTitle = QStringLiteral("Brenvik Analizator arkuszy odpowiedzi");

TProjectSettings Project(int questions, int answers, const std::string& name = "Próba") {
    TProjectSettings p;
    p.QuestionCount = questions;
    p.AnswerCount = answers;
    p.ProjectName = name;
    return p;
}

struct Progress {
    std::vector<std::pair<int, int>> Calls;
    TPrintProgressEvent Event() {
        return [this](int done, int count) { Calls.emplace_back(done, count); };
    }
};

using Calls = std::vector<std::pair<int, int>>;

}  // namespace

TEST(PrintSheets, PreFillOffPrintsUncodedSheetsAndReportsEachOne) {
    TempDir dir("print");
    const std::string pdf = dir.File("three.pdf");
    QPrinter printer(QPrinter::HighResolution);
    PointAtPdf(printer, pdf);
    Progress progress;
    EXPECT_EQ(PrintSheets(printer, Project(50, 5), kTitle, 3, nullptr, progress.Event()), 3);
    EXPECT_EQ(progress.Calls, (Calls{{1, 3}, {2, 3}, {3, 3}}));
    EXPECT_EQ(PdfPageCount(pdf), 3);
    EXPECT_EQ(ReadCodes(pdf), (std::vector<std::string>{"", "", ""}));
    // The document carries the window's caption as its title.
    EXPECT_EQ(PdfTitle(pdf), "Brenvik Analizator arkuszy odpowiedzi");
}

TEST(PrintSheets, CodesListLinesDecideCountAndCodes) {
    TempDir dir("print");
    struct Case {
        const char* Name;
        std::vector<std::string> Lines;
        int Count;
        std::vector<std::string> Codes;
    };
    const std::vector<Case> cases = {
        // Blanks around a code go, its leading zeros stay; eleven digits are
        // no code; a code may repeat.
        {"blanks", {" 0042 ", "12345678901", "12", "12"}, 1, {"0042", "", "12", "12"}},
        // An empty list is no list: the count decides and nothing is coded.
        {"empty", {}, 2, {"", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string pdf = dir.File(std::string(c.Name) + ".pdf");
        QPrinter printer(QPrinter::HighResolution);
        PointAtPdf(printer, pdf);
        Progress progress;
        const int sheets = PrintSheets(printer, Project(20, 4), kTitle, c.Count, &c.Lines, progress.Event());
        EXPECT_EQ(sheets, static_cast<int>(c.Codes.size()));
        ASSERT_EQ(progress.Calls.size(), c.Codes.size());
        EXPECT_EQ(progress.Calls.back(), std::make_pair(sheets, sheets));
        EXPECT_EQ(ReadCodes(pdf), c.Codes);
    }
}

TEST(PrintSheets, HighestStartAndCountPrintsAThousandSevenDigitCodes) {
    TempDir dir("print");
    const std::string pdf = dir.File("thousand.pdf");
    QPrinter printer(QPrinter::HighResolution);
    PointAtPdf(printer, pdf);
    const std::vector<std::string> codes = CodesStartingFrom(999999, 1000);
    Progress progress;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(PrintSheets(printer, Project(3, 2), kTitle, 1000, &codes, progress.Event()), 1000);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    RecordProperty("seconds_for_1000_sheets", std::to_string(seconds));
    EXPECT_EQ(progress.Calls.size(), 1000u);
    ASSERT_EQ(PdfPageCount(pdf), 1000);
    // The first sheet, the first with seven digits, and the last.
    for (const auto& [page, code] :
         std::vector<std::pair<int, std::string>>{{1, "999999"}, {2, "1000000"}, {1000, "1000998"}}) {
        const auto files = Rasterise(pdf, 150, dir.File("p" + std::to_string(page)), page, page);
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(ReadPage(files[0], 1, 0).Code, code) << "page " << page;
    }
}

TEST(PrintSheets, SheetsWithAContinuationPageTakeTwoPrinterPagesEach) {
    TempDir dir("print");
    const std::string pdf = dir.File("long.pdf");
    QPrinter printer(QPrinter::HighResolution);
    PointAtPdf(printer, pdf);
    const std::vector<std::string> codes{"1", "2"};
    Progress progress;
    EXPECT_EQ(PrintSheets(printer, Project(200, 16), kTitle, 5, &codes, progress.Event()), 2);
    EXPECT_EQ(progress.Calls, (Calls{{1, 2}, {2, 2}}));
    ASSERT_EQ(PdfPageCount(pdf), 4);
    const auto pages = Rasterise(pdf, 150, dir.File("page"));
    ASSERT_EQ(pages.size(), 4u);
    for (int sheet = 0; sheet < 2; ++sheet) {
        std::string status;
        EXPECT_EQ(ReadPage(pages[2 * sheet], 1, 30, &status).Code, codes[sheet]);
        EXPECT_EQ(status.substr(0, 2), "0 ") << status;
        // The second page holds questions 31..60 of the same sheet.
        const TScanResult second = ReadPage(pages[2 * sheet + 1], 31, 30, &status);
        EXPECT_EQ(status.substr(0, 2), "0 ") << status;
        EXPECT_EQ(second.Code, codes[sheet]);
    }
}

TEST(PrintSheets, AbortDuringTheThirdSheetKeepsThreeSheetsAndNoEmptyPage) {
    TempDir dir("print");
    for (int questions : {50, 200}) {
        SCOPED_TRACE(questions);
        const std::string pdf = dir.File("abort" + std::to_string(questions) + ".pdf");
        QPrinter printer(QPrinter::HighResolution);
        PointAtPdf(printer, pdf);
        int calls = 0;
        try {
            PrintSheets(printer, Project(questions, questions == 200 ? 16 : 5), kTitle, 10, nullptr,
                        [&](int done, int) {
                            ++calls;
                            if (done == 3) throw std::runtime_error("Wydruk przerwany przez Użytkownika.");
                        });
            ADD_FAILURE() << "the abort did not reach the caller";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "Wydruk przerwany przez Użytkownika.");
        }
        EXPECT_EQ(calls, 3);
        EXPECT_EQ(PdfPageCount(pdf), questions == 200 ? 6 : 3);
    }
}

TEST(PrintSheets, NoSheetsMeansNoDocument) {
    TempDir dir("print");
    const std::string pdf = dir.File("none.pdf");
    QPrinter printer(QPrinter::HighResolution);
    PointAtPdf(printer, pdf);
    const std::vector<std::string> empty;
    Progress progress;
    EXPECT_EQ(PrintSheets(printer, Project(50, 5), kTitle, 0, &empty, progress.Event()), 0);
    EXPECT_EQ(PrintSheets(printer, Project(50, 5), kTitle, 0, nullptr, progress.Event()), 0);
    EXPECT_TRUE(progress.Calls.empty());
    EXPECT_FALSE(std::filesystem::exists(pdf));
}

TEST(PrintSheets, ADocumentThatCannotStartIsAnErrorBeforeAnyProgress) {
    TempDir dir("print");
    QPrinter printer(QPrinter::HighResolution);
    PointAtPdf(printer, dir.File("missing-folder/x.pdf"));
    Progress progress;
    try {
        PrintSheets(printer, Project(50, 5), kTitle, 2, nullptr, progress.Event());
        ADD_FAILURE() << "printing into a missing folder succeeded";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("Nie można rozpocząć wydruku"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(progress.Calls.empty());
}

TEST(PrintSheets, ASheetTheRendererRefusesLeavesNoPage) {
    TempDir dir("print");
    const std::string pdf = dir.File("refused.pdf");
    QPrinter printer(QPrinter::HighResolution);
    PointAtPdf(printer, pdf);
    // So many header lines that no question row is left on the sheet.
    std::string name = "Nazwa";
    for (int i = 0; i < 60; ++i) name += "\r" + std::to_string(i);
    Progress progress;
    EXPECT_THROW(PrintSheets(printer, Project(50, 5, name), kTitle, 2, nullptr, progress.Event()),
                 std::invalid_argument);
    EXPECT_TRUE(progress.Calls.empty());
    EXPECT_FALSE(std::filesystem::exists(pdf));
}

TEST(PrintSheets, SheetPixelsGoToThePdfAsTheyAreWithoutSmoothing) {
    TempDir dir("print");
    const std::string pdf = dir.File("pixels.pdf");
    QPrinter printer(QPrinter::HighResolution);
    PointAtPdf(printer, pdf);
    ASSERT_EQ(PrintSheets(printer, Project(200, 16), kTitle, 2, nullptr), 2);
    const std::string bytes = ReadFileBytes(pdf);
    auto count = [&](const std::string& what) {
        size_t n = 0;
        for (size_t at = bytes.find(what); at != std::string::npos; at = bytes.find(what, at + 1)) ++n;
        return n;
    };
    // One 640 × 850 picture per printer page, and no request to interpolate it.
    EXPECT_EQ(count("/Subtype /Image"), 4u);
    EXPECT_EQ(count("/Width 640"), 4u);
    EXPECT_EQ(count("/Height 850"), 4u);
    EXPECT_EQ(count("/Interpolate true"), 0u);
    // Still one bit deep and never re-encoded as a JPEG.
    EXPECT_EQ(count("/BitsPerComponent 1"), 4u);
    EXPECT_EQ(count("/DCTDecode"), 0u);
}

namespace {

// Ink extents of a grey picture: leftmost, rightmost, top and bottom pixel
// darker than mid-grey.
struct Extents {
    int Left = 1 << 30, Right = -1, Top = 1 << 30, Bottom = -1;
};

Extents InkExtents(const QImage& image) {
    Extents e;
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* row = grey.constScanLine(y);
        for (int x = 0; x < grey.width(); ++x)
            if (row[x] < 128) {
                e.Left = std::min(e.Left, x);
                e.Right = std::max(e.Right, x);
                e.Top = std::min(e.Top, y);
                e.Bottom = std::max(e.Bottom, y);
            }
    }
    return e;
}

Extents InkExtents(const TMonoBitmap& page) {
    Extents e;
    for (int y = 0; y < page.Height(); ++y)
        for (int x = 0; x < page.Width(); ++x)
            if (page.IsBlack(x, y)) {
                e.Left = std::min(e.Left, x);
                e.Right = std::max(e.Right, x);
                e.Top = std::min(e.Top, y);
                e.Bottom = std::max(e.Bottom, y);
            }
    return e;
}

}  // namespace

TEST(PrintSheets, SheetSpansThePrintableWidthOnEveryPaper) {
    TempDir dir("print");
    const TMonoBitmap sheet = RenderSheet(50, 5, "", std::string(PrintBanner) + "\rPróba");
    const Extents drawn = InkExtents(sheet);
    struct Case {
        const char* Name;
        QPageSize::PageSizeId Paper;
        QMarginsF MarginsMm;  // empty: the PDF destination's own
    };
    const std::vector<Case> cases = {
        {"A4", QPageSize::A4, {}},
        {"Letter", QPageSize::Letter, {}},
        {"A4-wide-margins", QPageSize::A4, QMarginsF(20, 15, 25, 10)},
    };
    const int dpi = 200;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string pdf = dir.File(std::string(c.Name) + ".pdf");
        QPrinter printer(QPrinter::HighResolution);
        PointAtPdf(printer, pdf);
        printer.setPageSize(QPageSize(c.Paper));
        if (!c.MarginsMm.isNull()) printer.setPageMargins(c.MarginsMm, QPageLayout::Millimeter);
        const QRectF area = printer.pageLayout().paintRect(QPageLayout::Millimeter);
        ASSERT_EQ(PrintSheets(printer, Project(50, 5), kTitle, 1, nullptr), 1);

        const auto pages = Rasterise(pdf, dpi, dir.File(c.Name));
        ASSERT_EQ(pages.size(), 1u);
        QImage image(QString::fromStdString(pages[0]));
        ASSERT_FALSE(image.isNull());
        const QSizeF paper = QPageSize(c.Paper).size(QPageSize::Millimeter);
        EXPECT_NEAR(image.width(), paper.width() * dpi / 25.4, 1.0);

        // Where sheet pixel x lands when the 640 pixels fill the printable width.
        const double pxPerMm = dpi / 25.4;
        const double scale = area.width() * pxPerMm / SheetWidth;
        const double left = area.left() * pxPerMm, top = area.top() * pxPerMm;
        const Extents printed = InkExtents(image);
        EXPECT_NEAR(printed.Left, left + drawn.Left * scale, 2.0);
        EXPECT_NEAR(printed.Right + 1, left + (drawn.Right + 1) * scale, 2.0);
        EXPECT_NEAR(printed.Top, top + drawn.Top * scale, 2.0);
        // The height keeps the sheet's proportions, so the bottom lands at the
        // same scale as the sides.
        EXPECT_NEAR(printed.Bottom + 1, top + (drawn.Bottom + 1) * scale, 2.0);
    }
}
