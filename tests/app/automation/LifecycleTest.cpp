#include <gtest/gtest.h>

#include <QDBusConnectionInterface>
#include <QDir>
#include <QElapsedTimer>
#include <filesystem>
#include <memory>

#include "AppTestSupport.h"
#include "AutomationTestSupport.h"
#include "app/automation/QuorlenServer.h"
#include "printing/PrintTestSupport.h"
#include "support/TestSupport.h"

using namespace quorlen;
using namespace quorlen::automationtest;
using quorlen::testing::ReadFileBytes;
using quorlen::testing::TempDir;

namespace {

const QString kProgram = QStringLiteral(QUORLEN_APP_PATH);

// A home of the test's own: the service file, the settings file and the
// offscreen platform for every program the bus or the test starts.
struct THome {
    TempDir Dir{"quorlen-automation-home"};
    QString Share() const { return QString::fromStdString(Dir.File("share")); }
    QString ServiceFile() const { return Share() + QStringLiteral("/dbus-1/services/com.brenvik.Quorlen.service"); }
    QProcessEnvironment Environment(const QString& busAddress = QString()) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), Share());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("QUORLEN_DATA_DIR"), QString::fromStdString(Dir.File("data")));
        if (!busAddress.isEmpty()) env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
        return env;
    }
};

bool NameOwned(const QString& address) {
    const QString probe = QStringLiteral("quorlen-lifecycle-probe");
    bool owned = false;
    {
        QDBusConnection bus = QDBusConnection::connectToBus(address, probe);
        owned = bus.interface()->isServiceRegistered(QString::fromLatin1(ServerService)).value();
    }
    QDBusConnection::disconnectFromBus(probe);
    return owned;
}

bool WaitForOwner(const QString& address, bool owned, int milliseconds = 15000) {
    return ServeUntil([&] { return NameOwned(address) == owned; }, milliseconds);
}

int Gdbus(const QString& address, const QString& params, QString* out, QString* err) {
    return RunProgram(
        QStringLiteral("gdbus"),
        {QStringLiteral("call"), QStringLiteral("--address"), address, QStringLiteral("--dest"),
         QString::fromLatin1(ServerService), QStringLiteral("--object-path"), QString::fromLatin1(ServerPath),
         QStringLiteral("--method"), QString::fromLatin1(ServerInterface) + QStringLiteral(".Analyze"), params},
        out, err);
}

}  // namespace

// /REGSERVER writes the session service file naming this executable with
// /AUTOMATION; /UNREGSERVER (any prefix and case) removes it, twice too.
TEST(AutomationLifecycle, RegisterWritesAndUnregisterRemovesTheServiceFile) {
    THome home;
    QString out;
    ASSERT_EQ(RunProgram(kProgram, {QStringLiteral("/REGSERVER")}, &out, nullptr, home.Environment()), 0);
    const std::string text = ReadFileBytes(home.ServiceFile().toStdString());
    EXPECT_EQ(text, "[D-BUS Service]\nName=com.brenvik.Quorlen\nExec=" +
                        QFileInfo(kProgram).absoluteFilePath().toStdString() + " /AUTOMATION\n");
    EXPECT_TRUE(out.contains(home.ServiceFile()));
    ASSERT_EQ(RunProgram(kProgram, {QStringLiteral("-unregserver")}, nullptr, nullptr, home.Environment()), 0);
    EXPECT_FALSE(QFileInfo::exists(home.ServiceFile()));
    EXPECT_EQ(RunProgram(kProgram, {QStringLiteral("/UnRegServer")}, nullptr, nullptr, home.Environment()), 0);
}

// After registration a foreign client's call starts the program through the
// bus; it prints, analyses and refuses broken JSON, and ends after each call
// once gdbus has left.
TEST(AutomationLifecycle, ActivationByGdbus) {
    THome home;
    ASSERT_EQ(RunProgram(kProgram, {QStringLiteral("/REGSERVER")}, nullptr, nullptr, home.Environment()), 0);
    TPrivateBus bus(home.Environment());
    const std::string scans = home.Dir.File("scans");
    std::filesystem::create_directories(scans);
    std::vector<std::vector<int>> boxes(20, std::vector<int>{1});
    for (const char* name : {"a.png", "b.png"})
        quorlen::testing::WriteMarkedScan(scans + "/" + name, 20, 4, "42", boxes);

    QString out, err;
    const QString pdf = QString::fromStdString(home.Dir.File("sheets.pdf"));
    ASSERT_EQ(
        Gdbus(bus.Address(),
              QStringLiteral("{\"QCnt\":10,\"PrintCount\":2,\"Printer\":\"Plik PDF\",\"PdfFile\":\"%1\"}").arg(pdf),
              &out, &err),
        0)
        << err.toStdString();
    EXPECT_EQ(out.trimmed(), QStringLiteral("('{\"PrintCount\":2}',)"));
    EXPECT_TRUE(QFileInfo::exists(pdf));
    EXPECT_TRUE(WaitForOwner(bus.Address(), false)) << "the activated program ends with its last client";

    ASSERT_EQ(Gdbus(bus.Address(),
                    QStringLiteral("{\"Title\":\"T\",\"ScansFolder\":\"%1\",\"QCnt\":20,\"ACnt\":4}")
                        .arg(QString::fromStdString(scans)),
                    &out, &err),
              0)
        << err.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("\"QCnt\":20"))) << out.toStdString();
    EXPECT_EQ(out.count(QStringLiteral("\"Student\":\"42\"")), 2) << out.toStdString();

    EXPECT_NE(Gdbus(bus.Address(), QStringLiteral("{\"Title\""), &out, &err), 0);
    EXPECT_TRUE(err.contains(QString::fromLatin1(InvalidCommandError))) << err.toStdString();
    EXPECT_TRUE(WaitForOwner(bus.Address(), false));
}

