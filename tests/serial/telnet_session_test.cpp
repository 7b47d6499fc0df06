// The Telnet side of RFC 2217 links as bytes on the wire: what the client says
// first and how it sets the remote line, IAC escaping both ways, and how
// received bytes split into data, answers and ignored commands, also when a
// command is cut between two reads.
#include "serial/telnet_session.h"

#include "support/hex.h"

#include <gtest/gtest.h>

namespace {

TEST(TelnetSession, OpensWithOptionRequestsAndSetsTheLine)
{
    TelnetSession session;
    EXPECT_EQ(session.start(), hexBytes("FF FB 2C  FF FB 00  FF FB 03  FF FD 00  FF FD 03"));
    // 9600 baud, 8 data bits, odd parity, 1 stop bit.
    EXPECT_EQ(TelnetSession::comPortSettings({9600, 8, 2, 1}),
              hexBytes("FF FA 2C 01 00 00 25 80 FF F0  FF FA 2C 02 08 FF F0  FF FA 2C 03 02 FF F0"
                       "  FF FA 2C 04 01 FF F0"));
    // A value byte 255 is doubled inside a subnegotiation too (65280 baud; 1.5 stop bits).
    EXPECT_EQ(TelnetSession::comPortSettings({0xFF00, 7, 3, 3}),
              hexBytes("FF FA 2C 01 00 00 FF FF 00 FF F0  FF FA 2C 02 07 FF F0  FF FA 2C 03 03 FF F0"
                       "  FF FA 2C 04 03 FF F0"));
    EXPECT_EQ(TelnetSession::escape(hexBytes("01 FF 02 FF FF")), hexBytes("01 FF FF 02 FF FF FF FF"));
}

struct ReceiveCase {
    const char* name;
    const char* received;
    const char* data;
    const char* answer;
};

class TelnetReceiveTest : public testing::TestWithParam<ReceiveCase> {};

TEST_P(TelnetReceiveTest, SplitsDataFromCommandsInOneReadOrByteByByte)
{
    const ReceiveCase& c = GetParam();
    const Bytes received = hexBytes(c.received);
    for (const bool byteByByte : {false, true}) {
        TelnetSession session;
        session.start();
        Bytes data;
        Bytes answer;
        if (byteByByte) {
            for (const uint8_t byte : received)
                session.receive(ByteView(&byte, 1), data, answer);
        } else {
            session.receive(received, data, answer);
        }
        EXPECT_EQ(bytesToHexSpaced(data), bytesToHexSpaced(hexBytes(c.data)))
            << "byte by byte: " << byteByByte;
        EXPECT_EQ(bytesToHexSpaced(answer), bytesToHexSpaced(hexBytes(c.answer)))
            << "byte by byte: " << byteByByte;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Server, TelnetReceiveTest,
    testing::Values(ReceiveCase{"DoubledIacIsOneDataByte", "01 FF FF 02 FF FF", "01 FF 02 FF", ""},
                    // Answers to our own requests must not be answered again.
                    ReceiveCase{"AgreementToOurRequestsNeedsNoAnswer",
                                "FF FD 2C FF FD 00 FF FB 00 FF FD 03 FF FB 03 05", "05", ""},
                    ReceiveCase{"OtherOptionsAreRefused", "FF FB 01 06 FF FD 18", "06", "FF FE 01 FF FC 18"},
                    ReceiveCase{"RequestForAnOptionAlreadyOnIsNotAnswered", "FF FD 2C FF FD 2C", "", ""},
                    ReceiveCase{"WithdrawnBinaryModeIsAcknowledged", "FF FB 00 FF FC 00", "", "FF FE 00"},
                    // Line-state and modem-state notifications, flow-control suspend, NOP, go-ahead.
                    ReceiveCase{
                        "NotificationsAndOneByteCommandsAreDropped",
                        "09 FF FA 2C 6A 60 FF F0 FF FA 2C 6B 30 FF F0 FF FA 2C 6C FF F0 FF F1 0A FF F9 0B",
                        "09 0A 0B", ""},
                    ReceiveCase{"ByteSequenceLikeAnEndInsideSubnegotiationIsNoEnd",
                                "FF FA 2C 6A FF FF F0 FF F0 0C", "0C", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TelnetSession, KnowsWhetherTheServerTookPortControlAndTheLine)
{
    TelnetSession accepting;
    accepting.start();
    Bytes data;
    Bytes answer;
    accepting.receive(hexBytes("FF FD 2C"), data, answer);
    EXPECT_TRUE(accepting.comPortAccepted());
    accepting.receive(hexBytes("FF FA 2C 65 00 00 FF FF 00 FF F0  FF FA 2C 66 08 FF F0  FF FA 2C 67 02 FF F0"
                               "  FF FA 2C 68 01 FF F0"),
                      data, answer);
    EXPECT_EQ(accepting.confirmedSettings(), 4);
    EXPECT_EQ(accepting.serverLine().baudRate, 0xFF00u);
    EXPECT_EQ(accepting.serverLine().dataSize, 8);
    EXPECT_EQ(accepting.serverLine().parity, 2);
    EXPECT_EQ(accepting.serverLine().stopSize, 1);
    EXPECT_TRUE(data.empty());

    // The same setting confirmed four times is one of four.
    TelnetSession repeating;
    repeating.start();
    for (int i = 0; i < 4; ++i)
        repeating.receive(hexBytes("FF FA 2C 67 03 FF F0"), data, answer);
    EXPECT_EQ(repeating.confirmedSettings(), 1);
    EXPECT_EQ(repeating.serverLine().parity, 3);

    TelnetSession refusing;
    refusing.start();
    refusing.receive(hexBytes("FF FE 2C"), data, answer);
    EXPECT_FALSE(refusing.comPortAccepted());
    EXPECT_TRUE(refusing.comPortRefused());
    EXPECT_TRUE(answer.empty());
}

// A subnegotiation that does not end within its cap is dropped, whatever
// follows, and the data after its end comes through again.
TEST(TelnetSession, OverlongSubnegotiationIsDroppedAndDataGoesOn)
{
    TelnetSession session;
    session.start();
    Bytes received = hexBytes("FF FA 2C 67");
    received.resize(received.size() + 100000, 0x41);
    const Bytes end = hexBytes("FF F0 07");
    received.insert(received.end(), end.begin(), end.end());
    Bytes data;
    Bytes answer;
    session.receive(received, data, answer);
    EXPECT_EQ(data, hexBytes("07"));
    EXPECT_EQ(session.confirmedSettings(), 0);
    EXPECT_EQ(session.droppedSubnegotiations(), 1);
}

} // namespace
