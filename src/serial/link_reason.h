// Why a link failed or ended, as a value: what kind of cause it was, the words
// the command-line reader prints for it (ours in English, or the system's), and
// what those words name. Windows put their own words to the code; nothing reads
// the text back to learn the cause.
#pragma once

#include <string>
#include <vector>

enum class LinkReasonCode {
    Other, // only the text says: shown as the system gave it
    // Causes the operating system reports.
    NoSuchDevice,
    PermissionDenied,
    DeviceBusy,
    ConnectionRefused,
    ConnectionReset,
    TimedOut,
    HostUnreachable,
    HostNotFound,
    IoError,
    // Our own.
    DeviceGone,         // a serial device that vanished while open
    NotSerialPort,      // args: the port name
    NoNetworkAddress,   // args: the port name
    ServerClosed,       // the server ended the connection
    ServerSilent,       // args: seconds waited for the connection
    ServerNotTaking,    // the server does not take the bytes sent
    NotConnected,       // a write on a network link not connected
    PortControlRefused, // the server refuses RFC 2217 port control
    PortControlSilent,  // the server does not answer RFC 2217 port control
    LineNotConfirmed,   // the server does not confirm the line settings
    LineDiffers,        // args: setting ("baud rate", "data size", "parity", "stop size"), in force, asked
};

struct LinkReason {
    LinkReasonCode code = LinkReasonCode::Other;
    std::string text; // may be empty when only the code is known
    std::vector<std::string> args;

    bool empty() const { return code == LinkReasonCode::Other && text.empty(); }
};

// The cause of an operating system error code (errno; Windows error codes on
// Windows), with the system's own words as its text; an empty reason for -1.
LinkReason systemReason(int systemErrorNumber);
