// Port names that reach a serial device server over the network instead of a
// local serial device: "tcp://HOST:PORT" (raw TCP, bytes pass unchanged) and
// "rfc2217://HOST:PORT" (Telnet with RFC 2217 port control) and
// "mbtcp://HOST[:PORT]" (raw TCP to a Modbus TCP server, port 502 unless
// given; the Modbus layer frames for it). Every other name is a serial device.
#pragma once

#include "serial/com_types.h"
#include "serial/tcp_link.h"

#include <QString>

#include <memory>
#include <optional>

enum class NetworkScheme { RawTcp, Rfc2217, ModbusTcp };

struct NetworkAddress {
    NetworkScheme scheme = NetworkScheme::RawTcp;
    QString host;
    quint16 port = 0;
};

// The scheme a name starts with ("tcp://", "rfc2217://", "mbtcp://", any case), also
// when the rest is malformed or still being typed: such a name is never a
// serial device. nullopt for serial names.
std::optional<NetworkScheme> NetworkSchemeOf(const QString& name);
bool IsNetworkPortName(const QString& name);
// The address of a network port name; nullopt for serial names and for
// malformed ones (no host, a port outside 1..65535). IPv6 hosts go in
// brackets: "tcp://[::1]:4001".
std::optional<NetworkAddress> ParseNetworkPortName(const QString& name);

// Line settings as a serial device server needs them.
struct NetworkLineSettings {
    int baudRate = 9600;
    TDataBits dataBits = dbEight;
    TParityBits parity = prOdd;
    TStopBits stopBits = sbOneStopBit;
};

// The link a network port name calls for, not yet open; the line settings
// only matter to RFC 2217. Throws EComPort error 1 for a malformed name.
std::unique_ptr<TcpLink> MakeNetworkLink(const QString& name, const NetworkLineSettings& line);
