#include "app/shell/CommandLine.h"

namespace quorlen {

int ParseThreadSwitches(const QStringList& arguments, int maxWorkers) {
    const QString prefix = QStringLiteral("/THREAD=");
    for (const QString& argument : arguments) {
        if (argument.left(prefix.size()).toUpper() != prefix) continue;
        bool ok = false;
        const int value = argument.mid(prefix.size(), 2).toInt(&ok, 10);
        if (ok && value >= 1 && value <= 98) maxWorkers = value;
    }
    return maxWorkers;
}

}  // namespace quorlen
