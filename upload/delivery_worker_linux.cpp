#include "upload/delivery_worker_linux.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <vector>

#include "app/repeated_fault.h"
#include "app/service_log_linux.h"
#include "readings/record_time.h"

namespace {

// Observations read from the archive per round.
constexpr std::size_t WINDOW = 256;
// A round at least this often, bell or not.
constexpr long IDLE_ROUND_MS = 60000;
// A connection unused this long is let go: within a catch-up requests follow
// each other at once, and a server keeps an idle connection open seldom
// longer than this, while its TLS context holds some 150 kB until then.
constexpr long QUIET_SPELL_MS = 15000;
// After the outbox could not be read or written.
constexpr std::int64_t OUTBOX_RETRY_SECONDS = 60;

std::int64_t nowSeconds()
{
    return static_cast<std::int64_t>(std::time(nullptr));
}

CivilMinute localCivil(std::int64_t utcSecond)
{
    const std::time_t t = static_cast<std::time_t>(utcSecond);
    std::tm local{};
    localtime_r(&t, &local);
    return CivilMinute{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min};
}

// "10:05" today, "2026-06-01 10:05" another day.
std::string shownTime(std::int64_t utcSecond)
{
    const CivilMinute at = localCivil(utcSecond);
    const CivilMinute today = localCivil(nowSeconds());
    char text[64];
    if (at.year == today.year && at.month == today.month && at.day == today.day)
        std::snprintf(text, sizeof text, "%02d:%02d", at.hour, at.minute);
    else
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", at.year, at.month, at.day, at.hour, at.minute);
    return text;
}

} // namespace

void DeliveryBell::ring()
{
    {
        std::lock_guard<std::mutex> hold(lock);
        ++rings;
    }
    rung.notify_all();
}

void DeliveryBell::wakeAll()
{
    // Through the lock: a worker between its look at the stop flag and its
    // wait would otherwise sleep its whole round.
    { std::lock_guard<std::mutex> hold(lock); }
    rung.notify_all();
}

unsigned long DeliveryBell::waitFor(unsigned long seen, long milliseconds, const std::atomic<bool>& stop)
{
    std::unique_lock<std::mutex> hold(lock);
    rung.wait_for(hold, std::chrono::milliseconds(milliseconds), [&] { return rings != seen || stop.load(); });
    return rings;
}

void DeliveryBell::hold(bool held)
{
    holding = held;
    if (!held)
        ring();
}

unsigned long DeliveryBell::count()
{
    std::lock_guard<std::mutex> hold(lock);
    return rings;
}

DeliveryWorker::DeliveryWorker(NetworkDestination network, Outbox& box, DeliveryBell& deliveryBell,
                               std::atomic<bool>& stopFlag)
    : destination(std::move(network)), outbox(box), bell(deliveryBell), stop(stopFlag)
{
    thread = std::thread([this] { run(); });
}

DeliveryWorker::~DeliveryWorker()
{
    join();
}

void DeliveryWorker::join()
{
    if (thread.joinable())
        thread.join();
}

void DeliveryWorker::log(LogLevel level, const std::string& text)
{
    printServiceLog(level, destination.name + ": " + text);
}

bool DeliveryWorker::save(const OutboxEntry& entry)
{
    if (outbox.save(entry)) {
        if (const unsigned long times = outboxFault.ended())
            log(LogLevel::info, "the archive takes the outbox's marks again (failed " + timesText(times) + ")");
        return true;
    }
    if (outboxFault.happened())
        log(LogLevel::error, "cannot keep what was delivered: " + outbox.lastError() + outboxFault.inARow());
    return false;
}

void DeliveryWorker::run()
{
    OutboxEntry entry;
    while (!outbox.load(destination.section, entry)) {
        if (outboxFault.happened())
            log(LogLevel::error, "cannot read the outbox: " + outbox.lastError() + outboxFault.inARow());
        if (bell.waitFor(bell.count(), OUTBOX_RETRY_SECONDS * 1000, stop), stop)
            return;
    }
    const std::int64_t now = nowSeconds();
    if (entry.mark.empty()) {
        // New: the horizon is where it starts, not the archive's first year.
        const std::int64_t back = destination.rules.takesPast
                                    ? static_cast<std::int64_t>(destination.rules.backfillDays) * 86400
                                    : static_cast<std::int64_t>(destination.rules.currentWithinMinutes) * 60;
        char start[ISO_TIME_SIZE];
        isoTimeText(localCivil(now - back), start);
        entry.mark = start;
        save(entry);
    }
    if (!entry.refusedConfig.empty()) {
        if (entry.refusedConfig == destination.fingerprint) {
            log(LogLevel::warning, "not sending: it refused this station (" + entry.lastRefusal
                                       + "); change [" + destination.section + "] in the configuration");
            return;
        }
        entry.refusedConfig.clear();
        save(entry);
    }
    while (!stop) {
        const unsigned long seen = bell.count();
        const std::int64_t wait = entry.nextAttempt - nowSeconds();
        if (wait > 0) {
            waitQuietly(seen, static_cast<long>(wait < 60 ? wait : 60) * 1000);
            continue;
        }
        switch (round(entry)) {
        case Round::again:
            break;
        case Round::idle:
            waitQuietly(seen, IDLE_ROUND_MS);
            break;
        case Round::refused:
            return;
        }
    }
}

