#include "core/recognition/Threshold.h"

namespace quorlen {

void ReduceGreyRow(const uint8_t* grey, int width, uint8_t* row) {
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        unsigned byte = 0;
        for (int k = 0; k < 8; ++k) byte = (byte << 1) | static_cast<unsigned>(grey[x + k] < kInkThreshold);
        row[x >> 3] = static_cast<uint8_t>(byte);
    }
    if (x < width) {
        unsigned byte = 0;
        for (int k = 0; k < 8; ++k)
            byte = (byte << 1) | static_cast<unsigned>(x + k < width && grey[x + k] < kInkThreshold);
        row[x >> 3] = static_cast<uint8_t>(byte);
    }
}

}  // namespace quorlen
