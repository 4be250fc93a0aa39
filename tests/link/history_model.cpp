#include "tests/link/history_model.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <utility>

#include "link/crc16.h"
#include "link/link_flags.h"
#include "link/messages.h"
#include "link/report_layout.h"
#include "link/report_reader.h"
#include "readings/station_record.h"
#include "tests/link/delivered_text.h"

namespace {

std::uint64_t splitMix(std::uint64_t& state)
{
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

[[noreturn]] void planError(const char* what)
{
    std::fprintf(stderr, "history model: %s\n", what);
    std::abort();
}

} // namespace

std::uint32_t SeededChoices::below(std::uint32_t bound)
{
    return static_cast<std::uint32_t>(splitMix(state_) % bound);
}

std::uint32_t ByteChoices::next()
{
    if (size_ == 0)
        return 0;
    --size_;
    return *data_++;
}

std::uint32_t ByteChoices::below(std::uint32_t bound)
{
    if (bound <= 256)
        return next() % bound;
    const std::uint32_t high = next();
    return ((high << 8) | next()) % bound;
}

std::uint32_t RecordedChoices::below(std::uint32_t bound)
{
    const std::uint32_t value = source_.below(bound);
    if (bound > 256)
        bytes_.push_back(static_cast<std::uint8_t>(value >> 8));
    bytes_.push_back(static_cast<std::uint8_t>(value & 0xFF));
    return value;
}

// --- texts ------------------------------------------------------------------

namespace {

constexpr std::size_t PAYLOAD = ENCODED_PAYLOAD_MAX;
constexpr std::size_t LONGEST_RECORD = STATION_RECORD_SIZE - 1; // the reader keeps a terminator

// A length that takes exactly `packets` packets.
std::size_t lengthFor(std::uint64_t& mix, int packets, std::size_t shortest, std::size_t longest)
{
    const std::size_t low = std::max(PAYLOAD * static_cast<std::size_t>(packets - 1) + 1, shortest);
    const std::size_t high = std::min(PAYLOAD * static_cast<std::size_t>(packets), longest);
    return low + splitMix(mix) % (high - low + 1);
}

// One value as the console writes it: a dash text, a whole number or tenths.
std::string reading(std::uint64_t& mix)
{
    const std::uint64_t r = splitMix(mix);
    switch (r % 8) {
    case 0:
        return "--";
    case 1:
    case 2:
        return std::to_string((r >> 8) % 360);
    default: {
        const int tenths = static_cast<int>((r >> 8) % 12000) - 2000;
        const int magnitude = std::abs(tenths);
        return (tenths < 0 ? "-" : "") + std::to_string(magnitude / 10) + "."
            + static_cast<char>('0' + magnitude % 10);
    }
    }
}

std::size_t packetsOf(const std::string& text)
{
    return text.empty() ? 1 : (text.size() + PAYLOAD - 1) / PAYLOAD;
}

MessagePlan makeMessage(MessageKind kind, std::uint16_t number, std::string text)
{
    MessagePlan message;
    message.kind = kind;
    message.number = number;
    message.text = std::move(text);
    message.packets.resize(packetsOf(message.text));
    return message;
}

} // namespace

std::string observationText(std::uint32_t serial, int packets)
{
    std::uint64_t mix = serial * 0x2545F4914F6CDD1Dull + 17;
    const std::size_t length = lengthFor(mix, packets, 0, LONGEST_RECORD);
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "%u 2026-%02u-%02u %02u:%02u", static_cast<unsigned>(serial),
                  static_cast<unsigned>(1 + serial / 8064 % 12), static_cast<unsigned>(1 + serial / 288 % 28),
                  static_cast<unsigned>(serial / 12 % 24), static_cast<unsigned>(serial % 12 * 5));
    std::string line = stamp;
    while (line.size() < length)
        line += ' ' + reading(mix);
    line.resize(length);
    if (line.back() == ' ')
        line.back() = '0';
    return line;
}

std::string uploadText(std::uint32_t serial, int packets)
{
    static const char* const FIELDS[] = {"tempf",   "humidity",     "dewptf",      "windchillf",
                                         "winddir", "windspeedmph", "windgustmph", "rainin",
                                         "dailyrainin", "baromin",  "UV",          "indoortempf"};
    std::uint64_t mix = serial * 0x9E3779B97F4A7C15ull + 29;
    const std::size_t length = lengthFor(mix, packets, 20, ENCODED_MESSAGE_MAX);
    std::string text = "ID=KMODEL" + std::to_string(serial) + "&PASSWORD=k3y&dateutc=2026-03-07+09%3A05%3A00";
    for (std::size_t i = 0; text.size() < length; ++i)
        text += std::string("&") + FIELDS[i % std::size(FIELDS)] + "=" + reading(mix);
    text.resize(length);
    return text;
}

