#include "serial/rfc2217_link.h"

#include "serial/com_port_error.h"

#include <QDeadlineTimer>

Rfc2217Link::Rfc2217Link(const QString& host, quint16 port, const QString& name, const ComPortLine& line,
                         QObject* parent)
    : TcpLink(host, port, name, parent), m_line(line)
{
}

void Rfc2217Link::afterConnect()
{
    m_session = TelnetSession();
    QDeadlineTimer deadline(kNegotiationTimeoutMs);
    writeRaw(m_session.start(), deadline);
    // The line settings are sent once the server has agreed to port control;
    // it answers each of them with the value now in force.
    bool settingsSent = false;
    while (!deadline.hasExpired()) {
        if (m_session.comPortRefused())
            throw failure(
                kComErrOpen,
                {LinkReasonCode::PortControlRefused, "the server refuses RFC 2217 port control", {}});
        if (m_session.comPortAccepted() && !settingsSent) {
            writeRaw(TelnetSession::comPortSettings(m_line), deadline);
            settingsSent = true;
        }
        if (settingsSent && m_session.confirmedSettings() >= 4)
            break;
        waitForIncoming(int(std::max<qint64>(deadline.remainingTime(), 1)));
        throwPendingLoss();
    }
    if (!m_session.comPortAccepted())
        throw failure(
            kComErrOpen,
            {LinkReasonCode::PortControlSilent, "the server does not answer RFC 2217 port control", {}});
    if (m_session.confirmedSettings() < 4)
        throw failure(
            kComErrSetState,
            {LinkReasonCode::LineNotConfirmed, "the server does not confirm the line settings", {}});
    // A server may keep a setting its device cannot take and report the one
    // in force: a meter would then be read at the wrong framing.
    const ComPortLine& server = m_session.serverLine();
    const struct {
        const char* what;
        uint32_t asked;
        uint32_t confirmed;
    } settings[] = {
        {"baud rate", m_line.baudRate, server.baudRate},
        {"data size", m_line.dataSize, server.dataSize},
        {"parity", m_line.parity, server.parity},
        {"stop size", m_line.stopSize, server.stopSize},
    };
    for (const auto& setting : settings) {
        if (setting.asked == setting.confirmed)
            continue;
        const std::string confirmed = std::to_string(setting.confirmed);
        const std::string asked = std::to_string(setting.asked);
        throw failure(kComErrSetState, {LinkReasonCode::LineDiffers,
                                        std::string("the server runs the line with ") + setting.what + " " +
                                            confirmed + " instead of " + asked,
                                        {setting.what, confirmed, asked}});
    }
}

void Rfc2217Link::takeIncoming(ByteView raw, Bytes& data)
{
    Bytes answer;
    m_session.receive(raw, data, answer);
    queueRaw(answer);
}

Bytes Rfc2217Link::outgoing(ByteView data)
{
    return TelnetSession::escape(data);
}
