#pragma once

#include <cstdint>

namespace quorlen {

// The located geometry of one scan, passed by value between scans of a batch.
// Left = 0 means "no previous geometry"; Level is the black level in percent.
struct TScanGeometry {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;
    float Angle = 0.0f;
    int32_t Level = 0;
};
static_assert(sizeof(TScanGeometry) == 24, "TScanGeometry is six 32-bit fields");

}  // namespace quorlen
