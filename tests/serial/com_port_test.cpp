// The serial port over real pseudo-terminals: this side is a TComPort on the
// slave end, the test plays the meter on the master end. Pseudo-terminals
// ignore baud rate, parity and data bits, so these tests prove the opening,
// purging, sending, counting, reading and loss handling, not line settings.
#include "serial/com_error.h"
#include "serial/com_port.h"
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
        FMaster = posix_openpt(O_RDWR | O_NOCTTY);
        if (FMaster >= 0 && grantpt(FMaster) == 0 && unlockpt(FMaster) == 0)
            FSlaveName = QString::fromLocal8Bit(ptsname(FMaster));
    }
    ~PseudoTerminal() { CloseMaster(); }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool Valid() const { return FMaster >= 0 && !FSlaveName.isEmpty(); }
    QString SlaveName() const { return FSlaveName; }

    void Write(const Bytes& bytes) const
    {
        ASSERT_EQ(::write(FMaster, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }

    // Collects `count` bytes the port sent, or fewer when none come for 5 s.
    Bytes Read(size_t count) const
    {
        Bytes bytes;
        while (bytes.size() < count) {
            pollfd fd{FMaster, POLLIN, 0};
            if (poll(&fd, 1, 5000) <= 0)
                break;
            uint8_t buffer[256];
            const ssize_t got = ::read(FMaster, buffer, std::min(sizeof buffer, count - bytes.size()));
            if (got <= 0)
                break;
            bytes.insert(bytes.end(), buffer, buffer + got);
        }
        return bytes;
    }

    void CloseMaster()
    {
        if (FMaster >= 0)
            ::close(FMaster);
        FMaster = -1;
    }

private:
    int FMaster = -1;
    QString FSlaveName;
};

// Polls the count until `expected` bytes are waiting (or the bound is reached).
int WaitForCount(TComPort& port, int expected)
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
        ASSERT_TRUE(FPty.Valid());
        FPort.SetPort(FPty.SlaveName());
    }

    PseudoTerminal FPty;
    TComPort FPort;
};

const Bytes kRequest{0x01, 0x03, 0x00, 0x00, 0x00, 0x10, 0x44, 0x06};

TEST_F(ComPortTest, SendsFrameAndReceivesReply)
{
    FPort.OpenPort();
    ASSERT_TRUE(FPort.Connected());
    FPort.PurgeBuffers();
    FPort.SendBytes(kRequest);
    EXPECT_EQ(FPty.Read(kRequest.size()), kRequest);

    Bytes reply(37);
    for (size_t i = 0; i < reply.size(); ++i)
        reply[i] = uint8_t(0xA0 + i);
    FPty.Write(reply);
    ASSERT_EQ(WaitForCount(FPort, int(reply.size())), int(reply.size()));
    EXPECT_EQ(FPort.ReceiveBytes(int(reply.size())), reply);
    EXPECT_EQ(FPort.WaitingByteCount(), 0);
}

TEST_F(ComPortTest, ReceiveReturnsOnlyWhatHasArrived)
{
    FPort.OpenPort();
    const Bytes piece{0x55, 0x55, 0x17};
    FPty.Write(piece);
    ASSERT_EQ(WaitForCount(FPort, 3), 3);
    EXPECT_TRUE(FPort.ReceiveBytes(0).empty());
    EXPECT_TRUE(FPort.ReceiveBytes(-5).empty());
    EXPECT_EQ(FPort.ReceiveBytes(500), piece);
    EXPECT_TRUE(FPort.ReceiveBytes(10).empty());
}

TEST_F(ComPortTest, PurgeDiscardsReceivedBytes)
{
    FPort.OpenPort();
    FPty.Write({0x01, 0x02, 0x03, 0x04});
    ASSERT_EQ(WaitForCount(FPort, 4), 4);
    FPort.PurgeBuffers(true, true);
    EXPECT_EQ(FPort.WaitingByteCount(), 0);
}

