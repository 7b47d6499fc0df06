// PortControl over the program's serial port object.
#pragma once

#include "app/port_control.h"

#include <QMetaObject>

class TComPort;

class ComPortControl : public PortControl {
public:
    // `port` must outlive the adapter.
    explicit ComPortControl(TComPort& port) : FPort(port) {}
    ~ComPortControl() override;
    ComPortControl(const ComPortControl&) = delete;
    ComPortControl& operator=(const ComPortControl&) = delete;

    ByteLink& Link() override;
    void OpenPort() override;
    void ClosePort() override;
    bool Connected() const override;
    PortSettings LineSettings() const override;
    void SetLineSettings(const PortSettings& settings) override;
    void SetConnectionLostHandler(std::function<void(const QString& reason)> lost) override;

private:
    TComPort& FPort;
    QMetaObject::Connection FLostConnection;
};
