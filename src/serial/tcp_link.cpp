#include "serial/tcp_link.h"

#include "serial/com_error.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMetaObject>

#include <algorithm>

TcpLink::TcpLink(const QString& host, quint16 port, const QString& name, QObject* parent)
    : QObject(parent), FHost(host), FPortNumber(port), FName(name)
{
    connect(&FSocket, &QAbstractSocket::errorOccurred, this, &TcpLink::HandleSocketError);
    connect(&FSocket, &QAbstractSocket::disconnected, this,
            [this] { HandleSocketError(QAbstractSocket::RemoteHostClosedError); });
}

TcpLink::~TcpLink()
{
    disconnect(&FSocket, nullptr, this, nullptr);
    FSocket.abort();
}

EComPort TcpLink::Failure(int errorNumber, const QString& reason) const
{
    const std::string message = std::string(ComErrorText(errorNumber)) + ": " + reason.toStdString() + " (" +
                                FName.toStdString() + ")";
    return EComPort(errorNumber, message);
}

void TcpLink::Open()
{
    if (FOpen)
        return;
    FPendingLoss.reset();
    FLossQueued = false;
    FData.clear();
    FSocket.abort();
    FSocket.connectToHost(FHost, FPortNumber);
    // Resolves the host name too: an unknown host fails here.
    if (!FSocket.waitForConnected(kConnectTimeoutMs)) {
        const QString reason = FSocket.error() == QAbstractSocket::SocketTimeoutError
                                   ? QStringLiteral("no answer from the server")
                                   : FSocket.errorString();
        FSocket.abort();
        throw Failure(kComErrOpen, reason);
    }
    // Requests are a few bytes each: send them at once.
    FSocket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    FOpen = true;
    try {
        AfterConnect();
        ThrowPendingLoss();
    } catch (const EComPort&) {
        Close();
        throw;
    }
}

void TcpLink::Close()
{
    FPendingLoss.reset();
    if (!FOpen)
        return;
    FOpen = false;
    FSocket.abort();
    FData.clear();
}

void TcpLink::HandleSocketError(QAbstractSocket::SocketError error)
{
    // Waits that run out report a timeout: that is no failure of the link.
    if (!FOpen || FPendingLoss || error == QAbstractSocket::SocketTimeoutError)
        return;
    const QString reason = error == QAbstractSocket::RemoteHostClosedError
                               ? QStringLiteral("the server closed the connection")
                               : FSocket.errorString();
    FPendingLoss = Failure(kComErrRead, reason);
    // The socket is still inside its own notifier: close from the event queue,
    // or earlier by the caller's next operation.
    if (!FLossQueued) {
        FLossQueued = true;
        QMetaObject::invokeMethod(this, &TcpLink::CloseAfterLoss, Qt::QueuedConnection);
    }
}

void TcpLink::CloseAfterLoss()
{
    if (!FPendingLoss || !FOpen)
        return;
    FOpen = false;
    FSocket.abort();
    FData.clear();
    emit ConnectionLost(QString::fromStdString(FPendingLoss->what()));
}

void TcpLink::ThrowPendingLoss()
{
    if (!FPendingLoss)
        return;
    CloseAfterLoss();
    EComPort loss = *FPendingLoss;
    FPendingLoss.reset();
    throw loss;
}

void TcpLink::TakeIncoming(ByteView raw, Bytes& data)
{
    data.insert(data.end(), raw.begin(), raw.end());
}

Bytes TcpLink::Outgoing(ByteView data)
{
    return Bytes(data.begin(), data.end());
}

void TcpLink::Pump()
{
    if (!FOpen || FSocket.bytesAvailable() <= 0)
        return;
    const QByteArray raw = FSocket.readAll();
    TakeIncoming(ByteView(reinterpret_cast<const uint8_t*>(raw.constData()), size_t(raw.size())), FData);
}

void TcpLink::WaitForIncoming(int ms)
{
    if (FOpen && FSocket.bytesAvailable() == 0)
        FSocket.waitForReadyRead(ms);
    Pump();
}

void TcpLink::PurgeBuffers()
{
    ThrowPendingLoss();
    if (!FOpen)
        return;
    QCoreApplication::processEvents();
    ThrowPendingLoss();
    Pump();
    FData.clear();
}

void TcpLink::WriteRaw(ByteView bytes)
{
    if (bytes.empty() || !FOpen)
        return;
    const qint64 size = qint64(bytes.size());
    if (FSocket.write(reinterpret_cast<const char*>(bytes.data()), size) != size) {
        if (!FPendingLoss)
            FPendingLoss = Failure(kComErrWrite, FSocket.errorString());
        ThrowPendingLoss();
    }
    QDeadlineTimer deadline(1000 + 100 * size);
    while (FOpen && FSocket.bytesToWrite() > 0 && !FPendingLoss) {
        if (!FSocket.waitForBytesWritten(int(std::max<qint64>(deadline.remainingTime(), 0))) ||
            deadline.hasExpired()) {
            if (FSocket.bytesToWrite() > 0 && !FPendingLoss)
                FPendingLoss = Failure(kComErrWrite, QStringLiteral("the server does not take the bytes"));
            break;
        }
    }
    ThrowPendingLoss();
}

void TcpLink::SendBytes(ByteView bytes)
{
    if (bytes.empty())
        return;
    ThrowPendingLoss();
    if (!FOpen)
        throw Failure(kComErrWrite, QStringLiteral("not connected"));
    WriteRaw(Outgoing(bytes));
}

int TcpLink::WaitingByteCount()
{
    ThrowPendingLoss();
    if (!FOpen)
        return 0;
    QCoreApplication::processEvents();
    ThrowPendingLoss();
    Pump();
    return int(std::min<size_t>(FData.size(), INT32_MAX));
}

Bytes TcpLink::ReceiveBytes(int count)
{
    if (count <= 0)
        return {};
    ThrowPendingLoss();
    if (!FOpen)
        return {};
    if (FData.size() < size_t(count))
        Pump();
    const size_t take = std::min(FData.size(), size_t(count));
    Bytes bytes(FData.begin(), FData.begin() + std::ptrdiff_t(take));
    FData.erase(FData.begin(), FData.begin() + std::ptrdiff_t(take));
    return bytes;
}
