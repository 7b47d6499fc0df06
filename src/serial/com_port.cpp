#include "serial/com_port.h"

#include "serial/com_port_error.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMetaObject>
#include <QMutex>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>

#ifdef __linux__
#include <QFile>

#include <grp.h>
#include <sys/stat.h>
#endif

namespace {

int systemErrorOrNone()
{
    return errno != 0 ? errno : -1;
}

// Serial devices on Linux belong to a group (usually dialout) whose members may
// open them; a refused opening says which group the user is missing.
std::string openErrorMessage(int systemError, [[maybe_unused]] const QString& port)
{
    std::string message = comErrorMessage(kComErrOpen, systemError);
#ifdef __linux__
    struct stat device {};
    // A bare name such as "ttyUSB0" is opened from /dev, as the serial port module does.
    const QByteArray path = QFile::encodeName(port.contains(u'/') ? port : QStringLiteral("/dev/") + port);
    if ((systemError == EACCES || systemError == EPERM) && ::stat(path.constData(), &device) == 0) {
        const group* owner = ::getgrgid(device.st_gid);
        const std::string name = owner ? owner->gr_name : std::to_string(device.st_gid);
        message += "\nThe user must be a member of the group \"" + name + "\", which owns " +
                   path.toStdString() + " (usermod -aG " + name + " USER, then log in again).";
    }
#endif
    return message;
}

#ifdef __linux__
// "Unable to open com port: PATH is not a serial port": a file, a folder, a
// pipe or a device without a line discipline such as /dev/null would otherwise
// fail at the first line setting with a bare system code.
ComPortError notASerialPort(const QString& port, int systemError)
{
    return ComPortError(
        kComErrOpen,
        std::string(comErrorText(kComErrOpen)) + ": " + port.toStdString() + " is not a serial port",
        systemError, {LinkReasonCode::NotSerialPort, "not a serial port", {port.toStdString()}});
}

// True when `port` names something that exists and is no character device.
bool isOtherThanDevice(const QString& port)
{
    const QByteArray path = QFile::encodeName(port.contains(u'/') ? port : QStringLiteral("/dev/") + port);
    struct stat entry {};
    return ::stat(path.constData(), &entry) == 0 && !S_ISCHR(entry.st_mode);
}
#endif

// "Timed out opening com port: COM1 did not open within 5 s".
ComPortError openTimeoutError(const QString& port, int timeoutMs)
{
    const std::string within = "did not open within " + std::to_string((timeoutMs + 999) / 1000) + " s";
    return ComPortError(kComErrOpenTimeout,
                        std::string(comErrorText(kComErrOpenTimeout)) + ": " + port.toStdString() + " " +
                            within,
                        -1, LinkReason{LinkReasonCode::TimedOut, "the port " + within, {}});
}

std::optional<QSerialPort::DataBits> qtDataBits(int dataBits)
{
    switch (dataBits) {
    case 5:
        return QSerialPort::Data5;
    case 6:
        return QSerialPort::Data6;
    case 7:
        return QSerialPort::Data7;
    case 8:
        return QSerialPort::Data8;
    }
    return std::nullopt;
}

std::optional<QSerialPort::Parity> qtParity(ParityIndex bits)
{
    switch (bits) {
    case ParityIndex::None:
        return QSerialPort::NoParity;
    case ParityIndex::Odd:
        return QSerialPort::OddParity;
    case ParityIndex::Even:
        return QSerialPort::EvenParity;
    case ParityIndex::Mark:
        return QSerialPort::MarkParity;
    case ParityIndex::Space:
        return QSerialPort::SpaceParity;
    }
    return std::nullopt;
}

std::optional<QSerialPort::StopBits> qtStopBits(StopBitsIndex stopBits)
{
    switch (stopBits) {
    case StopBitsIndex::One:
        return QSerialPort::OneStop;
    case StopBitsIndex::OneAndHalf:
#ifdef _WIN32
        return QSerialPort::OneAndHalfStop;
#else
        // Qt 6.4 silently runs 1.5 stop bits as 1 outside Windows; a meter
        // configured for 1.5 would then see framing errors with no hint why.
        return std::nullopt;
#endif
    case StopBitsIndex::Two:
        return QSerialPort::TwoStop;
    }
    return std::nullopt;
}

bool isOpeningError(QSerialPort::SerialPortError error)
{
    return error == QSerialPort::DeviceNotFoundError || error == QSerialPort::PermissionError ||
           error == QSerialPort::OpenError;
}

} // namespace

