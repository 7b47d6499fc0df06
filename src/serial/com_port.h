// A local serial device over Qt's serial port: "COM3", "ttyUSB0" or any path
// such as "/dev/pts/4". Network port names reach other links (see
// serial/link_factory.h), which open, fail and read as this one does.
//
// Every line setting is applied to the device when it is opened: Qt 6.4 can fail
// to change parity on an open pseudo-terminal, so changing a line setting of an
// open port closes and reopens it. Received bytes only reach Qt's buffer while
// events are processed, which WaitingByteCount does before counting. No flow
// control; DTR and RTS are held off.
//
// A port that goes away (adapter unplugged, other end of a pseudo-terminal
// closed) or a write that fails ends the connection: the port closes itself at
// once, emits ConnectionLost once, and the next operation the caller makes throws
// the failure as ComPortError once; after that the port simply reads as closed.
// Operations on a closed port do nothing (count 0, no bytes), except SendBytes,
// which throws error 2 since the bytes cannot go out.
#pragma once

#include "serial/byte_link.h"
#include "serial/line_settings.h"

#include <QObject>
#include <QSerialPort>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class ComPort : public QObject, public ByteLink {
    Q_OBJECT
public:
    explicit ComPort(QObject* parent = nullptr);
    // Closes the port if open; errors at this last close are ignored.
    ~ComPort() override;

    QString port() const { return m_port; }
    void setPort(const QString& port);
    // Baud rate, data bits, parity and stop bits; the echo and the response
    // timeout are no concern of the port.
    const LineSettings& line() const { return m_line; }
    void setLine(const LineSettings& line);

    bool connected() const override;

    // Nothing when already open. Error 7 (port left closed) for line settings
    // the device or this platform cannot take, such as 1.5 stop bits outside
    // Windows; error 1 with the system's code when the device cannot be opened
    // (absent, or held by another program), error 1 "… is not a serial port"
    // for a file, folder, pipe or other device; error 8 when the device has not
    // opened within the open timeout (the attempt is left behind and closes the
    // device should it ever open). Input left over from before the opening is
    // discarded. Events other than the operator's are processed meanwhile.
    void openPort();
    // Nothing when closed. Waits at most kCloseTimeoutMs for the device.
    void close() override;

    static constexpr int kOpenTimeoutMs = 5000;
    static constexpr int kCloseTimeoutMs = 3000;
    void setOpenTimeoutMs(int ms) { m_openTimeoutMs = ms; }
    // Runs on the opening thread just before the device is opened: a test
    // stands in for a driver that blocks there.
    void setBeforeOpen(std::function<void()> hook) { m_beforeOpen = std::move(hook); }

    // What Qt may hold of received bytes not read yet.
    static constexpr qint64 kReadBufferBytes = 64 * 1024;
    // A write may take this long plus kWriteMsPerByte per byte before it counts
    // as failed.
    static constexpr int kWriteTimeoutMs = 1000;
    static constexpr int kWriteMsPerByte = 100;

    // ByteLink: purges both directions.
    void purgeBuffers() override { purgeBuffers(true, true); }
    // Error 5 when the driver refuses.
    void purgeBuffers(bool input, bool output);
    // Writes every byte and waits until the write has completed, at most
    // kWriteTimeoutMs + kWriteMsPerByte per byte. An empty string touches
    // nothing. A failed or timed-out write ends the connection: error 2.
    void sendBytes(ByteView bytes) override;
    // Processes pending events so bytes that have arrived are counted.
    int waitingByteCount() override;
    // Up to `count` bytes of those already received, never waiting for more;
    // empty for a count of 0 or less.
    Bytes receiveBytes(int count) override;

signals:
    // Emitted once when the connection ends by itself, before the next operation
    // throws the loss; `message` is the ComPortError's text, `reason` its cause
    // alone (EIO, "Input/output error"): what an operator is shown, as the
    // error's own wording names calls of another platform. For state displays:
    // the message box belongs to whoever catches the exception.
    void connectionLost(const QString& message, const LinkReason& reason);

private:
    struct OpenAttempt;
    // Closes and lets go of the device on a thread of its own, waiting for it
    // at most kCloseTimeoutMs; `keepDrawing` processes non-input events meanwhile.
    void shutDown(bool keepDrawing);
    // A line setting changed: an open port is closed and reopened with it.
    void reopenIfOpen();
    void handleSerialError(QSerialPort::SerialPortError error);
    // Closes after a loss that happened inside Qt's own call stack.
    void closeAfterLoss();
    // Throws the loss once, if one is pending.
    void throwPendingLoss();
    void loseConnection(int errorNumber, int systemErrorNumber);
    // The loss with a reason in words even when no system code was left.
    ComPortError lossError(int errorNumber, int systemErrorNumber) const;

    // Created anew by each opening, on the opening thread.
    std::unique_ptr<QSerialPort> m_serial;
    int m_openTimeoutMs = kOpenTimeoutMs;
    std::function<void()> m_beforeOpen;
    QString m_port = QStringLiteral("COM1");
    LineSettings m_line;
    std::optional<ComPortError> m_pendingLoss;
    bool m_losing = false;
};
