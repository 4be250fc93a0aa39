#include "upload/upload_hosts.h"

#include <cwchar>

const UploadHost DEFAULT_UPLOAD_HOSTS[UPLOAD_SERVICE_COUNT] = {
    {"rtupdate.wunderground.com", UPLOAD_PORT},
    {"api.weathercloud.net", UPLOAD_PORT},
};

UploadHost uploadHosts[UPLOAD_SERVICE_COUNT] = {
    {"rtupdate.wunderground.com", UPLOAD_PORT},
    {"api.weathercloud.net", UPLOAD_PORT},
};

namespace {

const wchar_t* const OPTIONS[UPLOAD_SERVICE_COUNT] = {L"--wu-host=", L"--wc-host="};

bool isHostCharacter(wchar_t c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'.' ||
           c == L'-' || c == L'_';
}

// Digits only, 1..65535; -1 otherwise.
int parsePort(const wchar_t* text)
{
    if (*text == 0)
        return -1;
    long port = 0;
    for (; *text != 0; ++text) {
        if (*text < L'0' || *text > L'9')
            return -1;
        port = port * 10 + (*text - L'0');
        if (port > 65535)
            return -1;
    }
    return port >= 1 ? static_cast<int>(port) : -1;
}

} // namespace

int applyUploadHostArgument(const wchar_t* argument, UploadHost hosts[UPLOAD_SERVICE_COUNT])
{
    if (!argument)
        return 0;
    for (std::uint32_t service = 0; service < UPLOAD_SERVICE_COUNT; ++service) {
        const std::size_t optionLength = std::wcslen(OPTIONS[service]);
        if (std::wcsncmp(argument, OPTIONS[service], optionLength) != 0)
            continue;
        const wchar_t* value = argument + optionLength;
        UploadHost host{};
        std::size_t length = 0;
        for (; isHostCharacter(value[length]); ++length) {
            if (length + 1 >= UPLOAD_HOST_SIZE)
                return -1;
            host.name[length] = static_cast<char>(value[length]);
        }
        if (length == 0)
            return -1;
        host.port = UPLOAD_PORT;
        if (value[length] == L':')
            host.port = parsePort(value + length + 1);
        else if (value[length] != 0)
            return -1;
        if (host.port < 0)
            return -1;
        hosts[service] = host;
        return 1;
    }
    return 0;
}
