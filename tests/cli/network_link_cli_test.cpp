// The command-line reader over every kind of link a port name can give, against
// the simulated meter: its own TCP server, the real ser2net bridging its
// pseudo-terminal in raw and in RFC 2217 mode, and an echoing line with echo
// removal. Then the failures: an echoing line without echo removal, and a TCP
// server that goes away in the middle of a read.
#include "cli_process.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <memory>

namespace {

// A TCP port nobody listens on right now.
quint16 freeTcpPort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

// ser2net with a configuration of its own, serving `device` on a free port of
// 127.0.0.1, in the foreground; stopped and cleaned up with the object.
class Ser2net {
public:
    Ser2net(const QString& device, bool rfc2217) : m_port(freeTcpPort())
    {
        const QString accepter = rfc2217 ? QStringLiteral("telnet(rfc2217),tcp") : QStringLiteral("tcp");
        const QString config = m_folder.filePath(QStringLiteral("ser2net.yaml"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly) || m_port == 0)
            return;
        file.write(QStringLiteral("%YAML 1.1\n---\n"
                                  "connection: &meter\n"
                                  "  accepter: %1,127.0.0.1,%2\n"
                                  "  connector: serialdev,%3,9600o81,local\n"
                                  "  options:\n"
                                  "    kickolduser: true\n")
                       .arg(accepter)
                       .arg(m_port)
                       .arg(device)
                       .toUtf8());
        file.close();
        const QString program = QStandardPaths::findExecutable(
            QStringLiteral("ser2net"), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
        if (program.isEmpty())
            return;
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(program,
                        {"-n", "-c", config, "-P", m_folder.filePath(QStringLiteral("ser2net.pid"))});
        if (!m_process.waitForStarted(10000))
            return;
        // Ready once it accepts; a connection that is dropped at once is no user.
        for (int tries = 0; tries < 100 && m_process.state() == QProcess::Running; ++tries) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, m_port);
            if (socket.waitForConnected(100)) {
                socket.abort();
                // ser2net closes the device of that probe in the background.
                QThread::msleep(300);
                m_ready = true;
                return;
            }
            QThread::msleep(50);
        }
    }
    ~Ser2net()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    // Empty when ser2net did not come up.
    QString address() const { return m_ready ? QStringLiteral("127.0.0.1:%1").arg(m_port) : QString(); }

private:
    QTemporaryDir m_folder;
    quint16 m_port;
    QProcess m_process;
    bool m_ready = false;
};

// The simulated meter and whatever stands between it and the reader.
struct LinkRig {
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<Ser2net> server;
    QString portName;
};

enum class Route { SimTcp, Ser2netRaw, Ser2netRfc2217, EchoingPty };

LinkRig startRig(Route route, const QStringList& simExtra = {})
{
    LinkRig rig;
    QStringList args = QStringList{"--type", "6", "--records", "12"} + simExtra;
    if (route == Route::SimTcp)
        args << "--tcp"
             << "0";
    if (route == Route::EchoingPty)
        args << "--echo";
    rig.sim = std::make_unique<SimProcess>(args);
    const QString line = rig.sim->firstLine();
    switch (route) {
    case Route::SimTcp:
        if (line.startsWith(QStringLiteral("TCP ")))
            rig.portName = QStringLiteral("tcp://") + line.mid(4);
        break;
    case Route::Ser2netRaw:
    case Route::Ser2netRfc2217:
        if (rig.sim->pty().isEmpty())
            break;
        rig.server = std::make_unique<Ser2net>(rig.sim->pty(), route == Route::Ser2netRfc2217);
        if (!rig.server->address().isEmpty())
            rig.portName =
                (route == Route::Ser2netRfc2217 ? QStringLiteral("rfc2217://") : QStringLiteral("tcp://")) +
                rig.server->address();
        break;
    case Route::EchoingPty:
        rig.portName = rig.sim->pty();
        break;
    }
    return rig;
}

