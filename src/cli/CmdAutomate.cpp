#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QObject>
#include <fstream>
#include <iostream>
#include <iterator>
#include <limits>
#include <memory>
#include <sstream>

#include "cli/Command.h"
#include "core/common/Json.h"

namespace quorlen::cli {
namespace {

const char* const Service = "com.brenvik.Quorlen";
const char* const Path = "/QuorlenServer";
const char* const Interface = "com.brenvik.Quorlen.Server";

// Shows the server's Progress events, addressed to this connection alone.
class TProgressBar : public QObject {
    Q_OBJECT
public Q_SLOTS:
    void OnProgress(int maximum, int position) { ShowProgress("automate", position, maximum); }
};

std::string ReadCommand(const std::string& source) {
    if (source == "-") return std::string(std::istreambuf_iterator<char>(std::cin), {});
    std::ifstream in(source, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + source);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

int RunAutomate(const Args& args) {
    args.RejectUnknown({});
    if (args.Positional().size() != 1) throw UsageError("give one command file, or - for standard input");
    const std::string command = ReadCommand(args.Positional()[0]);

    static int argc = 1;
    static char name[] = "quorlen-cli";
    static char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        throw std::runtime_error("no D-Bus session bus: " + bus.lastError().message().toStdString());
    TProgressBar bar;
    bus.connect(QString(), QString::fromLatin1(Path), QString::fromLatin1(Interface), QStringLiteral("Progress"), &bar,
                SLOT(OnProgress(int, int)));

    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(Service), QString::fromLatin1(Path),
                                                       QString::fromLatin1(Interface), QStringLiteral("Analyze"));
    call << QString::fromStdString(command);
    // An analysis of a large folder takes as long as it takes.
    QDBusPendingCallWatcher watcher(bus.asyncCall(call, std::numeric_limits<int>::max()));
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &app, [] { QCoreApplication::quit(); });
    app.exec();
    // Events sent before the reply are still queued behind it.
    QCoreApplication::processEvents();

    const QDBusPendingReply<QString> reply = watcher;
    if (reply.isError()) {
        std::cerr << "quorlen-cli automate: " << reply.error().message().toStdString() << " ("
                  << reply.error().name().toStdString() << ")\n";
        return ExitFailure;
    }
    const std::string text = reply.value().toStdString();
    std::cout << text << "\n";
    const auto document = ParseJson(text);
    return document && document->is_object() && !document->contains("Error") ? ExitOk : ExitFailure;
}

const Registrar registrar({
    "automate",
    "send one command to the desktop program's automation server",
    "Usage: quorlen-cli automate COMMAND.json|-\n\n"
    "Sends the JSON command of the file (or of standard input) to the desktop\n"
    "program over the D-Bus session bus (service com.brenvik.Quorlen, method\n"
    "Analyze), starting the program when it is registered for the bus\n"
    "(quorlen /REGSERVER) and not running. Shows its progress as a bar on a\n"
    "terminal and prints its reply: {\"PrintCount\":N} after printing, the results\n"
    "document after an analysis, or {\"Error\":...,\"ErrorStr\":...}.\n\n"
    "Command keys: Title, QCnt, ACnt, MultiChoice, CheckEmpty, ScansFolder,\n"
    "BlackLevel (analysis); PrintFrom, PrintCount, PrintList, Printer, PdfFile\n"
    "(printing; Printer \"Plik PDF\" writes the file PdfFile).\n\n"
    "Exit codes: 0 done, 1 the reply holds Error or the call failed (the bus's\n"
    "error on stderr), 2 bad arguments.\n",
    RunAutomate,
    {},
});

}  // namespace
}  // namespace quorlen::cli

#include "CmdAutomate.moc"
