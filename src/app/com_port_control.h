// PortControl over the links a port name can call for: a serial device or a
// serial device server, opened anew with the current settings each time.
#pragma once

#include "app/port_control.h"
#include "serial/link_factory.h"

class ComPortControl : public PortControl {
public:
    ComPortControl() = default;
    ComPortControl(const ComPortControl&) = delete;
    ComPortControl& operator=(const ComPortControl&) = delete;

    ByteLink& Link() override { return FLink; }
    void OpenPort() override;
    void ClosePort() override { FLink.Close(); }
    bool Connected() const override { return FLink.Connected(); }
    PortSettings LineSettings() const override { return FSettings; }
    // An open port is closed and opened again with the new settings.
    void SetLineSettings(const PortSettings& settings) override;
    void SetConnectionLostHandler(std::function<void(const QString& reason)> lost) override
    {
        FLost = std::move(lost);
    }

private:
    LinkSlot FLink;
    PortSettings FSettings;
    std::function<void(const QString& reason)> FLost;
};
