#include "upload/upload_service_linux.h"

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <time.h>

#include "app/service_log_linux.h"
#include "app/service_notify_linux.h"
#include "link/messages.h"
#include "link/report_reader.h"
#include "link/station_link_linux.h"
#include "upload/http_transport.h"
#include "upload/upload_log.h"
#include "upload/upload_queue.h"
#include "upload/upload_requests.h"

namespace {

// At a stop, an upload in flight is given this long to finish.
constexpr int STOP_GRACE_MS = 2000;

struct Service {
    AppConfig config;
    std::mutex lock;
    std::condition_variable changed;
    // Requests wait here while one is being delivered: per service the
    // newest, so a service that stays unreachable piles nothing up.
    UploadQueue queue;
    bool stopping = false;
    bool busy = false;
};

Service* service = nullptr;

// What one request's exchanges said.
struct Verdict {
    bool accepted;
    bool replied;
    std::string reason;
};

// The age of a text: CLOCK_BOOTTIME goes on while the machine sleeps and
// never jumps with the wall clock, so a text from before a suspend is seen
// as old as it is.
std::int64_t uptimeMs()
{
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void logResult(UploadService which, UploadOutcome outcome, const std::string& detail)
{
    // Anything but acceptance is a problem the owner wants to see.
    printServiceLog(outcome == UploadOutcome::accepted ? LogLevel::info : LogLevel::warning,
                    uploadResultText(which, outcome, detail));
    noteUploadResult(which, outcome);
}

// stdout carries the log of results; the transport's own diagnostics go
// beside it on stderr.
void diagnosticToStderr(const char* text)
{
    std::fputs(text, stderr);
    std::fflush(stderr);
}

void onSuccess(void* context, UploadService)
{
    static_cast<Verdict*>(context)->accepted = true;
}

void onReply(void* context, UploadService, const char* reply, std::size_t length)
{
    auto& verdict = *static_cast<Verdict*>(context);
    verdict.replied = true;
    verdict.reason = replyReason(reply, length);
}

void deliver(const QueuedUpload& upload)
{
    const UploadHost& host = service->config.services[upload.service].host;
    Verdict verdict{false, false, std::string()};
    TransportHooks hooks = boundedTransportHooks();
    hooks.diagnostic = diagnosticToStderr;
    hooks.reportSuccess = onSuccess;
    hooks.reportReply = onReply;
    hooks.context = &verdict;
    uploadRequest(upload.request.c_str(), host.name, host.port, upload.service, hooks);
    if (verdict.accepted)
        logResult(upload.service, UploadOutcome::accepted, std::string());
    else if (verdict.replied)
        logResult(upload.service, UploadOutcome::refused, verdict.reason);
    else
        logResult(upload.service, UploadOutcome::noAnswer, std::string());
}

void workerLoop()
{
    for (;;) {
        QueuedUpload upload;
        std::vector<std::string> notes;
        bool taken = false;
        {
            std::unique_lock<std::mutex> lock(service->lock);
            service->changed.wait(lock, [] { return service->stopping || !uploadQueueEmpty(service->queue); });
            if (service->stopping)
                return;
            taken = takeUpload(service->queue, uptimeMs(), upload, notes);
            service->busy = taken;
        }
        for (const std::string& note : notes)
            printServiceLog(note);
        if (!taken)
            continue;
        deliver(upload);
        {
            std::lock_guard<std::mutex> lock(service->lock);
            service->busy = false;
        }
        service->changed.notify_all();
    }
}

// The console's text wrapped into the service's request, as the Windows
// program builds it (the same builder, then the same re-encoding of the
// whole request, with the code page Western Windows systems have).
void buildRequest(UploadService which, const std::uint8_t* consoleBuffer)
{
    const ServiceConfig& settings = service->config.services[which];
    if (!settings.upload || !consoleBuffer)
        return;
    char consoleText[UPLOAD_TEXT_SIZE];
    std::memcpy(consoleText, consoleBuffer, sizeof consoleText);
    char request[REQUEST_BUFFER_SIZE];
    char encoded[REQUEST_BUFFER_SIZE];
    if (composeUploadRequest(which, settings.stationId, settings.key, consoleText, sizeof consoleText,
                             settings.host.name, request) == 0
        || reencodeWindows1252AsUtf8(request, encoded, sizeof encoded) == 0) {
        logResult(which, UploadOutcome::notSent,
                  settings.stationId[0] == '\0' || settings.key[0] == '\0' ? "no station id or key configured"
                                                                           : "the request does not fit 1023 bytes");
        return;
    }
    {
        std::lock_guard<std::mutex> lock(service->lock);
        queueUpload(service->queue, which, encoded, uptimeMs());
    }
    service->changed.notify_all();
}

} // namespace

void uploadOnMessage(unsigned message, std::intptr_t lParam)
{
    if (!service)
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

namespace {

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
            std::fprintf(stderr, "aerovane: %s: upload on for station %s via %s:%d\n", name, settings.stationId,
                         settings.host.name, settings.host.port);
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

// Waits for the upload in flight, a little.
bool settleWorker()
{
    std::unique_lock<std::mutex> lock(service->lock);
    service->stopping = true;
    service->changed.notify_all();
    return service->changed.wait_for(lock, std::chrono::milliseconds(STOP_GRACE_MS),
                                     [] { return !service->busy; });
}

} // namespace

std::thread* worker = nullptr;

void startUploads(const CliOptions& options, const AppConfig& config)
{
    service = new Service;
    service->config = config;
    announce(config, options);
    worker = new std::thread(workerLoop);
}

void stopUploads()
{
    if (!worker)
        return;
    if (settleWorker()) {
        worker->join();
    } else {
        // A request still waiting on a silent server: the process ends
        // around it rather than keep systemd waiting.
        std::fprintf(stderr, "aerovane: stopping with an upload unfinished\n");
        worker->detach();
    }
}