TEST_F(ComPortTest, BytesSentWhileClosedAreGoneAfterReopening)
{
    FPort.OpenPort();
    FPort.Close();
    EXPECT_FALSE(FPort.Connected());
    FPty.Write({0xDE, 0xAD, 0xBE, 0xEF});
    FPort.OpenPort();
    // The stale bytes were already in the driver when the port opened, so a few
    // rounds of event processing would surely have counted them.
    for (int round = 0; round < 20; ++round) {
        ASSERT_EQ(FPort.WaitingByteCount(), 0);
        QThread::msleep(kPollPauseMs);
    }
    const Bytes fresh{0x11, 0x22};
    FPty.Write(fresh);
    ASSERT_EQ(WaitForCount(FPort, 2), 2);
    EXPECT_EQ(FPort.ReceiveBytes(2), fresh);
}

TEST_F(ComPortTest, OpeningOrClosingTwiceDoesNothing)
{
    FPort.Close();
    FPort.OpenPort();
    FPort.OpenPort();
    EXPECT_TRUE(FPort.Connected());
    FPort.Close();
    FPort.Close();
    EXPECT_FALSE(FPort.Connected());
}

TEST_F(ComPortTest, MissingDeviceRaisesOpenError)
{
    FPort.SetPort(QStringLiteral("/dev/ql-no-such-port"));
    try {
        FPort.OpenPort();
        FAIL() << "opening a missing device succeeded";
    } catch (const EComPort& error) {
        EXPECT_EQ(error.ErrorNumber, kComErrOpen);
        EXPECT_EQ(error.SystemErrorNumber, ENOENT);
        EXPECT_STREQ(error.what(),
                     "Unable to open com port (system error code: 2): No such file or directory");
    }
    EXPECT_FALSE(FPort.Connected());
}

TEST_F(ComPortTest, PortHeldByAnotherObjectRaisesOpenError)
{
    FPort.OpenPort();
    TComPort second;
    second.SetPort(FPty.SlaveName());
    try {
        second.OpenPort();
        FAIL() << "a port in use opened a second time";
    } catch (const EComPort& error) {
        EXPECT_EQ(error.ErrorNumber, kComErrOpen);
    }
    EXPECT_FALSE(second.Connected());
    EXPECT_TRUE(FPort.Connected());
}

#ifndef _WIN32
TEST_F(ComPortTest, OneAndHalfStopBitsAreRefusedAsLineSetting)
{
    LineSettings line;
    line.stopBits = sbOne5StopBits;
    FPort.SetLine(line);
    try {
        FPort.OpenPort();
        FAIL() << "1.5 stop bits accepted";
    } catch (const EComPort& error) {
        EXPECT_EQ(error.ErrorNumber, kComErrSetState);
        EXPECT_EQ(error.SystemErrorNumber, -1);
        EXPECT_STREQ(error.what(), "SetCommState function failed");
    }
    EXPECT_FALSE(FPort.Connected());

    FPort.SetLine({});
    FPort.OpenPort();
    EXPECT_THROW(FPort.SetLine(line), EComPort);
    EXPECT_FALSE(FPort.Connected());
}
#endif

TEST_F(ComPortTest, LineSettingChangedWhileOpenReopensThePort)
{
    FPort.OpenPort();
    FPort.SetLine({19200, 7, prEven});
    ASSERT_TRUE(FPort.Connected());
    FPort.SendBytes(kRequest);
    EXPECT_EQ(FPty.Read(kRequest.size()), kRequest);
}

