#include "serial/com_port.h"

#include "serial/com_port_error.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMetaObject>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#ifdef __linux__
#include <QFile>

#include <grp.h>
#include <sys/stat.h>
#endif

namespace {

int SystemErrorOrNone()
{
    return errno != 0 ? errno : -1;
}

// Serial devices on Linux belong to a group (usually dialout) whose members may
// open them; a refused opening says which group the user is missing.
std::string OpenErrorMessage(int systemError, [[maybe_unused]] const QString& port)
{
    std::string message = ComErrorMessage(kComErrOpen, systemError);
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
ComPortError NotASerialPort(const QString& port, int systemError)
{
    return ComPortError(kComErrOpen,
                        std::string(ComErrorText(kComErrOpen)) + ": " + port.toStdString() +
                            " is not a serial port",
                        systemError, "not a serial port");
}

// True when `port` names something that exists and is no character device.
bool IsOtherThanDevice(const QString& port)
{
    const QByteArray path = QFile::encodeName(port.contains(u'/') ? port : QStringLiteral("/dev/") + port);
    struct stat entry {};
    return ::stat(path.constData(), &entry) == 0 && !S_ISCHR(entry.st_mode);
}
#endif

std::optional<QSerialPort::DataBits> QtDataBits(int dataBits)
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

std::optional<QSerialPort::Parity> QtParity(ParityIndex bits)
{
    switch (bits) {
    case prNone:
        return QSerialPort::NoParity;
    case prOdd:
        return QSerialPort::OddParity;
    case prEven:
        return QSerialPort::EvenParity;
    case prMark:
        return QSerialPort::MarkParity;
    case prSpace:
        return QSerialPort::SpaceParity;
    }
    return std::nullopt;
}

std::optional<QSerialPort::StopBits> QtStopBits(StopBitsIndex stopBits)
{
    switch (stopBits) {
    case sbOneStopBit:
        return QSerialPort::OneStop;
    case sbOne5StopBits:
#ifdef _WIN32
        return QSerialPort::OneAndHalfStop;
#else
        // Qt 6.4 silently runs 1.5 stop bits as 1 outside Windows; a meter
        // configured for 1.5 would then see framing errors with no hint why.
        return std::nullopt;
#endif
    case sbTwoStopBits:
        return QSerialPort::TwoStop;
    }
    return std::nullopt;
}

bool IsOpeningError(QSerialPort::SerialPortError error)
{
    return error == QSerialPort::DeviceNotFoundError || error == QSerialPort::PermissionError ||
           error == QSerialPort::OpenError;
}

} // namespace

ComPort::ComPort(QObject* parent) : QObject(parent)
{
    connect(&m_serial, &QSerialPort::errorOccurred, this, &ComPort::HandleSerialError);
    // A device that keeps sending must not fill memory between two purges; a
    // reply is a few hundred bytes at most.
    m_serial.setReadBufferSize(kReadBufferBytes);
}

ComPort::~ComPort()
{
    disconnect(&m_serial, nullptr, this, nullptr);
    if (m_serial.isOpen())
        m_serial.close();
}

void ComPort::SetPort(const QString& port)
{
    if (port == m_port)
        return;
    m_port = port;
    ReopenIfOpen();
}

void ComPort::SetLine(const LineSettings& line)
{
    const bool framingChanged = line.baudRate != m_line.baudRate || line.dataBits != m_line.dataBits ||
                                line.parity != m_line.parity || line.stopBits != m_line.stopBits;
    m_line = line;
    if (framingChanged)
        ReopenIfOpen();
}

void ComPort::ReopenIfOpen()
{
    if (!Connected())
        return;
    Close();
    OpenPort();
}

bool ComPort::Connected() const
{
    return m_serial.isOpen();
}

void ComPort::OpenPort()
{
    if (Connected())
        return;
    m_pendingLoss.reset();
    m_losing = false;

    const auto dataBits = QtDataBits(m_line.dataBits);
    const auto parity = QtParity(m_line.parity);
    const auto stopBits = QtStopBits(m_line.stopBits);
    if (m_line.baudRate <= 0 || !dataBits || !parity || !stopBits)
        throw MakeComError(kComErrSetState);

    m_serial.setPortName(m_port);
    // Qt 6.4 applies these when opening; changing them on an open port can fail
    // on pseudo-terminals, which is why line settings never change while open.
    if (!m_serial.setBaudRate(m_line.baudRate) || !m_serial.setDataBits(*dataBits) ||
        !m_serial.setParity(*parity) || !m_serial.setStopBits(*stopBits) ||
        !m_serial.setFlowControl(QSerialPort::NoFlowControl))
        throw MakeComError(kComErrSetState);

    errno = 0;
    if (!m_serial.open(QIODevice::ReadWrite)) {
        const int systemError = SystemErrorOrNone();
        const QSerialPort::SerialPortError error = m_serial.error();
        m_serial.close();
        m_serial.clearError();
#ifdef __linux__
        // A refused opening says who may open it, whatever it is.
        if (systemError != EACCES && systemError != EPERM &&
            (systemError == ENOTTY || IsOtherThanDevice(m_port)))
            throw NotASerialPort(m_port, systemError);
#endif
        if (IsOpeningError(error))
            throw ComPortError(kComErrOpen, OpenErrorMessage(systemError, m_port), systemError,
                               systemError != -1 ? std::system_category().message(systemError)
                                                 : std::string());
        throw MakeComError(kComErrSetState, systemError);
    }

    // RS485 adapters switch direction by themselves: DTR and RTS are held off.
    // Pseudo-terminals and some adapters have no modem lines, so a refusal here
    // is not a failed opening.
    m_serial.setRequestToSend(false);
    m_serial.setDataTerminalReady(false);
    m_serial.clearError();

    // Bytes can be waiting in the driver from before the opening.
    if (!m_serial.clear(QSerialPort::AllDirections)) {
        const int systemError = SystemErrorOrNone();
        m_serial.close();
        throw MakeComError(kComErrPurge, systemError);
    }
}

void ComPort::Close()
{
    m_pendingLoss.reset();
    if (!Connected())
        return;
    m_serial.close();
    m_serial.clearError();
}

void ComPort::PurgeBuffers(bool input, bool output)
{
    ThrowPendingLoss();
    if (!Connected() || (!input && !output))
        return;
    QSerialPort::Directions directions;
    if (input)
        directions |= QSerialPort::Input;
    if (output)
        directions |= QSerialPort::Output;
    errno = 0;
    const bool purged = m_serial.clear(directions);
    const int systemError = SystemErrorOrNone();
    ThrowPendingLoss();
    if (!purged)
        throw MakeComError(kComErrPurge, systemError);
}

void ComPort::SendBytes(ByteView bytes)
{
    if (bytes.empty())
        return;
    ThrowPendingLoss();
    if (!Connected())
        throw MakeComError(kComErrWrite);

    errno = 0;
    const qint64 size = static_cast<qint64>(bytes.size());
    if (m_serial.write(reinterpret_cast<const char*>(bytes.data()), size) != size) {
        LoseConnection(kComErrWrite, SystemErrorOrNone());
        ThrowPendingLoss();
    }
    QDeadlineTimer deadline(qint64(kWriteTimeoutMs) + qint64(kWriteMsPerByte) * size);
    while (m_serial.isOpen() && m_serial.bytesToWrite() > 0 && !m_pendingLoss) {
        errno = 0;
        if (!m_serial.waitForBytesWritten(int(std::max<qint64>(deadline.remainingTime(), 0))) ||
            deadline.hasExpired()) {
            if (m_serial.bytesToWrite() > 0 && !m_pendingLoss)
                LoseConnection(kComErrWrite, SystemErrorOrNone());
            break;
        }
    }
    ThrowPendingLoss();
}

int ComPort::WaitingByteCount()
{
    ThrowPendingLoss();
    if (!Connected())
        return 0;
    QCoreApplication::processEvents();
    ThrowPendingLoss();
    if (!Connected())
        return 0;
    const qint64 count = m_serial.bytesAvailable();
    return count > INT32_MAX ? INT32_MAX : int(count);
}

Bytes ComPort::ReceiveBytes(int count)
{
    if (count <= 0)
        return {};
    ThrowPendingLoss();
    if (!Connected())
        return {};
    if (m_serial.bytesAvailable() < count) {
        QCoreApplication::processEvents();
        ThrowPendingLoss();
        if (!Connected())
            return {};
    }
    Bytes bytes(size_t(std::min<qint64>(count, m_serial.bytesAvailable())));
    if (bytes.empty())
        return bytes;
    errno = 0;
    const qint64 read = m_serial.read(reinterpret_cast<char*>(bytes.data()), qint64(bytes.size()));
    if (read < 0) {
        LoseConnection(kComErrRead, SystemErrorOrNone());
        ThrowPendingLoss();
    }
    bytes.resize(size_t(read));
    return bytes;
}

void ComPort::HandleSerialError(QSerialPort::SerialPortError error)
{
    if (!m_serial.isOpen() || m_pendingLoss)
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
    m_pendingLoss = LossError(errorNumber, SystemErrorOrNone());
    if (!m_losing) {
        m_losing = true;
        QMetaObject::invokeMethod(this, &ComPort::CloseAfterLoss, Qt::QueuedConnection);
    }
}

void ComPort::LoseConnection(int errorNumber, int systemErrorNumber)
{
    if (!m_pendingLoss)
        m_pendingLoss = LossError(errorNumber, systemErrorNumber);
    CloseAfterLoss();
}

ComPortError ComPort::LossError(int errorNumber, int systemErrorNumber) const
{
    // A hang-up is a read that returns nothing: Qt reports it with whatever
    // errno an earlier call left ("No such file or directory" from a lookup),
    // so only codes a failing read or write can give are taken as the reason.
    const bool lineCode = systemErrorNumber == EIO || systemErrorNumber == ENXIO ||
                          systemErrorNumber == ENODEV || systemErrorNumber == EPIPE ||
                          systemErrorNumber == EBADF;
    ComPortError loss = MakeComError(errorNumber, lineCode ? systemErrorNumber : -1);
    if (loss.Reason.empty())
        loss.Reason = "the device went away (adapter unplugged or the other end closed the line)";
    return loss;
}

void ComPort::CloseAfterLoss()
{
    if (!m_pendingLoss || !m_serial.isOpen())
        return;
    m_serial.close();
    m_serial.clearError();
    emit ConnectionLost(QString::fromStdString(m_pendingLoss->what()),
                        QString::fromStdString(m_pendingLoss->Reason));
}

void ComPort::ThrowPendingLoss()
{
    if (!m_pendingLoss)
        return;
    CloseAfterLoss();
    ComPortError loss = *m_pendingLoss;
    m_pendingLoss.reset();
    throw loss;
}
