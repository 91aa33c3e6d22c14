#pragma once

#include <QStringList>

namespace quorlen {

// The worker limit after the "/THREAD=" switches: the prefix compared without
// regard to case, only the two characters after it read, values 1..98 taken,
// a later valid switch overriding an earlier one; anything else is ignored.
int ParseThreadSwitches(const QStringList& arguments, int maxWorkers);

}  // namespace quorlen
