// What waits for the Linux service's upload worker. The console's texts say
// "dateutc=now", so a text is worth sending only while it is current: per
// service only the newest waits (a newer text takes an older one's place in
// line, so a service whose texts keep coming first never starves the
// other), and one older than UPLOAD_MAX_AGE_MS when its turn comes is
// dropped, never sent. Portable; the caller gives the time, in milliseconds
// of a clock that never goes back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "upload/upload_state.h"

constexpr std::int64_t UPLOAD_MAX_AGE_MS = 10 * 60 * 1000;

struct QueuedUpload {
    UploadService service;
    std::string request;
    std::int64_t madeMs; // when the console's text came
};

struct UploadQueue {
    bool waiting[UPLOAD_SERVICE_COUNT] = {};
    QueuedUpload upload[UPLOAD_SERVICE_COUNT];
    // Place in line: the lowest goes first. A service gets the next number
    // when it starts waiting and keeps it while its text is replaced.
    std::uint64_t place[UPLOAD_SERVICE_COUNT] = {};
    std::uint64_t nextPlace = 0;
    // Texts dropped as too old since the service last sent a current one.
    std::uint32_t dropped[UPLOAD_SERVICE_COUNT] = {};
};

// Puts the request in line for its service, in place of one still waiting.
void queueUpload(UploadQueue& queue, UploadService service, std::string request, std::int64_t madeMs);

// Takes the request first in line that is not too old at nowMs into
// `next`; false when none is left. Drops the ones too old on the way, and
// adds to `notes` a log text ("upload: ...") when a service starts dropping
// and one when it has a current text to send again.
bool takeUpload(UploadQueue& queue, std::int64_t nowMs, QueuedUpload& next, std::vector<std::string>& notes);

// True when nothing waits.
bool uploadQueueEmpty(const UploadQueue& queue);
