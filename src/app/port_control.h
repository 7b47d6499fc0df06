// What the port session needs of its port: the byte link the exchange talks
// to, opening and closing, and the line settings as the ordinals the settings
// file and the port settings dialog use. The program adapts the serial port;
// tests adapt an in-process simulated meter.
#pragma once

#include "serial/byte_link.h"
#include "serial/line_settings.h"
#include "settings/settings_file.h"

#include <QString>

#include <functional>
#include <string>

class PortControl {
public:
    virtual ~PortControl() = default;
    virtual ByteLink& link() = 0;
    // Both do nothing when already in that state; failures throw ComPortError and
    // leave the state as it was.
    virtual void openPort() = 0;
    virtual void closePort() = 0;
    virtual bool connected() const = 0;
    // Port name, line settings by ordinal (baud rate 7 = 9600, data bits
    // 3 = 8, stop bits 0 = 1, parity 1 = odd) and echo removal. The window sets
    // them only on a closed port.
    virtual PortSettings portSettings() const = 0;
    virtual void setPortSettings(const PortSettings& settings) = 0;
    // `lost` is called with the cause (EIO, the server closed the connection)
    // when the connection ends by itself (adapter unplugged), also while nobody
    // is using the port; an empty function stops the calls. Ports that cannot
    // get lost ignore it.
    virtual void setConnectionLostHandler(std::function<void(const LinkReason& reason)> lost) { (void)lost; }
    // With echo removal: the log line of an echo that differs from its request.
    virtual void setEchoMismatchReport(std::function<void(const std::string& line)> report) { (void)report; }
};

// The line the stored ordinals describe; ordinals outside their enumeration
// take the defaults (9600 baud, 8 data bits, 1 stop bit, odd parity), and a
// custom baud rate, which the window cannot enter, runs at 9600.
LineSettings lineSettingsOf(const PortSettings& settings);
