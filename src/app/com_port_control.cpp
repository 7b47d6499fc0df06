#include "app/com_port_control.h"

namespace {

// Clamps an ordinal from a file or a dialog into its enumeration.
int ordinal(int value, int count, int fallback)
{
    return value >= 0 && value < count ? value : fallback;
}

} // namespace

LineSettings lineSettingsOf(const PortSettings& settings)
{
    LineSettings line;
    const int baud = baudRateValue(
        static_cast<BaudRateIndex>(ordinal(settings.baudRate, kBaudRateCount, int(BaudRateIndex::Baud9600))));
    line.baudRate = baud > 0 ? baud : 9600;
    line.dataBits = dataBitsValue(
        static_cast<DataBitsIndex>(ordinal(settings.dataBits, kDataBitsCount, int(DataBitsIndex::Eight))));
    line.stopBits =
        static_cast<StopBitsIndex>(ordinal(settings.stopBits, kStopBitsCount, int(StopBitsIndex::One)));
    line.parity = static_cast<ParityIndex>(ordinal(settings.parity, kParityBitsCount, int(ParityIndex::Odd)));
    line.echo = settings.echo;
    return line;
}

void ComPortControl::openPort()
{
    if (m_link.connected())
        return;
    LinkHooks hooks;
    hooks.lost = [this](const QString&, const LinkReason& reason) {
        if (m_lost)
            m_lost(reason);
    };
    hooks.echoMismatch = [this](const std::string& line) {
        if (m_echoMismatch)
            m_echoMismatch(line);
    };
    m_link.open(m_settings.comPort, lineSettingsOf(m_settings), hooks);
}

void ComPortControl::setPortSettings(const PortSettings& settings)
{
    PortSettings clamped;
    clamped.comPort = settings.comPort;
    clamped.baudRate = ordinal(settings.baudRate, kBaudRateCount, int(BaudRateIndex::Baud9600));
    clamped.dataBits = ordinal(settings.dataBits, kDataBitsCount, int(DataBitsIndex::Eight));
    clamped.stopBits = ordinal(settings.stopBits, kStopBitsCount, int(StopBitsIndex::One));
    clamped.parity = ordinal(settings.parity, kParityBitsCount, int(ParityIndex::Odd));
    clamped.echo = settings.echo;
    if (clamped == m_settings)
        return;
    m_settings = clamped;
    if (!m_link.connected())
        return;
    m_link.close();
    openPort();
}
