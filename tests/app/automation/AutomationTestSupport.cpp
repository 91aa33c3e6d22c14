#include "AutomationTestSupport.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QElapsedTimer>
#include <stdexcept>

#include "app/automation/QuorlenServer.h"

namespace quorlen::automationtest {

TPrivateBus::TPrivateBus(const QProcessEnvironment& environment) {
    daemon_.setProcessEnvironment(environment);
    daemon_.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    if (!daemon_.waitForStarted(10000)) throw std::runtime_error("dbus-daemon did not start");
    QElapsedTimer timer;
    timer.start();
    while (!daemon_.canReadLine() && timer.elapsed() < 10000) daemon_.waitForReadyRead(100);
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    if (address_.isEmpty()) throw std::runtime_error("dbus-daemon gave no address");
}

TPrivateBus::~TPrivateBus() {
    daemon_.terminate();
    if (!daemon_.waitForFinished(5000)) daemon_.kill();
    daemon_.waitForFinished(5000);
}

Json TCallResult::ReplyJson() const { return ParseJson(Reply.toStdString()).value_or(Json()); }

bool ServeUntil(const std::function<bool()>& done, int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > milliseconds) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

TClient::TClient(const QString& address, const QString& name)
    : name_(name), connection_(QDBusConnection::connectToBus(address, name)) {
    if (!connection_.isConnected()) throw std::runtime_error("client cannot reach the bus");
    // Any sender: the server's events are addressed to this connection alone.
    connection_.connect(QString(), QString::fromLatin1(ServerPath), QString::fromLatin1(ServerInterface),
                        QStringLiteral("Progress"), this, SLOT(OnProgress(int, int)));
}

TClient::~TClient() { Disconnect(); }

void TClient::Disconnect() {
    pending_.reset();
    if (connection_.isConnected()) QDBusConnection::disconnectFromBus(name_);
    connection_ = QDBusConnection(QString());
}

QString TClient::UniqueName() const { return connection_.baseService(); }

void TClient::OnProgress(int maximum, int position) { Events.emplace_back(maximum, position); }

void TClient::Start(const QString& params) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(QString::fromLatin1(ServerService), QString::fromLatin1(ServerPath),
                                       QString::fromLatin1(ServerInterface), QStringLiteral("Analyze"));
    call << params;
    pending_ = std::make_unique<QDBusPendingCallWatcher>(connection_.asyncCall(call, 120000));
}

TCallResult TClient::Wait() {
    TCallResult result;
    if (!pending_ || !ServeUntil([this] { return pending_->isFinished(); })) {
        result.Failed = true;
        result.ErrorMessage = QStringLiteral("no reply");
        return result;
    }
    // Events sent before the reply are still on their way to this thread.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 100) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    const QDBusPendingReply<QString> reply = *pending_;
    if (reply.isError()) {
        result.Failed = true;
        result.ErrorName = reply.error().name();
        result.ErrorMessage = reply.error().message();
    } else {
        result.Reply = reply.value();
    }
    pending_.reset();
    return result;
}

TCallResult TClient::Call(const QString& params) {
    Start(params);
    return Wait();
}

int RunProgram(const QString& program, const QStringList& arguments, QString* out, QString* err,
               const QProcessEnvironment& environment, int milliseconds) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForStarted(10000)) return -1;
    const bool ended = ServeUntil([&] { return process.state() == QProcess::NotRunning; }, milliseconds);
    if (!ended) {
        process.kill();
        process.waitForFinished(5000);
    }
    if (out) *out = QString::fromUtf8(process.readAllStandardOutput());
    if (err) *err = QString::fromUtf8(process.readAllStandardError());
    return ended && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

}  // namespace quorlen::automationtest
