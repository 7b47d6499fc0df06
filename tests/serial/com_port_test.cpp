// The serial port over real pseudo-terminals: this side is a ComPort on the
// slave end, the test plays the meter on the master end. Pseudo-terminals
// ignore baud rate, parity and data bits, so these tests prove the opening,
// purging, sending, counting, reading and loss handling, not line settings.
#include "serial/com_port.h"
#include "serial/com_port_error.h"
#include "serial/port_list.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

// Upper bounds on waiting for bytes in flight; the tests never assert on time.
constexpr int kPollRounds = 2000;
constexpr int kPollPauseMs = 2;

class PseudoTerminal {
public:
    PseudoTerminal()
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master >= 0 && grantpt(m_master) == 0 && unlockpt(m_master) == 0)
            m_slaveName = QString::fromLocal8Bit(ptsname(m_master));
    }
    ~PseudoTerminal() { CloseMaster(); }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool Valid() const { return m_master >= 0 && !m_slaveName.isEmpty(); }
    QString SlaveName() const { return m_slaveName; }

    void Write(const Bytes& bytes) const
    {
        ASSERT_EQ(::write(m_master, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }

    // Collects `count` bytes the port sent, or fewer when none come for 5 s.
    Bytes Read(size_t count) const
    {
        Bytes bytes;
        while (bytes.size() < count) {
            pollfd fd{m_master, POLLIN, 0};
            if (poll(&fd, 1, 5000) <= 0)
                break;
            uint8_t buffer[256];
            const ssize_t got = ::read(m_master, buffer, std::min(sizeof buffer, count - bytes.size()));
            if (got <= 0)
                break;
            bytes.insert(bytes.end(), buffer, buffer + got);
        }
        return bytes;
    }

    void CloseMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

private:
    int m_master = -1;
    QString m_slaveName;
};

// Polls the count until `expected` bytes are waiting (or the bound is reached).
int WaitForCount(ComPort& port, int expected)
{
    int count = port.WaitingByteCount();
    for (int round = 0; round < kPollRounds && count < expected; ++round) {
        QThread::msleep(kPollPauseMs);
        count = port.WaitingByteCount();
    }
    return count;
}

class ComPortTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "serial_com_port_test";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            static QCoreApplication app(argc, argv);
    }

    void SetUp() override
    {
        ASSERT_TRUE(m_pty.Valid());
        m_port.SetPort(m_pty.SlaveName());
    }

    PseudoTerminal m_pty;
    ComPort m_port;
};

const Bytes kRequest{0x01, 0x03, 0x00, 0x00, 0x00, 0x10, 0x44, 0x06};

TEST_F(ComPortTest, SendsFrameAndReceivesReply)
{
    m_port.OpenPort();
    ASSERT_TRUE(m_port.Connected());
    m_port.PurgeBuffers();
    m_port.SendBytes(kRequest);
    EXPECT_EQ(m_pty.Read(kRequest.size()), kRequest);

    Bytes reply(37);
    for (size_t i = 0; i < reply.size(); ++i)
        reply[i] = uint8_t(0xA0 + i);
    m_pty.Write(reply);
    ASSERT_EQ(WaitForCount(m_port, int(reply.size())), int(reply.size()));
    EXPECT_EQ(m_port.ReceiveBytes(int(reply.size())), reply);
    EXPECT_EQ(m_port.WaitingByteCount(), 0);
}

TEST_F(ComPortTest, ReceiveReturnsOnlyWhatHasArrived)
{
    m_port.OpenPort();
    const Bytes piece{0x55, 0x55, 0x17};
    m_pty.Write(piece);
    ASSERT_EQ(WaitForCount(m_port, 3), 3);
    EXPECT_TRUE(m_port.ReceiveBytes(0).empty());
    EXPECT_TRUE(m_port.ReceiveBytes(-5).empty());
    EXPECT_EQ(m_port.ReceiveBytes(500), piece);
    EXPECT_TRUE(m_port.ReceiveBytes(10).empty());
}

TEST_F(ComPortTest, PurgeDiscardsReceivedBytes)
{
    m_port.OpenPort();
    m_pty.Write({0x01, 0x02, 0x03, 0x04});
    ASSERT_EQ(WaitForCount(m_port, 4), 4);
    m_port.PurgeBuffers(true, true);
    EXPECT_EQ(m_port.WaitingByteCount(), 0);
}

TEST_F(ComPortTest, BytesSentWhileClosedAreGoneAfterReopening)
{
    m_port.OpenPort();
    m_port.Close();
    EXPECT_FALSE(m_port.Connected());
    m_pty.Write({0xDE, 0xAD, 0xBE, 0xEF});
    m_port.OpenPort();
    // The stale bytes were already in the driver when the port opened, so a few
    // rounds of event processing would surely have counted them.
    for (int round = 0; round < 20; ++round) {
        ASSERT_EQ(m_port.WaitingByteCount(), 0);
        QThread::msleep(kPollPauseMs);
    }
    const Bytes fresh{0x11, 0x22};
    m_pty.Write(fresh);
    ASSERT_EQ(WaitForCount(m_port, 2), 2);
    EXPECT_EQ(m_port.ReceiveBytes(2), fresh);
}

