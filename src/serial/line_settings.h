// How a line is run: the character framing a port or a serial device server is
// set to, whether the adapter's echo is removed, and how long a fast read waits
// for a reply. The same value goes to the link when it opens and to the
// exchange, whose timing follows the line's character time.
#pragma once

#include "serial/com_types.h"

#include <cstddef>

// Nothing within this long is no reply, unless the caller gives another (a slow
// network path to the meter needs more).
inline constexpr int kFastResponseTimeoutMs = 1000;

struct LineSettings {
    int baudRate = 9600;
    int dataBits = 8; // 5 to 8
    ParityIndex parity = ParityIndex::Odd;
    StopBitsIndex stopBits = StopBitsIndex::One;
    // Remove the echo of each request (two-wire adapters that hear themselves).
    bool echo = false;
    int responseTimeoutMs = kFastResponseTimeoutMs;

    // A start bit, the data bits, the parity bit when there is one, the stop bits.
    double bitsPerCharacter() const;
    // How long `byteCount` characters take on the line, rounded up to whole
    // milliseconds; 0 without a baud rate.
    int wireTimeMs(size_t byteCount) const;
    // 3.5 character times, rounded up to whole milliseconds (at least 1 ms): the
    // gap that ends a Modbus RTU frame.
    int silenceGapMs() const;

    bool operator==(const LineSettings&) const = default;
};
