#pragma once

#include <atomic>
#include <cstdint>

#include "core/scanner/ScanPng.h"
#include "core/scanner/ScannerDevice.h"

namespace quorlen {

// Receives one page as PNG rows (see TPixelKind), top to bottom.
class TPageSink {
public:
    virtual ~TPageSink() = default;
    virtual void Begin(int width, int height, TPixelKind kind) = 0;
    virtual void Row(const uint8_t* row) = 0;
};

enum class TPageRead {
    Page,         // a whole page went to the sink
    NoMorePages,  // the feeder is empty (or the device has nothing more to give)
    Cancelled     // cancel was raised; the page in progress is dropped
};

// Scans one page: starts the device, converts what it sends (grey of 1, 8 or
// 16 bits, colour in one frame or three, a height known or not) into PNG rows
// and hands them on as they arrive. A one-bit grey frame stays one bit;
// colour becomes grey unless colour is asked for. A page whose height is not
// known in advance is collected first. The device's failures throw
// TScannerError, after the device has been told to stop.
TPageRead ReadPage(TScannerDevice& device, bool colour, TPageSink& sink, const std::atomic<bool>* cancel);

}  // namespace quorlen
