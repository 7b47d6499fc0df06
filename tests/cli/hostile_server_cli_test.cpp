// The command-line reader against serial device servers that misbehave on
// purpose: option storms from a server that stops reading, floods of garbage,
// a subnegotiation that never ends, a trickle of bytes, line settings the
// server will not confirm, and a connection reset as soon as it is accepted.
// Each run must end in bounded time and memory and say why it stopped.
#include "cli_process.h"

#include <QElapsedTimer>
#include <QFile>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

namespace {

using Send = std::function<bool(const std::string&)>;

// A server on 127.0.0.1 that runs `behave` for each connection it accepts, in
// a thread of its own, until the test ends. `behave` gets the socket and a
// sender that fails once the reader has gone.
class HostileServer {
public:
    explicit HostileServer(std::function<void(int socket, const Send& send)> behave)
        : m_behave(std::move(behave))
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(m_listener, 4) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~HostileServer()
    {
        m_stop = true;
        ::shutdown(m_listener, SHUT_RDWR);
        ::close(m_listener);
        if (m_thread.joinable())
            m_thread.join();
    }
    QString name(const char* scheme) const
    {
        return QStringLiteral("%1://127.0.0.1:%2").arg(scheme).arg(m_port);
    }

private:
    void serve()
    {
        for (;;) {
            const int client = ::accept(m_listener, nullptr, nullptr);
            if (client < 0)
                return;
            const Send send = [this, client](const std::string& bytes) {
                return !m_stop &&
                       ::send(client, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size());
            };
            m_behave(client, send);
            ::close(client);
        }
    }

