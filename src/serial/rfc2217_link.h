// A byte link to a serial device server that speaks Telnet with RFC 2217 port
// control: on opening it negotiates the com port option and sets the remote
// line (baud rate, data size, parity, stop size); data is IAC-escaped both
// ways. A server that refuses port control, or does not confirm the line
// settings within kNegotiationTimeoutMs, fails the opening (error 1 or 7).
#pragma once

#include "serial/tcp_link.h"
#include "serial/telnet_session.h"

class Rfc2217Link : public TcpLink {
    Q_OBJECT
public:
    Rfc2217Link(const QString& host, quint16 port, const QString& name, const ComPortLine& line,
                QObject* parent = nullptr);

    static constexpr int kNegotiationTimeoutMs = 3000;

protected:
    void afterConnect() override;
    void takeIncoming(ByteView raw, Bytes& data) override;
    Bytes outgoing(ByteView data) override;

private:
    ComPortLine m_line;
    TelnetSession m_session;
};
