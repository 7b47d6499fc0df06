// The byte link the exchange talks to: the serial port in the program, an
// in-process simulated meter or a pseudo-terminal in tests. Methods other than
// connected() throw ComPortError when the link fails (a port that vanished, a failed
// write); the caller reports it once and ends what it was doing.
#pragma once

#include "codec/codec.h"
#include "serial/link_reason.h"

#include <stdexcept>
#include <string>
#include <utility>

// ErrorNumber 1 to 8 (texts and the usual way to build one in serial/com_port_error.h);
// SystemErrorNumber is the operating system's code, -1 when the failure was not a
// system call's. Reason is the cause alone ("Connection refused"), for
// messages that put it after their own first line; empty when unknown.
class ComPortError : public std::runtime_error {
public:
    ComPortError(int errorNumber, const std::string& message, int systemErrorNumber = -1,
                 LinkReason reason = {})
        : std::runtime_error(message), errorNumber(errorNumber), systemErrorNumber(systemErrorNumber),
          reason(std::move(reason))
    {
    }
    int errorNumber;
    int systemErrorNumber;
    LinkReason reason;
};

class ByteLink {
public:
    virtual ~ByteLink() = default;
    virtual bool connected() const = 0;
    // Ends the connection; nothing when closed. The object stays usable and reads
    // as closed, so it may be called from inside the link's own loss report.
    virtual void close() {}
    virtual void purgeBuffers() = 0;
    virtual void sendBytes(ByteView bytes) = 0;
    virtual int waitingByteCount() = 0;
    // Takes up to `count` waiting bytes (fewer when fewer are waiting).
    virtual Bytes receiveBytes(int count) = 0;
    // True when echo removal found the echo of the last request differing from
    // it and dropped what followed: a reply may have come, so this is no timeout.
    virtual bool echoFailed() const { return false; }
};