struct RouteCase {
    const char* name;
    Route route;
    QStringList lineOptions;
};

class ReadOverLink : public testing::TestWithParam<RouteCase> {};

TEST_P(ReadOverLink, GivesEveryStoredRowAndIdentifiesTheMeter)
{
    const RouteCase& c = GetParam();
    const LinkRig rig = startRig(c.route);
    ASSERT_FALSE(rig.portName.isEmpty());

    const CliResult read =
        runCli(QStringList{"read", "--port", rig.portName, "--kind", "612"} + c.lineOptions);
    EXPECT_EQ(read.exitCode, 0) << read.err;
    EXPECT_EQ(read.err, "");
    EXPECT_EQ(read.out.rfind("result 4\n", 0), 0u) << read.out;
    const std::vector<std::string> rows = linesStartingWith(read.out, "row\t");
    ASSERT_EQ(rows.size(), 12u) << read.out;
    EXPECT_EQ(splitTabs(rows.back()).at(1), "12");

    const CliResult identify = runCli(QStringList{"identify", "--port", rig.portName} + c.lineOptions);
    EXPECT_EQ(identify.exitCode, 0) << identify.err;
    EXPECT_EQ(identify.out, "6\n");
}

INSTANTIATE_TEST_SUITE_P(
    Routes, ReadOverLink,
    testing::Values(RouteCase{"SimulatorTcpServer", Route::SimTcp, {}},
                    RouteCase{"Ser2netRaw", Route::Ser2netRaw, {}},
                    // Line settings other than the server's configured 9600o81 go through RFC 2217.
                    RouteCase{
                        "Ser2netRfc2217", Route::Ser2netRfc2217, {"--baud", "19200", "--parity", "even"}},
                    RouteCase{"EchoingLineWithEchoRemoval", Route::EchoingPty, {"--echo"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NetworkLinkCli, EchoingLineWithoutEchoRemovalFailsCleanly)
{
    const LinkRig rig = startRig(Route::EchoingPty);
    ASSERT_FALSE(rig.portName.isEmpty());

    const CliResult r = runCli({"read", "--port", rig.portName, "--kind", "612"});

    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.rfind("result 2\n", 0), 0u) << r.out;
    EXPECT_TRUE(linesStartingWith(r.out, "row\t").empty());
    EXPECT_NE(r.err.find("读取第1条数据失败!"), std::string::npos) << r.err;
    EXPECT_NE(
        r.err.find("replies begin with the request: the line echoes what is sent; --echo removes the echo"),
        std::string::npos)
        << r.err;
}

TEST(NetworkLinkCli, TcpServerGoingAwayEndsTheReadKeepingItsRows)
{
    // The simulator ends after its second answer and with it the connection.
    for (const QString& collection : {QString(), QStringLiteral("--fast")}) {
        const LinkRig rig = startRig(Route::SimTcp, {"--fault", "close-after=2"});
        ASSERT_FALSE(rig.portName.isEmpty());
        QStringList args = {"read", "--port", rig.portName, "--kind", "612"};
        if (!collection.isEmpty())
            args << collection;

        const CliResult r = runCli(args);

        EXPECT_EQ(r.exitCode, 1) << collection.toStdString();
        // The failed third block's result, not that of the two read before it.
        EXPECT_EQ(r.out.rfind("result 2\n", 0), 0u) << r.out;
        // Two blocks of five records each came before the server went.
        EXPECT_EQ(linesStartingWith(r.out, "row\t").size(), 10u) << r.out;
        EXPECT_NE(r.err.find("port error: ReadFile function failed: the server closed the connection"),
                  std::string::npos)
            << r.err;
    }
}

TEST(NetworkLinkCli, UnreachableServerFailsToOpenWithItsReason)
{
    const quint16 port = freeTcpPort();
    const CliResult r = runCli({"identify", "--port", QStringLiteral("tcp://127.0.0.1:%1").arg(port)});

    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("Unable to open com port: Connection refused"), std::string::npos) << r.err;
}

} // namespace
