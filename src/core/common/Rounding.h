#pragma once

#include <cmath>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quorlen {

// Nearest integer, ties to the even one (0.5 → 0, 1.5 → 2, 2.5 → 2, -0.5 → 0).
// The conversion instruction rounds in the FPU's mode, round-to-nearest-even,
// which the program never changes; unlike nearbyint on the baseline x86-64
// target it needs no library call in the loops that round every pixel.
inline int32_t Round(double v) {
#if defined(__SSE2__)
    if (std::fabs(v) < 2147483647.0) return _mm_cvtsd_si32(_mm_set_sd(v));
#endif
    return static_cast<int32_t>(std::nearbyint(v));
}

}  // namespace quorlen
