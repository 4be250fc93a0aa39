#include "upload/curl_options_linux.h"

#include "resources/resource_ids.h"

namespace {

// libcurl calls this at least once a second while a transfer waits.
int cutShortWhenStopped(void* settings, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return stopAsked(*static_cast<const TransportSettings*>(settings)) ? 1 : 0;
}

std::string oneLine(const char* text)
{
    std::string line = text;
    for (char& c : line) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return line;
}

} // namespace

void applyTransportOptions(CURL* curl, const TransportSettings& settings, char (&error)[CURL_ERROR_SIZE])
{
    error[0] = '\0';
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
    // Threads of their own must not see SIGALRM from a resolver's time-out.
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, settings.connectTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, settings.totalTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    // The system's authorities from its hashed folder, where a handle reads
    // only those a server's chain names: its bundle file would be parsed
    // whole (~140 certificates, about 1 MB and 30 ms of CPU) into every
    // handle's TLS context. [tls] ca-file adds a private one beside them.
    const curl_version_info_data* version = curl_version_info(CURLVERSION_NOW);
    if (version->age >= CURLVERSION_SEVENTH && version->capath) {
        curl_easy_setopt(curl, CURLOPT_CAPATH, version->capath);
        curl_easy_setopt(curl, CURLOPT_CAINFO, settings.caFile.empty() ? nullptr : settings.caFile.c_str());
    } else if (!settings.caFile.empty()) {
        curl_easy_setopt(curl, CURLOPT_CAINFO, settings.caFile.c_str());
    }
    const std::string agent =
        settings.userAgent.empty() ? std::string("aerovane/") + AEROVANE_VERSION_TEXT : settings.userAgent;
    curl_easy_setopt(curl, CURLOPT_USERAGENT, agent.c_str()); // libcurl copies strings
    if (settings.stop) {
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, cutShortWhenStopped);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, const_cast<TransportSettings*>(&settings));
    }
}

bool stopAsked(const TransportSettings& settings)
{
    return settings.stop && settings.stop->load();
}

std::string transferFailure(CURLcode result, const char* error, const TransportSettings& settings)
{
    if (stopAsked(settings))
        return TRANSPORT_STOPPED;
    return oneLine(error && error[0] ? error : curl_easy_strerror(result));
}