MessagePlan historyRecord(std::uint16_t number, std::string text)
{
    return makeMessage(MessageKind::History, number, std::move(text));
}

MessagePlan liveObservation(std::string text)
{
    return makeMessage(MessageKind::Live, 0, std::move(text));
}

MessagePlan uploadMessage(MessageKind kind, std::string text)
{
    return makeMessage(kind, 0, std::move(text));
}

PhasePlan wholeDownload(std::uint16_t count, std::uint16_t first, std::uint32_t& serial)
{
    PhasePlan phase;
    phase.requested = true;
    phase.count = count;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t s = serial++;
        phase.messages.push_back(historyRecord(static_cast<std::uint16_t>(first + i),
                                               observationText(s, 3 + static_cast<int>(s % 7))));
    }
    return phase;
}

const MessagePlan* findRecord(const PhasePlan& phase, std::uint16_t number)
{
    for (const MessagePlan& message : phase.messages)
        if (message.kind == MessageKind::History && message.number == number)
            return &message;
    return nullptr;
}

MessagePlan* findRecord(PhasePlan& phase, std::uint16_t number)
{
    return const_cast<MessagePlan*>(findRecord(std::as_const(phase), number));
}

// --- plans from choices -----------------------------------------------------

namespace {

bool chance(ChoiceSource& choices, std::uint32_t in256)
{
    return choices.below(256) >= 256 - in256;
}

int countReading(ChoiceSource& choices)
{
    switch (choices.below(4)) {
    case 0:
        return -1;
    case 1:
        return 1;
    case 2:
        return 0xFFFF;
    default:
        return 0; // reads as a live observation
    }
}

void chooseRecordFates(ChoiceSource& choices, MessagePlan& record)
{
    for (PacketFate& fate : record.packets) {
        const std::uint32_t pick = choices.below(256);
        if (pick < 200)
            continue;
        if (pick < 208) {
            fate.lost = true;
        } else if (pick < 224) {
            fate.damaged = 1 + static_cast<int>(choices.below(9));
            if (chance(choices, 48))
                fate.repeat = Repeat::AtOnce;
        } else if (pick < 232) {
            fate.damaged = GIVE_UP_COPIES;
        } else if (pick < 244) {
            fate.repeat = Repeat::AtOnce;
        } else {
            fate.repeat = Repeat::Late;
            fate.lateBy = 1 + static_cast<int>(choices.below(3));
        }
        if (fate.damaged > 0)
            fate.countReads = countReading(choices);
    }
    // The console stopped sending the record part way: its tail never came.
    if (chance(choices, 16)) {
        const std::size_t tail = std::min<std::size_t>(1 + choices.below(3), record.packets.size() - 1);
        for (std::size_t p = record.packets.size() - tail; p < record.packets.size(); ++p)
            record.packets[p] = PacketFate{true};
    }
}

// Two messages of one kind, the first missing its tail and the next its
// head, read as one whole message: nothing in the packets tells them apart.
// Only records carry a number, so the other messages lose at most one
// packet, and only when they have three or more.
void chooseOtherFates(ChoiceSource& choices, MessagePlan& message)
{
    bool oneLost = false;
    for (PacketFate& fate : message.packets) {
        const std::uint32_t pick = choices.below(256);
        if (pick < 216)
            continue;
        if (pick < 236) {
            fate.damaged = 1 + static_cast<int>(choices.below(9));
        } else if (!oneLost && message.packets.size() >= 3) {
            oneLost = true;
            if (pick < 246)
                fate.lost = true;
            else
                fate.damaged = GIVE_UP_COPIES;
        }
        if (fate.damaged > 0)
            fate.countReads = countReading(choices);
    }
}

MessagePlan otherMessage(ChoiceSource& choices, std::uint32_t& serial)
{
    MessagePlan message;
    switch (choices.below(3)) {
    case 0:
        message = liveObservation(observationText(serial++, 3 + static_cast<int>(choices.below(7))));
        break;
    case 1:
        message = uploadMessage(MessageKind::UploadWu, uploadText(serial++, 1 + static_cast<int>(choices.below(8))));
        break;
    default:
        message = uploadMessage(MessageKind::UploadWc, uploadText(serial++, 1 + static_cast<int>(choices.below(8))));
        break;
    }
    chooseOtherFates(choices, message);
    return message;
}

void addOthers(ChoiceSource& choices, PhasePlan& phase, std::uint32_t& serial, std::uint32_t in256)
{
    for (int n = 0; n < 2 && chance(choices, in256); ++n)
        phase.messages.push_back(otherMessage(choices, serial));
}

} // namespace

