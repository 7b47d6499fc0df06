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
    PortSettings portSettings() const override { return m_settings; }
    // An open port is closed and opened again with the new settings.
    void setPortSettings(const PortSettings& settings) override;
    void setConnectionLostHandler(std::function<void(const LinkReason& reason)> lost) override
    {
        m_lost = std::move(lost);
    }
    void setEchoMismatchReport(std::function<void(const std::string& line)> report) override
    {
        m_echoMismatch = std::move(report);
    }

private:
    LinkSlot m_link;
    PortSettings m_settings;
    std::function<void(const LinkReason& reason)> m_lost;
    std::function<void(const std::string& line)> m_echoMismatch;
};
