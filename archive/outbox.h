// What each weather network has had from the archive: the outbox, kept in
// the archive's own file (schema 3), so a restart, a power cut or an
// outage of any length loses nothing. The service's delivery threads share
// one connection of their own beside the archive's writer, each call under
// a lock; `aerovane status` reads it while the service runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "upload/observation.h"

struct OutboxEntry {
    std::string destination;    // the configuration's section
    std::string mark;           // sortTime of the last observation delivered or passed over; "" none
    std::int64_t lastSlot = -1; // the delivery interval of the last one delivered
    std::string lastAccepted;   // that observation's local time, "" none yet
    std::int64_t acceptedAt = 0; // when it was accepted (UTC seconds)
    std::string lastRefusal;    // the network's reason, "" none
    std::int64_t refusedAt = 0;
    std::string refusedConfig;  // the configuration refused: stopped while it is unchanged
    int failures = 0;           // failed attempts in a row
    std::int64_t nextAttempt = 0; // not before (UTC seconds)
    std::string lastFailure;    // why the last attempt failed
};

struct OutboxObservation {
    std::string sortTime;
    std::string time; // the console's local time
    ArchivedObservation observation;
};

class Outbox {
public:
    // `write`: the service, whose writer Archive has brought the file to
    // the current schema. `read`: anyone, while the service runs. Null with
    // a one-line reason when it cannot be used.
    static std::unique_ptr<Outbox> open(const std::string& path, ArchiveAccess access, std::string& error);
    ~Outbox();
    Outbox(const Outbox&) = delete;
    Outbox& operator=(const Outbox&) = delete;

    // The destination's entry; a fresh one (mark "") when it has none.
    // 0 when the file could not be read. `destination` is a copy: it may
    // be the entry's own.
    int load(std::string destination, OutboxEntry& entry);
    int loadAll(std::vector<OutboxEntry>& entries);
    // Written and synced before it returns: what is saved is delivered.
    int save(const OutboxEntry& entry);

    // Up to `limit` observations after `mark` (a copy: it may be one of
    // `out`'s own) in the order they happened, their UTC times by the
    // machine's zone rules; `more` when the archive holds others after them.
    int observationsAfter(std::string mark, std::size_t limit, std::vector<OutboxObservation>& out, bool& more);
    // How many observations there are after `mark`; -1 when unreadable.
    long countAfter(const std::string& mark);

    std::string lastError() const;

private:
    Outbox() = default;
    int fail(const char* what);

    mutable std::mutex lock;
    struct sqlite3* db = nullptr;
    std::string error;
};
