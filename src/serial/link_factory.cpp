#include "serial/link_factory.h"

#include "serial/com_port.h"
#include "serial/com_port_error.h"
#include "serial/echo_removing_link.h"
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

ComPortLine RfcLine(const LineSettings& line)
{
    ComPortLine rfc;
    rfc.baudRate = uint32_t(line.baudRate > 0 ? line.baudRate : 9600);
    rfc.dataSize = uint8_t(line.dataBits);
    // Our parity ordinals count from none = 0; RFC 2217 from none = 1.
    rfc.parity = uint8_t(int(line.parity) + 1);
    rfc.stopSize = line.stopBits == sbTwoStopBits ? 2 : line.stopBits == sbOne5StopBits ? 3 : 1;
    return rfc;
}

std::unique_ptr<ByteLink> OpenNetworkLink(const QString& name, const LineSettings& line,
                                          const LinkHooks& hooks)
{
    const std::optional<NetworkAddress> address = ParseNetworkPortName(name);
    if (!address)
        throw ComPortError(kComErrOpen, std::string(ComErrorText(kComErrOpen)) + ": " + name.toStdString() +
                                            " is no address of the form HOST:PORT");
    std::unique_ptr<TcpLink> link;
    if (address->scheme == NetworkScheme::Rfc2217)
        link = std::make_unique<Rfc2217Link>(address->host, address->port, name, RfcLine(line));
    else
        link = std::make_unique<TcpLink>(address->host, address->port, name);
    if (hooks.lost)
        QObject::connect(link.get(), &TcpLink::ConnectionLost, hooks.lost);
    link->Open();
    return link;
}

std::unique_ptr<ByteLink> OpenSerialLink(const QString& name, const LineSettings& line,
                                         const LinkHooks& hooks)
{
    auto port = std::make_unique<ComPort>();
    port->SetPort(name);
    port->SetLine(line);
    if (hooks.lost)
        QObject::connect(port.get(), &ComPort::ConnectionLost, hooks.lost);
    port->OpenPort();
    return port;
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

std::unique_ptr<ByteLink> OpenLink(const QString& name, const LineSettings& line, const LinkHooks& hooks)
{
    std::unique_ptr<ByteLink> link =
        IsNetworkPortName(name) ? OpenNetworkLink(name, line, hooks) : OpenSerialLink(name, line, hooks);
    if (!line.echo)
        return link;
    auto echoRemoval = std::make_unique<EchoRemovingLink>(std::move(link));
    echoRemoval->SetEnabled(true);
    echoRemoval->SetMismatchReport(hooks.echoMismatch);
    return echoRemoval;
}

void LinkSlot::Open(const QString& name, const LineSettings& line, const LinkHooks& hooks)
{
    m_link.reset();
    m_link = OpenLink(name, line, hooks);
}

void LinkSlot::Close()
{
    if (m_link)
        m_link->Close();
}

void LinkSlot::PurgeBuffers()
{
    if (m_link)
        m_link->PurgeBuffers();
}

void LinkSlot::SendBytes(ByteView bytes)
{
    if (bytes.empty())
        return;
    if (!m_link)
        throw MakeComError(kComErrWrite);
    m_link->SendBytes(bytes);
}

int LinkSlot::WaitingByteCount()
{
    return m_link ? m_link->WaitingByteCount() : 0;
}

Bytes LinkSlot::ReceiveBytes(int count)
{
    return m_link ? m_link->ReceiveBytes(count) : Bytes();
}
