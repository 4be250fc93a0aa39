#include "sim/console_session.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "link/crc16.h"
#include "link/report_layout.h"

namespace {


// A program that rejects a packet forever would keep us busy forever.
constexpr std::uint32_t MAX_NAKS = 50;

constexpr std::int64_t MINUTE_MS = 60000;

// Milliseconds of local time on the logger's pace at `nowMs`.
std::int64_t paceMs(const SimClock& clock, std::uint64_t nowMs)
{
    const std::uint64_t elapsed = nowMs > clock.baseMs ? nowMs - clock.baseMs : 0;
    return clock.baseMinute * MINUTE_MS + clock.baseSecond * 1000 + static_cast<std::int64_t>(elapsed);
}

// How far the clock reads from the pace at `atMs` (before the start: as
// it was started).
std::int64_t clockOffsetMs(const SimClock& clock, std::int64_t atMs)
{
    std::int64_t offset = 0;
    for (std::size_t i = 0; i < clock.setCount && static_cast<std::int64_t>(clock.sets[i].atMs) <= atMs; ++i)
        offset = clock.sets[i].offsetMs;
    return offset;
}

std::int64_t nearestMinutes(std::int64_t ms)
{
    return floorDivide(ms + MINUTE_MS / 2, MINUTE_MS);
}

// The minute on the logger's pace: the weather the console measures.
std::int64_t paceMinute(const ConsoleSession& s, std::uint64_t nowMs)
{
    return floorDivide(paceMs(s.clock, nowMs), MINUTE_MS);
}

enum Answer { ANSWER_NONE, ANSWER_ACK, ANSWER_NAK, ANSWER_RECORD_ACK, ANSWER_RECORD_NAK };

void emit(ConsoleSession& s, bool detail, const char* format, ...)
{
    char line[768];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (s.io.event)
        s.io.event(s.io.context, detail, line);
}

void hex(const std::uint8_t* bytes, std::size_t count, char* out, std::size_t size)
{
    static const char digits[] = "0123456789abcdef";
    std::size_t n = 0;
    for (std::size_t i = 0; i < count && n + 3 < size; ++i) {
        if (i > 0)
            out[n++] = ' ';
        out[n++] = digits[bytes[i] >> 4];
        out[n++] = digits[bytes[i] & 15];
    }
    out[n] = '\0';
}

const char* roleName(MessageRole role)
{
    switch (role) {
    case ROLE_LIVE: return "live";
    case ROLE_HISTORY: return "history";
    case ROLE_NO_HISTORY: return "no-history";
    case ROLE_REFUSAL: return "history-refused";
    case ROLE_CLOCK_REQUEST: return "clock-request";
    case ROLE_WU: return "wu";
    case ROLE_WC: return "wc";
    }
    return "?";
}

bool expectsRecordAnswer(const OutgoingMessage& m)
{
    return m.encoded.reports[0][KIND_BYTE] == KIND_OBSERVATION;
}

bool isTarget(const ConsoleSession& s, const OutgoingMessage& m)
{
    const SimOptions& o = *s.options;
    if (!o.faultRecord && !o.faultLive && !o.faultEvery)
        return true;
    if (o.faultRecord && m.role == ROLE_HISTORY && m.recordNumber == o.faultRecord)
        return true;
    if (o.faultLive && m.role == ROLE_LIVE && s.liveStarted == o.faultLive)
        return true;
    return o.faultEvery && s.messagesStarted % o.faultEvery == 0;
}

void requestClose(ConsoleSession& s, const char* why)
{
    if (!s.closeRequested)
        emit(s, false, "%s", why);
    s.closeRequested = true;
}

void transmit(ConsoleSession& s, std::uint64_t now)
{
    OutgoingMessage& m = s.current;
    EncodedReport report = m.encoded.reports[m.order[m.position]];
    ++s.transmissions;
    bool damaged = false;
    if (s.options->badCrcEvery && s.transmissions % s.options->badCrcEvery == 0)
        damaged = true;
    if (m.position == 0 && m.burstLeft > 0) {
        --m.burstLeft;
        damaged = true;
    }
    if (damaged) {
        if (m.countDamaged) {
            // The count bytes were hit in transit. Sealed before spoiling, so
            // the checksum cannot happen to fit the new count.
            report[2] = static_cast<std::uint8_t>(s.options->countOnDamage >> 8);
            report[3] = static_cast<std::uint8_t>(s.options->countOnDamage & 0xFF);
            sealReport(report);
        }
        damageChecksum(report);
    }
    m.lastDamaged = damaged;
    if (s.options->verbose) {
        char dump[200];
        hex(report.data(), report.size(), dump, sizeof dump);
        emit(s, true, "send %s packet %d/%d%s: %s", roleName(m.role), report[6] & 15, report[6] >> 4,
             damaged ? " damaged" : "", dump);
    }
    if (!s.io.writeReport(s.io.context, report)) {
        requestClose(s, "write-failed");
        return;
    }
    m.awaiting = m.role != ROLE_NO_HISTORY; // the program never answers "no history"
    m.deadline = now + s.options->ackTimeoutMs;
}

const char* statusOf(const OutgoingMessage& m)
{
    return m.faulted ? "faulted" : (m.givenUp ? "given-up" : "ok");
}

void finishHistoryTransfer(ConsoleSession& s, const char* how)
{
    emit(s, false, "history-%s %u %u", how, s.historyAnswered, s.options->historyCount);
    s.historyRunning = false;
}

void logMessage(ConsoleSession& s, const OutgoingMessage& m, const char* status)
{
    switch (m.role) {
    case ROLE_HISTORY:
        emit(s, false, "history %u %u %s %s", m.recordNumber, s.options->historyCount, status, m.text);
        break;
    case ROLE_LIVE:
    case ROLE_WU:
    case ROLE_WC:
        emit(s, false, "%s %s %s", roleName(m.role), status, m.text);
        break;
    default:
        emit(s, false, "%s %s", roleName(m.role), status);
        break;
    }
}

// The answer to the last packet came late: a console sends it again, though
// the program already has it, and expects no answer to it.
void sendOnceMore(ConsoleSession& s, const char* event, std::uint64_t now)
{
    const OutgoingMessage& m = s.current;
    emit(s, false, "%s %u", event, m.recordNumber);
    if (!s.io.writeReport(s.io.context, m.encoded.reports[m.order[m.orderCount - 1]])) {
        requestClose(s, "write-failed");
        return;
    }
    s.repeatOutstanding = true;
    s.repeatDeadline = now + s.options->ackTimeoutMs;
}

// The message in flight is done: every packet answered, or given up.
void completeMessage(ConsoleSession& s, bool abandoned, std::uint64_t now)
{
    OutgoingMessage& m = s.current;
    const bool history = m.role == ROLE_HISTORY && s.historyRunning;
    s.inFlight = false;
    logMessage(s, m, abandoned ? "abandoned" : statusOf(m));
    if (abandoned) {
        if (history)
            finishHistoryTransfer(s, "abandoned");
        return;
    }
    const bool sentAny = m.orderCount > 0; // a lost single packet leaves nothing sent
    if (m.role == ROLE_CLOCK_REQUEST && sentAny)
        s.clockRequested = true;
    bool transferEnded = false;
    if (history) {
        ++s.historyAnswered;
        if (s.options->vanishAfter && s.historyAnswered == s.options->vanishAfter) {
            emit(s, false, "vanish %u", s.historyAnswered);
            s.closeRequested = true;
            return;
        }
        transferEnded = m.recordNumber >= s.options->historyCount;
        if (transferEnded)
            finishHistoryTransfer(s, "end");
    }
    if (!sentAny)
        return;
    if (m.repeatsLast)
        sendOnceMore(s, "repeat-packet", now);
    else if (transferEnded && s.options->repeatLastPacket)
        sendOnceMore(s, "repeat-last", now);
}

void advance(ConsoleSession& s, std::uint64_t now)
{
    OutgoingMessage& m = s.current;
    ++m.position;
    m.repeats = 0;
    m.naks = 0;
    m.awaiting = false;
    if (m.stalls && m.position == 2) {
        emit(s, false, "stall %s %u", roleName(m.role), m.recordNumber);
        s.stalled = true;
        completeMessage(s, true, now);
    } else if (m.position >= m.orderCount) {
        completeMessage(s, false, now);
    } else {
        transmit(s, now);
    }
}

void beginMessage(ConsoleSession& s, MessageRole role, std::uint8_t kind, ReportHeader header,
                  const char* text, std::uint16_t recordNumber, std::uint64_t now)
{
    OutgoingMessage& m = s.current;
    m = OutgoingMessage{};
    m.role = role;
    m.recordNumber = recordNumber;
    std::snprintf(m.text, sizeof m.text, "%s", text);
    const std::size_t length = std::strlen(text);
    if (encodeMessage(kind, header, reinterpret_cast<const std::uint8_t*>(text), length, m.encoded) == 0) {
        emit(s, false, "%s too-long %u", roleName(role), static_cast<unsigned>(length));
        return;
    }
    ++s.messagesStarted;
    if (role == ROLE_LIVE)
        ++s.liveStarted;
    m.orderCount = m.encoded.count;
    for (std::size_t i = 0; i < m.orderCount; ++i)
        m.order[i] = static_cast<std::uint8_t>(i);

    const SimOptions& o = *s.options;
    const bool target = isTarget(s, m);
    if (o.stallTarget && !s.stallDone && m.orderCount > 2 && target) {
        m.stalls = true;
        s.stallDone = true;
    }
    if (target) {
        m.burstLeft = o.badCrcRun;
        m.countDamaged = o.damageCount;
        m.repeatsLast = o.repeatPacket && role != ROLE_NO_HISTORY; // "no history" is never answered
        if (o.swapPackets && m.orderCount >= 2) {
            const std::uint8_t last = m.order[m.orderCount - 1];
            m.order[m.orderCount - 1] = m.order[m.orderCount - 2];
            m.order[m.orderCount - 2] = last;
            m.faulted = true;
        }
        if (o.losePacket && m.orderCount >= o.losePacket) {
            // Packet P is report P - 1, wherever a swap moved it.
            std::size_t at = 0;
            while (at < m.orderCount && m.order[at] != o.losePacket - 1)
                ++at;
            for (; at + 1 < m.orderCount; ++at)
                m.order[at] = m.order[at + 1];
            --m.orderCount;
            m.faulted = true;
        }
    }
    s.inFlight = true;
    if (m.orderCount == 0) { // its only packet was lost
        completeMessage(s, false, now);
        return;
    }
    transmit(s, now);
    if (s.inFlight && !m.awaiting && !s.closeRequested)
        advance(s, now);
}

// The weather of `measured` (on the logger's pace), stamped with the
// console's clock minute `stamped`.
void beginObservation(ConsoleSession& s, MessageRole role, std::int64_t measured, std::int64_t stamped,
                      std::uint16_t recordNumber, std::uint64_t now)
{
    Observation obs;
    observeStation(s.model, measured, obs);
    obs.time = civilFromMinutes(stamped);
    char line[OBSERVATION_LINE_MAX + 1];
    formatObservationLine(obs, line, sizeof line);
    const ReportHeader header =
        role == ROLE_HISTORY
            ? observationHeader(static_cast<std::uint16_t>(s.options->historyCount), recordNumber)
            : observationHeader(0, 0);
    beginMessage(s, role, KIND_OBSERVATION, header, line, recordNumber, now);
}

void beginUpload(ConsoleSession& s, MessageRole role, std::uint64_t now)
{
    Observation obs;
    observeStation(s.model, paceMinute(s, now), obs);
    char text[UPLOAD_TEXT_MAX + 1];
    if (role == ROLE_WU)
        formatWundergroundText(obs, text, sizeof text);
    else
        formatWeathercloudText(obs, text, sizeof text);
    beginMessage(s, role, role == ROLE_WU ? KIND_UPLOAD_WU : KIND_UPLOAD_WC, ReportHeader{{0, 0, 0, 0}}, text, 0, now);
}

// Sends the next waiting message, if nothing is in flight.
void sendNext(ConsoleSession& s, std::uint64_t now)
{
    // Messages that need no answer finish at once; bound the loop anyway.
    for (int guard = 0; guard < 8 && !s.inFlight && !s.closeRequested && !s.stalled && !s.repeatOutstanding;
         ++guard) {
        if (s.historyReplyDue) {
            s.historyReplyDue = false;
            if (s.historyReply == ROLE_NO_HISTORY)
                beginMessage(s, ROLE_NO_HISTORY, KIND_OBSERVATION, noHistoryHeader(), "", 0, now);
            else
                beginMessage(s, ROLE_REFUSAL, KIND_STATUS, statusHeader(0, 1), "", 0, now);
        } else if (s.liveDue && !s.historyRunning) {
            // A live observation in the middle of a transfer would end the
            // program's history download, so it waits for the transfer.
            s.liveDue = false;
            beginObservation(s, ROLE_LIVE, paceMinute(s, now), sessionMinute(s, now), 0, now);
        } else if (s.clockDue) {
            s.clockDue = false;
            beginMessage(s, ROLE_CLOCK_REQUEST, KIND_STATUS, statusHeader(STATUS_CLOCK_REQUEST, 0), "", 0,
                         now);
        } else if (s.wuDue) {
            s.wuDue = false;
            beginUpload(s, ROLE_WU, now);
        } else if (s.wcDue) {
            s.wcDue = false;
            beginUpload(s, ROLE_WC, now);
        } else if (s.historyRunning && s.historyNext <= s.options->historyCount) {
            const std::uint32_t number = s.historyNext++;
            const std::int64_t logged = historyRecordMinute(s.historyLastMinute, s.options->historyIntervalMinutes,
                                                            s.options->historyCount, number);
            beginObservation(s, ROLE_HISTORY, logged, loggedMinute(s.clock, logged),
                             static_cast<std::uint16_t>(number), now);
        } else {
            return;
        }
    }
}

void startHistory(ConsoleSession& s, std::uint64_t now)
{
    const SimOptions& o = *s.options;
    if (o.noHistory || o.historyCount == 0 || o.refuseHistory) {
        s.historyReply = o.refuseHistory && !o.noHistory && o.historyCount > 0 ? ROLE_REFUSAL
                                                                              : ROLE_NO_HISTORY;
        s.historyReplyDue = true;
        return;
    }
    if (s.historyRunning) {
        finishHistoryTransfer(s, "restart");
    }
    if (s.inFlight && s.current.role == ROLE_HISTORY) {
        logMessage(s, s.current, "abandoned");
        s.inFlight = false;
    }
    const std::int64_t interval = o.historyIntervalMinutes;
    std::int64_t last = paceMinute(s, now);
    last -= ((last % interval) + interval) % interval;
    s.historyRunning = true;
    s.historyNext = 1;
    s.historyAnswered = 0;
    s.historyLastMinute = last;
    const SimDateTime first = civilFromMinutes(
        loggedMinute(s.clock, historyRecordMinute(last, o.historyIntervalMinutes, o.historyCount, 1)));
    const SimDateTime end = civilFromMinutes(loggedMinute(s.clock, last));
    emit(s, false, "history-start %u %u %d-%d-%d %02d:%02d %d-%d-%d %02d:%02d", o.historyCount,
         o.historyIntervalMinutes, first.year, first.month, first.day, first.hour, first.minute,
         end.year, end.month, end.day, end.hour, end.minute);
}

void stopHistory(ConsoleSession& s)
{
    if (!s.historyRunning) {
        emit(s, true, "stop");
        return;
    }
    if (s.inFlight && s.current.role == ROLE_HISTORY) {
        logMessage(s, s.current, "abandoned");
        s.inFlight = false;
    }
    finishHistoryTransfer(s, "stopped");
}

void onAnswer(ConsoleSession& s, Answer answer, std::uint64_t now)
{
    OutgoingMessage& m = s.current;
    const bool isAck = answer == ANSWER_ACK || answer == ANSWER_RECORD_ACK;
    const bool forRecord = answer == ANSWER_RECORD_ACK || answer == ANSWER_RECORD_NAK;
    if (s.repeatOutstanding) {
        // Whatever it says, it is about the packet sent once more.
        s.repeatOutstanding = false;
        emit(s, false, "unexpected-answer %s%s to repeat", forRecord ? "record-" : "", isAck ? "ack" : "nak");
        return;
    }
    if (!s.inFlight || !m.awaiting) {
        emit(s, false, "unexpected-answer %s nothing-in-flight", isAck ? "ack" : "nak");
        return;
    }
    if (forRecord != expectsRecordAnswer(m)) {
        // A strict console: an answer of the wrong family does not count.
        emit(s, false, "unexpected-answer %s%s to %s", forRecord ? "record-" : "", isAck ? "ack" : "nak",
             roleName(m.role));
        return;
    }
    if (isAck) {
        if (m.lastDamaged)
            m.givenUp = true;
        advance(s, now);
        return;
    }
    if (++m.naks > MAX_NAKS) {
        completeMessage(s, true, now);
        return;
    }
    transmit(s, now);
}

void onClockCommand(ConsoleSession& s, const std::uint8_t* c, std::uint64_t now)
{
    const std::uint16_t crc = crc16(c, 1, 6);
    const bool crcOk = c[6] == (crc & 0xFF) && c[7] == (crc >> 8);
    const bool marksOk = c[0] == 0x00 && c[1] == 0xFC && c[8] == 0xFD;
    const bool isDate = c[2] == CMD_SET_DATE_CODE;
    emit(s, false, "%s %d %d %d %s", isDate ? "set-date" : "set-time", c[3], c[4], c[5],
         !marksOk ? "bad-marks" : (crcOk ? "crc-ok" : "crc-bad"));
    if (!crcOk || !marksOk) {
        s.haveDate = false;
        emit(s, false, "clock bad-checksum");
        return;
    }
    if (isDate) {
        s.haveDate = c[4] >= 1 && c[4] <= 12 && c[5] >= 1 && c[5] <= 31;
        s.dateYear = 2000 + c[3];
        s.dateMonth = c[4];
        s.dateDay = c[5];
        if (!s.haveDate)
            emit(s, false, "clock bad-date");
        return;
    }
    if (!s.haveDate) {
        emit(s, false, "clock no-date");
        return;
    }
    s.haveDate = false;
    if (c[3] > 23 || c[4] > 59 || c[5] > 59) {
        emit(s, false, "clock bad-time");
        return;
    }
    const SimDateTime got{s.dateYear, s.dateMonth, s.dateDay, c[3], c[4]};
    if (!isValidCivil(got)) {
        emit(s, false, "clock bad-date");
        return;
    }
    const ClockTime host = s.io.hostClock ? s.io.hostClock(s.io.context) : ClockTime{};
    const SimDateTime mine{host.year, host.month, host.day, host.hour, host.minute};
    const std::int64_t seconds = (minutesFromCivil(got) - minutesFromCivil(mine)) * 60 + c[5] - host.second;
    const std::int64_t distance = seconds < 0 ? -seconds : seconds;
    emit(s, false, "clock %s %lld %s", distance <= s.options->clockToleranceSeconds ? "ok" : "off",
         static_cast<long long>(seconds), s.clockRequested ? "requested" : "unrequested");
    s.clockRequested = false;
    setSimClock(s.clock, minutesFromCivil(got), c[5], now);
}

void scheduleDue(std::uint64_t& next, std::uint32_t interval, std::uint64_t now, bool& due)
{
    if (interval == 0 || now < next)
        return;
    due = true;
    next += interval;
    if (next <= now)
        next = now + interval;
}

} // namespace