void DeliveryWorker::waitQuietly(unsigned long seen, long milliseconds)
{
    if (keepsConnection) {
        const auto quietFor = std::chrono::steady_clock::now() - lastSent;
        const long quietIn =
            QUIET_SPELL_MS - static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(quietFor).count());
        if (quietIn > milliseconds)
            return (void)bell.waitFor(seen, milliseconds, stop);
        if (quietIn > 0 && (bell.waitFor(seen, quietIn, stop) != seen || stop))
            return;
        keepsConnection = false;
        if (destination.onQuiet)
            destination.onQuiet();
        milliseconds -= std::max(quietIn, 0L);
    }
    bell.waitFor(seen, milliseconds, stop);
}

DeliveryWorker::Round DeliveryWorker::round(OutboxEntry& entry)
{
    if (bell.held())
        return Round::idle;
    std::vector<OutboxObservation> rows;
    bool more = false;
    const std::int64_t now = nowSeconds();
    if (!outbox.observationsAfter(entry.mark, WINDOW, rows, more)) {
        if (outboxFault.happened())
            log(LogLevel::error, "cannot read the archive: " + outbox.lastError() + outboxFault.inARow());
        entry.nextAttempt = now + OUTBOX_RETRY_SECONDS;
        return Round::again;
    }
    if (rows.empty())
        return Round::idle;
    std::vector<std::int64_t> times;
    for (const OutboxObservation& row : rows)
        times.push_back(row.observation.utcSecond);
    const DeliveryChoice choice = chooseDelivery(destination.rules, entry.lastSlot, times.data(), times.size(), more, now);
    if (choice.missed > 0) {
        if (missed == 0)
            missedFirst = choice.missedFirst;
        missedLast = choice.missedLast;
        missed += choice.missed;
    }
    if (choice.sendCount == 0) {
        if (choice.passOver == 0)
            return Round::idle;
        entry.mark = rows[choice.passOver - 1].sortTime;
        if (!save(entry)) {
            entry.nextAttempt = now + OUTBOX_RETRY_SECONDS;
            return Round::again;
        }
        return choice.passOver < rows.size() || more ? Round::again : Round::idle;
    }
    const std::size_t last = choice.send[choice.sendCount - 1];
    const bool backlog = more || last + 1 < rows.size();
    if (backlog && !catchingUp) {
        catchingUp = true;
        sentInCatchUp = 0;
        log(LogLevel::info, "catching up from " + shownTime(rows[choice.send[0]].observation.utcSecond));
    }
    std::vector<ArchivedObservation> batch;
    for (std::size_t i = 0; i < choice.sendCount; ++i)
        batch.push_back(rows[choice.send[i]].observation);
    const DeliveryOutcome outcome = destination.deliver(batch.data(), batch.size());
    keepsConnection = true;
    lastSent = std::chrono::steady_clock::now();
    if (stop)
        return Round::idle; // cut short: the same goes again after a restart
    const std::int64_t answered = nowSeconds();
    if (destination.onResult)
        destination.onResult(outcome.verdict, outcome.verdict == DeliveryVerdict::accepted && backlog
                                                  ? outbox.countAfter(rows[last].sortTime)
                                                  : 0);
    switch (outcome.verdict) {
    case DeliveryVerdict::accepted:
        entry.mark = rows[last].sortTime;
        entry.lastSlot = deliverySlot(rows[last].observation.utcSecond, destination.rules.intervalMinutes);
        entry.lastAccepted = rows[last].time;
        entry.acceptedAt = answered;
        entry.failures = 0;
        entry.nextAttempt = 0;
        entry.lastFailure.clear();
        if (!save(entry)) {
            entry.nextAttempt = answered + OUTBOX_RETRY_SECONDS;
            return Round::again;
        }
        if (const unsigned long failures = sendFault.ended())
            log(LogLevel::info, "delivered again after failing " + timesText(failures));
        tellMissed();
        sentInCatchUp += batch.size();
        if (catchingUp && !backlog) {
            catchingUp = false;
            log(LogLevel::info, "caught up: " + std::to_string(sentInCatchUp) + " observations delivered");
        }
        return Round::again;
    case DeliveryVerdict::refused:
        entry.lastRefusal = outcome.reason;
        entry.refusedAt = answered;
        entry.refusedConfig = destination.fingerprint;
        save(entry);
        log(LogLevel::warning, "refused: " + outcome.reason + "; nothing more is sent until [" + destination.section
                                   + "] in the configuration changes");
        return Round::refused;
    case DeliveryVerdict::rateLimited:
    case DeliveryVerdict::failed:
        break;
    }
    ++entry.failures;
    const bool limited = outcome.verdict == DeliveryVerdict::rateLimited;
    const long wait = limited && outcome.waitSeconds > 0 ? outcome.waitSeconds : retryDelaySeconds(entry.failures);
    entry.nextAttempt = answered + wait;
    entry.lastFailure = (limited ? "asked to wait: " : "") + outcome.reason;
    save(entry);
    if (sendFault.happened())
        log(LogLevel::warning, (limited ? "asked to wait " + std::to_string(wait) + " s: " : "not delivered: ")
                                   + outcome.reason + "; next attempt in " + std::to_string(wait) + " s"
                                   + sendFault.inARow());
    return Round::again; // to wait for the next attempt
}

void DeliveryWorker::tellMissed()
{
    if (missed == 0)
        return;
    const std::string why = destination.rules.takesPast
                              ? "older than the " + std::to_string(destination.rules.backfillDays)
                                    + " days caught up (backfill-days)"
                              : "the service takes current observations only";
    log(LogLevel::info, std::to_string(missed) + " observations from " + shownTime(missedFirst) + " to "
                            + shownTime(missedLast) + " not sent: " + why);
    missed = 0;
}
