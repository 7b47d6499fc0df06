// `modbus read|write` against a libmodbus server (Modbus TCP on 127.0.0.1 and
// RTU over a socat pseudo-terminal pair), and mbpoll against the simulator's
// register map.
#include "../cli/cli_process.h"
#include "support/temporary_folder.h"

#include <QFile>
#include <QThread>

#include <arpa/inet.h>
#include <modbus/modbus.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>

namespace {

// A libmodbus slave at address 1 serving its own mapping from a thread.
class LibmodbusServer {
public:
    LibmodbusServer() : m_map(modbus_mapping_new(100, 100, 100, 100)) {}
    ~LibmodbusServer()
    {
        m_stop = true;
        if (m_listener >= 0)
            shutdown(m_listener, SHUT_RDWR);
        if (m_thread.joinable())
            m_thread.join();
        if (m_listener >= 0)
            close(m_listener);
        if (m_context)
            modbus_free(m_context);
        modbus_mapping_free(m_map);
    }

    // Listens on 127.0.0.1 at a free port; 0 on failure.
    int listenTcp()
    {
        m_context = modbus_new_tcp("127.0.0.1", 0);
        m_listener = m_context ? modbus_tcp_listen(m_context, 1) : -1;
        sockaddr_in address{};
        socklen_t length = sizeof address;
        if (m_listener < 0 || getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return 0;
        m_thread = std::thread([this] {
            while (!m_stop) {
                if (modbus_tcp_accept(m_context, &m_listener) < 0)
                    return;
                serve();
                modbus_close(m_context);
            }
        });
        return ntohs(address.sin_port);
    }

    bool serveRtu(const std::string& device)
    {
        m_context = modbus_new_rtu(device.c_str(), 9600, 'N', 8, 1);
        if (!m_context || modbus_connect(m_context) != 0)
            return false;
        m_thread = std::thread([this] { serve(); });
        return true;
    }

    modbus_mapping_t* map() { return m_map; }

private:
    void serve()
    {
        modbus_set_slave(m_context, 1);
        // Wakes up now and then to see whether the test is done.
        modbus_set_indication_timeout(m_context, 0, 100'000);
        uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
        while (!m_stop) {
            const int length = modbus_receive(m_context, query);
            if (length > 0)
                modbus_reply(m_context, query, length, m_map);
            else if (length < 0 && errno != ETIMEDOUT && modbus_get_socket(m_context) >= 0 &&
                     errno != EMBBADCRC && errno != EMBBADDATA)
                return; // the client went away
        }
    }

    modbus_mapping_t* m_map;
    modbus_t* m_context = nullptr;
    int m_listener = -1;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// A socat pseudo-terminal pair whose ends are linked as `a` and `b`.
class PtyPair {
public:
    explicit PtyPair(const std::filesystem::path& folder) : FA(folder / "a"), FB(folder / "b")
    {
        m_process.start(QStringLiteral("socat"),
                        {QStringLiteral("pty,raw,echo=0,link=%1").arg(QString::fromStdString(FA.string())),
                         QStringLiteral("pty,raw,echo=0,link=%1").arg(QString::fromStdString(FB.string()))});
        for (int i = 0; i < 100 && !(std::filesystem::exists(FA) && std::filesystem::exists(FB)); ++i)
            QThread::msleep(20);
    }
    ~PtyPair()
    {
        m_process.terminate();
        m_process.waitForFinished(3000);
    }
    std::string A() const { return FA.string(); }
    QString B() const { return QString::fromStdString(FB.string()); }

private:
    std::filesystem::path FA;
    std::filesystem::path FB;
    QProcess m_process;
};

QStringList modbusArgs(const QString& port, const QString& verb, const QStringList& more)
{
    return QStringList{QStringLiteral("modbus"), verb,
                       QStringLiteral("--port"), port,
                       QStringLiteral("--addr"), QStringLiteral("1")} +
           more;
}

struct ReadRow {
    const char* name;
    std::vector<uint16_t> registers; // put at holding register 40
    QStringList options;             // after --fc 3 --start 40
    std::string expected;            // the reg lines
};

class LibmodbusTcp : public ::testing::Test {
protected:
    void SetUp() override
    {
        const int port = m_server.listenTcp();
        ASSERT_NE(port, 0);
        m_port = QStringLiteral("mbtcp://127.0.0.1:%1").arg(port);
    }
    CliResult modbus(const QString& verb, const QStringList& more)
    {
        return runCli(modbusArgs(m_port, verb, more), 20000);
    }

    LibmodbusServer m_server;
    QString m_port;
};

// Every display format, the 32-bit ones in every word order.
TEST_F(LibmodbusTcp, ReadsEveryFormat)
{
    const ReadRow rows[] = {
        {"u16", {0xFFFE}, {"--format", "u16"}, "reg 40 65534\n"},
        {"i16", {0xFFFE}, {"--format", "i16"}, "reg 40 -2\n"},
        {"hex", {0x04D2}, {"--format", "hex"}, "reg 40 0x04D2\n"},
        {"bin", {0x8005}, {"--format", "bin"}, "reg 40 1000000000000101\n"},
        {"bcd", {0x1234}, {"--format", "bcd"}, "reg 40 1234\n"},
        {"u32 abcd", {0x0001, 0x0002}, {"--format", "u32"}, "reg 40 65538\n"},
        {"u32 cdab", {0x0001, 0x0002}, {"--format", "u32", "--order", "cdab"}, "reg 40 131073\n"},
        {"i32 badc", {0xFFFF, 0xFBFF}, {"--format", "i32", "--order", "badc"}, "reg 40 -5\n"},
        {"i32 dcba", {0xFBFF, 0xFFFF}, {"--format", "i32", "--order", "dcba"}, "reg 40 -5\n"},
        // -123.25 is C2F6 8000.
        {"f32 abcd", {0xC2F6, 0x8000}, {"--format", "f32"}, "reg 40 -123.25\n"},
        // 1.5 is 3FF8 0000 0000 0000.
        {"f64 abcd", {0x3FF8, 0, 0, 0}, {"--format", "f64"}, "reg 40 1.5\n"},
        {"f64 dcba", {0, 0, 0, 0xF83F}, {"--format", "f64", "--order", "dcba"}, "reg 40 1.5\n"},
    };
    for (const ReadRow& row : rows) {
        std::copy(row.registers.begin(), row.registers.end(), m_server.map()->tab_registers + 40);
        const CliResult r = modbus("read", QStringList{"--fc", "3", "--start", "40", "--count",
                                                       QString::number(row.registers.size())} +
                                               row.options);
        EXPECT_EQ(r.exitCode, 0) << row.name << r.err;
        EXPECT_EQ(r.out, row.expected + "poll 1 ok\n") << row.name;
    }
}

// A float written in each word order is the float libmodbus's reader of that
// order finds (its 3.1.6 writers swap the bytes of each register, its readers
// do not), and reads back the same.
TEST_F(LibmodbusTcp, FloatsInEveryWordOrder)
{
    const struct {
        const char* order;
        float (*get)(const uint16_t*);
    } orders[] = {{"abcd", modbus_get_float_abcd},
                  {"cdab", modbus_get_float_cdab},
                  {"badc", modbus_get_float_badc},
                  {"dcba", modbus_get_float_dcba}};
    for (const auto& row : orders) {
        const QStringList layout{"--format", "f32", "--order", row.order};
        EXPECT_EQ(modbus("write", QStringList{"--fc", "16", "--start", "50", "-123.25"} + layout).out,
                  "wrote 2\n");
        EXPECT_FLOAT_EQ(row.get(m_server.map()->tab_registers + 50), -123.25f) << row.order;
        EXPECT_EQ(modbus("read", QStringList{"--fc", "3", "--start", "50", "--count", "2"} + layout).out,
                  "reg 50 -123.25\npoll 1 ok\n")
            << row.order;
    }
}

// Functions 1 to 6, 15 and 16, and an exception reply named.
TEST_F(LibmodbusTcp, EveryFunctionAndAnException)
{
    modbus_mapping_t* map = m_server.map();
    map->tab_bits[1] = 1;
    map->tab_input_bits[2] = 1;
    map->tab_input_registers[3] = 4321;
    map->tab_registers[4] = 1234;
    EXPECT_EQ(modbus("read", {"--fc", "1", "--start", "0", "--count", "3"}).out,
              "reg 0 0\nreg 1 1\nreg 2 0\npoll 1 ok\n");
    EXPECT_EQ(modbus("read", {"--fc", "2", "--start", "2", "--count", "1"}).out, "reg 2 1\npoll 1 ok\n");
    EXPECT_EQ(modbus("read", {"--fc", "4", "--start", "3", "--count", "1"}).out, "reg 3 4321\npoll 1 ok\n");
    EXPECT_EQ(modbus("read", {"--fc", "3", "--start", "4", "--count", "1", "--format", "hex"}).out,
              "reg 4 0x04D2\npoll 1 ok\n");

    EXPECT_EQ(modbus("write", {"--fc", "5", "--start", "7", "1"}).out, "wrote 1\n");
    EXPECT_EQ(map->tab_bits[7], 1);
    EXPECT_EQ(modbus("write", {"--fc", "6", "--start", "8", "--format", "i16", "-2"}).out, "wrote 1\n");
    EXPECT_EQ(map->tab_registers[8], 0xFFFE);
    EXPECT_EQ(modbus("write", {"--fc", "15", "--start", "10", "1", "0", "1", "1"}).out, "wrote 4\n");
    EXPECT_EQ(std::vector<uint8_t>(map->tab_bits + 10, map->tab_bits + 14),
              (std::vector<uint8_t>{1, 0, 1, 1}));
    EXPECT_EQ(
        modbus("write", {"--fc", "16", "--start", "20", "--format", "f32", "--order", "cdab", "2.5"}).out,
        "wrote 2\n");
    EXPECT_FLOAT_EQ(modbus_get_float_cdab(map->tab_registers + 20), 2.5f);

    const CliResult refused = modbus("read", {"--fc", "3", "--start", "99", "--count", "2"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.out, "poll 1 exception 02 illegal data address\n");
}

// RTU over a pseudo-terminal pair: a read, a write and an exception, framed
// with the CRC.
TEST(LibmodbusRtu, ReadsWritesAndNamesExceptions)
{
    const std::filesystem::path folder = makeTemporaryFolder("ql-modbus-rtu");
    ASSERT_FALSE(folder.empty());
    {
        PtyPair pair(folder);
        LibmodbusServer server;
        ASSERT_TRUE(server.serveRtu(pair.A()));
        server.map()->tab_registers[5] = 0x3F80; // 1.0 as ABCD
        server.map()->tab_registers[6] = 0x0000;
        const QStringList line{"--parity", "none"};
        const CliResult read = runCli(
            modbusArgs(pair.B(), "read",
                       QStringList{"--fc", "3", "--start", "5", "--count", "2", "--format", "f32"} + line));
        EXPECT_EQ(read.out, "reg 5 1\npoll 1 ok\n") << read.err;
        const CliResult write =
            runCli(modbusArgs(pair.B(), "write", QStringList{"--fc", "16", "--start", "9", "7", "8"} + line));
        EXPECT_EQ(write.out, "wrote 2\n") << write.err;
        EXPECT_EQ(server.map()->tab_registers[10], 8);
        const CliResult refused = runCli(
            modbusArgs(pair.B(), "read", QStringList{"--fc", "1", "--start", "100", "--count", "1"} + line));
        EXPECT_EQ(refused.out, "poll 1 exception 02 illegal data address\n");
        EXPECT_EQ(refused.exitCode, 1);
    }
    std::filesystem::remove_all(folder);
}

CliResult mbpoll(const QStringList& args)
{
    QProcess process;
    // mbpoll reports a failed request on stderr.
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("mbpoll"), args);
    CliResult result;
    if (!process.waitForFinished(20000))
        process.kill();
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput().toStdString();
    return result;
}

// mbpoll reads and writes the simulator's register map over RTU and Modbus
// TCP; what one writes the other reads back.
TEST(MbpollAgainstSimulator, ReadsAndWritesTheMap)
{
    const std::filesystem::path folder = makeTemporaryFolder("ql-modbus-map");
    ASSERT_FALSE(folder.empty());
    const QString mapFile = QString::fromStdString((folder / "map.csv").string());
    QFile file(mapFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("kind,address,value\nholding,0,11\nholding,1,0x0016\ncoil,3,1\nireg,7,700\n");
    file.close();

    SimProcess rtu({"--type", "1", "--registers", mapFile, "--modbus-addr", "5"});
    ASSERT_FALSE(rtu.pty().isEmpty());
    const QStringList serial{"-m", "rtu", "-b", "9600", "-P", "odd", "-a", "5", "-0", "-1"};
    EXPECT_NE(mbpoll(serial + QStringList{"-r", "0", "-c", "2", rtu.pty()}).out.find("[0]: \t11\n[1]: \t22"),
              std::string::npos);
    EXPECT_EQ(mbpoll(serial + QStringList{"-r", "1", rtu.pty(), "333"}).exitCode, 0);
    EXPECT_NE(mbpoll(serial + QStringList{"-r", "1", "-c", "1", rtu.pty()}).out.find("[1]: \t333"),
              std::string::npos);
    // Outside the map: mbpoll reports the slave's exception 02.
    EXPECT_NE(mbpoll(serial + QStringList{"-r", "2", "-c", "1", rtu.pty()}).out.find("Illegal data address"),
              std::string::npos);

    SimProcess tcp({"--mbtcp", "0", "--registers", mapFile});
    const QString port = tcp.firstLine().section(QLatin1Char(':'), 1);
    ASSERT_TRUE(tcp.firstLine().startsWith("MBTCP 127.0.0.1:")) << tcp.firstLine().toStdString();
    const QStringList net{"-m", "tcp", "-p", port, "-a", "1", "-0", "-1"};
    EXPECT_EQ(mbpoll(net + QStringList{"-t", "0", "-r", "3", "127.0.0.1", "0"}).exitCode, 0);
    EXPECT_NE(mbpoll(net + QStringList{"-t", "0", "-r", "3", "-c", "1", "127.0.0.1"}).out.find("[3]: \t0"),
              std::string::npos);
    EXPECT_NE(mbpoll(net + QStringList{"-t", "3", "-r", "7", "-c", "1", "127.0.0.1"}).out.find("[7]: \t700"),
              std::string::npos);
    std::filesystem::remove_all(folder);
}

} // namespace