TEST_F(ComPortTest, OtherEndClosingEndsTheConnectionOnce)
{
    int lost = 0;
    QObject::connect(&FPort, &TComPort::ConnectionLost, [&lost](const QString&) { ++lost; });
    FPort.OpenPort();
    FPty.Write({0x01, 0x03});
    ASSERT_EQ(WaitForCount(FPort, 2), 2);
    FPty.CloseMaster();

    int failures = 0;
    int errorNumber = 0;
    for (int round = 0; round < kPollRounds && failures == 0; ++round) {
        try {
            FPort.WaitingByteCount();
            QThread::msleep(kPollPauseMs);
        } catch (const EComPort& error) {
            ++failures;
            errorNumber = error.ErrorNumber;
        }
    }
    ASSERT_EQ(failures, 1);
    EXPECT_EQ(errorNumber, kComErrRead);
    EXPECT_FALSE(FPort.Connected());

    // Later polls see a closed port: no further report, no error storm.
    for (int round = 0; round < 50; ++round) {
        EXPECT_EQ(FPort.WaitingByteCount(), 0);
        EXPECT_TRUE(FPort.ReceiveBytes(10).empty());
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(lost, 1);
    EXPECT_THROW(FPort.SendBytes(kRequest), EComPort);
}

TEST_F(ComPortTest, LossSeenWhileIdleIsThrownByTheNextOperation)
{
    int lost = 0;
    QObject::connect(&FPort, &TComPort::ConnectionLost, [&lost](const QString&) { ++lost; });
    FPort.OpenPort();
    FPty.CloseMaster();
    for (int round = 0; round < kPollRounds && FPort.Connected(); ++round) {
        QCoreApplication::processEvents();
        QThread::msleep(kPollPauseMs);
    }
    ASSERT_FALSE(FPort.Connected());
    EXPECT_EQ(lost, 1);
    EXPECT_THROW(FPort.ReceiveBytes(1), EComPort);
    EXPECT_EQ(FPort.WaitingByteCount(), 0);
    EXPECT_EQ(lost, 1);
}

TEST_F(ComPortTest, FailedWriteEndsTheConnection)
{
    FPort.OpenPort();
    FPty.CloseMaster();
    try {
        FPort.SendBytes(kRequest);
        FAIL() << "a write to a vanished device succeeded";
    } catch (const EComPort& error) {
        EXPECT_TRUE(error.ErrorNumber == kComErrWrite || error.ErrorNumber == kComErrRead) << error.what();
    }
    EXPECT_FALSE(FPort.Connected());
    EXPECT_EQ(FPort.WaitingByteCount(), 0);
}

TEST_F(ComPortTest, ReopeningAfterLossWorksAgain)
{
    FPort.OpenPort();
    PseudoTerminal other;
    ASSERT_TRUE(other.Valid());
    FPty.CloseMaster();
    EXPECT_THROW(WaitForCount(FPort, 1), EComPort);
    FPort.SetPort(other.SlaveName());
    FPort.OpenPort();
    other.Write({0x42});
    ASSERT_EQ(WaitForCount(FPort, 1), 1);
    EXPECT_EQ(FPort.ReceiveBytes(1), Bytes{0x42});
}

TEST_F(ComPortTest, EmptySendTouchesNothingEvenWhenClosed)
{
    EXPECT_NO_THROW(FPort.SendBytes({}));
    EXPECT_THROW(FPort.SendBytes(kRequest), EComPort);
}

TEST(ComErrorTest, MessageCarriesSystemCodeOnlyWhenThereIsOne)
{
    EXPECT_EQ(ComErrorMessage(2, 5), "WriteFile function failed (system error code: 5): Input/output error");
    EXPECT_EQ(ComErrorMessage(kComErrSetState, -1), "SetCommState function failed");
    EXPECT_EQ(MakeComError(kComErrPurge).SystemErrorNumber, -1);
    EXPECT_STREQ(ComErrorText(4), "");
}

struct BaudRow {
    TBaudRate Ordinal;
    int Baud;
};

class BaudRateOrdinalTest : public ::testing::TestWithParam<BaudRow> {};

TEST_P(BaudRateOrdinalTest, OrdinalGivesBaud)
{
    EXPECT_EQ(BaudRateValue(GetParam().Ordinal), GetParam().Baud);
}

INSTANTIATE_TEST_SUITE_P(Ordinals, BaudRateOrdinalTest,
                         ::testing::Values(BaudRow{brCustom, 0}, BaudRow{br110, 110}, BaudRow{br9600, 9600},
                                           BaudRow{TBaudRate(9), 19200}, BaudRow{br56000, 56000},
                                           BaudRow{br256000, 256000}, BaudRow{TBaudRate(16), 0},
                                           BaudRow{TBaudRate(-1), 0}));

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
