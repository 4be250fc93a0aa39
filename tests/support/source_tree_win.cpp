#include "tests/support/source_tree_win.h"

#include <windows.h>

#include <cstdio>
#include <string>

// AEROVANE_SOURCE_DIR: the tree's absolute path, given by the build.

std::vector<std::uint8_t> sourceFileBytes(const char* pathInTree)
{
    std::string path = std::string(AEROVANE_SOURCE_DIR) + "/" + pathInTree;
    // A Unix path, as the build under Wine gives it: Wine's drive Z: is the
    // Unix root in every prefix it creates.
    if (path[0] == '/')
        path = "Z:" + path;
    wchar_t widePath[MAX_PATH];
    if (MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, widePath, MAX_PATH) == 0)
        return {};
    std::FILE* file = _wfopen(widePath, L"rb");
    if (!file)
        return {};
    std::vector<std::uint8_t> bytes;
    int c;
    while ((c = std::fgetc(file)) != EOF)
        bytes.push_back(static_cast<std::uint8_t>(c));
    std::fclose(file);
    return bytes;
}
