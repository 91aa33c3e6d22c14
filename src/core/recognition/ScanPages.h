#pragma once

#include <string>

namespace quorlen {

// A copier's PDF or multi-page TIFF holds many scans. Each page is one scan
// of the run, named by the file and its page number from 1: "skany.pdf#3"
// (a full path keeps its folder: "/skany/skany.pdf#3"). A file of one page
// keeps its plain name. The name is what the scan list, the results
// document, every export and the shards see, so a page travels through the
// program as a file name does.

// True for ".PDF", ".TIF" and ".TIFF", compared upper-cased.
bool IsMultiPageFileName(const std::string& name);

// The file and page a scan name stands for. A name that does not end in
// "#<page>" after a multi-page file's extension is a whole file, Page 0.
struct TScanPageName {
    std::string File;
    int Page = 0;
};
TScanPageName SplitScanPageName(const std::string& name);

// "file#page"; page 0 gives the plain file name.
std::string ScanPageName(const std::string& file, int page);

// How many scans the file holds: the pages of a .pdf, .tif or .tiff (any
// letter case), 1 for any other scan file (not opened). 0 with *why set to
// the reason in Polish when a multi-page file cannot be read: encrypted with
// a password, truncated, damaged, without pages, or not a readable regular
// file. Cheap: only the page tree or the chain of TIFF directories is read,
// never a page's pixels. (Defined with LoadScan.)
int CountScanPages(const std::string& path, std::string* why = nullptr);

}  // namespace quorlen
