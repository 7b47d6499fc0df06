// The ql-rs485-sim executable, run for real: it prints its pseudo-terminal, answers
// requests written to it, survives a client that closes and reopens the port, and
// ends cleanly on SIGTERM or after close-after=N requests.
#include "protocol/request_frames.h"
#include "sim/sim_meter.h"
#include "support/built_in_registry.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr uint8_t kAddress = 23;
// Generous bounds so a loaded machine never fails a test; they only stop a hang.
constexpr int kDeadlineMs = 10'000;

class SimProcess {
public:
    ~SimProcess()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_out >= 0)
            close(m_out);
    }

    // Starts the simulator; returns its first stdout line ("" when none came).
    std::string start(const std::vector<std::string>& arguments)
    {
        int pipeFds[2];
        if (pipe(pipeFds) != 0)
            return {};
        m_pid = fork();
        if (m_pid == 0) {
            dup2(pipeFds[1], STDOUT_FILENO);
            close(pipeFds[0]);
            close(pipeFds[1]);
            std::vector<std::string> args = {QL_BIN_DIR "/ql-rs485-sim"};
            args.insert(args.end(), arguments.begin(), arguments.end());
            std::vector<char*> argv;
            for (std::string& arg : args)
                argv.push_back(arg.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(pipeFds[1]);
        m_out = pipeFds[0];
        std::string line;
        char c = 0;
        while (line.size() < 200) {
            pollfd fd = {m_out, POLLIN, 0};
            if (poll(&fd, 1, kDeadlineMs) <= 0 || read(m_out, &c, 1) != 1 || c == '\n')
                break;
            line += c;
        }
        return line;
    }

    // Exit status once the process has ended, -1 when it is still running after
    // the deadline.
    int waitExit()
    {
        for (int waited = 0; waited < kDeadlineMs; waited += 10) {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }

    void signal(int signalNumber) { kill(m_pid, signalNumber); }

private:
    pid_t m_pid = -1;
    int m_out = -1;
};

int openPort(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd >= 0) {
        termios tio{};
        tcgetattr(fd, &tio);
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}

void writeAll(int fd, const Bytes& bytes)
{
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

// Reads until `expected` bytes came or the line stayed quiet for `quietMs`.
Bytes readReply(int fd, size_t expected, int quietMs = kDeadlineMs)
{
    Bytes reply;
    uint8_t buffer[600];
    while (reply.size() < expected) {
        pollfd p = {fd, POLLIN, 0};
        if (poll(&p, 1, quietMs) <= 0)
            break;
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count <= 0)
            break;
        reply.insert(reply.end(), buffer, buffer + count);
    }
    return reply;
}

std::string ptyPath(const std::string& firstLine)
{
    return firstLine.rfind("PTY ", 0) == 0 ? firstLine.substr(4) : std::string();
}

Bytes expectedReply(int deviceType, const Bytes& request)
{
    SimConfig config;
    config.deviceType = deviceType;
    return SimMeter(config).answer(request).value_or(Bytes{});
}

Bytes blockFrame(int kindCode, int block)
{
    return blockRequestFrame(kindOf(kindCode), baseRequestOfKind(kindOf(kindCode), kAddress), block);
}

TEST(SimExecutable, PrintsItsPtyAndAnswersARecordRequest)
{
    SimProcess sim;
    const std::string path = ptyPath(sim.start({"--type", "6"}));
    ASSERT_FALSE(path.empty());
    const int fd = openPort(path);
    ASSERT_GE(fd, 0);
    const Bytes request = blockFrame(612, 1);
    writeAll(fd, request);
    const Bytes expected = expectedReply(6, request);
    ASSERT_EQ(expected.size(), 199u);
    EXPECT_EQ(readReply(fd, expected.size()), expected);
    close(fd);
}

TEST(SimExecutable, MetersOnOneLineAnswerOnlyAtTheirOwnAddress)
{
    SimProcess sim;
    const std::string path = ptyPath(sim.start({"--meter", "5:1", "--meter", "23:6", "--meter", "31:7"}));
    ASSERT_FALSE(path.empty());
    const int fd = openPort(path);
    ASSERT_GE(fd, 0);
    struct Asked {
        int address;
        int deviceType;
        int kindCode;
    };
    for (const Asked& asked : {Asked{5, 1, 11}, Asked{23, 6, 612}, Asked{31, 7, 71}}) {
        const Bytes request = blockRequestFrame(kindOf(asked.kindCode),
                                                baseRequestOfKind(kindOf(asked.kindCode), asked.address), 1);
        SimConfig config;
        config.deviceType = asked.deviceType;
        config.address = asked.address;
        const Bytes expected = SimMeter(config).answer(request).value_or(Bytes{});
        ASSERT_FALSE(expected.empty()) << asked.address;
        writeAll(fd, request);
        EXPECT_EQ(readReply(fd, expected.size()), expected) << asked.address;
    }
    // A type-6 request at address 5, where a type-1 meter is, and one where no meter is.
    for (const int address : {5, 6}) {
        writeAll(fd, blockRequestFrame(kindOf(612), baseRequestOfKind(kindOf(612), address), 1));
        EXPECT_TRUE(readReply(fd, 1, 300).empty()) << address;
    }
    close(fd);
}

TEST(SimExecutable, KeepsServingWhenTheClientReopensThePort)
{
    SimProcess sim;
    const std::string path = ptyPath(sim.start({"--type", "1"}));
    ASSERT_FALSE(path.empty());
    const Bytes request = blockFrame(11, 2);
    const Bytes expected = expectedReply(1, request);
    for (int round = 0; round < 3; ++round) {
        const int fd = openPort(path);
        ASSERT_GE(fd, 0);
        writeAll(fd, request);
        EXPECT_EQ(readReply(fd, expected.size()), expected) << "round " << round;
        close(fd);
    }
}

TEST(SimExecutable, FramesARequestWrittenInPiecesAndIgnoresGarbage)
{
    SimProcess sim;
    const std::string path = ptyPath(sim.start({"--type", "3"}));
    ASSERT_FALSE(path.empty());
    const int fd = openPort(path);
    ASSERT_GE(fd, 0);
    writeAll(fd, {0x01, 0x02, 0x03});
    // Garbage draws no answer.
    EXPECT_TRUE(readReply(fd, 1, 200).empty());
    const Bytes request = blockFrame(31, 4);
    writeAll(fd, Bytes(request.begin(), request.begin() + 4));
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    writeAll(fd, Bytes(request.begin() + 4, request.end()));
    const Bytes expected = expectedReply(3, request);
    ASSERT_EQ(expected.size(), 30u);
    EXPECT_EQ(readReply(fd, expected.size()), expected);
    close(fd);
}

TEST(SimExecutable, LinkIsCreatedAndRemovedOnSigterm)
{
    const std::string link = testing::TempDir() + "ql-sim-link-" + std::to_string(getpid());
    SimProcess sim;
    const std::string path = ptyPath(sim.start({"--type", "7", "--link", link}));
    ASSERT_FALSE(path.empty());
    char target[256] = {};
    ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(std::string(target), path);
    const int fd = openPort(link);
    ASSERT_GE(fd, 0);
    const Bytes request = appendCrc(Bytes{kAddress, 0x03, 0x00, 0x0A, 0x00, 0x15});
    writeAll(fd, request);
    EXPECT_EQ(readReply(fd, 47).size(), 47u);
    close(fd);
    sim.signal(SIGTERM);
    EXPECT_EQ(sim.waitExit(), 0);
    EXPECT_NE(access(link.c_str(), F_OK), 0);
}

TEST(SimExecutable, CloseAfterEndsTheProcessAfterItsLastAnswer)
{
    SimProcess sim;
    const std::string path = ptyPath(sim.start({"--type", "2", "--fault", "close-after=1"}));
    ASSERT_FALSE(path.empty());
    const int fd = openPort(path);
    ASSERT_GE(fd, 0);
    const Bytes request = blockFrame(22, 1);
    writeAll(fd, request);
    EXPECT_EQ(readReply(fd, 15), expectedReply(2, request));
    EXPECT_EQ(sim.waitExit(), 0);
    close(fd);
}

TEST(SimExecutable, FaultReachesTheWire)
{
    SimProcess sim;
    const std::string path =
        ptyPath(sim.start({"--type", "6", "--fault", "bad-crc", "--line-rate", "--baud", "115200"}));
    ASSERT_FALSE(path.empty());
    const int fd = openPort(path);
    ASSERT_GE(fd, 0);
    const Bytes request = blockFrame(611, 1);
    writeAll(fd, request);
    const Bytes reply = readReply(fd, 99);
    ASSERT_EQ(reply.size(), 99u);
    EXPECT_FALSE(checkCrcFull(reply));
    Bytes expected = expectedReply(6, request);
    expected.back() ^= 0xFF;
    EXPECT_EQ(reply, expected);
    close(fd);
}

struct BadArgumentsCase {
    const char* name;
    std::vector<std::string> arguments;
};

class SimExecutableArguments : public testing::TestWithParam<BadArgumentsCase> {};

TEST_P(SimExecutableArguments, AreRefusedWithStatus2)
{
    SimProcess sim;
    EXPECT_EQ(sim.start(GetParam().arguments), "");
    EXPECT_EQ(sim.waitExit(), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Refused, SimExecutableArguments,
    testing::Values(BadArgumentsCase{"NoType", {}}, BadArgumentsCase{"TypeOutOfRange", {"--type", "8"}},
                    BadArgumentsCase{"AddressOutOfRange", {"--type", "1", "--addr", "248"}},
                    BadArgumentsCase{"UnknownFault", {"--type", "1", "--fault", "sluggish"}},
                    BadArgumentsCase{"MissingValue", {"--type"}},
                    BadArgumentsCase{"MeterWithoutType", {"--meter", "5"}},
                    BadArgumentsCase{"TwoMetersAtOneAddress",
                                     {"--meter", "5:1", "--type", "6", "--addr", "5"}}),
    [](const testing::TestParamInfo<BadArgumentsCase>& info) { return info.param.name; });

} // namespace