ComPort::ComPort(QObject* parent) : QObject(parent) {}

ComPort::~ComPort()
{
    // Events are not processed while the owner is going.
    shutDown(false);
}

void ComPort::setPort(const QString& port)
{
    if (port == m_port)
        return;
    m_port = port;
    reopenIfOpen();
}

void ComPort::setLine(const LineSettings& line)
{
    const bool framingChanged = line.baudRate != m_line.baudRate || line.dataBits != m_line.dataBits ||
                                line.parity != m_line.parity || line.stopBits != m_line.stopBits;
    m_line = line;
    if (framingChanged)
        reopenIfOpen();
}

void ComPort::reopenIfOpen()
{
    if (!connected())
        return;
    close();
    openPort();
}

bool ComPort::connected() const
{
    return m_serial && m_serial->isOpen();
}

// The caller and the opening thread share this; a caller that gave up leaves
// the port, if it ever opens, to the thread to close.
struct ComPort::OpenAttempt {
    QMutex mutex;
    bool done = false;
    bool abandoned = false;
    QSerialPort* port = nullptr;
    std::optional<ComPortError> error;
};

namespace {

// Opens `name` on the calling thread with every line setting applied first
// (Qt 6.4 applies them when opening; changing them on an open port can fail on
// pseudo-terminals, which is why line settings never change while open).
// Throws ComPortError; the port returned is open and purged.
std::unique_ptr<QSerialPort> openDevice(const QString& name, const LineSettings& line,
                                        const std::function<void()>& beforeOpen)
{
    auto serial = std::make_unique<QSerialPort>();
    serial->setReadBufferSize(ComPort::kReadBufferBytes);
    serial->setPortName(name);
    if (!serial->setBaudRate(line.baudRate) || !serial->setDataBits(*qtDataBits(line.dataBits)) ||
        !serial->setParity(*qtParity(line.parity)) || !serial->setStopBits(*qtStopBits(line.stopBits)) ||
        !serial->setFlowControl(QSerialPort::NoFlowControl))
        throw makeComError(kComErrSetState);
    if (beforeOpen)
        beforeOpen();

    errno = 0;
    if (!serial->open(QIODevice::ReadWrite)) {
        const int systemError = systemErrorOrNone();
        const QSerialPort::SerialPortError error = serial->error();
#ifdef __linux__
        // A refused opening says who may open it, whatever it is.
        if (systemError != EACCES && systemError != EPERM &&
            (systemError == ENOTTY || isOtherThanDevice(name)))
            throw notASerialPort(name, systemError);
#endif
        if (isOpeningError(error)) {
            LinkReason reason = systemReason(systemError);
            // Without a system code (Windows) Qt's own error still tells the cause.
            if (reason.empty() && error == QSerialPort::DeviceNotFoundError)
                reason.code = LinkReasonCode::NoSuchDevice;
            else if (reason.empty() && error == QSerialPort::PermissionError)
                reason.code = LinkReasonCode::PermissionDenied;
            throw ComPortError(kComErrOpen, openErrorMessage(systemError, name), systemError, reason);
        }
        throw makeComError(kComErrSetState, systemError);
    }

    // RS485 adapters switch direction by themselves: DTR and RTS are held off.
    // Pseudo-terminals and some adapters have no modem lines, so a refusal here
    // is not a failed opening.
    serial->setRequestToSend(false);
    serial->setDataTerminalReady(false);
    serial->clearError();

    // Bytes can be waiting in the driver from before the opening.
    errno = 0;
    if (!serial->clear(QSerialPort::AllDirections))
        throw makeComError(kComErrPurge, systemErrorOrNone());
    return serial;
}

// Waits for `done` while the caller's window keeps drawing (the operator's
// clicks wait until the port is settled); true when it came by the deadline.
bool waitUntil(const QDeadlineTimer& deadline, bool keepDrawing, const std::function<bool()>& done)
{
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        if (keepDrawing)
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        QThread::msleep(2);
    }
    return true;
}

} // namespace

