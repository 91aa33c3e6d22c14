#include "app/printing/PrintJob.h"

#include <QImage>
#include <QMarginsF>
#include <QPageLayout>
#include <QPainter>
#include <QPrinterInfo>
#include <memory>
#include <stdexcept>

#include "core/common/Rounding.h"
#include "core/printing/CodesList.h"
#include "core/printing/RenderSheet.h"
#include "core/project/SheetLayout.h"

namespace quorlen {

const char* const PrintBanner = "Brenvik Quorlen";

QString PdfDestinationName() { return QStringLiteral("Plik PDF"); }

QRect SheetPageRect(const QPrinter& printer) {
    // With fullPage off the painter's origin is the printable area's corner and
    // width() is the printable width in device pixels.
    const int w = printer.width();
    return QRect(0, 0, w, Round(static_cast<double>(SheetHeight) * w / SheetWidth));
}

void SetPdfOutput(QPrinter& printer, const QString& fileName) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    // An empty name would turn the printer back to the print service.
    if (!fileName.isEmpty()) printer.setOutputFileName(fileName);
    printer.setFullPage(false);
    printer.setPageMargins(QMarginsF(6, 4, 6, 4), QPageLayout::Millimeter);
}

QStringList InstalledPrinters() {
    QStringList names = QPrinterInfo::availablePrinterNames();
    const QString preferred = QPrinterInfo::defaultPrinterName();
    if (names.removeAll(preferred) > 0) names.prepend(preferred);
    return names;
}

// Qt's PDF writer keeps a one-bit picture one bit deep (flate-compressed, an
// image mask in the pen's colour) only when its colour table is exactly
// {black, white}; any other table turns it into a JPEG, whose ringing greys
// the one-pixel ruler ticks. Our rasters keep ink as bit 1, so the bits are
// inverted on the way.
QImage ToPrintableMono(const TMonoBitmap& raster) {
    const TMonoBitmap* page = &raster;
    TMonoBitmap normalized;
    if (!raster.HasStandardPalette()) {
        normalized = raster;
        normalized.NormalizePalette();
        page = &normalized;
    }
    QImage image(page->Width(), page->Height(), QImage::Format_Mono);
    image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    const int rowBytes = (page->Width() + 7) / 8;
    for (int y = 0; y < page->Height(); ++y) {
        const uint8_t* from = page->Row(y);
        uchar* to = image.scanLine(y);
        for (int i = 0; i < rowBytes; ++i) to[i] = static_cast<uchar>(~from[i]);
    }
    return image;
}

namespace {

void PaintPage(QPainter& painter, const QRect& target, const TMonoBitmap& page) {
    // A smoothed or lossy stretch would grey the one-pixel ruler ticks the
    // reader counts: every sheet pixel goes to paper as it is.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.setRenderHint(QPainter::LosslessImageRendering, true);
    painter.setPen(Qt::black);
    painter.drawImage(target, ToPrintableMono(page));
}

std::string Destination(const QPrinter& printer) {
    return (printer.outputFormat() == QPrinter::PdfFormat ? printer.outputFileName() : printer.printerName())
        .toStdString();
}

void NewPage(QPrinter& printer) {
    if (!printer.newPage()) throw std::runtime_error("Drukarka nie przyjęła kolejnej strony wydruku.");
}

// Ends the document on every way out of the sheet loop, so that what was
// sent before an abort or an error is printed.
struct DocumentGuard {
    QPainter& Painter;
    ~DocumentGuard() {
        if (Painter.isActive()) Painter.end();
    }
};

}  // namespace

int PrintSheets(QPrinter& printer, const TProjectSettings& project, const QString& documentTitle, int count,
                const std::vector<std::string>* codes, const TPrintProgressEvent& progress) {
    const int sheets = SheetCountFor(count, codes);
    if (sheets == 0) return 0;

    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setDocName(documentTitle);
    QPainter painter;
    DocumentGuard guard{painter};
    QRect target;
    const std::string header = std::string(PrintBanner) + "\r" + project.ProjectName;

    for (int i = 0; i < sheets; ++i) {
        // Drawn before its page exists: a sheet the renderer refuses (a
        // project name of too many lines) must not leave an empty page behind.
        std::unique_ptr<TMonoBitmap> continuation;
        const TMonoBitmap first =
            RenderSheet(project.QuestionCount, project.AnswerCount, SheetCodeAt(codes, i), header, 1, &continuation,
                        TPrintLines{project.PrintLine1, project.PrintLine2});
        // The page break goes before a sheet rather than after the previous
        // one, so that a job stopped by its progress callback ends on the last
        // sheet printed instead of an empty page.
        if (i == 0) {
            if (!painter.begin(&printer))
                throw std::runtime_error("Nie można rozpocząć wydruku: " + Destination(printer));
            target = SheetPageRect(printer);
        } else {
            NewPage(printer);
        }
        PaintPage(painter, target, first);
        if (continuation) {
            NewPage(printer);
            PaintPage(painter, target, *continuation);
        }
        if (progress) progress(i + 1, sheets);
    }
    // A spooler that refuses the finished document says so only here.
    if (!painter.end() || printer.printerState() == QPrinter::Error)
        throw std::runtime_error("Wydruk nie został przyjęty: " + Destination(printer));
    return sheets;
}

}  // namespace quorlen
