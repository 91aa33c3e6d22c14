#include "app/shell/ProgramPaths.h"

#include <QFileInfo>
#include <QStringList>

#include "app/automation/ServerSwitches.h"
#include "app/shell/DemoDownload.h"
#include "app/shell/FormMain.h"
#include "app/shell/SpecialFolders.h"
#include "core/exporter/ExporterHost.h"

namespace quorlen {

QString ProgramPathsText() {
    const QString data = TSpecialFolders::DataFolder(false);
    const QString config = data + QStringLiteral("/config.json");

    const TExporterSearch search = DefaultExporterSearch(TSpecialFolders::AppName().toStdString());
    const QString plugin = QString::fromStdString(FindExporter(search));
    QStringList candidates;
    for (const std::string& candidate : ExporterCandidates(search)) candidates << QString::fromStdString(candidate);

    const QUrl demo = TDemoDownload::ConfiguredUrl(config);
    QString demoText = demo.isLocalFile() ? demo.toLocalFile() : demo.toString();
    if (demo.isLocalFile() && !QFileInfo::exists(demoText)) demoText += QStringLiteral(" (missing)");

    QString text;
    text += QStringLiteral("data folder: %1\n").arg(data);
    text += QStringLiteral("settings file: %1%2\n")
                .arg(config, QFileInfo::exists(config) ? QString() : QStringLiteral(" (not written yet)"));
    text += QStringLiteral("demo archive: %1\n").arg(demoText);
    text += QStringLiteral("demo project: %1\n").arg(TFormMain::DemoProjectPath());
    text +=
        QStringLiteral("exporter plug-in: %1\n")
            .arg(plugin.isEmpty() ? QStringLiteral("none (looked for %1)").arg(candidates.join(QStringLiteral(", ")))
                                  : plugin);
    text += QStringLiteral("bus service file of /REGSERVER: %1\n").arg(ServiceFilePath());
    return text;
}

}  // namespace quorlen