SequencePlan generateSequence(ChoiceSource& choices, const ModelLimits& limits)
{
    SequencePlan plan;
    std::uint32_t serial = 1;
    int downloads = 1;
    while (downloads < limits.maxDownloads && chance(choices, 40))
        ++downloads;
    for (int d = 0; d < downloads; ++d) {
        PhasePlan phase;
        phase.requested = true;
        const auto most = static_cast<std::uint32_t>(std::clamp(limits.maxRecords, 1, 0xFFFF));
        phase.count = static_cast<std::uint16_t>(
            1 + (chance(choices, 32) ? choices.below(most) : choices.below(std::min<std::uint32_t>(most, 12))));
        const std::uint16_t first = chance(choices, 32) ? 0 : 1;
        for (std::uint32_t i = 0; i < phase.count; ++i) {
            addOthers(choices, phase, serial, 24);
            MessagePlan record = historyRecord(static_cast<std::uint16_t>(first + i),
                                               observationText(serial++, 3 + static_cast<int>(choices.below(7))));
            record.givenUp = chance(choices, 8);
            if (!record.givenUp)
                chooseRecordFates(choices, record);
            phase.messages.push_back(std::move(record));
        }
        addOthers(choices, phase, serial, 48);
        plan.phases.push_back(std::move(phase));
    }
    if (chance(choices, 64)) {
        PhasePlan after;
        after.requested = false;
        after.messages.push_back(otherMessage(choices, serial));
        addOthers(choices, after, serial, 96);
        plan.phases.push_back(std::move(after));
    }
    return plan;
}

// --- what the reader sees and must do ---------------------------------------