std::int64_t historyRecordMinute(std::int64_t lastMinute, std::uint32_t intervalMinutes,
                                 std::uint32_t count, std::uint32_t number)
{
    return lastMinute - static_cast<std::int64_t>(count - number) * intervalMinutes;
}

std::int64_t sessionMinute(const ConsoleSession& s, std::uint64_t nowMs)
{
    return floorDivide(paceMs(s.clock, nowMs) + clockOffsetMs(s.clock, static_cast<std::int64_t>(nowMs)), MINUTE_MS);
}

void setSimClock(SimClock& clock, std::int64_t minute, int second, std::uint64_t nowMs)
{
    const std::int64_t offset = minute * MINUTE_MS + second * 1000 - paceMs(clock, nowMs);
    if (clock.setCount > 0 && nearestMinutes(clock.sets[clock.setCount - 1].offsetMs) == nearestMinutes(offset)) {
        clock.sets[clock.setCount - 1].offsetMs = offset;
        return;
    }
    if (clock.setCount == SIM_CLOCK_SETS_MAX) {
        for (std::size_t i = 1; i < SIM_CLOCK_SETS_MAX; ++i)
            clock.sets[i - 1] = clock.sets[i];
        --clock.setCount;
    }
    clock.sets[clock.setCount++] = SimClockSet{nowMs, offset};
}

