#include "serial/link_reason.h"

#include <cerrno>
#include <system_error>

namespace {

LinkReasonCode codeOf(int systemErrorNumber)
{
#ifdef _WIN32
    // Windows error codes of CreateFile, ReadFile and WriteFile on a COM port.
    switch (systemErrorNumber) {
    case 2:   // ERROR_FILE_NOT_FOUND
    case 3:   // ERROR_PATH_NOT_FOUND
    case 433: // ERROR_NO_SUCH_DEVICE
        return LinkReasonCode::NoSuchDevice;
    case 5: // ERROR_ACCESS_DENIED: also a port another program holds
        return LinkReasonCode::PermissionDenied;
    case 32:  // ERROR_SHARING_VIOLATION
    case 170: // ERROR_BUSY
        return LinkReasonCode::DeviceBusy;
    case 31:   // ERROR_GEN_FAILURE: the adapter went away under the call
    case 1117: // ERROR_IO_DEVICE
        return LinkReasonCode::IoError;
    case 121:   // ERROR_SEM_TIMEOUT
    case 1460:  // ERROR_TIMEOUT
    case 10060: // WSAETIMEDOUT
        return LinkReasonCode::TimedOut;
    case 10061: // WSAECONNREFUSED
        return LinkReasonCode::ConnectionRefused;
    case 10054: // WSAECONNRESET
        return LinkReasonCode::ConnectionReset;
    case 10065: // WSAEHOSTUNREACH
    case 10051: // WSAENETUNREACH
        return LinkReasonCode::HostUnreachable;
    }
#else
    switch (systemErrorNumber) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return LinkReasonCode::NoSuchDevice;
    case EACCES:
    case EPERM:
        return LinkReasonCode::PermissionDenied;
    case EBUSY:
        return LinkReasonCode::DeviceBusy;
    case ECONNREFUSED:
        return LinkReasonCode::ConnectionRefused;
    case ECONNRESET:
    case EPIPE:
        return LinkReasonCode::ConnectionReset;
    case ETIMEDOUT:
        return LinkReasonCode::TimedOut;
    case EHOSTUNREACH:
    case ENETUNREACH:
        return LinkReasonCode::HostUnreachable;
    case EIO:
        return LinkReasonCode::IoError;
    }
#endif
    return LinkReasonCode::Other;
}

} // namespace

LinkReason systemReason(int systemErrorNumber)
{
    if (systemErrorNumber == -1)
        return {};
    return {codeOf(systemErrorNumber), std::system_category().message(systemErrorNumber), {}};
}
