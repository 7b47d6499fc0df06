// The few socket and descriptor calls the simulator's server loop makes, on POSIX
// (where a descriptor is a pseudo-terminal master or a socket) and on Windows
// (Winsock; sockets only, as Windows has no pseudo-terminals).
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>

#include <thread>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#endif

#include <chrono>
#include <cstddef>

#ifdef _WIN32
// Winsock handles are kernel handles, whose values fit in 32 bits.
inline SOCKET simSocketOf(int fd)
{
    return static_cast<SOCKET>(fd);
}

inline bool simNetStartup()
{
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

inline long simRead(int fd, void* buffer, size_t count)
{
    return recv(simSocketOf(fd), static_cast<char*>(buffer), static_cast<int>(count), 0);
}

inline long simWrite(int fd, const void* bytes, size_t count)
{
    return send(simSocketOf(fd), static_cast<const char*>(bytes), static_cast<int>(count), 0);
}

inline void simClose(int fd)
{
    closesocket(simSocketOf(fd));
}

// True when the last failed call only found nothing to do yet.
inline bool simWouldBlock()
{
    const int error = WSAGetLastError();
    return error == WSAEWOULDBLOCK || error == WSAEINTR;
}

inline int simPoll(pollfd* fds, unsigned count, int timeoutMs)
{
    // WSAPoll refuses negative descriptors, which poll() skips.
    pollfd live[2];
    unsigned used = 0;
    int map[2] = {-1, -1};
    for (unsigned i = 0; i < count && used < 2; ++i) {
        fds[i].revents = 0;
        if (static_cast<int>(fds[i].fd) >= 0 && fds[i].fd != INVALID_SOCKET) {
            live[used] = fds[i];
            map[used++] = static_cast<int>(i);
        }
    }
    if (used == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
        return 0;
    }
    const int ready = WSAPoll(live, used, timeoutMs);
    for (unsigned i = 0; i < used; ++i)
        fds[map[i]].revents = live[i].revents;
    return ready;
}

inline void simSetNonBlocking(int fd)
{
    u_long on = 1;
    ioctlsocket(simSocketOf(fd), FIONBIO, &on);
}

inline int simAccept(int listener)
{
    const SOCKET client = accept(simSocketOf(listener), nullptr, nullptr);
    return client == INVALID_SOCKET ? -1 : static_cast<int>(client);
}

inline int simListenSocket()
{
    const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    return listener == INVALID_SOCKET ? -1 : static_cast<int>(listener);
}

inline pollfd simPollFd(int fd)
{
    return {fd < 0 ? INVALID_SOCKET : simSocketOf(fd), POLLIN, 0};
}
#else
inline bool simNetStartup()
{
    return true;
}

inline long simRead(int fd, void* buffer, size_t count)
{
    return read(fd, buffer, count);
}

inline long simWrite(int fd, const void* bytes, size_t count)
{
    return write(fd, bytes, count);
}

inline void simClose(int fd)
{
    close(fd);
}

inline bool simWouldBlock()
{
    return errno == EAGAIN || errno == EINTR;
}

inline int simPoll(pollfd* fds, unsigned count, int timeoutMs)
{
    return poll(fds, count, timeoutMs);
}

inline void simSetNonBlocking(int fd)
{
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

inline int simAccept(int listener)
{
    return accept(listener, nullptr, nullptr);
}

inline int simListenSocket()
{
    return socket(AF_INET, SOCK_STREAM, 0);
}

inline pollfd simPollFd(int fd)
{
    return {fd, POLLIN, 0};
}
#endif

inline void simSleepMs(int ms)
{
    simPoll(nullptr, 0, ms);
}