std::int64_t loggedMinute(const SimClock& clock, std::int64_t paceMinute)
{
    // When the pace read that minute, on the shell's counter.
    const std::int64_t atMs = static_cast<std::int64_t>(clock.baseMs) + paceMinute * MINUTE_MS
                            - (clock.baseMinute * MINUTE_MS + clock.baseSecond * 1000);
    return paceMinute + nearestMinutes(clockOffsetMs(clock, atMs));
}

void startSession(ConsoleSession& s, const SimOptions& options, const SimClock& clock, SessionIo io,
                  std::uint64_t nowMs)
{
    s = ConsoleSession{};
    s.options = &options;
    s.io = io;
    s.clock = clock;
    const int logger = options.noHistory ? 0 : static_cast<int>((options.historyCount * 100 + 65534) / 65535);
    initStationModel(s.model, options.seed, static_cast<int>(options.invalidPermille), logger);
    s.nextLive = nowMs + options.liveIntervalMs;
    s.nextUpload = nowMs + options.uploadIntervalMs;
    s.nextClock = nowMs + options.clockIntervalMs;
}

void sessionCommand(ConsoleSession& s, const std::uint8_t* bytes, std::size_t length, std::uint64_t now)
{
    char dump[64];
    hex(bytes, length < 16 ? length : 16, dump, sizeof dump);
    if (length != COMMAND_REPORT_SIZE) {
        emit(s, false, "odd-command length %u: %s", static_cast<unsigned>(length), dump);
        return;
    }
    struct Known {
        const CommandReport* report;
        const char* name;
    };
    static const Known known[] = {
        {&CMD_READ_CURRENT, "CMD_READ_CURRENT"}, {&CMD_READ_HISTORY, "CMD_READ_HISTORY"},
        {&CMD_STOP, "CMD_STOP"},                 {&CMD_ACK, "CMD_ACK"},
        {&CMD_NAK, "CMD_NAK"},                   {&CMD_RECORD_ACK, "CMD_RECORD_ACK"},
        {&CMD_RECORD_NAK, "CMD_RECORD_NAK"},
    };
    const Known* match = nullptr;
    for (const Known& k : known)
        if (std::memcmp(k.report->data(), bytes, COMMAND_REPORT_SIZE) == 0)
            match = &k;
    if (!match) {
        if (bytes[2] == CMD_SET_DATE_CODE || bytes[2] == CMD_SET_TIME_CODE) {
            emit(s, true, "recv clock: %s", dump);
            onClockCommand(s, bytes, now);
        } else {
            emit(s, false, "odd-command %s", dump);
        }
        return;
    }
    emit(s, true, "recv %s", match->name);
    if (match->report == &CMD_READ_CURRENT || match->report == &CMD_READ_HISTORY || match->report == &CMD_STOP)
        s.stalled = false;
    if (match->report == &CMD_READ_CURRENT) {
        emit(s, false, "read-current");
        s.liveDue = true;
    } else if (match->report == &CMD_READ_HISTORY) {
        emit(s, false, "read-history");
        startHistory(s, now);
    } else if (match->report == &CMD_STOP) {
        stopHistory(s);
    } else if (match->report == &CMD_ACK) {
        onAnswer(s, ANSWER_ACK, now);
    } else if (match->report == &CMD_NAK) {
        onAnswer(s, ANSWER_NAK, now);
    } else if (match->report == &CMD_RECORD_ACK) {
        onAnswer(s, ANSWER_RECORD_ACK, now);
    } else {
        onAnswer(s, ANSWER_RECORD_NAK, now);
    }
    sendNext(s, now);
}

