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

    ByteLink& link() override { return m_link; }
    void openPort() override;
    void closePort() override { m_link.close(); }
    bool connected() const override { return m_link.connected(); }
    PortSettings lineSettings() const override { return m_settings; }
    // An open port is closed and opened again with the new settings.
    void setLineSettings(const PortSettings& settings) override;
    void setConnectionLostHandler(std::function<void(const LinkReason& reason)> lost) override
    {
        m_lost = std::move(lost);
    }

private:
    LinkSlot m_link;
    PortSettings m_settings;
    std::function<void(const LinkReason& reason)> m_lost;
};
