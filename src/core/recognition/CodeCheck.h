#pragma once

#include <string>

#include "core/recognition/Quorlen.h"

namespace quorlen {

// A wrong sheet code gives a sheet to another student; no code sets it aside
// where the operator sees it. So the scan job takes the code only when the
// code block reads clearly: every digit box where the grid puts it (its
// printed outline holds at least kCodeOutlineShare of its cell; a box the
// grid misses would drop its digit and shorten the code), no position with
// two marked digits, no digit box whose ink lies near the black level
// (between kCodeDoubtLow and kCodeDoubtHigh times the count that marks a
// box), where a little blur or a speck decides, and no empty position before
// a marked one: a printed code fills its positions from the first, so a gap
// is a lost digit. Returns the operator's message for a doubtful code, or
// nothing when the code stands. Call it once the code is read (after
// TQuorlen::ReadCode or Run), with Ok still true.
std::string CodeDoubt(TQuorlen& reader);

// Measured: empty boxes hold up to 0.76 of the count on rough simulated
// scans at 150 dpi and 0.83 on printed sheets rasterised at 200 dpi; printed
// digits 1.6 and more.
inline constexpr double kCodeDoubtLow = 0.9;
inline constexpr double kCodeDoubtHigh = 1.5;
// An empty box's printed outline covers 36 % of its cell on the sheet and
// 16 % or more on every simulated scan measured (150 dpi, rough); a box the
// grid misses shows paper, 4 to 9 %.
inline constexpr double kCodeOutlineShare = 0.11;

}  // namespace quorlen
