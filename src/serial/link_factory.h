// Every byte link a port name can call for: "tcp://HOST:PORT" (raw TCP to a
// serial device server, bytes pass unchanged), "rfc2217://HOST:PORT" (Telnet
// with RFC 2217 port control, the line settings go to the server),
// "mbtcp://HOST[:PORT]" (raw TCP to a Modbus TCP server, port 502 unless
// given; the Modbus layer frames for it), and every other name a local serial
// device. A new transport is one more scheme here.
#pragma once

#include "serial/byte_link.h"
#include "serial/line_settings.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>

enum class NetworkScheme { RawTcp, Rfc2217, ModbusTcp };

struct NetworkAddress {
    NetworkScheme scheme = NetworkScheme::RawTcp;
    QString host;
    quint16 port = 0;
};

// The scheme a name starts with ("tcp://", "rfc2217://", "mbtcp://", any case), also
// when the rest is malformed or still being typed: such a name is never a
// serial device. nullopt for serial names.
std::optional<NetworkScheme> networkSchemeOf(const QString& name);
bool isNetworkPortName(const QString& name);
// True for links that never echo a request (Modbus TCP: the gateway talks to
// the line itself), whose echo removal would take the reply for the echo.
bool hasNoEcho(const QString& name);
// The address of a network port name; nullopt for serial names and for
// malformed ones (no host, a port outside 1..65535). IPv6 hosts go in
// brackets: "tcp://[::1]:4001".
std::optional<NetworkAddress> parseNetworkPortName(const QString& name);

struct LinkHooks {
    // The connection ended by itself; `message` is the error the link's next
    // operation throws, `reason` its cause alone, for operators.
    std::function<void(const QString& message, const LinkReason& reason)> lost;
    // With echo removal: the log line of an echo that differs from the request.
    std::function<void(const std::string& line)> echoMismatch;
};

// Opens the link `name` calls for with the line settings, behind echo removal
// when `line.echo` is set and the link can echo at all. Throws ComPortError as the serial port's opening
// does: error 1 for a device or server that cannot be reached (or a malformed network name), error 7 for line
// settings that cannot be applied.
std::unique_ptr<ByteLink> openLink(const QString& name, const LineSettings& line,
                                   const LinkHooks& hooks = {});

// A link that is opened and closed again by its owner, who hands the slot to
// an exchange once: between openings it reads as a closed serial port (count 0,
// no bytes, SendBytes error 2).
class LinkSlot : public ByteLink {
public:
    // Closes what was open first; on failure the slot stays closed.
    void open(const QString& name, const LineSettings& line, const LinkHooks& hooks = {});
    bool connected() const override { return m_link && m_link->connected(); }
    // The closed link is kept until the next opening: this may be called from
    // inside its loss report.
    void close() override;
    void purgeBuffers() override;
    void sendBytes(ByteView bytes) override;
    int waitingByteCount() override;
    Bytes receiveBytes(int count) override;
    bool echoFailed() const override { return m_link && m_link->echoFailed(); }

private:
    std::unique_ptr<ByteLink> m_link;
};
