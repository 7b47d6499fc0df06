// ql-rs485-sim: serves a simulated meter on a pseudo-terminal until SIGINT/SIGTERM.
//   ql-rs485-sim --type T [--addr A] [--records N] [--line-rate] [--baud N]
//                [--link PATH] [--workbook FILE] [--fault NAME ...] [--tcp PORT] [--echo]
//                [--meter ADDR:TYPE ...] [--registers FILE] [--modbus-addr A] [--mbtcp PORT]
// The first line on stdout is "PTY <slave path>"; the client opens that path (or
// the --link symlink) as its serial port. With --tcp it serves one TCP client at a
// time on 127.0.0.1:PORT instead, as a serial device server in raw mode does, and
// the first line is "TCP 127.0.0.1:<port>" (--tcp 0 picks a free port). --echo
// sends every request back before answering it, as two-wire adapters do. Each
// --meter puts one more meter on the line; every meter answers only its own
// address, and the other options apply to all of them. Windows has no
// pseudo-terminals: there the simulator serves --tcp only.
// With --registers, --modbus-addr or --mbtcp a general Modbus slave answers
// beside the meters at --modbus-addr (default 1): the register map of
// --registers, or a default one. It is opt-in so the meter search still finds
// only the meters. --mbtcp serves that slave alone over Modbus TCP on
// 127.0.0.1:PORT, and the first line is "MBTCP 127.0.0.1:<port>".

#include "modbus/modbus_framing.h"
#include "ql_version.h"
#include "sim/sim_device_types.h"
#include "sim/sim_meter.h"
#include "sim/sim_registers.h"
#include "sim/sim_socket.h"
#include "sim/sim_workbook.h"

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace {

volatile sig_atomic_t gStop = 0;

void onSignal(int)
{
    gStop = 1;
}

// A request ends when the line has been quiet this long (Modbus RTU allows 3.5
// character times; the client writes a frame in one go).
constexpr int64_t kFrameGapUs = 20'000;
// Pause while no client holds the slave side open, so a hung-up master is not spun on.
constexpr int kIdleMs = 50;
// Longest wait for the client to read the last answer before closing.
constexpr int kLingerMs = 2000;
// How long a TCP client is given to read the last answer before the close.
constexpr int kTcpLingerMs = 400;

struct MeterOnLine {
    int address = 0;
    int deviceType = 0;
};

struct Options {
    // Shared by every meter on the line; address and type are set per meter.
    SimConfig config;
    std::vector<MeterOnLine> meters;
    std::string link;
    // TCP port to serve on instead of a pseudo-terminal; -1 for the pseudo-terminal.
    int tcpPort = -1;
    bool echo = false;
    // Device type 5 register map; empty: the shipped workbook beside the executable.
    std::string workbook;
    // The general Modbus slave's register map; empty: the default map.
    std::string registers;
    int modbusAddress = 1;
    bool modbusAddressGiven = false;
    // Modbus TCP port to serve the general slave on; -1 for none.
    int mbtcpPort = -1;
};

const char kUsage[] =
    "usage: ql-rs485-sim --type T [--addr A] [--records N] [--line-rate] [--baud N] [--link PATH] "
    "[--workbook FILE] [--fault NAME ...] [--tcp PORT] [--echo] [--meter ADDR:TYPE ...] "
    "[--registers FILE] [--modbus-addr A] [--mbtcp PORT]\n"
    "--tcp: serve on 127.0.0.1:PORT instead of a pseudo-terminal (0: a free port)\n"
    "--echo: send each request back before answering it\n"
    "--meter: one more meter on the line (repeatable); --type is then optional\n"
    "--workbook: protocol workbook of type 5 (default: Excel/VarnelModbus.xls beside the program)\n"
    "--registers: register map of the general Modbus slave, CSV lines coil|input|holding|ireg,ADDRESS,VALUE\n"
    "--modbus-addr: address of the general Modbus slave (default 1); any of these three options serves it\n"
    "--mbtcp: serve the general Modbus slave over Modbus TCP on 127.0.0.1:PORT (0: a free port)\n"
    "faults: silence bad-crc wrong-length split[=GAP_MS] garbage-before garbage-after other-address\n"
    "        endless oversize close-after=N slow[=DELAY_MS] alarm\n";

bool parseInt(const char* text, int low, int high, int& value)
{
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || parsed < low || parsed > high)
        return false;
    value = static_cast<int>(parsed);
    return true;
}

