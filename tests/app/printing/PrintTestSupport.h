#pragma once

#include <QPrinter>
#include <string>
#include <vector>

#include "core/recognition/ReadScan.h"

namespace quorlen::printtest {

// Pages of a PDF file as pdfinfo counts them; -1 when it cannot be read.
int PdfPageCount(const std::string& pdf);

// The document title pdfinfo reads.
std::string PdfTitle(const std::string& pdf);

// Rasterises pages first..last (1-based; 0 = to the end) to 8-bit grey PNG
// files with pdftoppm and returns their paths in page order.
std::vector<std::string> Rasterise(const std::string& pdf, int dpi, const std::string& prefix, int first = 1,
                                   int last = 0);

// Runs the scan job on one picture the way a batch does and returns its item;
// *status gets the job's status and message.
TScanResult ReadPage(const std::string& path, int firstQuestion, int expectedCount, std::string* status = nullptr);

// The sheet code each page of the PDF reads back as, page by page.
std::vector<std::string> ReadCodes(const std::string& pdf, int dpi = 150);

// A QPrinter writing the PDF file as the "Plik PDF" destination does.
void PointAtPdf(QPrinter& printer, const std::string& pdf);

}  // namespace quorlen::printtest
