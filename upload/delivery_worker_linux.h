// One weather network's delivery from the archive: a thread of its own
// that sends what the outbox's rules choose (delivery_schedule.h), one
// request after another while there is a backlog, and writes the mark after
// each reply, so a restart resends at most the request that was in flight.
// Its trouble - no answer, a refusal, a limit - delays no other network.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "app/log_line.h"
#include "app/repeated_fault.h"
#include "archive/outbox.h"
#include "upload/delivery_schedule.h"
#include "upload/observation.h"

// What a worker needs to know of its network.
struct NetworkDestination {
    std::string name;        // for the log: "PWSweather"
    std::string section;     // the outbox's key: the configuration's section
    DeliveryRules rules;
    std::string fingerprint; // of what a refusal refused: identity, secret, endpoint
    // One request carrying `count` observations (at most rules.batchSize).
    std::function<DeliveryOutcome(const ArchivedObservation* batch, std::size_t count)> deliver;
    // Each reply's verdict, with the observations still after it while a
    // catch-up runs (else 0): for the service's status line. May be empty.
    std::function<void(DeliveryVerdict verdict, long waiting)> onResult;
    // Called on the worker's thread once it has sent nothing for a quiet
    // spell: lets go of what the transport keeps for the next request (its
    // connection and TLS context). May be empty.
    std::function<void()> onQuiet;
};

// Rung when the archive has stored observations: the workers look at once
// instead of at their next round.
class DeliveryBell {
public:
    void ring();
    // Waits until rung (since `seen`), stopped, or `milliseconds` passed;
    // returns the rings so far.
    unsigned long waitFor(unsigned long seen, long milliseconds, const std::atomic<bool>& stop);
    unsigned long count();
    // Wakes every waiter to look at the stop flag.
    void wakeAll();
    // While held, nothing is sent: the archive may have a gap that the
    // console's history is about to fill, and a mark moved past it would
    // leave it unsent. Held from the start.
    void hold(bool held);
    bool held() const { return holding; }

private:
    std::atomic<bool> holding{true};
    std::mutex lock;
    std::condition_variable rung;
    unsigned long rings = 0;
};

class DeliveryWorker {
public:
    DeliveryWorker(NetworkDestination destination, Outbox& outbox, DeliveryBell& bell, std::atomic<bool>& stop);
    ~DeliveryWorker();
    DeliveryWorker(const DeliveryWorker&) = delete;
    DeliveryWorker& operator=(const DeliveryWorker&) = delete;

    void join();

private:
    enum class Round { again, idle, refused };
    void run();
    Round round(OutboxEntry& entry);
    // The bell's wait, with onQuiet called once the quiet spell after the
    // last request has passed.
    void waitQuietly(unsigned long seen, long milliseconds);
    bool save(const OutboxEntry& entry);
    void tellMissed();
    void log(LogLevel level, const std::string& text);

    NetworkDestination destination;
    Outbox& outbox;
    DeliveryBell& bell;
    std::atomic<bool>& stop;
    std::thread thread;
    // A stretch of wanted observations that could not be sent, told once
    // when the next one is.
    std::size_t missed = 0;
    std::int64_t missedFirst = 0, missedLast = 0;
    // A request was sent since onQuiet was last called.
    bool keepsConnection = false;
    std::chrono::steady_clock::time_point lastSent;
    bool catchingUp = false;
    std::size_t sentInCatchUp = 0;
    RepeatedFault sendFault;
    RepeatedFault outboxFault;
};
