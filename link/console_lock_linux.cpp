#include "link/console_lock_linux.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// The pid /proc/locks gives for a FLOCK on this file ("1: FLOCK ADVISORY
// WRITE 1234 08:01:5678 0 EOF": device in hex, inode in decimal); 0 when
// none is listed (another mount namespace, or /proc hidden).
long lockHolder(const struct stat& file)
{
    std::FILE* locks = std::fopen("/proc/locks", "re");
    if (!locks)
        return 0;
    long holder = 0;
    char line[256];
    while (holder == 0 && std::fgets(line, sizeof line, locks)) {
        char kind[16] = "";
        long pid = 0;
        unsigned major = 0, minor = 0;
        std::uintmax_t inode = 0;
        if (std::sscanf(line, "%*[^:]: %15s %*s %*s %ld %x:%x:%" SCNuMAX, kind, &pid, &major, &minor, &inode) == 5
            && std::strcmp(kind, "FLOCK") == 0 && inode == file.st_ino && major == major(file.st_dev)
            && minor == minor(file.st_dev) && pid > 0)
            holder = pid;
    }
    std::fclose(locks);
    return holder;
}

// The holder's command name, where this user may read it.
void holderName(long pid, char* out, std::size_t outSize)
{
    out[0] = '\0';
    char path[48];
    std::snprintf(path, sizeof path, "/proc/%ld/comm", pid);
    if (std::FILE* comm = std::fopen(path, "re")) {
        if (std::fgets(out, static_cast<int>(outSize), comm))
            out[std::strcspn(out, "\n")] = '\0';
        std::fclose(comm);
    }
}

} // namespace

ConsoleLockResult lockConsole(const char* path, bool create, int& lockFd, char* why, std::size_t whySize)
{
    lockFd = -1;
    // Read access is all a lock needs, and a program that may use the
    // console has it; the file beside a socket is made when missing.
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | (create ? O_CREAT : 0), 0644);
    if (fd < 0) {
        std::snprintf(why, whySize, "%s: %s", path, std::strerror(errno));
        return ConsoleLockResult::failed;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
        lockFd = fd;
        return ConsoleLockResult::taken;
    }
    const int error = errno;
    struct stat file {};
    const long pid = error == EWOULDBLOCK && fstat(fd, &file) == 0 ? lockHolder(file) : 0;
    close(fd);
    if (error != EWOULDBLOCK) {
        std::snprintf(why, whySize, "%s: cannot lock: %s", path, std::strerror(error));
        return ConsoleLockResult::failed;
    }
    char name[32];
    if (pid > 0)
        holderName(pid, name, sizeof name);
    if (pid > 0 && name[0] != '\0')
        std::snprintf(why, whySize, "%s (pid %ld, %s)", CONSOLE_IN_USE, pid, name);
    else if (pid > 0)
        std::snprintf(why, whySize, "%s (pid %ld)", CONSOLE_IN_USE, pid);
    else
        std::snprintf(why, whySize, "%s", CONSOLE_IN_USE);
    return ConsoleLockResult::inUse;
}

void consoleLockPathOfSocket(const char* socketPath, char* out, std::size_t outSize)
{
    std::snprintf(out, outSize, "%s.lock", socketPath);
}

void unlockConsole(int& lockFd)
{
    if (lockFd >= 0)
        close(lockFd);
    lockFd = -1;
}