void ComPort::openPort()
{
    if (connected())
        return;
    m_pendingLoss.reset();
    m_losing = false;

    if (m_line.baudRate <= 0 || !qtDataBits(m_line.dataBits) || !qtParity(m_line.parity) ||
        !qtStopBits(m_line.stopBits))
        throw makeComError(kComErrSetState);

    // A driver can block inside opening or setting up for tens of seconds
    // (Bluetooth serial ports, stalled USB adapters, Wine's COM1): it does so on
    // a thread of its own, which the caller leaves behind at the deadline.
    auto attempt = std::make_shared<OpenAttempt>();
    QThread* home = thread();
    QThread* opener = QThread::create([attempt, home, name = m_port, line = m_line, hook = m_beforeOpen] {
        std::unique_ptr<QSerialPort> serial;
        std::optional<ComPortError> error;
        try {
            serial = openDevice(name, line, hook);
        } catch (const ComPortError& failure) {
            error = failure;
        }
        const QMutexLocker lock(&attempt->mutex);
        if (attempt->abandoned)
            return; // the port, if open, closes as it goes
        if (serial)
            serial->moveToThread(home);
        attempt->port = serial.release();
        attempt->error = error;
        attempt->done = true;
    });
    connect(opener, &QThread::finished, opener, &QObject::deleteLater);
    opener->start();

    const bool settled = waitUntil(QDeadlineTimer(m_openTimeoutMs), true, [&attempt] {
        const QMutexLocker lock(&attempt->mutex);
        return attempt->done;
    });
    {
        const QMutexLocker lock(&attempt->mutex);
        if (!settled && !attempt->done) {
            attempt->abandoned = true;
            throw openTimeoutError(m_port, m_openTimeoutMs);
        }
    }
    if (attempt->error)
        throw *attempt->error;
    m_serial.reset(attempt->port);
    connect(m_serial.get(), &QSerialPort::errorOccurred, this, &ComPort::handleSerialError);
}

void ComPort::close()
{
    m_pendingLoss.reset();
    shutDown(true);
}

void ComPort::shutDown(bool keepDrawing)
{
    if (!m_serial)
        return;
    disconnect(m_serial.get(), nullptr, this, nullptr);
    if (!m_serial->isOpen()) {
        m_serial.reset();
        return;
    }
    // Closing waits for unsent bytes, which a stalled adapter never sends.
    auto closed = std::make_shared<std::atomic_bool>(false);
    QSerialPort* serial = m_serial.release();
    QThread* closer = QThread::create([serial, closed] {
        serial->close();
        delete serial;
        *closed = true;
    });
    serial->moveToThread(closer);
    connect(closer, &QThread::finished, closer, &QObject::deleteLater);
    closer->start();
    waitUntil(QDeadlineTimer(kCloseTimeoutMs), keepDrawing, [&closed] { return closed->load(); });
}

void ComPort::purgeBuffers(bool input, bool output)
{
    throwPendingLoss();
    if (!connected() || (!input && !output))
        return;
    QSerialPort::Directions directions;
    if (input)
        directions |= QSerialPort::Input;
    if (output)
        directions |= QSerialPort::Output;
    errno = 0;
    const bool purged = m_serial->clear(directions);
    const int systemError = systemErrorOrNone();
    throwPendingLoss();
    if (!purged)
        throw makeComError(kComErrPurge, systemError);
}

