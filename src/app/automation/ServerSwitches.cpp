#include "app/automation/ServerSwitches.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <stdexcept>

#include "core/common/AtomicFile.h"

namespace quorlen {

TServerSwitch ParseServerSwitch(const QStringList& arguments) {
    TServerSwitch found = TServerSwitch::None;
    for (const QString& argument : arguments) {
        if (!argument.startsWith(QLatin1Char('/')) && !argument.startsWith(QLatin1Char('-'))) continue;
        const QString name = argument.mid(1).toUpper();
        if (name == QLatin1String("REGSERVER")) return TServerSwitch::RegServer;
        if (name == QLatin1String("UNREGSERVER")) return TServerSwitch::UnregServer;
        if (name == QLatin1String("AUTOMATION") || name == QLatin1String("EMBEDDING"))
            found = TServerSwitch::Automation;
    }
    return found;
}

QString ServiceFilePath() {
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty() || QDir::isRelativePath(data)) data = QDir::homePath() + QStringLiteral("/.local/share");
    return data + QStringLiteral("/dbus-1/services/com.brenvik.Quorlen.service");
}

QString ServiceFileText(const QString& executable) {
    // The bus splits Exec= as a shell would: quote a path with blanks or
    // other special characters.
    QString exec = executable;
    if (exec.contains(QRegularExpression(QStringLiteral("[^A-Za-z0-9/._+-]"))))
        exec =
            QLatin1Char('\'') + QString(exec).replace(QLatin1Char('\''), QStringLiteral("'\\''")) + QLatin1Char('\'');
    return QStringLiteral("[D-BUS Service]\nName=com.brenvik.Quorlen\nExec=%1 /AUTOMATION\n").arg(exec);
}

void WriteServiceFile(const QString& executable) {
    const QString path = ServiceFilePath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        throw std::runtime_error("cannot create the folder " + QFileInfo(path).absolutePath().toStdString());
    WriteFileAtomically(path.toStdString(), ServiceFileText(QFileInfo(executable).absoluteFilePath()).toStdString());
}

void RemoveServiceFile() {
    QFile file(ServiceFilePath());
    if (file.exists() && !file.remove())
        throw std::runtime_error("cannot remove " + file.fileName().toStdString() + ": " +
                                 file.errorString().toStdString());
}

}  // namespace quorlen