namespace {

bool arrives(const PacketFate& fate)
{
    return !fate.lost && fate.damaged < GIVE_UP_COPIES;
}

bool isGivenUp(const PacketFate& fate)
{
    return !fate.lost && fate.damaged >= GIVE_UP_COPIES;
}

// Every packet arrived intact at least once, none given up.
bool deliveredWhole(const MessagePlan& message)
{
    return !message.givenUp && std::all_of(message.packets.begin(), message.packets.end(), arrives);
}

bool isObservation(MessageKind kind)
{
    return kind == MessageKind::History || kind == MessageKind::Live;
}

std::uint8_t kindByte(MessageKind kind)
{
    switch (kind) {
    case MessageKind::UploadWu:
        return KIND_UPLOAD_WU;
    case MessageKind::UploadWc:
        return KIND_UPLOAD_WC;
    default:
        return KIND_OBSERVATION;
    }
}

ReportHeader headerOf(const PhasePlan& phase, const MessagePlan& message)
{
    switch (message.kind) {
    case MessageKind::History:
        return observationHeader(phase.count, message.number);
    case MessageKind::Live:
        return observationHeader(0, 0);
    default:
        return ReportHeader{{0, 0, 0, 0}};
    }
}

bool checksumHolds(const EncodedReport& report)
{
    const std::uint16_t crc = crc16(report.data(), 1, 62);
    return report[CRC_HIGH_BYTE] == (crc >> 8) && report[CRC_LOW_BYTE] == (crc & 0xFF);
}

// A copy spoilt in transit: the count bytes as the fate says, a few other
// bytes changed (never the kind), and a checksum that fails.
EncodedReport damagedCopy(const EncodedReport& intact, const PacketFate& fate, std::uint64_t salt)
{
    EncodedReport copy = intact;
    if (fate.countReads >= 0) {
        copy[2] = static_cast<std::uint8_t>(fate.countReads >> 8);
        copy[3] = static_cast<std::uint8_t>(fate.countReads & 0xFF);
    }
    std::uint64_t mix = salt;
    const int spoilt = static_cast<int>(splitMix(mix) % 3);
    for (int i = 0; i < spoilt; ++i) {
        const std::uint64_t r = splitMix(mix);
        copy[2 + r % (INPUT_REPORT_SIZE - 3)] ^= static_cast<std::uint8_t>(1 + (r >> 8) % 255);
    }
    // Never the console's "no history" answer, which the reader knows
    // whatever its checksum.
    if (copy[2] == 0xFF && copy[3] == 0xFF && copy[4] == 0xFF && copy[5] == 0xFF)
        copy[5] = 0xFE;
    if (checksumHolds(copy))
        copy[CRC_LOW_BYTE] ^= 0x5A;
    return copy;
}

// Whether the reader can learn, before the console goes quiet, that the
// last record has ended: an intact packet of it that does not continue its
// first packets, a packet given up while it was being put together, or an
// observation after it (the console moved on). A record none of whose
// packets arrived never began, so nothing after it can end it.
bool lastRecordEnds(const PhasePlan& phase, std::size_t last)
{
    const MessagePlan& record = phase.messages[last];
    if (record.givenUp)
        return false;
    const std::vector<PacketFate>& packets = record.packets;
    std::size_t taken = 0;
    while (taken < packets.size() && arrives(packets[taken]))
        ++taken;
    if (taken == packets.size())
        return true;
    if (std::any_of(packets.begin() + static_cast<std::ptrdiff_t>(taken), packets.end(), arrives))
        return true;
    if (taken == 0)
        return false;
    if (std::any_of(packets.begin() + static_cast<std::ptrdiff_t>(taken), packets.end(), isGivenUp))
        return true;
    for (std::size_t m = last + 1; m < phase.messages.size(); ++m) {
        const MessagePlan& later = phase.messages[m];
        if (later.kind != MessageKind::Live || later.givenUp)
            continue;
        for (const PacketFate& fate : later.packets)
            if (arrives(fate) || isGivenUp(fate))
                return true;
    }
    return false;
}

PhaseExpectation expectPhase(const PhasePlan& phase, std::size_t phaseIndex)
{
    PhaseExpectation out;
    const std::size_t count = phase.messages.size();
    // Arrivals per message and packet: a late copy goes in behind a later
    // packet's arrivals, never between the damaged copies of one packet,
    // whose failures the reader counts in a row.
    std::vector<std::vector<std::vector<Arrival>>> groups(count);
    struct LateCopy {
        std::size_t message;
        std::size_t packet;
        Arrival arrival;
    };
    std::vector<LateCopy> lateCopies;
    for (std::size_t m = 0; m < count; ++m) {
        const MessagePlan& message = phase.messages[m];
        const bool history = message.kind == MessageKind::History;
        if (history && !phase.requested)
            planError("a history record in a phase without request");
        EncodedMessage encoded;
        encodeMessage(kindByte(message.kind), headerOf(phase, message),
                      reinterpret_cast<const std::uint8_t*>(message.text.data()), message.text.size(), encoded);
        if (encoded.count == 0 || encoded.count != message.packets.size())
            planError("a message whose fates do not match its packets");
        // The console never sends these, and the expectation below does
        // not hold for them.
        if (isObservation(message.kind) && (encoded.count < 2 || message.text.size() > LONGEST_RECORD))
            planError("an observation of one packet, or longer than a record");
        if (message.text.size() >= UPLOAD_TEXT_SIZE)
            planError("an upload text longer than its buffer");
        groups[m].resize(encoded.count);
        if (message.givenUp)
            continue;
        const CommandReport& ack = isObservation(message.kind) ? CMD_RECORD_ACK : CMD_ACK;
        const CommandReport& nak = isObservation(message.kind) ? CMD_RECORD_NAK : CMD_NAK;
        for (std::size_t p = 0; p < encoded.count; ++p) {
            const PacketFate& fate = message.packets[p];
            if (fate.repeat != Repeat::None && !history)
                planError("only history packets are repeated");
            if (fate.lost)
                continue;
            std::vector<Arrival>& group = groups[m][p];
            const int copies = std::min(fate.damaged, GIVE_UP_COPIES);
            for (int c = 1; c <= copies; ++c) {
                const bool last = c == GIVE_UP_COPIES;
                const std::uint64_t salt = (static_cast<std::uint64_t>(phaseIndex) << 48)
                    ^ (static_cast<std::uint64_t>(m) << 24) ^ (static_cast<std::uint64_t>(p) << 8)
                    ^ static_cast<std::uint64_t>(c);
                group.push_back(Arrival{damagedCopy(encoded.reports[p], fate, salt),
                                        last ? ArrivalRole::GivenUp : ArrivalRole::Damaged, last ? ack : nak,
                                        history, m, p, c});
            }
            if (copies == GIVE_UP_COPIES)
                continue;
            group.push_back(Arrival{encoded.reports[p], ArrivalRole::Intact, ack, history, m, p, 0});
            const Arrival repeat{encoded.reports[p], ArrivalRole::Repeat, ack, history, m, p, 0};
            if (fate.repeat == Repeat::AtOnce)
                group.push_back(repeat);
            else if (fate.repeat == Repeat::Late)
                lateCopies.push_back(LateCopy{m, p, repeat});
        }
    }
    // A late copy turns up later in its own record; the last packet's, once
    // the next record has begun.
    for (const LateCopy& late : lateCopies) {
        const int lateBy = std::max(1, phase.messages[late.message].packets[late.packet].lateBy);
        std::vector<std::vector<Arrival>>& own = groups[late.message];
        std::vector<Arrival>* behind = &own[late.packet];
        if (late.packet + 1 < own.size()) {
            behind = &own[std::min(late.packet + static_cast<std::size_t>(lateBy), own.size() - 1)];
        } else if (late.message + 1 < count && phase.messages[late.message + 1].kind == MessageKind::History) {
            std::vector<std::vector<Arrival>>& next = groups[late.message + 1];
            behind = &next[std::min(static_cast<std::size_t>(lateBy - 1), next.size() - 1)];
        }
        behind->push_back(late.arrival);
    }
    for (const auto& message : groups)
        for (const auto& group : message)
            out.arrivals.insert(out.arrivals.end(), group.begin(), group.end());

    for (const MessagePlan& message : phase.messages) {
        if (!deliveredWhole(message))
            continue;
        switch (message.kind) {
        case MessageKind::History:
            out.stored.push_back(message.text);
            break;
        case MessageKind::Live:
            out.live.push_back(message.text);
            break;
        case MessageKind::UploadWu:
            out.uploadsWu.push_back(message.text);
            break;
        case MessageKind::UploadWc:
            out.uploadsWc.push_back(message.text);
            break;
        }
    }

    for (std::size_t i = 0; i < out.arrivals.size() && !out.started; ++i) {
        if (out.arrivals[i].history && out.arrivals[i].role == ArrivalRole::Intact) {
            out.started = true;
            out.firstHistory = i;
        }
    }
    if (out.started) {
        // The reader takes the console to count from 0 only when the first
        // record it hears of is record 0; one that counts from 0 and lost it
        // leaves the reader waiting for a record past its last.
        const std::uint16_t firstNumber = phase.messages[out.arrivals[out.firstHistory].message].number == 0 ? 0 : 1;
        const std::uint32_t lastNumber = firstNumber + phase.count - 1u;
        for (std::size_t m = 0; m < count; ++m)
            if (phase.messages[m].kind == MessageKind::History && phase.messages[m].number == lastNumber)
                out.endsBeforeQuiet = lastRecordEnds(phase, m);
    }
    return out;
}

} // namespace

