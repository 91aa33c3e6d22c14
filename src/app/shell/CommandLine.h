#pragma once

#include <QString>
#include <QStringList>

namespace quorlen {

// The worker limit after the "/THREAD=" switches: the prefix compared without
// regard to case, only the two characters after it read, values 1..98 taken,
// a later valid switch overriding an earlier one; anything else is ignored.
int ParseThreadSwitches(const QStringList& arguments, int maxWorkers);

// The switches that answer on standard output and end before any window or
// bus exists, so that they work on a machine without a display.
enum class TInfoSwitch { None, Help, Version, Paths };
// The first of --help (-h), --version or --paths among the arguments.
TInfoSwitch ParseInfoSwitch(const QStringList& arguments);

// What --help prints; the manual page is made from it.
QString UsageText();
// What --version prints: "quorlen" and the version.
QString VersionText();

}  // namespace quorlen
