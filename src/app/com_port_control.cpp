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
    const int baud =
        baudRateValue(static_cast<BaudRateIndex>(ordinal(settings.baudRate, kBaudRateCount, br9600)));
    line.baudRate = baud > 0 ? baud : 9600;
    line.dataBits =
        dataBitsValue(static_cast<DataBitsIndex>(ordinal(settings.dataBits, kDataBitsCount, dbEight)));
    line.stopBits = static_cast<StopBitsIndex>(ordinal(settings.stopBits, kStopBitsCount, sbOneStopBit));
    line.parity = static_cast<ParityIndex>(ordinal(settings.parity, kParityBitsCount, prOdd));
    line.echo = settings.echo;
    return line;
}

void ComPortControl::openPort()
{
    if (m_link.connected())
        return;
    // The window removes the echo itself, so that it can be switched on an open port.
    ::LineSettings line = lineSettingsOf(m_settings);
    line.echo = false;
    LinkHooks hooks;
    hooks.lost = [this](const QString&, const LinkReason& reason) {
        if (m_lost)
            m_lost(reason);
    };
    m_link.open(m_settings.comPort, line, hooks);
}

void ComPortControl::setLineSettings(const PortSettings& settings)
{
    PortSettings clamped;
    clamped.comPort = settings.comPort;
    clamped.baudRate = ordinal(settings.baudRate, kBaudRateCount, br9600);
    clamped.dataBits = ordinal(settings.dataBits, kDataBitsCount, dbEight);
    clamped.stopBits = ordinal(settings.stopBits, kStopBitsCount, sbOneStopBit);
    clamped.parity = ordinal(settings.parity, kParityBitsCount, prOdd);
    if (clamped == m_settings)
        return;
    m_settings = clamped;
    if (!m_link.connected())
        return;
    m_link.close();
    openPort();
}
