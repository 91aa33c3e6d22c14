#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/batch/Item.h"

namespace quorlen {

// True for the extensions a scan file may have, compared upper-cased:
// ".JPG", ".JPEG", ".BMP", ".PNG", and the multi-page ".PDF", ".TIF", ".TIFF".
bool IsScanFileName(const std::string& name);

// Lists the scan files of a folder in the order the file system enumerates
// them (no sorting, as the operator's scanner names the files in order
// anyway); directories and other files are skipped. Throws
// std::filesystem::filesystem_error when the folder cannot be read.
std::vector<std::string> ListScanFiles(const std::string& folder);

// One scan of a run: a picture file, or one page of a PDF or TIFF file.
struct TListedScan {
    std::string Name;  // full path; "…/skany.pdf#3" for a page
    // Why the file's pages could not be counted (Polish), for a file that
    // then stands in the list as one scan under its plain name; empty when
    // the scan is there to be read.
    std::string Refused;
    bool operator==(const TListedScan&) const = default;
};

// Counts the pages of a scan file: 1 for a one-picture file, 0 and the reason
// for a file that cannot be read.
using TPageCounter = std::function<int(const std::string& path, std::string* why)>;

// The scans the files stand for, in the files' order: every page of a
// multi-page file in the file's order ("skany.pdf#1", "#2" …), a file of one
// page under its plain name. Only names are made here: the pages are decoded
// when each is read, one at a time. An empty counter is the readers' own
// (CountScanPages).
std::vector<TListedScan> ExpandScanPages(const std::vector<std::string>& files, const TPageCounter& countPages);

}  // namespace quorlen
