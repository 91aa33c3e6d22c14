#include "app/printing/PrintJob.h"

#include <QImage>
#include <QMarginsF>
#include <QPageLayout>
#include <QPainter>
#include <QPrinterInfo>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
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

// The printer (or the PDF file) failed, as against the job being stopped.
struct TPrinterFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

void NewPage(QPrinter& printer) {
    if (!printer.newPage()) throw TPrinterFailure("Drukarka nie przyjęła kolejnej strony wydruku.");
}

// A PDF destination is written under a hidden temporary name beside the
// target and takes the target's name only when the document is whole and on
// disk: a job killed half way or stopped by a full disk leaves the old PDF as
// it was (and a new target absent, not 0 bytes).
class PdfTemporary {
public:
    explicit PdfTemporary(QPrinter& printer) : printer_(printer) {
        if (printer.outputFormat() != QPrinter::PdfFormat || printer.outputFileName().isEmpty()) return;
        target_ = printer.outputFileName();
        const std::filesystem::path target(target_.toStdString());
        const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
        // Hidden, and ending in .pdf as the printer expects of a PDF name.
        std::string pattern = (folder / ("." + target.filename().string() + ".XXXXXX.pdf")).string();
        const int fd = ::mkstemps(pattern.data(), 4);
        if (fd < 0) throw std::runtime_error(WriteFailure(std::strerror(errno)));
        // mkstemp makes 0600; the PDF is a document like any the user saves.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        (void)::fchmod(fd, 0666 & ~mask);
        ::close(fd);
        temporary_ = pattern;
        printer.setOutputFileName(QString::fromStdString(temporary_));
    }
    ~PdfTemporary() {
        if (temporary_.empty()) return;
        printer_.setOutputFileName(target_);
        if (!committed_) ::unlink(temporary_.c_str());
    }
    PdfTemporary(const PdfTemporary&) = delete;
    PdfTemporary& operator=(const PdfTemporary&) = delete;

    bool Active() const { return !temporary_.empty(); }

    // Flushes the finished document and renames it over the target.
    void Commit() {
        if (!Active()) return;
        const int fd = ::open(temporary_.c_str(), O_RDONLY | O_CLOEXEC);
        const bool synced = fd >= 0 && ::fsync(fd) == 0;
        const int error = errno;
        if (fd >= 0) ::close(fd);
        if (!synced) throw std::runtime_error(Failure(std::strerror(error)));
        if (std::rename(temporary_.c_str(), target_.toStdString().c_str()) != 0)
            throw std::runtime_error(Failure(std::strerror(errno)));
        committed_ = true;
    }

    // What went wrong, in the user's words: a full disk is named as such,
    // not as a printer that refused a page.
    std::string Failure(const std::string& otherwise) const {
        struct statvfs room {};
        const std::string folder = std::filesystem::path(temporary_).parent_path().string();
        if (::statvfs(folder.c_str(), &room) == 0 &&
            static_cast<unsigned long long>(room.f_bavail) * room.f_frsize < 256 * 1024)
            return "Brak miejsca na dysku: nie można zapisać pliku PDF " + target_.toStdString() + ".";
        return otherwise;
    }

private:
    std::string WriteFailure(const char* reason) const {
        return "Nie można rozpocząć wydruku: " + target_.toStdString() + " (" + reason + ")";
    }

    QPrinter& printer_;
    QString target_;
    std::string temporary_;
    bool committed_ = false;
};

// Ends the document on every way out of the sheet loop, so that what was
// sent before an abort or an error is printed.
struct DocumentGuard {
    QPainter& Painter;
    ~DocumentGuard() {
        if (Painter.isActive()) Painter.end();
    }
};

// began tells the caller whether a document exists, even when this throws.
void PrintPages(QPrinter& printer, const std::string& destination, const TProjectSettings& project,
                const std::vector<std::string>* codes, int sheets, const TPrintProgressEvent& progress, bool& began) {
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
            if (!painter.begin(&printer)) throw TPrinterFailure("Nie można rozpocząć wydruku: " + destination);
            began = true;
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
        throw TPrinterFailure("Wydruk nie został przyjęty: " + destination);
}

}  // namespace

int PrintSheets(QPrinter& printer, const TProjectSettings& project, const QString& documentTitle, int count,
                const std::vector<std::string>* codes, const TPrintProgressEvent& progress) {
    const int sheets = SheetCountFor(count, codes);
    if (sheets == 0) return 0;

    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setDocName(documentTitle);
    const std::string destination = Destination(printer);
    PdfTemporary pdf(printer);
    bool began = false;
    try {
        PrintPages(printer, destination, project, codes, sheets, progress, began);
    } catch (const TPrinterFailure& e) {
        // A PDF that could not be written whole replaces nothing.
        if (pdf.Active()) throw std::runtime_error(pdf.Failure(e.what()));
        throw;
    } catch (...) {
        // Stopped, or a sheet refused: the sheets done stay, as on paper.
        if (began) pdf.Commit();
        throw;
    }
    pdf.Commit();
    return sheets;
}

}  // namespace quorlen
