#include "upload/curl_transport_linux.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <mutex>

#include <curl/curl.h>

#include "upload/curl_options_linux.h"

namespace {

CURLcode globalSetUp = CURLE_FAILED_INIT;

struct HandleCleanup {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};

// Each thread's own handle, kept for its connections and TLS sessions until
// the thread lets it go.
thread_local std::unique_ptr<CURL, HandleCleanup> threadHandle;

CURL* handleOfThisThread()
{
    if (!threadHandle)
        threadHandle.reset(curl_easy_init());
    return threadHandle.get();
}

class HeaderList {
public:
    ~HeaderList() { curl_slist_free_all(list); }
    void add(const std::string& line)
    {
        if (curl_slist* longer = curl_slist_append(list, line.c_str()))
            list = longer;
    }
    curl_slist* list = nullptr;
};

// Keeps the first HTTP_REPLY_BODY_LIMIT bytes and takes the rest without
// keeping it, so a long reply ends the same way as a short one.
std::size_t keepBodyStart(char* data, std::size_t size, std::size_t count, void* body)
{
    std::string& kept = *static_cast<std::string*>(body);
    const std::size_t bytes = size * count;
    kept.append(data, std::min(bytes, HTTP_REPLY_BODY_LIMIT - kept.size()));
    return bytes;
}

bool allZeros(const char* text)
{
    if (!*text)
        return false;
    for (; *text; ++text) {
        if (*text != '0')
            return false;
    }
    return true;
}

// libcurl reads Retry-After as seconds or as a date; it says 0 both for
// "now" and for a value it could not read, and less than 0 for a date
// already past.
long retryAfterSeconds(CURL* curl)
{
    curl_header* header = nullptr;
    if (curl_easy_header(curl, "Retry-After", 0, CURLH_HEADER, -1, &header) != CURLHE_OK)
        return -1;
    curl_off_t seconds = 0;
    if (curl_easy_getinfo(curl, CURLINFO_RETRY_AFTER, &seconds) != CURLE_OK)
        return -1;
    if (seconds > 0)
        return static_cast<long>(std::min<curl_off_t>(seconds, LONG_MAX));
    if (seconds < 0 || curl_getdate(header->value, nullptr) != -1 || allZeros(header->value))
        return 0;
    return -1;
}

HttpReply noAnswer(const std::string& why)
{
    HttpReply reply;
    reply.failure = why;
    return reply;
}

} // namespace

void startHttpTransport()
{
    static std::once_flag once;
    std::call_once(once, [] { globalSetUp = curl_global_init(CURL_GLOBAL_DEFAULT); });
}

HttpReply sendHttp(const HttpRequest& request, const TransportSettings& settings)
{
    startHttpTransport();
    if (globalSetUp != CURLE_OK)
        return noAnswer(std::string("libcurl could not be set up: ") + curl_easy_strerror(globalSetUp));
    CURL* curl = handleOfThisThread();
    if (!curl)
        return noAnswer("libcurl could not make a handle");
    if (request.method != "GET" && request.method != "POST")
        return noAnswer("no such method: " + request.method);

    // A reset keeps the handle's connections, TLS sessions and DNS cache.
    curl_easy_reset(curl);
    char error[CURL_ERROR_SIZE];
    applyTransportOptions(curl, settings, error);
    curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    HeaderList headers;
    for (const std::string& header : request.headers)
        headers.add(header);
    // No wait for "100 Continue" before a body: the networks' servers
    // differ in whether they send it.
    headers.add("Expect:");
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.list);
    if (request.method == "POST") {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.data());
    } else {
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    }
    HttpReply reply;
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, keepBodyStart);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply.body);

    const CURLcode result = curl_easy_perform(curl);
    // The handle keeps pointers into this call's buffers; none may outlive it.
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
    if (result != CURLE_OK)
        return noAnswer(transferFailure(result, error, settings));
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    reply.status = static_cast<int>(status);
    reply.retryAfterSeconds = retryAfterSeconds(curl);
    return reply;
}

void releaseHttpHandle()
{
    threadHandle.reset();
}
