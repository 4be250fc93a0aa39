#include "export/replace_file_linux.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A few names are tried, in case a run killed before it could tidy up
// left one behind.
constexpr int NAME_ATTEMPTS = 100;

} // namespace

std::FILE* createReplacing(const std::string& destination, ReplacingFile& file, int mode)
{
    file.destination = destination;
    struct stat existing {};
    const bool exists = stat(destination.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
    for (int attempt = 0; attempt < NAME_ATTEMPTS; ++attempt) {
        file.temporary = destination + ".partial-" + std::to_string(getpid())
                         + (attempt > 0 ? "-" + std::to_string(attempt) : "");
        const int fd = open(file.temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return nullptr;
        }
        if (mode != KEEP_DESTINATION_MODE)
            fchmod(fd, static_cast<mode_t>(mode));
        else if (exists)
            fchmod(fd, existing.st_mode & 07777);
        std::FILE* stream = fdopen(fd, "wb");
        if (!stream) {
            const int why = errno;
            close(fd);
            unlink(file.temporary.c_str());
            errno = why;
        }
        return stream;
    }
    return nullptr;
}

bool commitReplacing(const ReplacingFile& file)
{
    const int fd = open(file.temporary.c_str(), O_RDONLY | O_CLOEXEC);
    const bool flushed = fd >= 0 && fsync(fd) == 0;
    if (fd >= 0)
        close(fd);
    if (!flushed || rename(file.temporary.c_str(), file.destination.c_str()) != 0) {
        const int why = errno;
        abandonReplacing(file);
        errno = why;
        return false;
    }
    return true;
}

void abandonReplacing(const ReplacingFile& file)
{
    unlink(file.temporary.c_str());
}
