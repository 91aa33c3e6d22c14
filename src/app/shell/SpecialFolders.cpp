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
    QString folder = qEnvironmentVariable("QUORLEN_DATA_DIR");
    if (folder.isEmpty()) {
        folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        if (folder.isEmpty()) folder = QDir::homePath() + QStringLiteral("/.local/share");
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
