#pragma once

#include <QImage>
#include <QPrinter>
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

#include "core/common/MonoBitmap.h"
#include "core/project/ProjectSettings.h"

namespace quorlen {

// Called after each sheet with the sheets done and the job's sheet count; it
// may throw to stop the job, and the sheets done so far are still printed.
using TPrintProgressEvent = std::function<void(int done, int count)>;

// The header's banner line; the project name follows it after a CR.
extern const char* const PrintBanner;

// A one-bit image of the raster, ink black, that Qt's PDF writer keeps one bit
// deep; also what the program shows of a sheet.
QImage ToPrintableMono(const TMonoBitmap& raster);

// The destination of the print options that writes a PDF file.
QString PdfDestinationName();

// The rectangle a 640 × 850 sheet page is stretched to, in the painter's
// device pixels: the printable area's origin, its width, and the height that
// keeps the sheet's proportions. Nothing is cut to the printable height.
QRect SheetPageRect(const QPrinter& printer);

// Prints count sheets of the project on the printer (a codes list with at least
// one line sets the count instead); each sheet's code comes from its line.
// Returns the number of sheets of the job, 0 with nothing printed when there
// are none. The document is ended on every path, so that the sheets done
// before an error come out. Throws std::runtime_error when the printer
// cannot start a document or a page, and whatever progress throws. A PDF
// file is written beside the target under a hidden name and renamed over it
// at the end, so that a job killed or failing half way (a full disk, said as
// such) leaves the old file whole.
int PrintSheets(QPrinter& printer, const TProjectSettings& project, const QString& documentTitle, int count,
                const std::vector<std::string>* codes, const TPrintProgressEvent& progress = {});

// Points the printer at a PDF file (named later when fileName is empty) with the margins a laser printer leaves
// (6 mm at the sides, 4 mm at top and bottom): the sheet then spans about
// 198 mm of an A4 page, which the reader needs, and fits a Letter page whole.
void SetPdfOutput(QPrinter& printer, const QString& fileName);

// The print service's queues, the default one first.
QStringList InstalledPrinters();

}  // namespace quorlen
