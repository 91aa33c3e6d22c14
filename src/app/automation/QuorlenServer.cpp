#include "app/automation/QuorlenServer.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QGuiApplication>
#include <QPointer>
#include <QScopeGuard>
#include <iostream>

#include "app/automation/AutomationCommand.h"
#include "app/shell/FormMain.h"
#include "automation/ServerIntrospection.h"

namespace quorlen {

const char* const ServerService = "com.brenvik.Quorlen";
const char* const ServerPath = "/QuorlenServer";
const char* const ServerInterface = "com.brenvik.Quorlen.Server";
const char* const InvalidCommandError = "com.brenvik.Quorlen.Error.InvalidCommand";
const char* const FailedError = "com.brenvik.Quorlen.Error.Failed";

QString ServerInterfaceXml() {
    const QString xml = QString::fromUtf8(ServerIntrospectionXml);
    const qsizetype from = xml.indexOf(QStringLiteral("<interface"));
    const QString end = QStringLiteral("</interface>");
    const qsizetype to = xml.lastIndexOf(end);
    return from < 0 || to < from ? QString() : xml.mid(from, to + end.size() - from) + QLatin1Char('\n');
}

TQuorlenServer::TQuorlenServer(TFormMain& window, const QDBusConnection& connection, QObject* parent)
    : QDBusVirtualObject(parent),
      window_(window),
      connection_(connection),
      watcher_(QString(), connection, QDBusServiceWatcher::WatchForUnregistration) {
    Quit = [] { QCoreApplication::quit(); };
    connect(&watcher_, &QDBusServiceWatcher::serviceUnregistered, this,
            [this](const QString& client) { ClientLeft(client); });
}

TQuorlenServer::~TQuorlenServer() {
    if (!registered_) return;
    connection_.unregisterService(QString::fromLatin1(ServerService));
    connection_.unregisterObject(QString::fromLatin1(ServerPath));
}

bool TQuorlenServer::Register(QString* why) {
    if (!connection_.isConnected()) {
        if (why) *why = QStringLiteral("no D-Bus session bus: ") + connection_.lastError().message();
        return false;
    }
    if (!connection_.registerVirtualObject(QString::fromLatin1(ServerPath), this, QDBusConnection::SingleNode)) {
        if (why) *why = QStringLiteral("the object path %1 is taken").arg(QString::fromLatin1(ServerPath));
        return false;
    }
    if (!connection_.registerService(QString::fromLatin1(ServerService))) {
        connection_.unregisterObject(QString::fromLatin1(ServerPath));
        if (why)
            *why = QStringLiteral("the name %1 is owned by another process").arg(QString::fromLatin1(ServerService));
        return false;
    }
    registered_ = true;
    return true;
}

QString TQuorlenServer::introspect(const QString&) const { return ServerInterfaceXml(); }

bool TQuorlenServer::handleMessage(const QDBusMessage& message, const QDBusConnection&) {
    if (message.type() != QDBusMessage::MethodCallMessage) return false;
    const QString iface = message.interface();
    if (message.member() != QLatin1String("Analyze") || (!iface.isEmpty() && iface != QLatin1String(ServerInterface)))
        return false;  // introspection and unknown members take Qt's own path
    if (message.signature() != QLatin1String("s")) {
        connection_.send(
            message.createErrorReply(QDBusError::InvalidArgs, QStringLiteral("Analyze takes one string argument (s)")));
        return true;
    }
    Analyze(message);
    return true;
}

void TQuorlenServer::Analyze(const QDBusMessage& call) {
    const QString client = call.service();
    Attach(client);
    const std::shared_ptr<bool> present = present_.value(client, std::make_shared<bool>(false));
    QDBusConnection bus = connection_;
    const auto sink = [bus, client, present](int maximum, int position) mutable {
        if (!*present) return;
        QDBusMessage signal = QDBusMessage::createTargetedSignal(
            client, QString::fromLatin1(ServerPath), QString::fromLatin1(ServerInterface), QStringLiteral("Progress"));
        signal << maximum << position;
        bus.send(signal);
    };
    // The window may outlive this object; a late reply then only goes out.
    const auto done = [self = QPointer<TQuorlenServer>(this), bus, call, present](const QString& reply) mutable {
        if (*present) bus.send(call.createReply(reply));
        if (self) self->QuitWhenIdle();
    };
    // A command the window took hides it for good; then only the clients keep
    // the process alive, not the closing of an operator dialog's window.
    const auto hideForGood = qScopeGuard([this] {
        if (!window_.isHidden()) return;
        EndWithLastClient = true;
        QGuiApplication::setQuitOnLastWindowClosed(false);
    });
    try {
        window_.RunCommand(call.arguments().value(0).toString(), sink, done);
    } catch (const TInvalidCommand& e) {
        connection_.send(call.createErrorReply(QString::fromLatin1(InvalidCommandError), QString::fromUtf8(e.what())));
        QuitWhenIdle();
    } catch (const std::exception& e) {
        connection_.send(call.createErrorReply(QString::fromLatin1(FailedError), QString::fromUtf8(e.what())));
        QuitWhenIdle();
    }
}

void TQuorlenServer::Attach(const QString& client) {
    if (present_.contains(client)) return;
    present_.insert(client, std::make_shared<bool>(true));
    watcher_.addWatchedService(client);
    // A client that left before the watch began would never be seen leaving.
    if (connection_.interface() && !connection_.interface()->isServiceRegistered(client).value()) ClientLeft(client);
}

void TQuorlenServer::ClientLeft(const QString& client) {
    const auto it = present_.find(client);
    if (it == present_.end()) return;
    *it.value() = false;
    present_.erase(it);
    watcher_.removeWatchedService(client);
    QuitWhenIdle();
}

void TQuorlenServer::EndWithBus(int checkMilliseconds) {
    // libdbus marks the connection closed when the socket ends; a check every
    // half second costs nothing and needs no signal Qt may not pass on.
    busCheck_.setInterval(checkMilliseconds);
    connect(&busCheck_, &QTimer::timeout, this, [this] {
        if (connection_.isConnected()) return;
        busCheck_.stop();
        std::cerr << "quorlen: the session bus is gone; ending\n";
        if (window_.Run().Running) window_.Run().CancelRun();
        if (Quit) Quit();
    });
    busCheck_.start();
}

void TQuorlenServer::QuitWhenIdle() {
    // Queued: a reply may be sent from inside the command that is ending.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (EndWithLastClient && present_.isEmpty() && !window_.CommandActive() && !window_.Run().Running && Quit)
                Quit();
        },
        Qt::QueuedConnection);
}

}  // namespace quorlen
