#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVirtualObject>
#include <QHash>
#include <QTimer>
#include <functional>
#include <memory>

namespace quorlen {

class TFormMain;

extern const char* const ServerService;
extern const char* const ServerPath;
extern const char* const ServerInterface;
extern const char* const InvalidCommandError;
extern const char* const FailedError;

// The interface element of the introspection file compiled into the program.
QString ServerInterfaceXml();

// The automation object on the D-Bus session bus: each call of Analyze goes
// to the main window's RunCommand. A client's connection is its automation
// object: its unique name receives the Progress events of its own command,
// and the reply of an analysis is sent when the run has ended, so the loop
// and other clients go on meanwhile.
class TQuorlenServer : public QDBusVirtualObject {
    Q_OBJECT
public:
    TQuorlenServer(TFormMain& window, const QDBusConnection& connection, QObject* parent = nullptr);
    ~TQuorlenServer() override;

    // Puts the object on the bus and claims the service name; false with the
    // reason when there is no bus or another process owns the name.
    bool Register(QString* why);

    // When set, the process ends through Quit once the last client that
    // called has left the bus and no command runs. Set for /AUTOMATION, and
    // by the first command, after which the window stays hidden.
    bool EndWithLastClient = false;
    std::function<void()> Quit;
    // For a program the bus started: ends it through Quit, whatever runs or
    // waits (an operator question, an analysis), once its bus connection is
    // lost. Nobody is left to get a reply, and the clients' leaving would
    // never be seen.
    void EndWithBus(int checkMilliseconds = 500);
    // Clients that called and are still on the bus.
    int ClientCount() const { return static_cast<int>(present_.size()); }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;
    QString introspect(const QString& path) const override;

private:
    void Analyze(const QDBusMessage& call);
    void Attach(const QString& client);
    void ClientLeft(const QString& client);
    void QuitWhenIdle();

    TFormMain& window_;
    QDBusConnection connection_;
    QDBusServiceWatcher watcher_;
    bool registered_ = false;
    QTimer busCheck_;
    // Per client still on the bus: a flag its pending reply and events read,
    // cleared when it leaves, so that nothing is sent after it.
    QHash<QString, std::shared_ptr<bool>> present_;
};

}  // namespace quorlen