Expectation expectationOf(const SequencePlan& plan)
{
    Expectation expected;
    std::size_t most = 0;
    for (std::size_t i = 0; i < plan.phases.size(); ++i) {
        expected.phases.push_back(expectPhase(plan.phases[i], i));
        most = std::max<std::size_t>(most, plan.phases[i].count);
    }
    // Room to spare, which must stay empty.
    expected.slotCount = most + 2;
    return expected;
}

// --- descriptions -------------------------------------------------------------

namespace {

std::string messageName(const MessagePlan& message)
{
    switch (message.kind) {
    case MessageKind::History:
        return "record " + std::to_string(message.number);
    case MessageKind::Live:
        return "live observation";
    case MessageKind::UploadWu:
        return "upload text 0xFB";
    case MessageKind::UploadWc:
        return "upload text 0xF1";
    }
    return "?";
}

std::string fateText(const PacketFate& fate)
{
    std::string text;
    if (fate.lost)
        return "lost";
    if (fate.damaged >= GIVE_UP_COPIES)
        text = "given up (10 damaged)";
    else if (fate.damaged > 0)
        text = "damaged " + std::to_string(fate.damaged) + "x then intact";
    if (fate.damaged > 0 && fate.countReads >= 0)
        text += ", damaged count reads " + std::to_string(fate.countReads);
    if (fate.repeat == Repeat::AtOnce)
        text += text.empty() ? "repeated at once" : ", repeated at once";
    else if (fate.repeat == Repeat::Late)
        text += (text.empty() ? "repeated " : ", repeated ") + std::to_string(fate.lateBy) + " later";
    return text;
}

std::string arrivalName(const PhasePlan& phase, const Arrival& arrival)
{
    const MessagePlan& message = phase.messages[arrival.message];
    std::string text = messageName(message) + " packet " + std::to_string(arrival.packet + 1) + "/"
        + std::to_string(message.packets.size());
    switch (arrival.role) {
    case ArrivalRole::Intact:
        return text + " intact";
    case ArrivalRole::Repeat:
        return text + " repeat";
    case ArrivalRole::Damaged:
        return text + " damaged copy " + std::to_string(arrival.copy);
    case ArrivalRole::GivenUp:
        return text + " damaged copy 10 (given up)";
    }
    return text;
}

std::string commandName(const CommandReport& command)
{
    if (command == CMD_ACK)
        return "ACK";
    if (command == CMD_NAK)
        return "NAK";
    if (command == CMD_RECORD_ACK)
        return "RECORD_ACK";
    if (command == CMD_RECORD_NAK)
        return "RECORD_NAK";
    if (command == CMD_STOP)
        return "STOP";
    return "another command";
}

std::string commandsName(const std::vector<CommandReport>& commands)
{
    if (commands.empty())
        return "nothing";
    std::string text;
    for (const CommandReport& command : commands)
        text += (text.empty() ? "" : " + ") + commandName(command);
    return text;
}

// Enough of a text to tell records apart: they begin with their serial.
std::string excerpt(const std::string& text)
{
    return "\"" + (text.size() > 28 ? text.substr(0, 28) + "..." : text) + "\"";
}

std::string textsName(const std::vector<std::string>& texts)
{
    std::string list = "[";
    for (const std::string& text : texts)
        list += (list.size() > 1 ? ", " : "") + excerpt(text);
    return list + "]";
}

} // namespace