void sessionTick(ConsoleSession& s, std::uint64_t now)
{
    if (s.closeRequested)
        return;
    OutgoingMessage& m = s.current;
    if (s.inFlight && m.awaiting && now >= m.deadline) {
        if (++m.repeats > s.options->maxRepeats) {
            completeMessage(s, true, now);
        } else {
            emit(s, true, "repeat %s after time-out", roleName(m.role));
            transmit(s, now);
        }
    }
    if (s.repeatOutstanding && now >= s.repeatDeadline) {
        emit(s, true, "repeat unanswered");
        s.repeatOutstanding = false;
    }
    bool uploadDue = false;
    scheduleDue(s.nextLive, s.options->liveIntervalMs, now, s.liveDue);
    scheduleDue(s.nextClock, s.options->clockIntervalMs, now, s.clockDue);
    scheduleDue(s.nextUpload, s.options->uploadIntervalMs, now, uploadDue);
    if (uploadDue) {
        s.wuDue = true;
        s.wcDue = true;
    }
    sendNext(s, now);
}

std::uint64_t sessionNextDeadline(const ConsoleSession& s, std::uint64_t now)
{
    std::uint64_t next = now + 1000;
    auto consider = [&next](std::uint64_t t) {
        if (t < next)
            next = t;
    };
    if (s.inFlight && s.current.awaiting)
        consider(s.current.deadline);
    if (s.repeatOutstanding)
        consider(s.repeatDeadline);
    if (s.options->liveIntervalMs)
        consider(s.nextLive);
    if (s.options->uploadIntervalMs)
        consider(s.nextUpload);
    if (s.options->clockIntervalMs)
        consider(s.nextClock);
    const bool waiting = s.historyReplyDue || (s.liveDue && !s.historyRunning) || s.clockDue || s.wuDue ||
                         s.wcDue || (s.historyRunning && s.historyNext <= s.options->historyCount);
    if (!s.inFlight && !s.stalled && !s.repeatOutstanding && waiting)
        consider(now);
    return next < now ? now : next;
}
