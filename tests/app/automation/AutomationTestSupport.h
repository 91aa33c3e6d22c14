#pragma once

#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "core/common/Json.h"

namespace quorlen::automationtest {

// A dbus-daemon of the test's own, with the environment given (the bus
// starts activated services with it); stopped when the object goes.
class TPrivateBus {
public:
    explicit TPrivateBus(const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());
    ~TPrivateBus();
    const QString& Address() const { return address_; }

private:
    QProcess daemon_;
    QString address_;
};

// The outcome of one Analyze call.
struct TCallResult {
    bool Failed = false;
    QString ErrorName, ErrorMessage, Reply;
    Json ReplyJson() const;
};

// Keeps the event loop running until done() holds or the time is up.
bool ServeUntil(const std::function<bool()>& done, int milliseconds = 60000);

// A client of its own connection, recording the Progress events it receives.
class TClient : public QObject {
    Q_OBJECT
public:
    TClient(const QString& address, const QString& name);
    ~TClient() override;
    // Sends Analyze; Wait collects its outcome.
    void Start(const QString& params);
    TCallResult Wait();
    TCallResult Call(const QString& params);
    void Disconnect();
    QString UniqueName() const;
    std::vector<std::pair<int, int>> Events;

public Q_SLOTS:
    void OnProgress(int maximum, int position);

private:
    QString name_;
    QDBusConnection connection_;
    std::unique_ptr<QDBusPendingCallWatcher> pending_;
};

// Runs a program to its end, serving the event loop meanwhile (an in-process
// server may be its peer); returns the exit code, -1 on a timeout.
int RunProgram(const QString& program, const QStringList& arguments, QString* out = nullptr, QString* err = nullptr,
               const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
               int milliseconds = 120000);

}  // namespace quorlen::automationtest
