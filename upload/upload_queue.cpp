#include "upload/upload_queue.h"

#include <utility>

#include "upload/upload_log.h"

namespace {

std::string dropStarted(UploadService service)
{
    return std::string("upload: ") + uploadServiceName(service) + ": readings older than "
           + std::to_string(UPLOAD_MAX_AGE_MS / 60000) + " minutes are dropped, not sent as current";
}

std::string dropEnded(UploadService service, std::uint32_t dropped)
{
    return std::string("upload: ") + uploadServiceName(service) + ": sending current readings again, "
           + std::to_string(dropped) + (dropped == 1 ? " old reading" : " old readings") + " dropped";
}

} // namespace

void queueUpload(UploadQueue& queue, UploadService service, std::string request, std::int64_t madeMs)
{
    if (service >= UPLOAD_SERVICE_COUNT)
        return;
    queue.upload[service] = QueuedUpload{service, std::move(request), madeMs};
    if (!queue.waiting[service])
        queue.place[service] = queue.nextPlace++;
    queue.waiting[service] = true;
}

bool takeUpload(UploadQueue& queue, std::int64_t nowMs, QueuedUpload& next, std::vector<std::string>& notes)
{
    int first = -1;
    for (std::uint32_t s = 0; s < UPLOAD_SERVICE_COUNT; ++s) {
        if (!queue.waiting[s])
            continue;
        if (nowMs - queue.upload[s].madeMs > UPLOAD_MAX_AGE_MS) {
            queue.waiting[s] = false;
            queue.upload[s].request.clear();
            if (queue.dropped[s]++ == 0)
                notes.push_back(dropStarted(static_cast<UploadService>(s)));
            continue;
        }
        if (first < 0 || queue.place[s] < queue.place[first])
            first = static_cast<int>(s);
    }
    if (first < 0)
        return false;
    next = std::move(queue.upload[first]);
    queue.waiting[first] = false;
    if (queue.dropped[first] > 0) {
        notes.push_back(dropEnded(next.service, queue.dropped[first]));
        queue.dropped[first] = 0;
    }
    return true;
}

bool uploadQueueEmpty(const UploadQueue& queue)
{
    for (bool waiting : queue.waiting)
        if (waiting)
            return false;
    return true;
}