// "ADDR:TYPE" with ADDR 1 to 247 and TYPE 1 to 7.
bool parseMeter(const std::string& text, MeterOnLine& meter)
{
    const size_t colon = text.find(':');
    return colon != std::string::npos && parseInt(text.substr(0, colon).c_str(), 1, 247, meter.address) &&
           parseInt(text.substr(colon + 1).c_str(), 1, 7, meter.deviceType);
}

bool servesModbusSlave(const Options& options)
{
    return options.mbtcpPort >= 0 || options.modbusAddressGiven || !options.registers.empty();
}

// Empty on success, else the message for stderr.
std::string parseArguments(int argc, char** argv, Options& options)
{
    bool haveType = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (arg == "--line-rate") {
            options.config.lineRate = true;
            continue;
        }
        if (arg == "--echo") {
            options.echo = true;
            continue;
        }
        if (arg == "--help" || arg == "-h")
            return kUsage;
        const char* text = value();
        if (!text)
            return "missing value after " + arg;
        if (arg == "--type") {
            if (!parseInt(text, 1, 7, options.config.deviceType))
                return "--type must be 1 to 7";
            haveType = true;
        } else if (arg == "--addr") {
            if (!parseInt(text, 1, 247, options.config.address))
                return "--addr must be 1 to 247";
        } else if (arg == "--records") {
            if (!parseInt(text, 0, 65535, options.config.records))
                return "--records must be 0 to 65535";
        } else if (arg == "--baud") {
            if (!parseInt(text, 50, 4'000'000, options.config.baud))
                return "--baud must be 50 to 4000000";
        } else if (arg == "--tcp") {
            if (!parseInt(text, 0, 65535, options.tcpPort))
                return "--tcp must be 0 to 65535";
        } else if (arg == "--link") {
            options.link = text;
        } else if (arg == "--workbook") {
            options.workbook = text;
        } else if (arg == "--registers") {
            options.registers = text;
        } else if (arg == "--modbus-addr") {
            if (!parseInt(text, 1, 247, options.modbusAddress))
                return "--modbus-addr must be 1 to 247";
            options.modbusAddressGiven = true;
        } else if (arg == "--mbtcp") {
            if (!parseInt(text, 0, 65535, options.mbtcpPort))
                return "--mbtcp must be 0 to 65535";
        } else if (arg == "--fault") {
            options.config.faults.emplace_back(text);
        } else if (arg == "--meter") {
            MeterOnLine meter;
            if (!parseMeter(text, meter))
                return "--meter must be ADDR:TYPE with ADDR 1 to 247 and TYPE 1 to 7";
            options.meters.push_back(meter);
        } else {
            return "unknown argument " + arg;
        }
    }
    if (haveType)
        options.meters.insert(options.meters.begin(), {options.config.address, options.config.deviceType});
    if (options.meters.empty() && !servesModbusSlave(options))
        return "--type or --meter is required";
    for (size_t i = 0; i < options.meters.size(); ++i) {
        for (size_t j = i + 1; j < options.meters.size(); ++j) {
            if (options.meters[i].address == options.meters[j].address)
                return "two meters at address " + std::to_string(options.meters[i].address);
        }
    }
    if (options.tcpPort >= 0 && !options.link.empty())
        return "--link names a pseudo-terminal and cannot go with --tcp";
    if (options.mbtcpPort >= 0 && (options.tcpPort >= 0 || !options.link.empty()))
        return "--mbtcp serves Modbus TCP and cannot go with --tcp or --link";
    for (const MeterOnLine& meter : options.meters)
        if (servesModbusSlave(options) && options.mbtcpPort < 0 && meter.address == options.modbusAddress)
            return "a meter and the Modbus slave at address " + std::to_string(meter.address);
    return checkFaultNames(options.config.faults);
}

int64_t nowUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

