#include "app/shell/CommandLine.h"

#include "QuorlenVersion.h"

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

TInfoSwitch ParseInfoSwitch(const QStringList& arguments) {
    for (const QString& argument : arguments) {
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) return TInfoSwitch::Help;
        if (argument == QLatin1String("--version")) return TInfoSwitch::Version;
        if (argument == QLatin1String("--paths")) return TInfoSwitch::Paths;
    }
    return TInfoSwitch::None;
}

QString UsageText() {
    return QStringLiteral(
        "Usage: quorlen [/THREAD=NN]\n"
        "       quorlen /AUTOMATION | /REGSERVER | /UNREGSERVER\n"
        "       quorlen --help | --version | --paths\n"
        "\n"
        "Prints answer sheets for paper tests and questionnaires and reads them back\n"
        "from scans. This is the desktop program: the main window (in Polish) with\n"
        "the project, the analysis of a scan folder, the operator's questions, the\n"
        "results and printing. Another program may drive it over the D-Bus session\n"
        "bus (service com.brenvik.Quorlen, see quorlen-cli automate); quorlen-cli\n"
        "does the same work without a window.\n"
        "\n"
        "Options:\n"
        "  /THREAD=NN      at most NN worker threads in an analysis, 1..98 (the\n"
        "                  prefix in any letter case, two digits read, the last\n"
        "                  valid one counts; default 48 per processor, at most 98)\n"
        "  /AUTOMATION, /EMBEDDING\n"
        "                  started by an automation client: no window until a\n"
        "                  command needs one; the program ends when its last\n"
        "                  client has left the bus\n"
        "  /REGSERVER      write this user's bus service file, so that a client's\n"
        "                  call starts the program, and end (the package installs\n"
        "                  one for every user)\n"
        "  /UNREGSERVER    remove that file and end\n"
        "  --paths         print the folders and files the program uses and end\n"
        "  --version       print the version and end\n"
        "  --help          print this help and end\n"
        "\n"
        "The automation switches may also start with - and are read in any letter\n"
        "case.\n"
        "\n"
        "Files:\n"
        "  ~/.local/share/Brenvik/quorlen/config.json\n"
        "                  the settings: black level and the demo switches,\n"
        "                  written at close when they changed\n"
        "  ~/Documents/QuorlenDemo/\n"
        "                  the demo project, unpacked at the first start\n"
        "  PREFIX/share/quorlen/quorlen.demo\n"
        "                  the demo archive installed with the program; PREFIX is\n"
        "                  the folder above the program's own, /usr for the package\n"
        "  PREFIX/lib/quorlen/QuorlenExporter.so\n"
        "                  the exporter plug-in installed with the program; one in\n"
        "                  the data folder or in DLLka/ beside the program is\n"
        "                  taken first\n"
        "\n"
        "Environment:\n"
        "  QUORLEN_DATA_DIR   the data folder instead of ~/.local/share/Brenvik/quorlen\n"
        "  XDG_DATA_HOME      where the data folder and the bus service file lie\n"
        "                     (~/.local/share when unset)\n"
        "\n"
        "Exit codes: 0 done, 1 the automation server or a switch failed.\n");
}

QString VersionText() { return QStringLiteral("quorlen " QUORLEN_VERSION "\n"); }

}  // namespace quorlen
