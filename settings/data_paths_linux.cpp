#include "settings/data_paths_linux.h"

#include <cerrno>
#include <cstdlib>

#include <sys/stat.h>

std::string archivePathFor(const CliOptions& options, const AppConfig& config)
{
    if (!options.archivePath.empty())
        return options.archivePath;
    if (!config.archivePath.empty())
        return config.archivePath;
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/')
        return std::string(xdg) + "/aerovane/archive.sqlite";
    const char* home = std::getenv("HOME");
    if (home && home[0] != '\0')
        return std::string(home) + "/.local/share/aerovane/archive.sqlite";
    return "archive.sqlite";
}

int makeFolders(const std::string& folder, unsigned mode)
{
    struct stat info{};
    if (folder.empty() || stat(folder.c_str(), &info) == 0) {
        if (!folder.empty() && !S_ISDIR(info.st_mode)) {
            errno = ENOTDIR;
            return 0;
        }
        return 1;
    }
    const std::string parent = folderOf(folder);
    if (parent != folder && !makeFolders(parent, mode))
        return 0;
    if (mkdir(folder.c_str(), static_cast<mode_t>(mode)) != 0)
        return errno == EEXIST;
    return chmod(folder.c_str(), static_cast<mode_t>(mode)) == 0;
}

std::string folderOf(const std::string& path)
{
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    const std::size_t slash = trimmed.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : trimmed.substr(0, slash);
}
