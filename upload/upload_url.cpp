#include "upload/upload_url.h"

#include <cstring>

#include "upload/account_fingerprint.h"

std::string uploadBaseUrl(UploadService service, const ServiceConfig& settings)
{
    if (!settings.url.empty())
        return settings.url;
    if (settings.hostGiven)
        return "http://" + std::string(settings.host.name) + ":" + std::to_string(settings.host.port);
    return "https://" + std::string(DEFAULT_UPLOAD_HOSTS[service].name);
}

std::string uploadFingerprint(UploadService service, const ServiceConfig& settings)
{
    return accountFingerprint(NetworkAccount{uploadBaseUrl(service, settings), settings.stationId, settings.key, ""});
}

std::string uploadTarget(const std::string& request, const char* host)
{
    const std::string start = "GET ";
    const std::string end = std::string(" HTTP/1.0\r\nHost:  ") + host + "\r\n\r\n";
    if (request.size() < start.size() + end.size() || request.compare(0, start.size(), start) != 0
        || request.compare(request.size() - end.size(), end.size(), end) != 0)
        return "";
    return request.substr(start.size(), request.size() - start.size() - end.size());
}

std::string uploadUrl(const std::string& base, const std::string& target)
{
    // Kept as they stand: what RFC 3986 allows in a path or query, and '%',
    // for the console's texts carry escapes of their own ("%20").
    static const char KEPT[] = "-._~:/?[]@!$&'()*+,;=%";
    static const char HEX[] = "0123456789ABCDEF";
    std::string url = base;
    if (!url.empty() && url.back() == '/')
        url.pop_back();
    for (unsigned char c : target) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (plain || (c != '\0' && std::strchr(KEPT, c))) {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += HEX[c >> 4];
            url += HEX[c & 0xF];
        }
    }
    return url;
}
