#include "serial/tcp_link.h"

#include "serial/com_error.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QNetworkProxy>

#include <algorithm>

TcpLink::TcpLink(const QString& host, quint16 port, const QString& name, QObject* parent)
    : QObject(parent), FHost(host), FPortNumber(port), FName(name)
{
    connect(&FSocket, &QAbstractSocket::errorOccurred, this, &TcpLink::HandleSocketError);
    connect(&FSocket, &QAbstractSocket::connected, this, [this] { FSocketConnected = true; });
    // Qt would otherwise read whatever the server sends into memory.
    FSocket.setReadBufferSize(kReadBufferBytes);
    // A serial device server is reached directly, never through a proxy.
    FSocket.setProxy(QNetworkProxy::NoProxy);
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
    return EComPort(errorNumber, message, -1, reason.toStdString());
}

void TcpLink::Open()
{
    if (FOpen)
        return;
    FPendingLoss.reset();
    FLossQueued = false;
    FData.clear();
    FSocket.abort();
    FSocketConnected = false;
    FSocket.connectToHost(FHost, FPortNumber);
    // Resolves the host name too: an unknown host fails here.
    const bool connected = FSocket.waitForConnected(kConnectTimeoutMs);
    if (!connected || FSocket.state() != QAbstractSocket::ConnectedState) {
        // Accepted and then reset at once: the line was there and went away.
        // Qt tells a reset seen while it still checks the connection as an
        // unfinished operation ("Invalid socket descriptor"), a refusal as such.
        const QAbstractSocket::SocketError error = FSocket.error();
        if (FSocketConnected || error == QAbstractSocket::RemoteHostClosedError ||
            error == QAbstractSocket::UnfinishedSocketOperationError) {
            FSocket.abort();
            throw Failure(kComErrRead, QStringLiteral("the server closed the connection"));
        }
        const QString reason =
            error == QAbstractSocket::SocketTimeoutError
                ? QStringLiteral("no answer from the server within %1 s").arg(kConnectTimeoutMs / 1000)
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
    emit ConnectionLost(QString::fromStdString(FPendingLoss->what()),
                        QString::fromStdString(FPendingLoss->Reason));
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
    Bytes incoming;
    TakeIncoming(ByteView(reinterpret_cast<const uint8_t*>(raw.constData()), size_t(raw.size())), incoming);
    const size_t room = FData.size() < kMaxHeldBytes ? kMaxHeldBytes - FData.size() : 0;
    const size_t kept = std::min(room, incoming.size());
    FData.insert(FData.end(), incoming.begin(), incoming.begin() + std::ptrdiff_t(kept));
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

void TcpLink::WriteRaw(ByteView bytes, const QDeadlineTimer& deadline)
{
    if (bytes.empty() || !FOpen)
        return;
    const qint64 size = qint64(bytes.size());
    if (FSocket.write(reinterpret_cast<const char*>(bytes.data()), size) != size) {
        if (!FPendingLoss)
            FPendingLoss = Failure(kComErrWrite, FSocket.errorString());
        ThrowPendingLoss();
    }
    while (FOpen && FSocket.bytesToWrite() > 0 && !FPendingLoss) {
        if (deadline.hasExpired() ||
            !FSocket.waitForBytesWritten(int(std::max<qint64>(deadline.remainingTime(), 0)))) {
            if (FSocket.bytesToWrite() > 0 && !FPendingLoss)
                FPendingLoss = Failure(kComErrWrite, QStringLiteral("the server does not take the bytes"));
            break;
        }
    }
    ThrowPendingLoss();
}

void TcpLink::QueueRaw(ByteView bytes)
{
    if (bytes.empty() || !FOpen)
        return;
    const qint64 size = qint64(bytes.size());
    if (FSocket.write(reinterpret_cast<const char*>(bytes.data()), size) != size) {
        if (!FPendingLoss)
            FPendingLoss = Failure(kComErrWrite, FSocket.errorString());
        ThrowPendingLoss();
    }
    // Hands over what the network takes now, without waiting for the rest.
    FSocket.flush();
    if (FSocket.bytesToWrite() > kMaxUnsentBytes && !FPendingLoss)
        FPendingLoss = Failure(kComErrWrite, QStringLiteral("the server does not take the bytes"));
    ThrowPendingLoss();
}

void TcpLink::SendBytes(ByteView bytes)
{
    if (bytes.empty())
        return;
    ThrowPendingLoss();
    if (!FOpen)
        throw Failure(kComErrWrite, QStringLiteral("not connected"));
    const Bytes raw = Outgoing(bytes);
    WriteRaw(raw, QDeadlineTimer(1000 + 100 * qint64(raw.size())));
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