// Serves the meter on one byte stream: the master side of a pseudo-terminal, or
// the TCP client accepted on `listener` (-1 without one).
class PtyServer {
public:
    // `line` holds the options shared by everything on the line; `modbus` is
    // the general slave or null; `framing` is how requests are told apart.
    PtyServer(std::vector<SimMeter>& meters, const SimConfig& line, SimModbusSlave* modbus,
              const ModbusFraming& framing, int master, int slave, int listener, bool echo)
        : m_meters(meters), m_line(line), m_modbus(modbus), m_framing(framing), m_master(master),
          m_slave(slave), m_listener(listener), m_echo(echo)
    {
        // A slave answers after the 3.5 character times that end the request.
        m_modbusTiming.lineRate = line.lineRate;
        m_modbusTiming.baud = line.baud;
        m_modbusTiming.replyDelayMs = static_cast<int>((byteTimeUs(line) * 7 / 2 + 999) / 1000);
    }
    // Serves until a signal arrives or close-after=N is reached.
    void run();

private:
    void flush(int64_t now);
    void readInput(int64_t now);
    void frameRequests(int64_t now);
    void handle(const Bytes& request, int64_t now);
    int pollTimeoutMs(int64_t now) const;
    void write(const uint8_t* bytes, size_t count);
    void linger();
    void acceptClient();
    void dropClient();

    std::vector<SimMeter>& m_meters;
    const SimConfig& m_line;
    SimModbusSlave* m_modbus;
    const ModbusFraming& m_framing;
    SimConfig m_modbusTiming;
    int m_master;
    int m_slave;
    int m_listener;
    bool m_echo;
    Bytes m_pending;
    int64_t m_lastByteUs = 0;
    std::deque<SimPiece> m_outgoing;
    int64_t m_endlessFromUs = -1;
    int m_served = 0;
    bool m_closing = false;
};

void PtyServer::write(const uint8_t* bytes, size_t count)
{
    // Non-blocking: with no reader the bytes are lost, as on an open RS485 line.
    while (count > 0 && m_master >= 0) {
        const long written = simWrite(m_master, bytes, count);
        if (written <= 0) {
            if (written < 0 && errno == EINTR)
                continue;
            return;
        }
        bytes += written;
        count -= static_cast<size_t>(written);
    }
}

void PtyServer::flush(int64_t now)
{
    while (!m_outgoing.empty() && m_outgoing.front().atUs <= now) {
        write(m_outgoing.front().bytes.data(), m_outgoing.front().bytes.size());
        m_outgoing.pop_front();
    }
    if (m_endlessFromUs >= 0 && now > m_endlessFromUs) {
        const SimConfig& config = m_line;
        const int64_t stepUs = config.lineRate ? byteTimeUs(config) : 1000;
        const int64_t count = std::min<int64_t>((now - m_endlessFromUs) / stepUs, 4096);
        Bytes noise(static_cast<size_t>(count));
        for (size_t i = 0; i < noise.size(); ++i)
            noise[i] = static_cast<uint8_t>(0xA5 ^ i);
        write(noise.data(), noise.size());
        m_endlessFromUs += count * stepUs;
        if (now - m_endlessFromUs > 1'000'000)
            m_endlessFromUs = now;
    }
}

void PtyServer::readInput(int64_t now)
{
    uint8_t buffer[512];
    const long count = simRead(m_master, buffer, sizeof buffer);
    if (count > 0) {
        m_pending.insert(m_pending.end(), buffer, buffer + count);
        m_lastByteUs = now;
        return;
    }
    if (m_listener >= 0) {
        if (count == 0 || !simWouldBlock())
            dropClient();
        return;
    }
    // EIO: no client has the slave side open right now; wait for one.
    if (count < 0 && !simWouldBlock())
        simSleepMs(kIdleMs);
}

void PtyServer::frameRequests(int64_t now)
{
    while (!m_pending.empty() && !m_closing) {
        const std::optional<size_t> known =
            m_framing.isTcp() ? m_framing.requestLength(m_pending) : knownRequestLength(m_pending);
        size_t take = 0;
        if (known && m_pending.size() >= *known)
            take = *known;
        else if (now - m_lastByteUs >= kFrameGapUs)
            take = m_pending.size();
        else
            return;
        const Bytes request(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(take));
        m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(take));
        handle(request, now);
    }
}

