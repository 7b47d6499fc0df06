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

    ByteLink& Link() override { return m_link; }
    void OpenPort() override;
    void ClosePort() override { m_link.Close(); }
    bool Connected() const override { return m_link.Connected(); }
    PortSettings LineSettings() const override { return m_settings; }
    // An open port is closed and opened again with the new settings.
    void SetLineSettings(const PortSettings& settings) override;
    void SetConnectionLostHandler(std::function<void(const QString& reason)> lost) override
    {
        m_lost = std::move(lost);
    }

private:
    LinkSlot m_link;
    PortSettings m_settings;
    std::function<void(const QString& reason)> m_lost;
};
