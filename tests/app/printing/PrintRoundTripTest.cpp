#include <gtest/gtest.h>

#include <QImage>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <random>

#include "PrintTestSupport.h"
#include "app/printing/PrintJob.h"
#include "core/project/SheetLayout.h"
#include "support/TestSupport.h"

using namespace quorlen;
using namespace quorlen::printtest;
using quorlen::testing::TempDir;

namespace {

// Blackens answer box (q, choice) on a rasterised printer page the way a pen
// would, through the layout's position of the box and the same stretch the
// print job applies: 640 sheet pixels across the printable width.
void MarkBox(QImage& page, const TSheetLayout& layout, const QRectF& areaMm, int dpi, int q, int choice) {
    const double pxPerMm = dpi / 25.4;
    const double scale = areaMm.width() * pxPerMm / SheetWidth;
    const TSheetBox box = BoxAt(layout.AnswerBox(q, choice + 1));
    const QRectF target(areaMm.left() * pxPerMm + box.Left * scale, areaMm.top() * pxPerMm + box.Top * scale,
                        (box.Right - box.Left + 1) * scale, (box.Bottom - box.Top + 1) * scale);
    QPainter painter(&page);
    painter.fillRect(target, Qt::black);
}

}  // namespace

// Printed sheets come back through the reader: the pre-printed codes and the
// marks a participant makes, at the resolutions scanners are set to.
TEST(PrintRoundTrip, CodesAndAnswersReadBackFromThePrintedPdf) {
    TempDir dir("printrt");
    const std::string pdf = dir.File("sheets.pdf");
    QPrinter printer(QPrinter::HighResolution);
    PointAtPdf(printer, pdf);
    const QRectF area = printer.pageLayout().paintRect(QPageLayout::Millimeter);
    const int questions = 40, answers = 5;
    TProjectSettings project;
    project.QuestionCount = questions;
    project.AnswerCount = answers;
    project.ProjectName = "Sprawdzian z fizyki";
    const std::vector<std::string> codes{"0042", "9081726354", "7"};
    ASSERT_EQ(PrintSheets(printer, project, QStringLiteral("Brenvik Analizator arkuszy odpowiedzi"), 1, &codes), 3);

    const TSheetLayout layout = TSheetLayout::Make(answers, questions);
    ASSERT_EQ(layout.LastQuestion(), questions);
    std::mt19937 rng(2024);
    for (int dpi : {150, 200, 300}) {
        const auto pages = Rasterise(pdf, dpi, dir.File("dpi" + std::to_string(dpi)));
        ASSERT_EQ(pages.size(), codes.size());
        for (size_t s = 0; s < pages.size(); ++s) {
            SCOPED_TRACE("dpi " + std::to_string(dpi) + ", sheet " + std::to_string(s + 1));
            QImage page(QString::fromStdString(pages[s]));
            ASSERT_FALSE(page.isNull());
            page = page.convertToFormat(QImage::Format_Grayscale8);
            std::vector<int> truth;
            for (int q = 1; q <= questions; ++q) {
                truth.push_back(static_cast<int>(rng() % answers));
                MarkBox(page, layout, area, dpi, q, truth.back());
            }
            const std::string scan = dir.File("scan" + std::to_string(dpi) + "-" + std::to_string(s) + ".png");
            ASSERT_TRUE(page.save(QString::fromStdString(scan)));

            std::string status;
            const TScanResult item = ReadPage(scan, 1, questions, &status);
            EXPECT_EQ(status, "0 ");
            EXPECT_EQ(item.Code, codes[s]);
            for (int q = 1; q <= questions; ++q)
                EXPECT_EQ(item.Answers.Value(std::to_string(q)), std::string(1, static_cast<char>('A' + truth[q - 1])))
                    << "question " << q;
        }
    }
}
