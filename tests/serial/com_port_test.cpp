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
#include <QSemaphore>
#include <QTemporaryDir>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <memory>
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
    ~PseudoTerminal() { closeMaster(); }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool valid() const { return m_master >= 0 && !m_slaveName.isEmpty(); }
    QString slaveName() const { return m_slaveName; }

    void write(const Bytes& bytes) const
    {
        ASSERT_EQ(::write(m_master, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }

    // Collects `count` bytes the port sent, or fewer when none come for 5 s.
    Bytes read(size_t count) const
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

    void closeMaster()
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
int waitForCount(ComPort& port, int expected)
{
    int count = port.waitingByteCount();
    for (int round = 0; round < kPollRounds && count < expected; ++round) {
        QThread::msleep(kPollPauseMs);
        count = port.waitingByteCount();
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
        ASSERT_TRUE(m_pty.valid());
        m_port.setPort(m_pty.slaveName());
    }

    PseudoTerminal m_pty;
    ComPort m_port;
};

const Bytes kRequest{0x01, 0x03, 0x00, 0x00, 0x00, 0x10, 0x44, 0x06};

TEST_F(ComPortTest, SendsFrameAndReceivesReply)
{
    m_port.openPort();
    ASSERT_TRUE(m_port.connected());
    m_port.purgeBuffers();
    m_port.sendBytes(kRequest);
    EXPECT_EQ(m_pty.read(kRequest.size()), kRequest);

    Bytes reply(37);
    for (size_t i = 0; i < reply.size(); ++i)
        reply[i] = uint8_t(0xA0 + i);
    m_pty.write(reply);
    ASSERT_EQ(waitForCount(m_port, int(reply.size())), int(reply.size()));
    EXPECT_EQ(m_port.receiveBytes(int(reply.size())), reply);
    EXPECT_EQ(m_port.waitingByteCount(), 0);
}

TEST_F(ComPortTest, ReceiveReturnsOnlyWhatHasArrived)
{
    m_port.openPort();
    const Bytes piece{0x55, 0x55, 0x17};
    m_pty.write(piece);
    ASSERT_EQ(waitForCount(m_port, 3), 3);
    EXPECT_TRUE(m_port.receiveBytes(0).empty());
    EXPECT_TRUE(m_port.receiveBytes(-5).empty());
    EXPECT_EQ(m_port.receiveBytes(500), piece);
    EXPECT_TRUE(m_port.receiveBytes(10).empty());
}

TEST_F(ComPortTest, PurgeDiscardsReceivedBytes)
{
    m_port.openPort();
    m_pty.write({0x01, 0x02, 0x03, 0x04});
    ASSERT_EQ(waitForCount(m_port, 4), 4);
    m_port.purgeBuffers(true, true);
    EXPECT_EQ(m_port.waitingByteCount(), 0);
}

TEST_F(ComPortTest, BytesSentWhileClosedAreGoneAfterReopening)
{
    m_port.openPort();
    m_port.close();
    EXPECT_FALSE(m_port.connected());
    m_pty.write({0xDE, 0xAD, 0xBE, 0xEF});
    m_port.openPort();
    // The stale bytes were already in the driver when the port opened, so a few
    // rounds of event processing would surely have counted them.
    for (int round = 0; round < 20; ++round) {
        ASSERT_EQ(m_port.waitingByteCount(), 0);
        QThread::msleep(kPollPauseMs);
    }
    const Bytes fresh{0x11, 0x22};
    m_pty.write(fresh);
    ASSERT_EQ(waitForCount(m_port, 2), 2);
    EXPECT_EQ(m_port.receiveBytes(2), fresh);
}

TEST_F(ComPortTest, OpeningOrClosingTwiceDoesNothing)
{
    m_port.close();
    m_port.openPort();
    m_port.openPort();
    EXPECT_TRUE(m_port.connected());
    m_port.close();
    m_port.close();
    EXPECT_FALSE(m_port.connected());
}

TEST_F(ComPortTest, MissingDeviceRaisesOpenError)
{
    m_port.setPort(QStringLiteral("/dev/ql-no-such-port"));
    try {
        m_port.openPort();
        FAIL() << "opening a missing device succeeded";
    } catch (const ComPortError& error) {
        EXPECT_EQ(error.errorNumber, kComErrOpen);
        EXPECT_EQ(error.systemErrorNumber, ENOENT);
        EXPECT_STREQ(error.what(),
                     "Unable to open com port (system error code: 2): No such file or directory");
    }
    EXPECT_FALSE(m_port.connected());
}

// A driver that blocks inside opening (a Bluetooth port, Wine's COM1) holds the
// caller only until the open timeout; should the device open later, it is
// closed again, so the next opening finds it free.
TEST_F(ComPortTest, OpeningThatBlocksEndsAtTheTimeout)
{
    auto driver = std::make_shared<QSemaphore>();
    m_port.setOpenTimeoutMs(100);
    m_port.setBeforeOpen([driver] { driver->acquire(); });
    try {
        m_port.openPort();
        FAIL() << "a blocked opening returned an open port";
    } catch (const ComPortError& error) {
        EXPECT_EQ(error.errorNumber, kComErrOpenTimeout);
        EXPECT_EQ(std::string(error.what()),
                  "Timed out opening com port: " + m_pty.slaveName().toStdString() +
                      " did not open within 1 s");
    }
    EXPECT_FALSE(m_port.connected());
    m_port.setBeforeOpen({});
    driver->release();
    for (int round = 0; round < kPollRounds && !m_port.connected(); ++round) {
        try {
            m_port.openPort();
        } catch (const ComPortError& error) {
            ASSERT_EQ(error.errorNumber, kComErrOpen);
            QThread::msleep(kPollPauseMs);
        }
    }
    EXPECT_TRUE(m_port.connected());
}

TEST_F(ComPortTest, PortHeldByAnotherObjectRaisesOpenError)
{
    m_port.openPort();
    ComPort second;
    second.setPort(m_pty.slaveName());
    try {
        second.openPort();
        FAIL() << "a port in use opened a second time";
    } catch (const ComPortError& error) {
        EXPECT_EQ(error.errorNumber, kComErrOpen);
    }
    EXPECT_FALSE(second.connected());
    EXPECT_TRUE(m_port.connected());
}

#ifndef _WIN32
TEST_F(ComPortTest, OneAndHalfStopBitsAreRefusedAsLineSetting)
{
    LineSettings line;
    line.stopBits = StopBitsIndex::OneAndHalf;
    m_port.setLine(line);
    try {
        m_port.openPort();
        FAIL() << "1.5 stop bits accepted";
    } catch (const ComPortError& error) {
        EXPECT_EQ(error.errorNumber, kComErrSetState);
        EXPECT_EQ(error.systemErrorNumber, -1);
        EXPECT_STREQ(error.what(), "SetCommState function failed");
    }
    EXPECT_FALSE(m_port.connected());

    m_port.setLine({});
    m_port.openPort();
    EXPECT_THROW(m_port.setLine(line), ComPortError);
    EXPECT_FALSE(m_port.connected());
}
#endif

TEST_F(ComPortTest, LineSettingChangedWhileOpenReopensThePort)
{
    m_port.openPort();
    m_port.setLine({19200, 7, ParityIndex::Even});
    ASSERT_TRUE(m_port.connected());
    m_port.sendBytes(kRequest);
    EXPECT_EQ(m_pty.read(kRequest.size()), kRequest);
}

TEST_F(ComPortTest, OtherEndClosingEndsTheConnectionOnce)
{
    int lost = 0;
    QObject::connect(&m_port, &ComPort::connectionLost, [&lost](const QString&) { ++lost; });
    m_port.openPort();
    m_pty.write({0x01, 0x03});
    ASSERT_EQ(waitForCount(m_port, 2), 2);
    m_pty.closeMaster();

    int failures = 0;
    int errorNumber = 0;
    for (int round = 0; round < kPollRounds && failures == 0; ++round) {
        try {
            m_port.waitingByteCount();
            QThread::msleep(kPollPauseMs);
        } catch (const ComPortError& error) {
            ++failures;
            errorNumber = error.errorNumber;
        }
    }
    ASSERT_EQ(failures, 1);
    EXPECT_EQ(errorNumber, kComErrRead);
    EXPECT_FALSE(m_port.connected());

    // Later polls see a closed port: no further report, no error storm.
    for (int round = 0; round < 50; ++round) {
        EXPECT_EQ(m_port.waitingByteCount(), 0);
        EXPECT_TRUE(m_port.receiveBytes(10).empty());
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(lost, 1);
    EXPECT_THROW(m_port.sendBytes(kRequest), ComPortError);
}

TEST_F(ComPortTest, LossSeenWhileIdleIsThrownByTheNextOperation)
{
    int lost = 0;
    QObject::connect(&m_port, &ComPort::connectionLost, [&lost](const QString&) { ++lost; });
    m_port.openPort();
    m_pty.closeMaster();
    for (int round = 0; round < kPollRounds && m_port.connected(); ++round) {
        QCoreApplication::processEvents();
        QThread::msleep(kPollPauseMs);
    }
    ASSERT_FALSE(m_port.connected());
    EXPECT_EQ(lost, 1);
    EXPECT_THROW(m_port.receiveBytes(1), ComPortError);
    EXPECT_EQ(m_port.waitingByteCount(), 0);
    EXPECT_EQ(lost, 1);
}

TEST_F(ComPortTest, FailedWriteEndsTheConnection)
{
    m_port.openPort();
    m_pty.closeMaster();
    try {
        m_port.sendBytes(kRequest);
        FAIL() << "a write to a vanished device succeeded";
    } catch (const ComPortError& error) {
        EXPECT_TRUE(error.errorNumber == kComErrWrite || error.errorNumber == kComErrRead) << error.what();
    }
    EXPECT_FALSE(m_port.connected());
    EXPECT_EQ(m_port.waitingByteCount(), 0);
}

TEST_F(ComPortTest, ReopeningAfterLossWorksAgain)
{
    m_port.openPort();
    PseudoTerminal other;
    ASSERT_TRUE(other.valid());
    m_pty.closeMaster();
    EXPECT_THROW(waitForCount(m_port, 1), ComPortError);
    m_port.setPort(other.slaveName());
    m_port.openPort();
    other.write({0x42});
    ASSERT_EQ(waitForCount(m_port, 1), 1);
    EXPECT_EQ(m_port.receiveBytes(1), Bytes{0x42});
}

TEST_F(ComPortTest, EmptySendTouchesNothingEvenWhenClosed)
{
    EXPECT_NO_THROW(m_port.sendBytes({}));
    EXPECT_THROW(m_port.sendBytes(kRequest), ComPortError);
}

TEST(ComErrorTest, MessageCarriesSystemCodeOnlyWhenThereIsOne)
{
    EXPECT_EQ(comErrorMessage(2, 5), "WriteFile function failed (system error code: 5): Input/output error");
    EXPECT_EQ(comErrorMessage(kComErrSetState, -1), "SetCommState function failed");
    EXPECT_EQ(makeComError(kComErrPurge).systemErrorNumber, -1);
    EXPECT_STREQ(comErrorText(4), "");
}

struct BaudRow {
    BaudRateIndex ordinal;
    int baud;
};

class BaudRateOrdinalTest : public ::testing::TestWithParam<BaudRow> {};

TEST_P(BaudRateOrdinalTest, OrdinalGivesBaud)
{
    EXPECT_EQ(baudRateValue(GetParam().ordinal), GetParam().baud);
}

INSTANTIATE_TEST_SUITE_P(
    Ordinals, BaudRateOrdinalTest,
    ::testing::Values(BaudRow{BaudRateIndex::Custom, 0}, BaudRow{BaudRateIndex::Baud110, 110},
                      BaudRow{BaudRateIndex::Baud9600, 9600}, BaudRow{BaudRateIndex(9), 19200},
                      BaudRow{BaudRateIndex::Baud56000, 56000}, BaudRow{BaudRateIndex::Baud256000, 256000},
                      BaudRow{BaudRateIndex(16), 0}, BaudRow{BaudRateIndex(-1), 0}));

TEST(PortListTest, SortsWithoutRegardToCaseAndDropsDuplicates)
{
    EXPECT_EQ(sortPortNames({"COM2", "com10", "COM1", "COM2", "ttyUSB0"}),
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

    const QList<SerialPortDetails> links = stablePortNames({adapter}, folder.filePath("by-id"));
    ASSERT_EQ(links.size(), 2);
    EXPECT_EQ(portDetailsLine(links[0]).toStdString(),
              stable.toStdString() + "\tFT232R USB UART\tFTDI\tA10K3XYZ\t0403:6001");
    EXPECT_EQ(portDetailsLine(links[1]).toStdString(),
              folder.filePath("by-id/usb-unknown-if00").toStdString() + "\t\t\t\t");
    EXPECT_TRUE(stablePortNames({adapter}, folder.filePath("none")).isEmpty());
}

} // namespace
