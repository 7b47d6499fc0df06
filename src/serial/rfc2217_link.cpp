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
    QDeadlineTimer deadline(kNegotiationTimeoutMs);
    WriteRaw(FSession.Start(), deadline);
    // The line settings are sent once the server has agreed to port control;
    // it answers each of them with the value now in force.
    bool settingsSent = false;
    while (!deadline.hasExpired()) {
        if (FSession.ComPortRefused())
            throw Failure(kComErrOpen, QStringLiteral("the server refuses RFC 2217 port control"));
        if (FSession.ComPortAccepted() && !settingsSent) {
            WriteRaw(TelnetSession::ComPortSettings(FLine), deadline);
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
    // A server may keep a setting its device cannot take and report the one
    // in force: a meter would then be read at the wrong framing.
    const ComPortLine& server = FSession.ServerLine();
    const struct {
        const char* what;
        uint32_t asked;
        uint32_t confirmed;
    } settings[] = {
        {"baud rate", FLine.baudRate, server.baudRate},
        {"data size", FLine.dataSize, server.dataSize},
        {"parity", FLine.parity, server.parity},
        {"stop size", FLine.stopSize, server.stopSize},
    };
    for (const auto& setting : settings) {
        if (setting.asked != setting.confirmed)
            throw Failure(kComErrSetState, QStringLiteral("the server runs the line with %1 %2 instead of %3")
                                               .arg(QLatin1String(setting.what))
                                               .arg(setting.confirmed)
                                               .arg(setting.asked));
    }
}

void Rfc2217Link::TakeIncoming(ByteView raw, Bytes& data)
{
    Bytes answer;
    FSession.Receive(raw, data, answer);
    QueueRaw(answer);
}

Bytes Rfc2217Link::Outgoing(ByteView data)
{
    return TelnetSession::Escape(data);
}
