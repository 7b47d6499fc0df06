// A byte link to a serial device server over raw TCP: the bytes pass unchanged.
// Rfc2217Link builds on it for servers that speak Telnet.
//
// It behaves as the serial port does: a refused connection, an unknown host or
// a server that does not answer makes Open throw error 1 with the reason; a
// connection the server closes (or that breaks) ends the link at once, emits
// ConnectionLost once, and the caller's next operation throws the failure once;
// after that the link reads as closed. Received bytes only reach the socket
// while events are processed, which WaitingByteCount does before counting.
//
// Whatever the server sends, the link holds at most kReadBufferBytes in the
// socket and kMaxHeldBytes of data not read yet; beyond that the newest bytes
// are dropped (a reply is far shorter, so such input is no reply anyway) and
// the server is slowed down by TCP itself. Bytes the server does not take are
// held up to kMaxUnsentBytes; more ends the link, as does a write that is not
// taken within its deadline.
#pragma once

#include "serial/byte_link.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <QTcpSocket>

#include <optional>

class TcpLink : public QObject, public ByteLink {
    Q_OBJECT
public:
    // `name` is the port name shown in messages ("tcp://host:port").
    TcpLink(const QString& host, quint16 port, const QString& name, QObject* parent = nullptr);
    ~TcpLink() override;

    // Connects, within kConnectTimeoutMs; nothing when already connected. A
    // connection that the server ends right after accepting it is a lost
    // connection (error 3), not a failed opening.
    void open();
    // Nothing when closed.
    void close() override;

    bool connected() const override { return m_open; }
    // Drops every received byte not read yet.
    void purgeBuffers() override;
    // Writes all bytes and waits until they are handed to the network, at most
    // 1000 ms plus 100 ms per byte; a failed or late write ends the link (error 2).
    void sendBytes(ByteView bytes) override;
    int waitingByteCount() override;
    Bytes receiveBytes(int count) override;

    static constexpr int kConnectTimeoutMs = 3000;
    static constexpr qint64 kReadBufferBytes = 64 * 1024;
    static constexpr size_t kMaxHeldBytes = 4096;
    static constexpr qint64 kMaxUnsentBytes = 16 * 1024;

signals:
    // `message` is the ComPortError's text, `reason` its cause alone.
    void connectionLost(const QString& message, const LinkReason& reason);

protected:
    // Called once connected; may throw ComPortError (the link is closed again).
    virtual void afterConnect() {}
    // Turns bytes from the socket into data; raw TCP keeps them as they are.
    virtual void takeIncoming(ByteView raw, Bytes& data);
    // Turns data into bytes for the socket.
    virtual Bytes outgoing(ByteView data);

    // Moves what the socket holds through TakeIncoming.
    void pump();
    // Writes bytes as they are and waits until they went out, at most until
    // `deadline`; late or failed ends the link (error 2).
    void writeRaw(ByteView bytes, const QDeadlineTimer& deadline);
    // Writes bytes as they are (Telnet answers) without waiting for them: a
    // server that keeps asking but never reads must not hold the caller. More
    // than kMaxUnsentBytes not taken ends the link (error 2).
    void queueRaw(ByteView bytes);
    // Puts bytes into the socket's send buffer; false when there is nothing to
    // send or the link is closed.
    bool bufferBytes(ByteView bytes);
    // Waits up to `ms` for more bytes from the server, without an event loop.
    void waitForIncoming(int ms);
    // "<text of errorNumber>: <reason> (<port name>)".
    ComPortError failure(int errorNumber, const LinkReason& reason) const;
    void throwPendingLoss();

private:
    void handleSocketError(QAbstractSocket::SocketError error);
    void closeAfterLoss();

    QTcpSocket m_socket;
    QString m_host;
    quint16 m_portNumber;
    QString m_name;
    bool m_open = false;
    bool m_socketConnected = false; // the server accepted the connection being opened
    Bytes m_data;
    std::optional<ComPortError> m_pendingLoss;
    bool m_lossQueued = false;
};
