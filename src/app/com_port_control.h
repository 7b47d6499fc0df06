// PortControl over the program's serial port object.
#pragma once

#include "app/port_control.h"

class TComPort;

class ComPortControl : public PortControl {
public:
    // `port` must outlive the adapter.
    explicit ComPortControl(TComPort& port) : FPort(port) {}

    ByteLink& Link() override;
    void OpenPort() override;
    void ClosePort() override;
    bool Connected() const override;
    PortSettings LineSettings() const override;
    void SetLineSettings(const PortSettings& settings) override;

private:
    TComPort& FPort;
};
