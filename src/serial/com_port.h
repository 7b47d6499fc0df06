// The serial port object (`ComPort1` of the main window), over Qt's serial port.
// A port name of the form "tcp://HOST:PORT" or "rfc2217://HOST:PORT" reaches a
// serial device server instead (see serial/link_factory.h): the port then
// opens, fails, loses its connection and reads exactly as described below, and
// RFC 2217 sends the line settings to the server.
//
// Every line setting is applied to the device when it is opened: Qt 6.4 can fail
// to change parity on an open pseudo-terminal, so changing a line setting of an
// open port closes and reopens it. Received bytes only reach Qt's buffer while
// events are processed, which WaitingByteCount does before counting.
//
// A port that goes away (adapter unplugged, other end of a pseudo-terminal
// closed) or a write that fails ends the connection: the port closes itself at
// once, emits ConnectionLost once, and the next operation the caller makes throws
// the failure as EComPort once; after that the port simply reads as closed.
// Operations on a closed port do nothing (count 0, no bytes), except SendBytes,
// which throws error 2 since the bytes cannot go out.
#pragma once

#include "serial/byte_link.h"
#include "serial/com_types.h"

#include <QObject>
#include <QSerialPort>
#include <QString>

#include <memory>
#include <optional>

class TcpLink;

class TComPort : public QObject, public ByteLink {
    Q_OBJECT
public:
    explicit TComPort(QObject* parent = nullptr);
    // Closes the port if open; errors at this last close are ignored.
    ~TComPort() override;

    // Device name: "COM3", "ttyUSB0" or any path such as "/dev/pts/4"; or a
    // network name "tcp://HOST:PORT", "rfc2217://HOST:PORT".
    QString Port() const { return FPort; }
    void SetPort(const QString& port);
    TBaudRate BaudRate() const { return FBaudRate; }
    void SetBaudRate(TBaudRate baudRate);
    int CustomBaudRate() const { return FCustomBaudRate; }
    void SetCustomBaudRate(int baud);
    TDataBits DataBits() const { return FDataBits; }
    void SetDataBits(TDataBits dataBits);
    TStopBits StopBits() const { return FStopBits; }
    void SetStopBits(TStopBits stopBits);
    TParityBits ParityBits() const { return FParityBits; }
    void SetParityBits(TParityBits bits);

    TComParity& Parity() { return FParity; }
    const TComParity& Parity() const { return FParity; }
    TComFlowControl& FlowControl() { return FFlowControl; }
    const TComFlowControl& FlowControl() const { return FFlowControl; }
    TComTimeouts& Timeouts() { return FTimeouts; }
    const TComTimeouts& Timeouts() const { return FTimeouts; }
    TComBuffer& Buffer() { return FBuffer; }
    const TComBuffer& Buffer() const { return FBuffer; }

    // Kept for completeness; nothing in the system reacts to port events and no
    // event-watching thread is started.
    bool DiscardNull = false;
    uint8_t EventChar = 0;
    TComEvents Events = kAllComEvents;
    TSyncMethod SyncMethod = smThreadSync;

    bool Connected() const override;

    // Nothing when already open. Error 7 (port left closed) for line settings
    // the device or this platform cannot take, such as 1.5 stop bits outside
    // Windows; error 1 with the system's code when the device cannot be opened
    // (absent, or held by another program), error 1 "… is not a serial port"
    // for a file, folder, pipe or other device; for a network name error 1 with
    // the reason (refused, unknown host, no answer). Input left over from before
    // the opening is discarded.
    void OpenPort();
    // Nothing when closed.
    void ClosePort();

    // What Qt may hold of received bytes not read yet.
    static constexpr qint64 kReadBufferBytes = 64 * 1024;

    // ByteLink: purges both directions.
    void PurgeBuffers() override { PurgeBuffers(true, true); }
    // Error 5 when the driver refuses.
    void PurgeBuffers(bool input, bool output);
    // Writes every byte and waits until the write has completed, at most
    // WriteTotalConstant + WriteTotalMultiplier per byte. An empty string touches
    // nothing. A failed or timed-out write ends the connection: error 2.
    void SendBytes(ByteView bytes) override;
    // Processes pending events so bytes that have arrived are counted.
    int WaitingByteCount() override;
    // Up to `count` bytes of those already received, never waiting for more;
    // empty for a count of 0 or less.
    Bytes ReceiveBytes(int count) override;

signals:
    // Emitted once when the connection ends by itself, before the next operation
    // throws the loss; `message` is the EComPort's text, `reason` the system's or
    // the network's reason alone, in words ("Input/output error"): what an
    // operator is shown, as the error's own wording names calls of another
    // platform. For state displays: the message box belongs to whoever catches
    // the exception.
    void ConnectionLost(const QString& message, const QString& reason);

private:
    // A line setting changed: an open port is closed and reopened with it.
    void ReopenIfOpen();
    void HandleSerialError(QSerialPort::SerialPortError error);
    // Closes after a loss that happened inside Qt's own call stack.
    void CloseAfterLoss();
    // Throws the loss once, if one is pending.
    void ThrowPendingLoss();
    void LoseConnection(int errorNumber, int systemErrorNumber);
    // The loss with a reason in words even when no system code was left.
    EComPort LossError(int errorNumber, int systemErrorNumber) const;
    void OpenNetworkLink();

    // Set while a network port name is open (kept after a loss until the next
    // opening, as the loss is told from inside it).
    std::unique_ptr<TcpLink> FNetwork;

    QSerialPort FSerial;
    QString FPort = QStringLiteral("COM1");
    TBaudRate FBaudRate = br9600;
    int FCustomBaudRate = 9600;
    TDataBits FDataBits = dbEight;
    TStopBits FStopBits = sbOneStopBit;
    TParityBits FParityBits = prNone;
    TComParity FParity{*this};
    TComFlowControl FFlowControl;
    TComTimeouts FTimeouts;
    TComBuffer FBuffer;
    std::optional<EComPort> FPendingLoss;
    bool FLosing = false;
};
