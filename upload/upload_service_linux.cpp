#include "upload/upload_service_linux.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <malloc.h>
#include <time.h>

#include "app/service_log_linux.h"
#include "app/service_notify_linux.h"
#include "archive/outbox.h"
#include "link/messages.h"
#include "link/report_reader.h"
#include "upload/curl_transport_linux.h"
#include "upload/reply_classification.h"
#include "upload/upload_log.h"
#include "upload/upload_queue.h"
#include "upload/upload_requests.h"
#include "upload/upload_url.h"

namespace {

// As the Windows program: a request without an answer is tried three times.
constexpr int ATTEMPTS = 3;
// The console's texts are current for a minute or two: a reply that takes
// longer than this is not waited for.
constexpr long CONNECT_TIMEOUT_MS = 6000;
constexpr long TOTAL_TIMEOUT_MS = 10000;
// A service quiet this long lets go of its connection and TLS context, as
// the networks' threads do: Weathercloud's texts come minutes apart.
constexpr auto QUIET_SPELL = std::chrono::seconds(15);

// One service's uploads: a thread of its own, so one service that does not
// answer never delays the other.
struct ServiceUploads {
    UploadService which = SERVICE_WEATHER_UNDERGROUND;
    ServiceConfig settings{};
    std::string baseUrl;
    std::string fingerprint;
    std::mutex lock;
    std::condition_variable changed;
    // Only the newest text waits while one is being delivered, so a
    // service that stays unreachable piles nothing up.
    UploadQueue queue;
    // Refused the station's id or key: nothing more is sent until the
    // configuration changes.
    bool refused = false;
    OutboxEntry entry;
    std::thread thread;
};

struct Uploads {
    std::unique_ptr<Outbox> outbox; // null: results are logged only
    std::mutex outboxLock;
    std::atomic<bool> stopping{false};
    TransportSettings transport;
    ServiceUploads service[UPLOAD_SERVICE_COUNT];
};

Uploads* uploads = nullptr;

// The age of a text: CLOCK_BOOTTIME goes on while the machine sleeps and
// never jumps with the wall clock, so a text from before a suspend is seen
// as old as it is.
std::int64_t uptimeMs()
{
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

std::int64_t nowSeconds()
{
    return static_cast<std::int64_t>(std::time(nullptr));
}

// The time a text came, as the archive writes an observation's.
std::string localMinuteText(std::int64_t utcSecond)
{
    const std::time_t t = static_cast<std::time_t>(utcSecond);
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M", &local);
    return text;
}

void logResult(UploadService which, UploadOutcome outcome, const std::string& detail)
{
    // Anything but acceptance is a problem the owner wants to see.
    printServiceLog(outcome == UploadOutcome::accepted ? LogLevel::info : LogLevel::warning,
                    uploadResultText(which, outcome, detail));
    noteUploadResult(which, outcome);
}

// What `status` shows of the service; a file that cannot be written costs
// the record, never the upload.
void record(ServiceUploads& one)
{
    if (!uploads->outbox)
        return;
    std::lock_guard<std::mutex> lock(uploads->outboxLock);
    if (!uploads->outbox->save(one.entry))
        printServiceLog(LogLevel::warning, std::string(uploadServiceName(one.which))
                                               + ": result not kept for status: " + uploads->outbox->lastError());
}

void deliver(ServiceUploads& one, const QueuedUpload& upload, std::int64_t madeSecond)
{
    const HttpRequest request{"GET", upload.request, {}, ""};
    HttpReply reply;
    for (int attempt = 0; attempt < ATTEMPTS && !uploads->stopping; ++attempt) {
        reply = sendHttp(request, uploads->transport);
        if (reply.status != 0)
            break;
        // Beside the log of results, on stderr, as the Windows program's
        // transport tells its own trouble.
        std::fprintf(stderr, "aerovane: %s: %s\n", uploadServiceName(one.which), reply.failure.c_str());
        std::fflush(stderr);
    }
    if (uploads->stopping && reply.status == 0)
        return;
    if (reply.status == 0) {
        logResult(one.which, UploadOutcome::noAnswer, std::string());
        ++one.entry.failures;
        one.entry.lastFailure = reply.failure;
        record(one);
        return;
    }
    // The services' replies are read as the Windows program reads them:
    // status line and body, as one text.
    const std::string text = "HTTP/1.1 " + std::to_string(reply.status) + "\r\n\r\n" + reply.body;
    one.entry.failures = 0;
    one.entry.lastFailure.clear();
    if (classifyReply(one.which, text.c_str(), text.size()) == REPLY_TAKEN) {
        logResult(one.which, UploadOutcome::accepted, std::string());
        one.entry.lastAccepted = localMinuteText(madeSecond);
        one.entry.acceptedAt = nowSeconds();
        record(one);
        return;
    }
    const std::string reason = replyReason(text.c_str(), text.size());
    logResult(one.which, UploadOutcome::refused, reason);
    one.entry.lastRefusal = reason;
    one.entry.refusedAt = nowSeconds();
    if (replyRefusesCredentials(one.which, text.c_str(), text.size())) {
        one.refused = true;
        one.entry.refusedConfig = one.fingerprint;
        printServiceLog(LogLevel::warning, std::string(uploadServiceName(one.which))
                                               + ": nothing more is uploaded until [" + serviceSectionName(one.which)
                                               + "] in the configuration changes");
    }
    record(one);
}

// A refusal of this very station, from before a restart, still stands.
void loadEntry(ServiceUploads& one)
{
    one.entry = OutboxEntry{};
    one.entry.destination = serviceSectionName(one.which);
    if (!uploads->outbox)
        return;
    std::lock_guard<std::mutex> lock(uploads->outboxLock);
    if (!uploads->outbox->load(one.entry.destination, one.entry)) {
        printServiceLog(LogLevel::warning, std::string(uploadServiceName(one.which))
                                               + ": cannot read its last results: " + uploads->outbox->lastError());
        return;
    }
    if (one.entry.refusedConfig.empty())
        return;
    if (one.entry.refusedConfig == one.fingerprint) {
        one.refused = true;
        printServiceLog(LogLevel::warning, std::string(uploadServiceName(one.which)) + ": not uploading: it refused "
                                               + "this station (" + one.entry.lastRefusal + "); change ["
                                               + one.entry.destination + "] in the configuration");
        return;
    }
    one.entry.refusedConfig.clear();
    uploads->outbox->save(one.entry);
}

void workerLoop(ServiceUploads& one)
{
    loadEntry(one);
    bool holdsConnection = false;
    for (;;) {
        QueuedUpload upload;
        std::vector<std::string> notes;
        bool taken = false;
        {
            std::unique_lock<std::mutex> lock(one.lock);
            const auto ready = [&] { return uploads->stopping || !uploadQueueEmpty(one.queue); };
            if (holdsConnection && !one.changed.wait_for(lock, QUIET_SPELL, ready)) {
                lock.unlock();
                releaseHttpHandle();
                malloc_trim(0);
                holdsConnection = false;
                continue;
            }
            one.changed.wait(lock, ready);
            if (uploads->stopping)
                return;
            taken = takeUpload(one.queue, uptimeMs(), upload, notes);
        }
        for (const std::string& note : notes)
            printServiceLog(note);
        if (taken && !one.refused) {
            deliver(one, upload, nowSeconds() - (uptimeMs() - upload.madeMs) / 1000);
            holdsConnection = true;
        }
    }
}

// The console's text wrapped into the service's request as the Windows
// program builds it (the same builder, then the same re-encoding of the
// whole request, with the code page Western Windows systems have); its
// path and query go to the service's URL.
void buildRequest(UploadService which, const std::uint8_t* consoleBuffer)
{
    ServiceUploads& one = uploads->service[which];
    if (!one.settings.upload || !consoleBuffer)
        return;
    char consoleText[UPLOAD_TEXT_SIZE];
    std::memcpy(consoleText, consoleBuffer, sizeof consoleText);
    char request[REQUEST_BUFFER_SIZE];
    char encoded[REQUEST_BUFFER_SIZE];
    if (composeUploadRequest(which, one.settings.stationId, one.settings.key, consoleText, sizeof consoleText,
                             one.settings.host.name, request)
            == 0
        || reencodeWindows1252AsUtf8(request, encoded, sizeof encoded) == 0) {
        logResult(which, UploadOutcome::notSent,
                  one.settings.stationId[0] == '\0' || one.settings.key[0] == '\0'
                      ? "no station id or key configured"
                      : "the request does not fit 1023 bytes");
        return;
    }
    const std::string url = uploadUrl(one.baseUrl, uploadTarget(encoded, one.settings.host.name));
    {
        std::lock_guard<std::mutex> lock(one.lock);
        queueUpload(one.queue, which, url, uptimeMs());
    }
    one.changed.notify_all();
}

void announce(const AppConfig& config, const CliOptions& options)
{
    std::fprintf(stderr, "aerovane: service started; console %s\n",
                 options.consolePath.empty() ? "on USB" : options.consolePath.c_str());
    bool anyOn = false;
    for (std::uint32_t s = 0; s < UPLOAD_SERVICE_COUNT; ++s) {
        const ServiceConfig& settings = config.services[s];
        const char* name = uploadServiceName(static_cast<UploadService>(s));
        anyOn = anyOn || settings.upload;
        if (!settings.upload)
            std::fprintf(stderr, "aerovane: %s: upload off\n", name);
        else if (settings.stationId[0] == '\0' || settings.key[0] == '\0')
            std::fprintf(stderr, "aerovane: %s: upload on, but no station id or key is configured\n", name);
        else
            std::fprintf(stderr, "aerovane: %s: upload on for station %s to %s\n", name, settings.stationId,
                         uploadBaseUrl(static_cast<UploadService>(s), settings).c_str());
    }
    for (const NetworkConfig& network : config.networks)
        anyOn = anyOn || network.upload;
    // A freshly installed package's configuration: the service archives
    // meanwhile, and says once where the uploads are switched on.
    if (!anyOn)
        std::fprintf(stderr,
                     "aerovane: no upload is on: set a service's station, key and upload = on in %s"
                     " and restart; the archive is kept meanwhile\n",
                     options.configPath.empty() ? "the configuration" : options.configPath.c_str());
    std::fflush(stderr);
}

} // namespace

void uploadOnMessage(unsigned message, std::intptr_t lParam)
{
    if (!uploads)
        return;
    const auto* buffer = reinterpret_cast<const std::uint8_t*>(lParam);
    switch (message) {
    case WM_FRAME_FB:
        buildRequest(SERVICE_WEATHER_UNDERGROUND, buffer);
        break;
    case WM_FRAME_F1:
        buildRequest(SERVICE_WEATHERCLOUD, buffer);
        break;
    default:
        break;
    }
}

void startUploads(const CliOptions& options, const AppConfig& config, const std::string& archivePath)
{
    announce(config, options);
    uploads = new Uploads;
    bool anyOn = false;
    for (std::uint32_t s = 0; s < UPLOAD_SERVICE_COUNT; ++s)
        anyOn = anyOn || config.services[s].upload;
    if (!anyOn)
        return;
    std::string error;
    uploads->outbox = Outbox::open(archivePath, ArchiveAccess::write, error);
    if (!uploads->outbox)
        printServiceLog(LogLevel::warning, "uploads: results are not kept for status: " + error);
    startHttpTransport();
    uploads->transport.caFile = config.tlsCaFile;
    uploads->transport.connectTimeoutMs = CONNECT_TIMEOUT_MS;
    uploads->transport.totalTimeoutMs = TOTAL_TIMEOUT_MS;
    uploads->transport.stop = &uploads->stopping;
    for (std::uint32_t s = 0; s < UPLOAD_SERVICE_COUNT; ++s) {
        ServiceUploads& one = uploads->service[s];
        one.which = static_cast<UploadService>(s);
        one.settings = config.services[s];
        if (!one.settings.upload)
            continue;
        one.baseUrl = uploadBaseUrl(one.which, one.settings);
        one.fingerprint = uploadFingerprint(one.which, one.settings);
        one.thread = std::thread(workerLoop, std::ref(one));
    }
}

void stopUploads()
{
    if (!uploads)
        return;
    // The transport's stop flag cuts a request in flight short.
    uploads->stopping = true;
    for (ServiceUploads& one : uploads->service) {
        {
            std::lock_guard<std::mutex> lock(one.lock);
        }
        one.changed.notify_all();
        if (one.thread.joinable())
            one.thread.join();
    }
    delete uploads;
    uploads = nullptr;
}