void PtyServer::handle(const Bytes& request, int64_t now)
{
    if (m_echo)
        m_outgoing.push_back({now, request});
    // Every meter hears the request; at most the one at its address answers.
    const SimConfig* config = &m_line;
    std::optional<Bytes> reply;
    for (SimMeter& meter : m_meters) {
        reply = meter.respond(request);
        if (reply) {
            config = &meter.config();
            break;
        }
    }
    if (!reply && m_modbus) {
        reply = m_modbus->respond(request);
        config = &m_modbusTiming;
    }
    ++m_served;
    if (reply) {
        int64_t end = now;
        for (SimPiece& piece : scheduleReply(*config, *reply)) {
            piece.atUs += now;
            end = piece.atUs;
            m_outgoing.push_back(std::move(piece));
        }
        if (hasFault(*config, "endless") && m_endlessFromUs < 0)
            m_endlessFromUs = end;
    }
    const int closeAfter = faultNumber(*config, "close-after", -1);
    if (closeAfter >= 0 && m_served >= closeAfter)
        m_closing = true;
}

int PtyServer::pollTimeoutMs(int64_t now) const
{
    int64_t waitUs = 200'000;
    if (!m_outgoing.empty())
        waitUs = std::min(waitUs, m_outgoing.front().atUs - now);
    if (!m_pending.empty())
        waitUs = std::min(waitUs, m_lastByteUs + kFrameGapUs - now);
    if (m_endlessFromUs >= 0)
        waitUs = std::min<int64_t>(waitUs, 5'000);
    if (waitUs <= 0)
        return 0;
    return static_cast<int>((waitUs + 999) / 1000);
}

// Closing the master discards what the client has not read yet, so the last answer
// before close-after=N is given time to be read.
void PtyServer::linger()
{
    // Written bytes reach the slave's input queue asynchronously: let them land
    // before asking how many are still unread.
    simSleepMs(100);
    // A TCP client still gets what the kernel holds after the close, but
    // nothing tells whether it has read it: give it time to.
    if (m_slave < 0) {
        simSleepMs(kTcpLingerMs);
        return;
    }
#ifndef _WIN32
    for (int waited = 0; waited < kLingerMs && !gStop; waited += 10) {
        int unread = 0;
        if (ioctl(m_slave, FIONREAD, &unread) != 0 || unread == 0)
            return;
        poll(nullptr, 0, 10);
    }
#endif
}

void PtyServer::run()
{
    while (!gStop) {
        int64_t now = nowUs();
        flush(now);
        if (m_closing && m_outgoing.empty()) {
            linger();
            return;
        }
        frameRequests(now);
        pollfd fds[2] = {simPollFd(m_master), simPollFd(m_listener)};
        const int ready = simPoll(fds, 2, pollTimeoutMs(now));
        now = nowUs();
        if (ready > 0 && (fds[1].revents & POLLIN))
            acceptClient();
        if (ready > 0 && (fds[0].revents & POLLIN))
            readInput(now);
        else if (ready > 0 && (fds[0].revents & (POLLHUP | POLLERR)))
            m_listener >= 0 ? dropClient() : simSleepMs(kIdleMs);
    }
}

// One client at a time: a new connection replaces the one before, as a device
// server does when a new user takes over the line.
void PtyServer::acceptClient()
{
    const int client = simAccept(m_listener);
    if (client < 0)
        return;
    dropClient();
    simSetNonBlocking(client);
    const int one = 1;
    setsockopt(client, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    m_master = client;
}

void PtyServer::dropClient()
{
    if (m_master >= 0)
        simClose(m_master);
    m_master = -1;
    m_pending.clear();
    m_outgoing.clear();
    m_endlessFromUs = -1;
}

// A listening socket on 127.0.0.1:port (0: a free one), its port in `port`; -1 on failure.
int listenTcp(int& port)
{
    const int listener = simListenSocket();
    if (listener < 0)
        return -1;
#ifndef _WIN32
    // On Windows the option lets a second server take the same port: left off there.
    const int one = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
#endif
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    socklen_t length = sizeof address;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 4) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        simClose(listener);
        return -1;
    }
    port = ntohs(address.sin_port);
    return listener;
}

