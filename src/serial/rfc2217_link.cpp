#include "serial/rfc2217_link.h"

#include "serial/com_error.h"

#include <QDeadlineTimer>

Rfc2217Link::Rfc2217Link(const QString& host, quint16 port, const QString& name, const ComPortLine& line,
                         QObject* parent)
    : TcpLink(host, port, name, parent), FLine(line)
{
}

void Rfc2217Link::AfterConnect()
{
    FSession = TelnetSession();
    WriteRaw(FSession.Start());
    QDeadlineTimer deadline(kNegotiationTimeoutMs);
    // The line settings are sent once the server has agreed to port control;
    // it answers each of them with the value now in force.
    bool settingsSent = false;
    while (!deadline.hasExpired()) {
        if (FSession.ComPortRefused())
            throw Failure(kComErrOpen, QStringLiteral("the server refuses RFC 2217 port control"));
        if (FSession.ComPortAccepted() && !settingsSent) {
            WriteRaw(TelnetSession::ComPortSettings(FLine));
            settingsSent = true;
        }
        if (settingsSent && FSession.ConfirmedSettings() >= 4)
            break;
        WaitForIncoming(int(std::max<qint64>(deadline.remainingTime(), 1)));
        ThrowPendingLoss();
    }
    if (!FSession.ComPortAccepted())
        throw Failure(kComErrOpen, QStringLiteral("the server does not answer RFC 2217 port control"));
    if (FSession.ConfirmedSettings() < 4)
        throw Failure(kComErrSetState, QStringLiteral("the server does not confirm the line settings"));
    if (FSession.ServerBaudRate() && *FSession.ServerBaudRate() != FLine.baudRate)
        throw Failure(kComErrSetState, QStringLiteral("the server runs the line at %1 baud instead of %2")
                                           .arg(*FSession.ServerBaudRate())
                                           .arg(FLine.baudRate));
}

void Rfc2217Link::TakeIncoming(ByteView raw, Bytes& data)
{
    Bytes answer;
    FSession.Receive(raw, data, answer);
    if (!answer.empty())
        WriteRaw(answer);
}

Bytes Rfc2217Link::Outgoing(ByteView data)
{
    return TelnetSession::Escape(data);
}