std::string describePlan(const SequencePlan& plan)
{
    std::string text;
    for (std::size_t i = 0; i < plan.phases.size(); ++i) {
        const PhasePlan& phase = plan.phases[i];
        text += "phase " + std::to_string(i + 1) + ": ";
        text += phase.requested ? "download of " + std::to_string(phase.count) + " records\n"
                                : "no request standing\n";
        for (const MessagePlan& message : phase.messages) {
            text += "  " + messageName(message) + ", " + std::to_string(message.packets.size()) + " packets: ";
            if (message.givenUp) {
                text += "given up whole\n";
                continue;
            }
            std::string fates;
            for (std::size_t p = 0; p < message.packets.size(); ++p) {
                const std::string fate = fateText(message.packets[p]);
                if (!fate.empty())
                    fates += (fates.empty() ? "" : "; ") + std::to_string(p + 1) + " " + fate;
            }
            text += (fates.empty() ? "all intact" : fates) + "\n";
        }
    }
    return text;
}

// --- the reader driven through a plan -------------------------------------------

namespace {

constexpr std::size_t MOST_FAULTS = 12;

struct Delivered {
    unsigned message;
    std::intptr_t lParam;
    std::string text;
    std::size_t at; // the arrival during which it came; arrivals.size(): the quiet
};

struct FlagState {
    std::uint32_t cancelled, active, total, complete, requested;

    static FlagState now()
    {
        return FlagState{transferCancelled.load(), historyActive.load(), historyTotal.load(), historyComplete.load(),
                         historyRequested.load()};
    }
    bool operator==(const FlagState&) const = default;
};

struct Driver {
    ReportReader reader{};
    std::vector<StationRecord> slots;
    std::vector<CommandReport> commands;
    std::vector<Delivered> deliveries;
    std::vector<std::string> faults;
    // Where the run stands, for the fault texts.
    const PhasePlan* phase = nullptr;
    std::size_t phaseIndex = 0;
    const Arrival* arrival = nullptr; // null: between reports
    std::size_t at = 0;               // the arrival being handled; arrivals.size(): the quiet
    bool quiet = false;

