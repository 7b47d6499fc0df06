#include "app/com_port_control.h"

#include "serial/com_port.h"

namespace {

// Clamps an ordinal from a file or a dialog into its enumeration.
template <class E> E Ordinal(int value, int count, E fallback)
{
    return value >= 0 && value < count ? static_cast<E>(value) : fallback;
}

} // namespace

ComPortControl::~ComPortControl()
{
    QObject::disconnect(FLostConnection);
}

ByteLink& ComPortControl::Link()
{
    return FPort;
}

void ComPortControl::OpenPort()
{
    FPort.OpenPort();
}

void ComPortControl::ClosePort()
{
    FPort.ClosePort();
}

bool ComPortControl::Connected() const
{
    return FPort.Connected();
}

PortSettings ComPortControl::LineSettings() const
{
    PortSettings settings;
    settings.ComPort = FPort.Port();
    settings.BaudRate = FPort.BaudRate();
    settings.DataBits = FPort.DataBits();
    settings.StopBits = FPort.StopBits();
    settings.Parity = FPort.ParityBits();
    return settings;
}

void ComPortControl::SetLineSettings(const PortSettings& settings)
{
    // Port name, baud rate, data bits, stop bits, parity: the order the
    // settings file applies them in.
    FPort.SetPort(settings.ComPort);
    FPort.SetBaudRate(Ordinal(settings.BaudRate, kBaudRateCount, br9600));
    FPort.SetDataBits(Ordinal(settings.DataBits, kDataBitsCount, dbEight));
    FPort.SetStopBits(Ordinal(settings.StopBits, kStopBitsCount, sbOneStopBit));
    FPort.SetParityBits(Ordinal(settings.Parity, kParityBitsCount, prOdd));
}

void ComPortControl::SetConnectionLostHandler(std::function<void(const QString& reason)> lost)
{
    QObject::disconnect(FLostConnection);
    if (lost)
        FLostConnection = QObject::connect(
            &FPort, &TComPort::ConnectionLost,
            [lost = std::move(lost)](const QString&, const QString& reason) { lost(reason); });
}
