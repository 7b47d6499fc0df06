#include "app/com_port_control.h"

namespace {

// Clamps an ordinal from a file or a dialog into its enumeration.
int Ordinal(int value, int count, int fallback)
{
    return value >= 0 && value < count ? value : fallback;
}

} // namespace

LineSettings LineSettingsOf(const PortSettings& settings)
{
    LineSettings line;
    const int baud =
        BaudRateValue(static_cast<BaudRateIndex>(Ordinal(settings.BaudRate, kBaudRateCount, br9600)));
    line.baudRate = baud > 0 ? baud : 9600;
    line.dataBits =
        DataBitsValue(static_cast<DataBitsIndex>(Ordinal(settings.DataBits, kDataBitsCount, dbEight)));
    line.stopBits = static_cast<StopBitsIndex>(Ordinal(settings.StopBits, kStopBitsCount, sbOneStopBit));
    line.parity = static_cast<ParityIndex>(Ordinal(settings.Parity, kParityBitsCount, prOdd));
    line.echo = settings.Echo;
    return line;
}

void ComPortControl::OpenPort()
{
    if (m_link.Connected())
        return;
    // The window removes the echo itself, so that it can be switched on an open port.
    ::LineSettings line = LineSettingsOf(m_settings);
    line.echo = false;
    LinkHooks hooks;
    hooks.lost = [this](const QString&, const QString& reason) {
        if (m_lost)
            m_lost(reason);
    };
    m_link.Open(m_settings.ComPort, line, hooks);
}

void ComPortControl::SetLineSettings(const PortSettings& settings)
{
    PortSettings clamped;
    clamped.ComPort = settings.ComPort;
    clamped.BaudRate = Ordinal(settings.BaudRate, kBaudRateCount, br9600);
    clamped.DataBits = Ordinal(settings.DataBits, kDataBitsCount, dbEight);
    clamped.StopBits = Ordinal(settings.StopBits, kStopBitsCount, sbOneStopBit);
    clamped.Parity = Ordinal(settings.Parity, kParityBitsCount, prOdd);
    if (clamped == m_settings)
        return;
    m_settings = clamped;
    if (!m_link.Connected())
        return;
    m_link.Close();
    OpenPort();
}