void ComPort::sendBytes(ByteView bytes)
{
    if (bytes.empty())
        return;
    throwPendingLoss();
    if (!connected())
        throw makeComError(kComErrWrite);

    errno = 0;
    const qint64 size = static_cast<qint64>(bytes.size());
    if (m_serial->write(reinterpret_cast<const char*>(bytes.data()), size) != size) {
        loseConnection(kComErrWrite, systemErrorOrNone());
        throwPendingLoss();
    }
    QDeadlineTimer deadline(qint64(kWriteTimeoutMs) + qint64(kWriteMsPerByte) * size);
    while (connected() && m_serial->bytesToWrite() > 0 && !m_pendingLoss) {
        errno = 0;
        if (!m_serial->waitForBytesWritten(int(std::max<qint64>(deadline.remainingTime(), 0))) ||
            deadline.hasExpired()) {
            if (connected() && m_serial->bytesToWrite() > 0 && !m_pendingLoss)
                loseConnection(kComErrWrite, systemErrorOrNone());
            break;
        }
    }
    throwPendingLoss();
}

int ComPort::waitingByteCount()
{
    throwPendingLoss();
    if (!connected())
        return 0;
    QCoreApplication::processEvents();
    throwPendingLoss();
    if (!connected())
        return 0;
    const qint64 count = m_serial->bytesAvailable();
    return count > INT32_MAX ? INT32_MAX : int(count);
}

Bytes ComPort::receiveBytes(int count)
{
    if (count <= 0)
        return {};
    throwPendingLoss();
    if (!connected())
        return {};
    if (m_serial->bytesAvailable() < count) {
        QCoreApplication::processEvents();
        throwPendingLoss();
        if (!connected())
            return {};
    }
    Bytes bytes(size_t(std::min<qint64>(count, m_serial->bytesAvailable())));
    if (bytes.empty())
        return bytes;
    errno = 0;
    const qint64 read = m_serial->read(reinterpret_cast<char*>(bytes.data()), qint64(bytes.size()));
    if (read < 0) {
        loseConnection(kComErrRead, systemErrorOrNone());
        throwPendingLoss();
    }
    bytes.resize(size_t(read));
    return bytes;
}

void ComPort::handleSerialError(QSerialPort::SerialPortError error)
{
    if (!connected() || m_pendingLoss)
        return;
    int errorNumber = 0;
    if (error == QSerialPort::ReadError || error == QSerialPort::ResourceError)
        errorNumber = kComErrRead;
    else if (error == QSerialPort::WriteError)
        errorNumber = kComErrWrite;
    else
        return;
    // Qt is still inside its notifier here and touches its buffer after this
    // signal returns, so the port is closed from the event queue, or earlier by
    // the next operation of the caller.
    m_pendingLoss = lossError(errorNumber, systemErrorOrNone());
    if (!m_losing) {
        m_losing = true;
        QMetaObject::invokeMethod(this, &ComPort::closeAfterLoss, Qt::QueuedConnection);
    }
}

void ComPort::loseConnection(int errorNumber, int systemErrorNumber)
{
    if (!m_pendingLoss)
        m_pendingLoss = lossError(errorNumber, systemErrorNumber);
    closeAfterLoss();
}

ComPortError ComPort::lossError(int errorNumber, int systemErrorNumber) const
{
    // A hang-up is a read that returns nothing: Qt reports it with whatever
    // errno an earlier call left ("No such file or directory" from a lookup),
    // so only codes a failing read or write can give are taken as the reason.
    const bool lineCode = systemErrorNumber == EIO || systemErrorNumber == ENXIO ||
                          systemErrorNumber == ENODEV || systemErrorNumber == EPIPE ||
                          systemErrorNumber == EBADF;
    ComPortError loss = makeComError(errorNumber, lineCode ? systemErrorNumber : -1);
    if (loss.reason.empty())
        loss.reason = {LinkReasonCode::DeviceGone,
                       "the device went away (adapter unplugged or the other end closed the line)",
                       {}};
    return loss;
}

void ComPort::closeAfterLoss()
{
    if (!m_pendingLoss || !connected())
        return;
    shutDown(false);
    emit connectionLost(QString::fromStdString(m_pendingLoss->what()), m_pendingLoss->reason);
}

void ComPort::throwPendingLoss()
{
    if (!m_pendingLoss)
        return;
    closeAfterLoss();
    ComPortError loss = *m_pendingLoss;
    m_pendingLoss.reset();
    throw loss;
}
