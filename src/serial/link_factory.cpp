#include "serial/link_factory.h"

#include "serial/com_error.h"
#include "serial/rfc2217_link.h"

namespace {

const QString kTcpPrefix = QStringLiteral("tcp://");
const QString kRfc2217Prefix = QStringLiteral("rfc2217://");
const QString kModbusTcpPrefix = QStringLiteral("mbtcp://");
constexpr quint16 kModbusTcpPort = 502;

const QString& PrefixOf(NetworkScheme scheme)
{
    return scheme == NetworkScheme::RawTcp    ? kTcpPrefix
           : scheme == NetworkScheme::Rfc2217 ? kRfc2217Prefix
                                              : kModbusTcpPrefix;
}

ComPortLine RfcLine(const NetworkLineSettings& line)
{
    ComPortLine rfc;
    rfc.baudRate = uint32_t(line.baudRate > 0 ? line.baudRate : 9600);
    rfc.dataSize = uint8_t(DataBitsValue(line.dataBits));
    // Our parity ordinals count from none = 0; RFC 2217 from none = 1.
    rfc.parity = uint8_t(int(line.parity) + 1);
    rfc.stopSize = line.stopBits == sbTwoStopBits ? 2 : line.stopBits == sbOne5StopBits ? 3 : 1;
    return rfc;
}

} // namespace

std::optional<NetworkScheme> NetworkSchemeOf(const QString& name)
{
    if (name.startsWith(kTcpPrefix, Qt::CaseInsensitive))
        return NetworkScheme::RawTcp;
    if (name.startsWith(kRfc2217Prefix, Qt::CaseInsensitive))
        return NetworkScheme::Rfc2217;
    if (name.startsWith(kModbusTcpPrefix, Qt::CaseInsensitive))
        return NetworkScheme::ModbusTcp;
    return std::nullopt;
}

bool IsNetworkPortName(const QString& name)
{
    return NetworkSchemeOf(name).has_value();
}

std::optional<NetworkAddress> ParseNetworkPortName(const QString& name)
{
    const std::optional<NetworkScheme> scheme = NetworkSchemeOf(name);
    if (!scheme)
        return std::nullopt;
    NetworkAddress address;
    address.scheme = *scheme;
    QString rest = name.mid(PrefixOf(*scheme).size()).trimmed();
    if (rest.endsWith(QLatin1Char('/')))
        rest.chop(1);
    if (*scheme == NetworkScheme::ModbusTcp && !rest.isEmpty() &&
        !(rest.startsWith(QLatin1Char('[')) ? rest.contains(QStringLiteral("]:"))
                                            : rest.contains(QLatin1Char(':'))))
        rest += QStringLiteral(":%1").arg(kModbusTcpPort);
    const qsizetype colon = rest.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return std::nullopt;
    QString host = rest.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    bool ok = false;
    const uint port = rest.mid(colon + 1).toUInt(&ok);
    if (host.isEmpty() || !ok || port < 1 || port > 65535)
        return std::nullopt;
    address.host = host;
    address.port = quint16(port);
    return address;
}

std::unique_ptr<TcpLink> MakeNetworkLink(const QString& name, const NetworkLineSettings& line)
{
    const std::optional<NetworkAddress> address = ParseNetworkPortName(name);
    if (!address)
        throw EComPort(kComErrOpen, std::string(ComErrorText(kComErrOpen)) + ": " + name.toStdString() +
                                        " is no address of the form HOST:PORT");
    if (address->scheme == NetworkScheme::Rfc2217)
        return std::make_unique<Rfc2217Link>(address->host, address->port, name, RfcLine(line));
    return std::make_unique<TcpLink>(address->host, address->port, name);
}