    void fail(const std::string& what)
    {
        if (faults.size() >= MOST_FAULTS)
            return;
        std::string where = "phase " + std::to_string(phaseIndex + 1) + ", ";
        if (arrival)
            where += "report " + std::to_string(at + 1) + " (" + arrivalName(*phase, *arrival) + "): ";
        else if (quiet)
            where += "quiet: ";
        faults.push_back(where + what);
    }
};

int takeCommand(void* context, const CommandReport& command)
{
    static_cast<Driver*>(context)->commands.push_back(command);
    return 1;
}

void takeDelivery(void* context, unsigned message, std::intptr_t lParam)
{
    Driver& driver = *static_cast<Driver*>(context);
    Delivered delivered{message, lParam, {}, driver.at};
    if (!copyDeliveredText(message, lParam, delivered.text))
        driver.fail("a delivered text runs past its buffer");
    driver.deliveries.push_back(std::move(delivered));
}

// Nothing but the failure counters (and the count of history packets seen,
// which the shells' quiet timer watches) may differ.
bool onlyCountersMoved(ReportReader& before, const ReportReader& after)
{
    before.recordFailures = after.recordFailures;
    before.linkFailures = after.linkFailures;
    before.historyPackets = after.historyPackets;
    return std::memcmp(&before, &after, sizeof before) == 0;
}

void checkArrival(Driver& driver, const PhaseExpectation& expected, std::size_t index,
                  ReportReader& before, const FlagState& flagsBefore, std::size_t deliveredBefore)
{
    const Arrival& arrival = expected.arrivals[index];
    if (driver.commands.size() != 1 || driver.commands[0] != arrival.answer)
        driver.fail("answered " + commandsName(driver.commands) + " where the console needs "
                    + commandName(arrival.answer));
    const std::size_t delivered = driver.deliveries.size() - deliveredBefore;
    switch (arrival.role) {
    case ArrivalRole::Damaged:
    case ArrivalRole::Repeat:
        if (delivered != 0)
            driver.fail("delivered message " + std::to_string(driver.deliveries[deliveredBefore].message));
        if (!onlyCountersMoved(before, driver.reader))
            driver.fail("the reader's state changed");
        if (!(FlagState::now() == flagsBefore))
            driver.fail("a shared flag changed");
        break;
    case ArrivalRole::GivenUp:
        for (std::size_t k = deliveredBefore; k < driver.deliveries.size(); ++k) {
            const unsigned message = driver.deliveries[k].message;
            if (message != WM_HISTORY_PROGRESS && message != WM_HISTORY_DONE)
                driver.fail("a given-up packet delivered message " + std::to_string(message));
        }
        break;
    case ArrivalRole::Intact: {
        const bool starts = expected.started && index == expected.firstHistory;
        for (std::size_t k = deliveredBefore; k < driver.deliveries.size(); ++k)
            if (driver.deliveries[k].message == WM_HISTORY_TOTAL && !starts)
                driver.fail("announced a download");
        if (starts && (delivered == 0 || driver.deliveries[deliveredBefore].message != WM_HISTORY_TOTAL))
            driver.fail("the first intact history packet announced no download");
        break;
    }
    }
}

void checkTexts(Driver& driver, const char* what, const std::vector<std::string>& expected,
                const std::vector<std::string>& delivered)
{
    if (delivered != expected)
        driver.fail(std::string(what) + " delivered " + textsName(delivered) + ", the console sent whole "
                    + textsName(expected));
}

void checkPhase(Driver& driver, const PhasePlan& phase, const PhaseExpectation& expected,
                const std::vector<StationRecord>& storeBefore, const FlagState& flagsBefore)
{
    std::vector<std::string> live, wu, wc;
    std::vector<std::intptr_t> totals, progress;
    std::vector<std::size_t> done; // arrival index of each DONE
    for (const Delivered& d : driver.deliveries) {
        switch (d.message) {
        case WM_LIVE_RECORD:
            live.push_back(d.text);
            break;
        case WM_FRAME_FB:
            wu.push_back(d.text);
            break;
        case WM_FRAME_F1:
            wc.push_back(d.text);
            break;
        case WM_HISTORY_TOTAL:
            totals.push_back(d.lParam);
            break;
        case WM_HISTORY_PROGRESS:
            if (totals.empty() || !done.empty())
                driver.fail("progress outside the download");
            if ((!progress.empty() && d.lParam <= progress.back()) || d.lParam < 1 || d.lParam > phase.count)
                driver.fail("progress " + std::to_string(d.lParam) + " after "
                            + (progress.empty() ? std::string("none") : std::to_string(progress.back())) + " of "
                            + std::to_string(phase.count));
            progress.push_back(d.lParam);
            break;
        case WM_HISTORY_DONE:
            done.push_back(d.at);
            break;
        default:
            driver.fail("delivered message " + std::to_string(d.message));
        }
    }
    const std::size_t quiet = expected.arrivals.size();
    if (phase.requested && expected.started) {
        if (totals != std::vector<std::intptr_t>{phase.count})
            driver.fail(std::to_string(totals.size()) + " download announcements, the first of "
                        + (totals.empty() ? std::string("none") : std::to_string(totals[0])));
        if (progress.empty() || progress.back() != phase.count)
            driver.fail("the progress did not reach " + std::to_string(phase.count));
        if (done.size() != 1) {
            driver.fail(std::to_string(done.size()) + " completions");
        } else if (expected.endsBeforeQuiet && done[0] == quiet) {
            driver.fail("the download ended only when the console went quiet, though its last record had ended");
        } else if (!expected.endsBeforeQuiet && done[0] != quiet) {
            driver.fail("the download ended before its last record did");
        }
        if (historyComplete != 1 || historyRequested != HISTORY_NOT_REQUESTED || historyTotal != phase.count)
            driver.fail("the flags do not tell a completed download");
    } else {
        if (!totals.empty() || !progress.empty() || !done.empty())
            driver.fail("a download was announced, counted or completed where none could start");
        const FlagState flags = FlagState::now();
        if (flags.requested != flagsBefore.requested || flags.complete != flagsBefore.complete)
            driver.fail("the request or the completion flag changed with no download");
    }
    if (historyDownloadOpen(driver.reader))
        driver.fail("a download is still open after the console went quiet");

    for (std::size_t i = 0; i < driver.slots.size(); ++i) {
        const char* held = driver.slots[i].text;
        if (!phase.requested) {
            if (std::memcmp(held, storeBefore[i].text, STATION_RECORD_SIZE) != 0)
                driver.fail("slot " + std::to_string(i) + " changed with no download");
            continue;
        }
        StationRecord want{};
        if (i < expected.stored.size())
            std::memcpy(want.text, expected.stored[i].data(), expected.stored[i].size());
        if (std::memcmp(held, want.text, STATION_RECORD_SIZE) != 0) {
            const auto length = static_cast<std::size_t>(std::find(held, held + STATION_RECORD_SIZE, '\0') - held);
            driver.fail("slot " + std::to_string(i) + " holds " + excerpt(std::string(held, length)) + ", expected "
                        + (i < expected.stored.size() ? excerpt(expected.stored[i]) : std::string("nothing")));
        }
    }
    checkTexts(driver, "live observations", expected.live, live);
    checkTexts(driver, "0xFB texts", expected.uploadsWu, wu);
    checkTexts(driver, "0xF1 texts", expected.uploadsWc, wc);
}

void runPhase(Driver& driver, const SequencePlan& plan, std::size_t index, const PhaseExpectation& expected)
{
    const PhasePlan& phase = plan.phases[index];
    if (phase.requested) {
        // What the export start does before it asks for the history.
        transferCancelled = 0;
        historyActive = 0;
        historyComplete = 0;
        for (StationRecord& slot : driver.slots)
            std::memset(slot.text, 0, STATION_RECORD_SIZE);
        historyRequested = HISTORY_REQUESTED;
    }
    const std::vector<StationRecord> storeBefore = driver.slots;
    const FlagState phaseFlags = FlagState::now();
    driver.phase = &phase;
    driver.phaseIndex = index;
    driver.quiet = false;
    driver.deliveries.clear();

    ReportReader before;
    for (std::size_t i = 0; i < expected.arrivals.size(); ++i) {
        const Arrival& arrival = expected.arrivals[i];
        if (arrival.role == ArrivalRole::Damaged || arrival.role == ArrivalRole::Repeat)
            std::memcpy(static_cast<void*>(&before), &driver.reader, sizeof before);
        const FlagState flags = FlagState::now();
        const std::size_t deliveredBefore = driver.deliveries.size();
        driver.commands.clear();
        driver.arrival = &arrival;
        driver.at = i;
        handleInputReport(driver.reader, arrival.report.data());
        checkArrival(driver, expected, i, before, flags, deliveredBefore);
    }

    // The console has gone quiet: the shells' timer runs out.
    driver.arrival = nullptr;
    driver.quiet = true;
    driver.at = expected.arrivals.size();
    driver.commands.clear();
    handleHistoryQuiet(driver.reader);
    const bool open = expected.started && !expected.endsBeforeQuiet;
    if (driver.commands != (open ? std::vector<CommandReport>{CMD_STOP} : std::vector<CommandReport>{}))
        driver.fail("wrote " + commandsName(driver.commands) + (open ? ", the download was open" : ", nothing was open"));
    driver.quiet = false;
    checkPhase(driver, phase, expected, storeBefore, phaseFlags);
}

} // namespace

std::vector<std::string> checkReader(const SequencePlan& plan, const Expectation& expected)
{
    static const wchar_t EXPORT_PATH[] = L"C:\\weather\\history.csv";
    Driver driver;
    driver.slots.assign(expected.slotCount, StationRecord{});
    transferCancelled = 0;
    historyActive = 0;
    historyTotal = 0;
    historyComplete = 0;
    historyRequested = HISTORY_NOT_REQUESTED;
    initReportReader(driver.reader, ReaderOutput{takeCommand, takeDelivery, &driver}, driver.slots.data(),
                     driver.slots.size(), EXPORT_PATH);
    for (std::size_t i = 0; i < plan.phases.size() && i < expected.phases.size(); ++i)
        runPhase(driver, plan, i, expected.phases[i]);
    return driver.faults;
}

std::vector<std::string> checkReader(const SequencePlan& plan)
{
    return checkReader(plan, expectationOf(plan));
}
