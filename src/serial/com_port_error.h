// Error numbers and message texts of ComPortError. Header-only so that links other
// than the real port (the simulated meter's) raise the same errors.
#pragma once

#include "serial/byte_link.h"

#include <cstdio>
#include <string>
#include <system_error>

constexpr int kComErrOpen = 1;
constexpr int kComErrWrite = 2;
constexpr int kComErrRead = 3;
constexpr int kComErrPurge = 5;
constexpr int kComErrSetState = 7;
// The device did not open in time: its driver blocks.
constexpr int kComErrOpenTimeout = 8;

// Text of an error number; empty for numbers no link raises.
inline const char* comErrorText(int errorNumber)
{
    switch (errorNumber) {
    case kComErrOpen:
        return "Unable to open com port";
    case kComErrWrite:
        return "WriteFile function failed";
    case kComErrRead:
        return "ReadFile function failed";
    case kComErrPurge:
        return "PurgeComm function failed";
    case kComErrSetState:
        return "SetCommState function failed";
    case kComErrOpenTimeout:
        return "Timed out opening com port";
    }
    return "";
}

// The error's text followed by the operating system's code; the text alone when
// the failure was not a system call's (systemErrorNumber -1). The system's own
// reason follows in words ("No such file or directory", "Input/output error"):
// the first thing an operator needs to put it right.
inline std::string comErrorMessage(int errorNumber, int systemErrorNumber)
{
    std::string message = comErrorText(errorNumber);
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

inline ComPortError makeComError(int errorNumber, int systemErrorNumber = -1)
{
    return ComPortError(errorNumber, comErrorMessage(errorNumber, systemErrorNumber), systemErrorNumber,
                        systemReason(systemErrorNumber));
}
