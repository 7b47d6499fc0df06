#include "serial/tcp_link.h"

#include "serial/com_port_error.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QNetworkProxy>

#include <algorithm>

namespace {

const LinkReason kServerClosed{LinkReasonCode::ServerClosed, "the server closed the connection", {}};
const LinkReason kServerNotTaking{LinkReasonCode::ServerNotTaking, "the server does not take the bytes", {}};

// The socket's error as a cause; Qt words the rest as the system does.
LinkReason socketReason(QAbstractSocket::SocketError error, const QString& text)
{
    LinkReasonCode code = LinkReasonCode::Other;
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        code = LinkReasonCode::ConnectionRefused;
        break;
    case QAbstractSocket::RemoteHostClosedError:
        return kServerClosed;
    case QAbstractSocket::HostNotFoundError:
        code = LinkReasonCode::HostNotFound;
        break;
    case QAbstractSocket::SocketAccessError:
        code = LinkReasonCode::PermissionDenied;
        break;
    case QAbstractSocket::SocketTimeoutError:
        code = LinkReasonCode::TimedOut;
        break;
    default:
        break;
    }
    return {code, text.toStdString(), {}};
}

} // namespace

TcpLink::TcpLink(const QString& host, quint16 port, const QString& name, QObject* parent)
    : QObject(parent), m_host(host), m_portNumber(port), m_name(name)
{
    connect(&m_socket, &QAbstractSocket::errorOccurred, this, &TcpLink::handleSocketError);
    connect(&m_socket, &QAbstractSocket::connected, this, [this] { m_socketConnected = true; });
    // Qt would otherwise read whatever the server sends into memory.
    m_socket.setReadBufferSize(kReadBufferBytes);
    // A serial device server is reached directly, never through a proxy.
    m_socket.setProxy(QNetworkProxy::NoProxy);
    connect(&m_socket, &QAbstractSocket::disconnected, this,
            [this] { handleSocketError(QAbstractSocket::RemoteHostClosedError); });
}

TcpLink::~TcpLink()
{
    disconnect(&m_socket, nullptr, this, nullptr);
    m_socket.abort();
}

ComPortError TcpLink::failure(int errorNumber, const LinkReason& reason) const
{
    const std::string message =
        std::string(comErrorText(errorNumber)) + ": " + reason.text + " (" + m_name.toStdString() + ")";
    return ComPortError(errorNumber, message, -1, reason);
}

void TcpLink::open()
{
    if (m_open)
        return;
    m_pendingLoss.reset();
    m_lossQueued = false;
    m_data.clear();
    m_socket.abort();
    m_socketConnected = false;
    m_socket.connectToHost(m_host, m_portNumber);
    // Resolves the host name too: an unknown host fails here.
    const bool connected = m_socket.waitForConnected(kConnectTimeoutMs);
    if (!connected || m_socket.state() != QAbstractSocket::ConnectedState) {
        // Accepted and then reset at once: the line was there and went away.
        // Qt tells a reset seen while it still checks the connection as an
        // unfinished operation ("Invalid socket descriptor"), a refusal as such.
        const QAbstractSocket::SocketError error = m_socket.error();
        if (m_socketConnected || error == QAbstractSocket::RemoteHostClosedError ||
            error == QAbstractSocket::UnfinishedSocketOperationError) {
            m_socket.abort();
            throw failure(kComErrRead, kServerClosed);
        }
        const std::string seconds = std::to_string(kConnectTimeoutMs / 1000);
        const LinkReason reason = error == QAbstractSocket::SocketTimeoutError
                                      ? LinkReason{LinkReasonCode::ServerSilent,
                                                   "no answer from the server within " + seconds + " s",
                                                   {seconds}}
                                      : socketReason(error, m_socket.errorString());
        m_socket.abort();
        throw failure(kComErrOpen, reason);
    }
    // Requests are a few bytes each: send them at once.
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_open = true;
    try {
        afterConnect();
        throwPendingLoss();
    } catch (const ComPortError&) {
        close();
        throw;
    }
}

void TcpLink::close()
{
    m_pendingLoss.reset();
    if (!m_open)
        return;
    m_open = false;
    m_socket.abort();
    m_data.clear();
}

void TcpLink::handleSocketError(QAbstractSocket::SocketError error)
{
    // Waits that run out report a timeout: that is no failure of the link.
    if (!m_open || m_pendingLoss || error == QAbstractSocket::SocketTimeoutError)
        return;
    m_pendingLoss = failure(kComErrRead, socketReason(error, m_socket.errorString()));
    // The socket is still inside its own notifier: close from the event queue,
    // or earlier by the caller's next operation.
    if (!m_lossQueued) {
        m_lossQueued = true;
        QMetaObject::invokeMethod(this, &TcpLink::closeAfterLoss, Qt::QueuedConnection);
    }
}

