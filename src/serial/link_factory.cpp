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

const QString& prefixOf(NetworkScheme scheme)
{
    return scheme == NetworkScheme::RawTcp    ? kTcpPrefix
           : scheme == NetworkScheme::Rfc2217 ? kRfc2217Prefix
                                              : kModbusTcpPrefix;
}

ComPortLine rfcLine(const LineSettings& line)
{
    ComPortLine rfc;
    rfc.baudRate = uint32_t(line.baudRate > 0 ? line.baudRate : 9600);
    rfc.dataSize = uint8_t(line.dataBits);
    // Our parity ordinals count from none = 0; RFC 2217 from none = 1.
    rfc.parity = uint8_t(int(line.parity) + 1);
    rfc.stopSize = line.stopBits == StopBitsIndex::Two          ? 2
                   : line.stopBits == StopBitsIndex::OneAndHalf ? 3
                                                                : 1;
    return rfc;
}

std::unique_ptr<ByteLink> openNetworkLink(const QString& name, const LineSettings& line,
                                          const LinkHooks& hooks)
{
    const std::optional<NetworkAddress> address = parseNetworkPortName(name);
    if (!address)
        throw ComPortError(kComErrOpen,
                           std::string(comErrorText(kComErrOpen)) + ": " + name.toStdString() +
                               " is no address of the form HOST:PORT",
                           -1, {LinkReasonCode::NoNetworkAddress, {}, {name.toStdString()}});
    std::unique_ptr<TcpLink> link;
    if (address->scheme == NetworkScheme::Rfc2217)
        link = std::make_unique<Rfc2217Link>(address->host, address->port, name, rfcLine(line));
    else
        link = std::make_unique<TcpLink>(address->host, address->port, name);
    if (hooks.lost)
        QObject::connect(link.get(), &TcpLink::connectionLost, hooks.lost);
    link->open();
    return link;
}

std::unique_ptr<ByteLink> openSerialLink(const QString& name, const LineSettings& line,
                                         const LinkHooks& hooks)
{
    auto port = std::make_unique<ComPort>();
    port->setPort(name);
    port->setLine(line);
    if (hooks.lost)
        QObject::connect(port.get(), &ComPort::connectionLost, hooks.lost);
    port->openPort();
    return port;
}

} // namespace

std::optional<NetworkScheme> networkSchemeOf(const QString& name)
{
    if (name.startsWith(kTcpPrefix, Qt::CaseInsensitive))
        return NetworkScheme::RawTcp;
    if (name.startsWith(kRfc2217Prefix, Qt::CaseInsensitive))
        return NetworkScheme::Rfc2217;
    if (name.startsWith(kModbusTcpPrefix, Qt::CaseInsensitive))
        return NetworkScheme::ModbusTcp;
    return std::nullopt;
}

bool isNetworkPortName(const QString& name)
{
    return networkSchemeOf(name).has_value();
}

bool hasNoEcho(const QString& name)
{
    return networkSchemeOf(name.trimmed()) == NetworkScheme::ModbusTcp;
}

std::optional<NetworkAddress> parseNetworkPortName(const QString& name)
{
    const std::optional<NetworkScheme> scheme = networkSchemeOf(name);
    if (!scheme)
        return std::nullopt;
    NetworkAddress address;
    address.scheme = *scheme;
    QString rest = name.mid(prefixOf(*scheme).size()).trimmed();
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

std::unique_ptr<ByteLink> openLink(const QString& name, const LineSettings& line, const LinkHooks& hooks)
{
    std::unique_ptr<ByteLink> link =
        isNetworkPortName(name) ? openNetworkLink(name, line, hooks) : openSerialLink(name, line, hooks);
    if (!line.echo || hasNoEcho(name))
        return link;
    auto echoRemoval = std::make_unique<EchoRemovingLink>(std::move(link));
    echoRemoval->setEnabled(true);
    echoRemoval->setMismatchReport(hooks.echoMismatch);
    return echoRemoval;
}

void LinkSlot::open(const QString& name, const LineSettings& line, const LinkHooks& hooks)
{
    m_link.reset();
    m_link = openLink(name, line, hooks);
}

void LinkSlot::close()
{
    if (m_link)
        m_link->close();
}

void LinkSlot::purgeBuffers()
{
    if (m_link)
        m_link->purgeBuffers();
}

void LinkSlot::sendBytes(ByteView bytes)
{
    if (bytes.empty())
        return;
    if (!m_link)
        throw makeComError(kComErrWrite);
    m_link->sendBytes(bytes);
}

int LinkSlot::waitingByteCount()
{
    return m_link ? m_link->waitingByteCount() : 0;
}

Bytes LinkSlot::receiveBytes(int count)
{
    return m_link ? m_link->receiveBytes(count) : Bytes();
}