// Started with /AUTOMATION the program shows no window and ends once the last
// of its clients has left; a second one finds the name taken and says so.
TEST(AutomationLifecycle, AutomationEndsWithItsLastClient) {
    THome home;
    TPrivateBus bus(home.Environment());
    QProcess program;
    program.setProcessEnvironment(home.Environment(bus.Address()));
    program.start(kProgram, {QStringLiteral("/Automation")});
    ASSERT_TRUE(WaitForOwner(bus.Address(), true));

    QString err;
    EXPECT_EQ(RunProgram(kProgram, {QStringLiteral("-EMBEDDING")}, nullptr, &err, home.Environment(bus.Address())), 1);
    EXPECT_TRUE(err.contains(QStringLiteral("running without the automation server"))) << err.toStdString();

    TClient first(bus.Address(), QStringLiteral("lifecycle-first"));
    TClient second(bus.Address(), QStringLiteral("lifecycle-second"));
    EXPECT_EQ(first.Call(QStringLiteral("{\"PrintFrom\":5}")).Reply, QStringLiteral("{\"Error\":-1}"));
    EXPECT_EQ(second.Call(QStringLiteral("{\"PrintList\":[]}")).Reply, QStringLiteral("{\"Error\":-1}"));
    first.Disconnect();
    ServeUntil([] { return false; }, 1000);
    EXPECT_EQ(program.state(), QProcess::Running) << "a client is still there";
    second.Disconnect();
    ASSERT_TRUE(ServeUntil([&] { return program.state() == QProcess::NotRunning; }, 15000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
}

// quorlen-cli automate as the first client: it starts the registered program,
// prints the reply and exits 1 on an Error reply or a failed call.
TEST(AutomationLifecycle, CliAutomate) {
    THome home;
    ASSERT_EQ(RunProgram(kProgram, {QStringLiteral("/REGSERVER")}, nullptr, nullptr, home.Environment()), 0);
    TPrivateBus bus(home.Environment());
    const QProcessEnvironment env = home.Environment(bus.Address());
    const QString cli = QStringLiteral(QUORLEN_CLI_PATH);
    const auto automate = [&](const std::string& command, QString* out, QString* err) {
        const std::string file = home.Dir.File("command.json");
        quorlen::testing::WriteFileBytes(file, command);
        return RunProgram(QStringLiteral("sh"),
                          {QStringLiteral("-c"), QStringLiteral("exec \"$0\" automate - < \"$1\""), cli,
                           QString::fromStdString(file)},
                          out, err, env);
    };
    struct Case {
        std::string Command;
        int Exit;
        QString Out, Err;
    };
    const std::string pdf = home.Dir.File("cli.pdf");
    for (const Case& c : std::vector<Case>{
             {"{\"QCnt\":10,\"PrintFrom\":7,\"PrintCount\":2,\"Printer\":\"plik pdf\",\"PdfFile\":\"" + pdf + "\"}", 0,
              QStringLiteral("{\"PrintCount\":2}\n"), QString()},
             {"{\"Title\":\"T\"}", 1,
              QStringLiteral("{\"Error\":-1,\"ErrorStr\":\"Podaj poprawne parametry wywo\\u0142ania.\"}\n"), QString()},
             {"{\"Title\":", 1, QString(), QString::fromLatin1(InvalidCommandError)},
         }) {
        QString out, err;
        EXPECT_EQ(automate(c.Command, &out, &err), c.Exit) << c.Command << err.toStdString();
        if (!c.Out.isEmpty()) {
            EXPECT_EQ(out, c.Out) << c.Command;
        }
        EXPECT_TRUE(err.contains(c.Err)) << c.Command << err.toStdString();
    }
    EXPECT_EQ(printtest::PdfPageCount(pdf), 2);

    QString err;
    EXPECT_EQ(RunProgram(cli, {QStringLiteral("automate"), QString::fromStdString(home.Dir.File("none.json"))}, nullptr,
                         &err, env),
              1);
    QProcessEnvironment noBus = env;
    noBus.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                 QStringLiteral("unix:path=") + QString::fromStdString(home.Dir.File("no-bus")));
    EXPECT_EQ(RunProgram(cli, {QStringLiteral("automate"), QString::fromStdString(home.Dir.File("command.json"))},
                         nullptr, &err, noBus),
              1);
    EXPECT_TRUE(err.contains(QStringLiteral("no D-Bus session bus"))) << err.toStdString();
}

// A program the bus started lived on for hours after its bus had ended, with
// a client still attached (whose leaving it could no longer see). It ends
// once the connection is lost.
TEST(AutomationLifecycle, AutomationEndsWhenItsBusIsGone) {
    THome home;
    auto bus = std::make_unique<TPrivateBus>(home.Environment());
    QProcess program;
    program.setProcessEnvironment(home.Environment(bus->Address()));
    program.start(kProgram, {QStringLiteral("/AUTOMATION")});
    ASSERT_TRUE(WaitForOwner(bus->Address(), true));
    {
        TClient client(bus->Address(), QStringLiteral("lifecycle-stays"));
        EXPECT_EQ(client.Call(QStringLiteral("{\"PrintFrom\":5}")).Reply, QStringLiteral("{\"Error\":-1}"));
        bus.reset();  // the daemon ends; the client never leaves
        EXPECT_TRUE(ServeUntil([&] { return program.state() == QProcess::NotRunning; }, 20000))
            << "still running after its bus ended";
    }
    if (program.state() != QProcess::NotRunning) {
        program.kill();
        program.waitForFinished();
    }
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_TRUE(program.readAllStandardError().contains("the session bus is gone"));
}
