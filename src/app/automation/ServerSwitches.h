#pragma once

#include <QString>
#include <QStringList>

namespace quorlen {

enum class TServerSwitch { None, Automation, RegServer, UnregServer };

// The automation switch of the command line: AUTOMATION or EMBEDDING (started
// by a client), REGSERVER, UNREGSERVER, each after "/" or "-", any letter
// case. Registration wins over a start by a client; other arguments are
// ignored here.
TServerSwitch ParseServerSwitch(const QStringList& arguments);

// Where the session bus looks for the service file of this user:
// $XDG_DATA_HOME/dbus-1/services, ~/.local/share when it is unset.
QString ServiceFilePath();
// The file's text: the bus starts the executable with /AUTOMATION when a
// client calls the service and nobody owns it.
QString ServiceFileText(const QString& executable);
// Throw std::runtime_error with the reason.
void WriteServiceFile(const QString& executable);
void RemoveServiceFile();

}  // namespace quorlen
