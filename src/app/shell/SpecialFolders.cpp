#include "app/shell/SpecialFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace quorlen {

QString TSpecialFolders::AppName() {
    static const QString name = [] {
        const QString file = QCoreApplication::applicationFilePath();
        return file.isEmpty() ? QStringLiteral("quorlen") : QFileInfo(file).completeBaseName();
    }();
    return name;
}

QString TSpecialFolders::DataFolder(bool create) {
    // Relative values are ignored (as the XDG rules say): they would put the
    // data folder, and the plug-in looked up there, below the current folder.
    QString folder = qEnvironmentVariable("QUORLEN_DATA_DIR");
    if (QDir::isRelativePath(folder)) folder.clear();
    if (folder.isEmpty()) {
        const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
        const QString home = qEnvironmentVariable("HOME");
        if (QDir::isAbsolutePath(xdg))
            folder = xdg;
        else if (QDir::isAbsolutePath(home))
            folder = home + QStringLiteral("/.local/share");
        else
            return QString();
        folder += QStringLiteral("/Brenvik/") + AppName();
    }
    if (create && !QDir().mkpath(folder)) return QString();
    return QDir::cleanPath(folder);
}

QString TSpecialFolders::DocumentsFolder() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return folder.isEmpty() ? QDir::homePath() : folder;
}

QString TSpecialFolders::TempFileName(const QString& suffix) {
    QTemporaryFile file(QDir::tempPath() + QLatin1Char('/') + AppName() + QStringLiteral("-XXXXXX") + suffix);
    file.setAutoRemove(false);
    if (!file.open()) return QString();
    return file.fileName();
}

}  // namespace quorlen