    std::function<void(int, const Send&)> m_behave;
    int m_listener = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

std::string hex(std::initializer_list<int> bytes)
{
    std::string out;
    for (const int b : bytes)
        out.push_back(char(b));
    return out;
}

// Agrees to port control and confirms 9600 baud, 8 data bits, odd parity and
// 1 stop bit (the reader's default line) without reading what it is asked.
std::string rfc2217Agreement(int parity = 2)
{
    return hex({0xFF,   0xFD, 0x2C, 0xFF, 0xFA, 0x2C, 0x65, 0x00, 0x00, 0x25, 0x80, 0xFF,
                0xF0,   0xFF, 0xFA, 0x2C, 0x66, 0x08, 0xFF, 0xF0, 0xFF, 0xFA, 0x2C, 0x67,
                parity, 0xFF, 0xF0, 0xFF, 0xFA, 0x2C, 0x68, 0x01, 0xFF, 0xF0});
}

// Sends `chunk` again and again, `total` bytes at most, until the reader goes.
void repeat(const Send& send, const std::string& chunk, size_t total)
{
    for (size_t sent = 0; sent < total && send(chunk); sent += chunk.size()) {
    }
}

void holdUntilClosed(int socket)
{
    char buffer[256];
    while (::recv(socket, buffer, sizeof buffer, 0) > 0) {
    }
}

// Runs the reader and measures its peak resident memory while it runs.
struct MeasuredRun {
    CliResult result;
    qint64 peakKiB = 0;
    qint64 elapsedMs = 0;
};

qint64 peakKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

MeasuredRun runMeasured(const QStringList& args)
{
    MeasuredRun run;
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    process.start(QStringLiteral(QL_BIN_DIR "/ql-rs485-cli"), args);
    if (!process.waitForStarted(10000))
        return run;
    const qint64 pid = process.processId();
    run.peakKiB = peakKiB(pid);
    while (!process.waitForFinished(20) && clock.elapsed() < 180000)
        run.peakKiB = std::max(run.peakKiB, peakKiB(pid));
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        run.result.err = "ql-rs485-cli did not finish";
    } else {
        run.result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    run.elapsedMs = clock.elapsed();
    run.result.out += process.readAllStandardOutput().toStdString();
    run.result.err += process.readAllStandardError().toStdString();
    return run;
}

constexpr size_t kMiB = 1024 * 1024;

// AddressSanitizer keeps freed blocks in quarantine (up to 256 MiB), so a
// sanitized reader's peak is no measure of what it holds.
#if defined(__SANITIZE_ADDRESS__)
constexpr qint64 kPeakFactor = 4;
#else
constexpr qint64 kPeakFactor = 1;
#endif

struct HostileCase {
    const char* name;
    const char* scheme;
    std::function<void(int, const Send&)> behave;
    QStringList readOptions;
    int exitCode;
    const char* message; // on stderr
    // A bound far above what the run needs and far below what it took when
    // the server could hold it: minutes, or gigabytes.
    qint64 maxSeconds;
    qint64 maxPeakMiB;
};

class HostileServerRead : public testing::TestWithParam<HostileCase> {};

TEST_P(HostileServerRead, EndsInBoundedTimeAndMemorySayingWhy)
{
    const HostileCase& c = GetParam();
    HostileServer server(c.behave);
    const MeasuredRun run = runMeasured(
        QStringList{"read", "--port", server.name(c.scheme), "--kind", "612", "--to", "2"} + c.readOptions);

    EXPECT_EQ(run.result.exitCode, c.exitCode) << run.result.err;
    EXPECT_NE(run.result.err.find(c.message), std::string::npos) << run.result.err;
    EXPECT_LT(run.elapsedMs, c.maxSeconds * 1000);
    // A reader that gives up at once may end before its memory is sampled;
    // one that runs for a while must have been measured.
    if (run.elapsedMs > 500) {
        EXPECT_GT(run.peakKiB, 0);
    }
    EXPECT_LT(run.peakKiB, c.maxPeakMiB * 1024 * kPeakFactor) << "peak resident memory in KiB";
}

// Every DO asks for an answer; the server never reads one.
void optionStormAfterOpening(int, const Send& send)
{
    send(rfc2217Agreement());
    // Lets the reader finish opening and send its first request.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    repeat(send, hex({0xFF, 0xFD, 0x63}), 256 * kMiB);
}

void optionStorm(int, const Send& send)
{
    repeat(send, hex({0xFF, 0xFD, 0x63}), 256 * kMiB);
}

// 256 MiB: far beyond the bound, still quick over loopback.
void garbageFlood(int, const Send& send)
{
    repeat(send, std::string(64 * 1024, 'Z'), 256 * kMiB);
}

void endlessSubnegotiation(int, const Send& send)
{
    send(rfc2217Agreement() + hex({0xFF, 0xFA, 0x2C}));
    repeat(send, std::string(64 * 1024, 'S'), 256 * kMiB);
}

// One byte every 20 ms, each announcing (as a byte count) more to come: an
// attempt used to wait for hundreds of them.
void trickle(int, const Send& send)
{
    while (send("\xFF"))
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

// Confirms even parity where odd was asked.
void otherParityConfirmed(int socket, const Send& send)
{
    send(rfc2217Agreement(3));
    holdUntilClosed(socket);
}

// The baud rate confirmed four times is one setting of four.
void baudRateConfirmedFourTimes(int socket, const Send& send)
{
    const std::string baud = rfc2217Agreement().substr(3, 10);
    send(hex({0xFF, 0xFD, 0x2C}) + baud + baud + baud + baud);
    holdUntilClosed(socket);
}

const char* const kBlockFailed = "读取第1条数据失败!";

INSTANTIATE_TEST_SUITE_P(
    Servers, HostileServerRead,
    testing::Values(
        HostileCase{
            "OptionStormInPlaceOfAReply", "rfc2217", optionStormAfterOpening, {}, 1, kBlockFailed, 30, 64},
        HostileCase{"OptionStormDuringNegotiation", "rfc2217", optionStorm, {}, 2, "cannot open", 30, 64},
        HostileCase{"GarbageFlood", "tcp", garbageFlood, {}, 1, kBlockFailed, 60, 64},
        HostileCase{"EndlessSubnegotiation", "rfc2217", endlessSubnegotiation, {}, 1, kBlockFailed, 60, 64},
        HostileCase{"TricklePaced", "tcp", trickle, {}, 1, kBlockFailed, 25, 64},
        HostileCase{"TrickleFast", "tcp", trickle, {"--fast"}, 1, kBlockFailed, 12, 64},
        HostileCase{"LineSettingNotTaken",
                    "rfc2217",
                    otherParityConfirmed,
                    {},
                    2,
                    "the server runs the line with parity 3 instead of 2",
                    30,
                    64},
        HostileCase{"RepeatedConfirmation",
                    "rfc2217",
                    baudRateConfirmedFourTimes,
                    {},
                    2,
                    "the server does not confirm the line settings",
                    30,
                    64}),
    [](const auto& info) { return std::string(info.param.name); });

// Reset as soon as it is accepted: a lost line every time, never a failed opening.
TEST(HostileServer, ResetRightAfterConnectingIsALostConnection)
{
    HostileServer server([](int socket, const Send&) {
        const linger reset{1, 0};
        ::setsockopt(socket, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    });
    for (int run = 0; run < 5; ++run) {
        const CliResult r = runCli({"read", "--port", server.name("tcp"), "--kind", "612", "--to", "1"});
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_NE(r.err.find("port error: "), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("Unable to open com port"), std::string::npos) << r.err;
    }
}

} // namespace
