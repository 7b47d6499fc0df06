// A byte link to a serial device server over raw TCP: the bytes pass unchanged.
// Rfc2217Link builds on it for servers that speak Telnet.
//
// It behaves as the serial port does: a refused connection, an unknown host or
// a server that does not answer makes Open throw error 1 with the reason; a
// connection the server closes (or that breaks) ends the link at once, emits
// ConnectionLost once, and the caller's next operation throws the failure once;
// after that the link reads as closed. Received bytes only reach the socket
// while events are processed, which WaitingByteCount does before counting.
#pragma once

#include "serial/byte_link.h"

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

    // Connects, within kConnectTimeoutMs; nothing when already connected.
    void Open();
    // Nothing when closed.
    void Close();

    bool Connected() const override { return FOpen; }
    // Drops every received byte not read yet.
    void PurgeBuffers() override;
    // Writes all bytes and waits until they are handed to the network, at most
    // 1000 ms plus 100 ms per byte; a failed write ends the link (error 2).
    void SendBytes(ByteView bytes) override;
    int WaitingByteCount() override;
    Bytes ReceiveBytes(int count) override;

    static constexpr int kConnectTimeoutMs = 5000;

signals:
    void ConnectionLost(const QString& message);

protected:
    // Called once connected; may throw EComPort (the link is closed again).
    virtual void AfterConnect() {}
    // Turns bytes from the socket into data; raw TCP keeps them as they are.
    virtual void TakeIncoming(ByteView raw, Bytes& data);
    // Turns data into bytes for the socket.
    virtual Bytes Outgoing(ByteView data);

    // Moves what the socket holds through TakeIncoming.
    void Pump();
    // Writes bytes as they are (Telnet answers) and waits for them to go out.
    void WriteRaw(ByteView bytes);
    // Waits up to `ms` for more bytes from the server, without an event loop.
    void WaitForIncoming(int ms);
    // "<text of errorNumber>: <reason> (<port name>)".
    EComPort Failure(int errorNumber, const QString& reason) const;
    void ThrowPendingLoss();

private:
    void HandleSocketError(QAbstractSocket::SocketError error);
    void CloseAfterLoss();

    QTcpSocket FSocket;
    QString FHost;
    quint16 FPortNumber;
    QString FName;
    bool FOpen = false;
    Bytes FData;
    std::optional<EComPort> FPendingLoss;
    bool FLossQueued = false;
};