TEST_F(ComPortTest, OpeningOrClosingTwiceDoesNothing)
{
    m_port.Close();
    m_port.OpenPort();
    m_port.OpenPort();
    EXPECT_TRUE(m_port.Connected());
    m_port.Close();
    m_port.Close();
    EXPECT_FALSE(m_port.Connected());
}

TEST_F(ComPortTest, MissingDeviceRaisesOpenError)
{
    m_port.SetPort(QStringLiteral("/dev/ql-no-such-port"));
    try {
        m_port.OpenPort();
        FAIL() << "opening a missing device succeeded";
    } catch (const ComPortError& error) {
        EXPECT_EQ(error.ErrorNumber, kComErrOpen);
        EXPECT_EQ(error.SystemErrorNumber, ENOENT);
        EXPECT_STREQ(error.what(),
                     "Unable to open com port (system error code: 2): No such file or directory");
    }
    EXPECT_FALSE(m_port.Connected());
}

TEST_F(ComPortTest, PortHeldByAnotherObjectRaisesOpenError)
{
    m_port.OpenPort();
    ComPort second;
    second.SetPort(m_pty.SlaveName());
    try {
        second.OpenPort();
        FAIL() << "a port in use opened a second time";
    } catch (const ComPortError& error) {
        EXPECT_EQ(error.ErrorNumber, kComErrOpen);
    }
    EXPECT_FALSE(second.Connected());
    EXPECT_TRUE(m_port.Connected());
}

#ifndef _WIN32
TEST_F(ComPortTest, OneAndHalfStopBitsAreRefusedAsLineSetting)
{
    LineSettings line;
    line.stopBits = sbOne5StopBits;
    m_port.SetLine(line);
    try {
        m_port.OpenPort();
        FAIL() << "1.5 stop bits accepted";
    } catch (const ComPortError& error) {
        EXPECT_EQ(error.ErrorNumber, kComErrSetState);
        EXPECT_EQ(error.SystemErrorNumber, -1);
        EXPECT_STREQ(error.what(), "SetCommState function failed");
    }
    EXPECT_FALSE(m_port.Connected());

    m_port.SetLine({});
    m_port.OpenPort();
    EXPECT_THROW(m_port.SetLine(line), ComPortError);
    EXPECT_FALSE(m_port.Connected());
}
#endif

TEST_F(ComPortTest, LineSettingChangedWhileOpenReopensThePort)
{
    m_port.OpenPort();
    m_port.SetLine({19200, 7, prEven});
    ASSERT_TRUE(m_port.Connected());
    m_port.SendBytes(kRequest);
    EXPECT_EQ(m_pty.Read(kRequest.size()), kRequest);
}

