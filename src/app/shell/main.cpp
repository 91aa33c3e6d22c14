#include <QApplication>
#include <QDBusConnection>
#include <clocale>
#include <iostream>

#include "QuorlenVersion.h"

#include "app/automation/QuorlenServer.h"
#include "app/automation/ServerSwitches.h"
#include "app/shell/CommandLine.h"
#include "app/shell/DemoDownload.h"
#include "app/shell/FormMain.h"
#include "app/shell/ProgramPaths.h"
#include "app/shell/SpecialFolders.h"
#include "app/shell/Translations.h"

namespace {

// /REGSERVER and /UNREGSERVER only write or remove the bus's service file;
// they need no display.
int Register(int argc, char** argv, quorlen::TServerSwitch what) {
    QCoreApplication app(argc, argv);
    try {
        if (what == quorlen::TServerSwitch::RegServer) {
            quorlen::WriteServiceFile(QCoreApplication::applicationFilePath());
            std::cout << "registered: " << quorlen::ServiceFilePath().toStdString() << "\n";
        } else {
            quorlen::RemoveServiceFile();
            std::cout << "unregistered: " << quorlen::ServiceFilePath().toStdString() << "\n";
        }
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "quorlen: " << e.what() << "\n";
        return 1;
    }
}

// --help, --version and --paths answer without a display or a bus.
int Inform(int argc, char** argv, quorlen::TInfoSwitch what) {
    QCoreApplication app(argc, argv);
    switch (what) {
        case quorlen::TInfoSwitch::Help:
            std::cout << quorlen::UsageText().toStdString();
            break;
        case quorlen::TInfoSwitch::Version:
            std::cout << quorlen::VersionText().toStdString();
            break;
        default:
            std::cout << quorlen::ProgramPathsText().toStdString();
            break;
    }
    std::cout.flush();
    return std::cout ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    if (const quorlen::TInfoSwitch info = quorlen::ParseInfoSwitch(arguments); info != quorlen::TInfoSwitch::None)
        return Inform(argc, argv, info);
    const quorlen::TServerSwitch serverSwitch = quorlen::ParseServerSwitch(arguments);
    if (serverSwitch == quorlen::TServerSwitch::RegServer || serverSwitch == quorlen::TServerSwitch::UnregServer)
        return Register(argc, argv, serverSwitch);

    // A client may start the program through the bus on a machine without a
    // display; it prints and reads there all the same, only an operator
    // question has nobody to see it.
    if (serverSwitch == quorlen::TServerSwitch::Automation && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorlen"));
    QApplication::setApplicationVersion(QStringLiteral(QUORLEN_VERSION));
    // Ties the window to its menu entry (quorlen.desktop) on Wayland and in
    // task bars.
    QApplication::setDesktopFileName(QStringLiteral("quorlen"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("quorlen")));
    quorlen::InstallPolishTranslations(app);
    // Dates in the results follow the operator's locale.
    std::setlocale(LC_TIME, "");
    quorlen::TFormMain window(QApplication::arguments().mid(1));
    // The operator's window takes commands too, so a client may attach to it.
    quorlen::TQuorlenServer server(window, QDBusConnection::sessionBus());
    QString why;
    const bool serving = server.Register(&why);
    if (!serving) std::cerr << "quorlen: running without the automation server: " << why.toStdString() << "\n";
    if (serverSwitch == quorlen::TServerSwitch::Automation) {
        // Started for a client: no window until a command needs one, and the
        // process ends with its last client.
        if (!serving) return 1;
        QApplication::setQuitOnLastWindowClosed(false);
        server.EndWithLastClient = true;
        server.EndWithBus();
    } else {
        // The demo is offered to a person at the window, never to a client.
        quorlen::AttachDemoDownload(window);
        window.OpenLastProject();
        window.show();
    }
    return app.exec();
}
