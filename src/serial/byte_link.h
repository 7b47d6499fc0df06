// The byte link the exchange talks to: the serial port in the program, an
// in-process simulated meter or a pseudo-terminal in tests. Methods other than
// Connected() throw ComPortError when the link fails (a port that vanished, a failed
// write); the caller reports it once and ends what it was doing.
#pragma once

#include "codec/codec.h"

#include <stdexcept>
#include <string>
#include <utility>

// ErrorNumber 1 to 7 (texts and the usual way to build one in serial/com_error.h);
// SystemErrorNumber is the operating system's code, -1 when the failure was not a
// system call's. Reason is the cause alone, in words ("Connection refused"),
// for messages that put it after their own first line; empty when unknown.
class ComPortError : public std::runtime_error {
public:
    ComPortError(int errorNumber, const std::string& message, int systemErrorNumber = -1,
                 std::string reason = {})
        : std::runtime_error(message), ErrorNumber(errorNumber), SystemErrorNumber(systemErrorNumber),
          Reason(std::move(reason))
    {
    }
    int ErrorNumber;
    int SystemErrorNumber;
    std::string Reason;
};

class ByteLink {
public:
    virtual ~ByteLink() = default;
    virtual bool Connected() const = 0;
    // Ends the connection; nothing when closed. The object stays usable and reads
    // as closed, so it may be called from inside the link's own loss report.
    virtual void Close() {}
    virtual void PurgeBuffers() = 0;
    virtual void SendBytes(ByteView bytes) = 0;
    virtual int WaitingByteCount() = 0;
    // Takes up to `count` waiting bytes (fewer when fewer are waiting).
    virtual Bytes ReceiveBytes(int count) = 0;
};
