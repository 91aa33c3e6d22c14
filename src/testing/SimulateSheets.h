#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include <nlohmann/json.hpp>

#include "testing/ScanSimulator.h"

namespace quorlen::sim {

// A batch of filled-in, scanned answer sheets with the truth about each.
struct TBatchOptions {
    int Questions = 50;
    int Answers = 5;
    bool Multi = false;
    int Count = 10;
    std::string OutDir;
    uint32_t Seed = 1;
    int Dpi = 200;
    double RotateMax = 0.5;  // degrees, uniform in ±RotateMax
    double Noise = 0;
    bool Blur = false;
    bool Border = false;
    double Lighting = 0;  // 0..1, see TScanParams
    TInk Ink = TInk::Pen;
    TFileFormat Format = TFileFormat::Png;
    int JpegQuality = 90;
    bool Codes = true;
    uint64_t CodesFrom = 1;
    double BlankRate = 0;   // share of questions left blank
    double DoubleRate = 0;  // share of single-choice questions with two marks
};

// Applies a named preset: "clean", "office" or "rough". False for an unknown name.
bool ApplyPreset(const std::string& name, TBatchOptions& options);
// Parses "pen", "hb" or "light" (pencil).
bool ParseInk(const std::string& name, TInk& ink);
// Parses "png", "jpg", "jpg-colour", "bmp" or "bmp1".
bool ParseFormat(const std::string& name, TFileFormat& format);

// Writes the scans (a continuation page as its own file) and OutDir/truth.json;
// returns the truth document. progress(done, total) is called after each sheet.
nlohmann::json SimulateBatch(const TBatchOptions& options, const std::function<void(int, int)>& progress = nullptr);

}  // namespace quorlen::sim