void TcpLink::closeAfterLoss()
{
    if (!m_pendingLoss || !m_open)
        return;
    m_open = false;
    m_socket.abort();
    m_data.clear();
    emit connectionLost(QString::fromStdString(m_pendingLoss->what()), m_pendingLoss->reason);
}

void TcpLink::throwPendingLoss()
{
    if (!m_pendingLoss)
        return;
    closeAfterLoss();
    ComPortError loss = *m_pendingLoss;
    m_pendingLoss.reset();
    throw loss;
}

void TcpLink::takeIncoming(ByteView raw, Bytes& data)
{
    data.insert(data.end(), raw.begin(), raw.end());
}

Bytes TcpLink::outgoing(ByteView data)
{
    return Bytes(data.begin(), data.end());
}

void TcpLink::pump()
{
    if (!m_open || m_socket.bytesAvailable() <= 0)
        return;
    const QByteArray raw = m_socket.readAll();
    Bytes incoming;
    takeIncoming(ByteView(reinterpret_cast<const uint8_t*>(raw.constData()), size_t(raw.size())), incoming);
    const size_t room = m_data.size() < kMaxHeldBytes ? kMaxHeldBytes - m_data.size() : 0;
    const size_t kept = std::min(room, incoming.size());
    m_data.insert(m_data.end(), incoming.begin(), incoming.begin() + std::ptrdiff_t(kept));
}

void TcpLink::waitForIncoming(int ms)
{
    if (m_open && m_socket.bytesAvailable() == 0)
        m_socket.waitForReadyRead(ms);
    pump();
}

void TcpLink::purgeBuffers()
{
    throwPendingLoss();
    if (!m_open)
        return;
    QCoreApplication::processEvents();
    throwPendingLoss();
    pump();
    m_data.clear();
}

bool TcpLink::bufferBytes(ByteView bytes)
{
    if (bytes.empty() || !m_open)
        return false;
    const qint64 size = qint64(bytes.size());
    if (m_socket.write(reinterpret_cast<const char*>(bytes.data()), size) != size) {
        if (!m_pendingLoss)
            m_pendingLoss = failure(kComErrWrite, socketReason(m_socket.error(), m_socket.errorString()));
        throwPendingLoss();
    }
    return true;
}

void TcpLink::writeRaw(ByteView bytes, const QDeadlineTimer& deadline)
{
    if (!bufferBytes(bytes))
        return;
    while (m_open && m_socket.bytesToWrite() > 0 && !m_pendingLoss) {
        if (deadline.hasExpired() ||
            !m_socket.waitForBytesWritten(int(std::max<qint64>(deadline.remainingTime(), 0)))) {
            if (m_socket.bytesToWrite() > 0 && !m_pendingLoss)
                m_pendingLoss = failure(kComErrWrite, kServerNotTaking);
            break;
        }
    }
    throwPendingLoss();
}

void TcpLink::queueRaw(ByteView bytes)
{
    if (!bufferBytes(bytes))
        return;
    // Hands over what the network takes now, without waiting for the rest.
    m_socket.flush();
    if (m_socket.bytesToWrite() > kMaxUnsentBytes && !m_pendingLoss)
        m_pendingLoss = failure(kComErrWrite, kServerNotTaking);
    throwPendingLoss();
}

void TcpLink::sendBytes(ByteView bytes)
{
    if (bytes.empty())
        return;
    throwPendingLoss();
    if (!m_open)
        throw failure(kComErrWrite, {LinkReasonCode::NotConnected, "not connected", {}});
    const Bytes raw = outgoing(bytes);
    writeRaw(raw, QDeadlineTimer(1000 + 100 * qint64(raw.size())));
}

int TcpLink::waitingByteCount()
{
    throwPendingLoss();
    if (!m_open)
        return 0;
    QCoreApplication::processEvents();
    throwPendingLoss();
    pump();
    return int(std::min<size_t>(m_data.size(), INT32_MAX));
}

Bytes TcpLink::receiveBytes(int count)
{
    if (count <= 0)
        return {};
    throwPendingLoss();
    if (!m_open)
        return {};
    if (m_data.size() < size_t(count))
        pump();
    const size_t take = std::min(m_data.size(), size_t(count));
    Bytes bytes(m_data.begin(), m_data.begin() + std::ptrdiff_t(take));
    m_data.erase(m_data.begin(), m_data.begin() + std::ptrdiff_t(take));
    return bytes;
}