TEST_F(ComPortTest, OtherEndClosingEndsTheConnectionOnce)
{
    int lost = 0;
    QObject::connect(&m_port, &ComPort::ConnectionLost, [&lost](const QString&) { ++lost; });
    m_port.OpenPort();
    m_pty.Write({0x01, 0x03});
    ASSERT_EQ(WaitForCount(m_port, 2), 2);
    m_pty.CloseMaster();

    int failures = 0;
    int errorNumber = 0;
    for (int round = 0; round < kPollRounds && failures == 0; ++round) {
        try {
            m_port.WaitingByteCount();
            QThread::msleep(kPollPauseMs);
        } catch (const ComPortError& error) {
            ++failures;
            errorNumber = error.ErrorNumber;
        }
    }
    ASSERT_EQ(failures, 1);
    EXPECT_EQ(errorNumber, kComErrRead);
    EXPECT_FALSE(m_port.Connected());

    // Later polls see a closed port: no further report, no error storm.
    for (int round = 0; round < 50; ++round) {
        EXPECT_EQ(m_port.WaitingByteCount(), 0);
        EXPECT_TRUE(m_port.ReceiveBytes(10).empty());
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(lost, 1);
    EXPECT_THROW(m_port.SendBytes(kRequest), ComPortError);
}

TEST_F(ComPortTest, LossSeenWhileIdleIsThrownByTheNextOperation)
{
    int lost = 0;
    QObject::connect(&m_port, &ComPort::ConnectionLost, [&lost](const QString&) { ++lost; });
    m_port.OpenPort();
    m_pty.CloseMaster();
    for (int round = 0; round < kPollRounds && m_port.Connected(); ++round) {
        QCoreApplication::processEvents();
        QThread::msleep(kPollPauseMs);
    }
    ASSERT_FALSE(m_port.Connected());
    EXPECT_EQ(lost, 1);
    EXPECT_THROW(m_port.ReceiveBytes(1), ComPortError);
    EXPECT_EQ(m_port.WaitingByteCount(), 0);
    EXPECT_EQ(lost, 1);
}

TEST_F(ComPortTest, FailedWriteEndsTheConnection)
{
    m_port.OpenPort();
    m_pty.CloseMaster();
    try {
        m_port.SendBytes(kRequest);
        FAIL() << "a write to a vanished device succeeded";
    } catch (const ComPortError& error) {
        EXPECT_TRUE(error.ErrorNumber == kComErrWrite || error.ErrorNumber == kComErrRead) << error.what();
    }
    EXPECT_FALSE(m_port.Connected());
    EXPECT_EQ(m_port.WaitingByteCount(), 0);
}

TEST_F(ComPortTest, ReopeningAfterLossWorksAgain)
{
    m_port.OpenPort();
    PseudoTerminal other;
    ASSERT_TRUE(other.Valid());
    m_pty.CloseMaster();
    EXPECT_THROW(WaitForCount(m_port, 1), ComPortError);
    m_port.SetPort(other.SlaveName());
    m_port.OpenPort();
    other.Write({0x42});
    ASSERT_EQ(WaitForCount(m_port, 1), 1);
    EXPECT_EQ(m_port.ReceiveBytes(1), Bytes{0x42});
}

TEST_F(ComPortTest, EmptySendTouchesNothingEvenWhenClosed)
{
    EXPECT_NO_THROW(m_port.SendBytes({}));
    EXPECT_THROW(m_port.SendBytes(kRequest), ComPortError);
}

TEST(ComErrorTest, MessageCarriesSystemCodeOnlyWhenThereIsOne)
{
    EXPECT_EQ(ComErrorMessage(2, 5), "WriteFile function failed (system error code: 5): Input/output error");
    EXPECT_EQ(ComErrorMessage(kComErrSetState, -1), "SetCommState function failed");
    EXPECT_EQ(MakeComError(kComErrPurge).SystemErrorNumber, -1);
    EXPECT_STREQ(ComErrorText(4), "");
}

struct BaudRow {
    BaudRateIndex Ordinal;
    int Baud;
};

class BaudRateOrdinalTest : public ::testing::TestWithParam<BaudRow> {};

TEST_P(BaudRateOrdinalTest, OrdinalGivesBaud)
{
    EXPECT_EQ(BaudRateValue(GetParam().Ordinal), GetParam().Baud);
}

INSTANTIATE_TEST_SUITE_P(Ordinals, BaudRateOrdinalTest,
                         ::testing::Values(BaudRow{brCustom, 0}, BaudRow{br110, 110}, BaudRow{br9600, 9600},
                                           BaudRow{BaudRateIndex(9), 19200}, BaudRow{br56000, 56000},
                                           BaudRow{br256000, 256000}, BaudRow{BaudRateIndex(16), 0},
                                           BaudRow{BaudRateIndex(-1), 0}));

TEST(PortListTest, SortsWithoutRegardToCaseAndDropsDuplicates)
{
    EXPECT_EQ(SortPortNames({"COM2", "com10", "COM1", "COM2", "ttyUSB0"}),
              QStringList({"COM1", "com10", "COM2", "ttyUSB0"}));
}

// The stable names carry the details of the port they point to; a line never has
// more than five fields, whatever a driver puts in its texts.
TEST(PortListTest, StableNamesAndDetailsLines)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString device = folder.filePath("ttyUSB0");
    QFile(device).open(QIODevice::WriteOnly);
    QFile(folder.filePath("ttyUSB9")).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QDir().mkpath(folder.filePath("by-id")));
    const QString stable = folder.filePath("by-id/usb-FTDI_FT232R_USB_UART_A10K3XYZ-if00-port0");
    ASSERT_TRUE(QFile::link(device, stable));
    ASSERT_TRUE(QFile::link(folder.filePath("ttyUSB9"), folder.filePath("by-id/usb-unknown-if00")));
    const SerialPortDetails adapter{device, "FT232R\tUSB UART", "FTDI", "A10K3XYZ", "0403:6001"};

    const QList<SerialPortDetails> links = StablePortNames({adapter}, folder.filePath("by-id"));
    ASSERT_EQ(links.size(), 2);
    EXPECT_EQ(PortDetailsLine(links[0]).toStdString(),
              stable.toStdString() + "\tFT232R USB UART\tFTDI\tA10K3XYZ\t0403:6001");
    EXPECT_EQ(PortDetailsLine(links[1]).toStdString(),
              folder.filePath("by-id/usb-unknown-if00").toStdString() + "\t\t\t\t");
    EXPECT_TRUE(StablePortNames({adapter}, folder.filePath("none")).isEmpty());
}

} // namespace