#ifndef _WIN32
// The master side of a new pseudo-terminal in raw mode; -1 on failure. `slave`
// receives an fd of the slave side that this process keeps open, so a client
// closing and reopening the port never hangs the line up.
int openPty(std::string& slavePath, int& slave)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0)
        return -1;
    if (grantpt(master) != 0 || unlockpt(master) != 0 || !ptsname(master)) {
        close(master);
        return -1;
    }
    slavePath = ptsname(master);
    slave = open(slavePath.c_str(), O_RDWR | O_NOCTTY);
    if (slave < 0) {
        close(master);
        return -1;
    }
    termios tio{};
    if (tcgetattr(slave, &tio) == 0) {
        cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        tcsetattr(slave, TCSANOW, &tio);
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    return master;
}
#endif

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("ql-rs485-sim %s\n", kQlVersion);
            return 0;
        }
    Options options;
    const std::string error = parseArguments(argc, argv, options);
    if (!error.empty()) {
        const bool help = error == kUsage;
        std::fputs(error.c_str(), help ? stdout : stderr);
        if (!help)
            std::fprintf(stderr, "\n%s", kUsage);
        return help ? 0 : 2;
    }
    std::vector<SimMeter> meters;
    for (const MeterOnLine& onLine : options.meters) {
        SimConfig config = options.config;
        config.address = onLine.address;
        config.deviceType = onLine.deviceType;
        if (findSimDeviceType(config.deviceType)->servesWorkbook) {
            const std::string path = options.workbook.empty() ? defaultSimWorkbookPath() : options.workbook;
            const SimWorkbookLoad load = loadSimWorkbook(path, config);
            for (const std::string& warning : load.warnings)
                std::fprintf(stderr, "ql-rs485-sim: %s\n", warning.c_str());
            if (!load.ok()) {
                std::fprintf(stderr, "ql-rs485-sim: %s\n", load.error.c_str());
                return 2;
            }
        }
        meters.emplace_back(std::move(config));
    }
    std::unique_ptr<SimModbusSlave> modbus;
    const ModbusFraming& framing = options.mbtcpPort >= 0 ? ModbusFraming::tcp() : ModbusFraming::rtu();
    if (options.mbtcpPort >= 0) {
        meters.clear();
        options.tcpPort = options.mbtcpPort;
    }
    if (servesModbusSlave(options)) {
        SimRegisterMap map = defaultSimRegisterMap();
        if (!options.registers.empty()) {
            map = {};
            const std::string error = loadSimRegisterMap(options.registers, map);
            if (!error.empty()) {
                std::fprintf(stderr, "ql-rs485-sim: %s\n", error.c_str());
                return 2;
            }
        }
        modbus = std::make_unique<SimModbusSlave>(std::move(map), options.modbusAddress, framing);
    }

#ifdef _WIN32
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    if (!simNetStartup()) {
        std::fprintf(stderr, "cannot start Windows sockets\n");
        return 1;
    }
#else
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
#endif

    if (options.tcpPort >= 0) {
        int port = options.tcpPort;
        const int listener = listenTcp(port);
        if (listener < 0) {
            std::fprintf(stderr, "cannot listen on 127.0.0.1:%d: %s\n", options.tcpPort,
                         std::strerror(errno));
            return 1;
        }
        std::printf("%s 127.0.0.1:%d\n", framing.isTcp() ? "MBTCP" : "TCP", port);
        std::fflush(stdout);
        PtyServer server(meters, options.config, modbus.get(), framing, -1, -1, listener, options.echo);
        server.run();
        simClose(listener);
        return 0;
    }

#ifdef _WIN32
    std::fprintf(stderr, "ql-rs485-sim: Windows has no pseudo-terminals; serve the meter with --tcp PORT\n");
    return 2;
#else
    std::string slavePath;
    int slave = -1;
    const int master = openPty(slavePath, slave);
    if (master < 0) {
        std::fprintf(stderr, "cannot create a pseudo-terminal: %s\n", std::strerror(errno));
        return 1;
    }
    if (!options.link.empty()) {
        struct stat info {};
        // Replace only an earlier symlink, never a file someone else put there.
        if (lstat(options.link.c_str(), &info) == 0 && S_ISLNK(info.st_mode))
            unlink(options.link.c_str());
        if (symlink(slavePath.c_str(), options.link.c_str()) != 0) {
            std::fprintf(stderr, "cannot create link %s: %s\n", options.link.c_str(), std::strerror(errno));
            close(slave);
            close(master);
            return 1;
        }
    }

    std::printf("PTY %s\n", slavePath.c_str());
    std::fflush(stdout);

    PtyServer(meters, options.config, modbus.get(), framing, master, slave, -1, options.echo).run();

    if (!options.link.empty())
        unlink(options.link.c_str());
    close(slave);
    close(master);
    return 0;
#endif
}
