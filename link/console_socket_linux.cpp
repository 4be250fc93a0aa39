// The console simulator's socket, standing in for the hidraw node.
#include "link/console_link_linux.h"
#include "link/console_lock_linux.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

int descriptor(void* handle)
{
    return static_cast<int>(reinterpret_cast<std::intptr_t>(handle)) - 1;
}

int readSocket(void* handle, std::uint8_t report[HIDRAW_REPORT_SIZE], int timeoutMs)
{
    pollfd readable{descriptor(handle), POLLIN, 0};
    const int woken = poll(&readable, 1, timeoutMs);
    if (woken == 0 || (woken < 0 && errno == EINTR))
        return 0;
    if (woken < 0)
        return -1;
    std::memset(report, 0, HIDRAW_REPORT_SIZE);
    // A longer message is cut to one report, as hidraw would cut it.
    const ssize_t got = recv(descriptor(handle), report, HIDRAW_REPORT_SIZE, MSG_DONTWAIT);
    if (got == 0)
        return -1; // the simulator closed its end
    if (got < 0)
        return errno == EAGAIN || errno == EINTR ? 0 : -1;
    return 1;
}

int writeSocket(void* handle, const std::uint8_t* command, std::size_t length)
{
    pollfd writable{descriptor(handle), POLLOUT, 0};
    if (poll(&writable, 1, COMMAND_WRITE_TIMEOUT_MS) <= 0 || (writable.revents & POLLOUT) == 0)
        return 0;
    return send(descriptor(handle), command, length, MSG_NOSIGNAL | MSG_DONTWAIT) == static_cast<ssize_t>(length)
               ? 1
               : 0;
}

void closeSocket(void* handle)
{
    close(descriptor(handle));
}

} // namespace

int openSocketConsole(const char* path, ConsoleLink& link, char* why, std::size_t whySize)
{
    link = ConsoleLink{};
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t length = std::strlen(path);
    if (length == 0 || length >= sizeof address.sun_path) {
        std::snprintf(why, whySize, "the console path must hold 1 to %zu bytes", sizeof address.sun_path - 1);
        return 0;
    }
    std::memcpy(address.sun_path, path, length + 1);
    char lockPath[sizeof address.sun_path + 8];
    consoleLockPathOfSocket(path, lockPath, sizeof lockPath);
    int lockFd = -1;
    // A folder this user cannot write holds no lock file: the socket is
    // used unlocked rather than not at all.
    if (lockConsole(lockPath, true, lockFd, why, whySize) == ConsoleLockResult::inUse)
        return CONSOLE_BUSY;
    const int s = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (s < 0) {
        std::snprintf(why, whySize, "no socket: %s", std::strerror(errno));
        unlockConsole(lockFd);
        return CONSOLE_OPEN_FAILED;
    }
    if (connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        std::snprintf(why, whySize, "%s: %s", path, std::strerror(errno));
        close(s);
        unlockConsole(lockFd);
        return CONSOLE_OPEN_FAILED;
    }
    // Descriptor + 1, so that a null handle always means "no console".
    link = ConsoleLink{readSocket, writeSocket, closeSocket, reinterpret_cast<void*>(static_cast<std::intptr_t>(s) + 1),
                       lockFd};
    return CONSOLE_OPENED;
}
