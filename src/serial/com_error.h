// Error numbers and message texts of EComPort. Header-only so that links other
// than the real port (the simulated meter's) raise the same errors.
#pragma once

#include "serial/byte_link.h"

#include <cstdio>
#include <string>
#include <system_error>

constexpr int kComErrOpen = 1;
constexpr int kComErrWrite = 2;
constexpr int kComErrRead = 3;
constexpr int kComErrAsync = 4;
constexpr int kComErrPurge = 5;
constexpr int kComErrSetState = 7;
constexpr int kComErrSetTimeouts = 8;
constexpr int kComErrSetupCom = 9;
constexpr int kComErrClearComm = 10;

// Text of an error number 1 to 23; empty for other numbers.
inline const char* ComErrorText(int errorNumber)
{
    static const char* const kTexts[] = {
        "Unable to open com port",
        "WriteFile function failed",
        "ReadFile function failed",
        "Invalid Async parameter",
        "PurgeComm function failed",
        "Unable to get async status",
        "SetCommState function failed",
        "SetCommTimeouts failed",
        "SetupComm function failed",
        "ClearCommError function failed",
        "GetCommModemStatus function failed",
        "EscapeCommFunction function failed",
        "TransmitCommChar function failed",
        "Cannot set property while connected",
        "EnumPorts function failed",
        "Failed to store settings",
        "Failed to load settings",
        "Link (un)registration failed",
        "Cannot change led state if ComPort is selected",
        "Cannot wait for event if event thread is created",
        "WaitForEvent method failed",
        "A component is linked to OnRxBuf event",
        "Registry error",
    };
    if (errorNumber < 1 || errorNumber > static_cast<int>(sizeof kTexts / sizeof kTexts[0]))
        return "";
    return kTexts[errorNumber - 1];
}

// The error's text followed by the operating system's code; the text alone when
// the failure was not a system call's (systemErrorNumber -1). The system's own
// reason follows in words ("No such file or directory", "Input/output error"):
// the first thing an operator needs to put it right.
inline std::string ComErrorMessage(int errorNumber, int systemErrorNumber)
{
    std::string message = ComErrorText(errorNumber);
    if (systemErrorNumber != -1) {
        char code[48];
#ifdef _WIN32
        std::snprintf(code, sizeof code, " (win error code: %d)", systemErrorNumber);
#else
        std::snprintf(code, sizeof code, " (system error code: %d)", systemErrorNumber);
#endif
        message += code;
        message += ": " + std::system_category().message(systemErrorNumber);
    }
    return message;
}

inline EComPort MakeComError(int errorNumber, int systemErrorNumber = -1)
{
    return EComPort(errorNumber, ComErrorMessage(errorNumber, systemErrorNumber), systemErrorNumber,
                    systemErrorNumber != -1 ? std::system_category().message(systemErrorNumber)
                                            : std::string());
}
