#pragma once

#include <cmath>
#include <cstdint>

namespace quorlen {

// Nearest integer, ties to the even one (0.5 → 0, 1.5 → 2, 2.5 → 2, -0.5 → 0).
// lrint follows the current rounding mode, which the program never changes
// from round-to-nearest-even; nearbyint on the value keeps that explicit.
inline int32_t Round(double v) { return static_cast<int32_t>(std::nearbyint(v)); }

}  // namespace quorlen
