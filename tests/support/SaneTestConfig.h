#pragma once

#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace quorlen::testing {

// A private SANE configuration that knows only SANE's two virtual backends:
// `test` (two devices; its "Automatic Document Feeder" source gives 10 pages
// and then reports an empty feeder) and `pnm` (scans the PNM file its
// "filename" option names). SANE_CONFIG_DIR points to it, so no real scanner
// and no network backend is ever probed. SANE keeps the folder it first read
// for the life of the process, so every object shares one folder and writes
// its own files into it.
class TSaneTestConfig {
public:
    // The test backend's pages: width and height in mm (the stock 80 × 100);
    // more lines of its test.conf ("read-delay true", "read-status-code …").
    explicit TSaneTestConfig(double widthMm = 80, double heightMm = 100, const std::string& moreTestConf = {});
    TSaneTestConfig(const TSaneTestConfig&) = delete;
    TSaneTestConfig& operator=(const TSaneTestConfig&) = delete;
    std::string Dir() const;
    // "SANE_CONFIG_DIR=… " for a command line.
    std::string Environment() const;
};

// The pixels of a PNG or PNM (P4, P5, P6) file as 8-bit samples, one per
// pixel for grey and one bit (0 or 255, white = 255), three for colour.
struct TImage {
    int Width = 0, Height = 0, Channels = 0, BitDepth = 0;
    int DotsPerInch = 0;  // from a PNG's pHYs, 0 without
    std::string Samples;
};
TImage ReadPngImage(const std::string& path);
TImage ReadPnmImage(const std::string& path);
// The names of a folder's entries, sorted; none when it does not exist.
std::vector<std::string> FileNames(const std::string& folder);

// An 8-bit grey P5 file.
void WritePgm(const std::string& path, int width, int height, const std::string& samples);

}  // namespace quorlen::testing
