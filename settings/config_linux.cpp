#include "settings/config_linux.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/stat.h>

#include "app/service_log_linux.h"

namespace {

// A configuration is a few hundred bytes; anything near this is not one.
constexpr long CONFIG_SIZE_LIMIT = 1 << 20;

bool exists(const std::string& path)
{
    struct stat info{};
    return stat(path.c_str(), &info) == 0;
}

bool readWhole(const std::string& path, std::string& text)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    char chunk[4096];
    std::size_t got = 0;
    bool tooLarge = false;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        text.append(chunk, got);
        if (static_cast<long>(text.size()) > CONFIG_SIZE_LIMIT) {
            tooLarge = true;
            break;
        }
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (tooLarge)
        errno = EFBIG;
    return !failed && !tooLarge;
}

} // namespace

std::string defaultConfigPath()
{
    std::string user;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    if (xdg && xdg[0] == '/')
        user = std::string(xdg) + "/aerovane/aerovane.conf";
    else if (home && home[0] != '\0')
        user = std::string(home) + "/.config/aerovane/aerovane.conf";
    if (!user.empty() && exists(user))
        return user;
    if (exists("/etc/aerovane.conf"))
        return "/etc/aerovane.conf";
    return std::string();
}

int loadConfig(const std::string& given, bool givenOnCommandLine, AppConfig& config)
{
    const std::string path = givenOnCommandLine ? given : defaultConfigPath();
    if (path.empty())
        return 1;
    std::string text;
    if (!readWhole(path, text)) {
        printProgramNote(LogLevel::error, "cannot read " + path + ": " + std::strerror(errno));
        return 0;
    }
    ConfigError error{};
    if (!parseConfig(text.data(), text.size(), config, error)) {
        const std::string where = error.line > 0 ? path + ":" + std::to_string(error.line) : path;
        printProgramNote(LogLevel::error, where + ": " + error.message);
        return 0;
    }
    struct stat info{};
    if (configHoldsKey(config) && stat(path.c_str(), &info) == 0 && (info.st_mode & S_IROTH) != 0)
        printProgramNote(LogLevel::warning, "warning: " + path + " holds a station key and can be read by every "
                                                "user (chmod o-r " + path + ")");
    return 1;
}
