// A model of the console's side of history downloads, and the check that the
// reader keeps up with it. A plan says what the console sends and what
// becomes of each packet on the way (lost, damaged, given up, repeated); the
// model turns it into the exact reports the reader sees and works out, from
// the console's side alone, what the reader must end up with. The plans come
// from a seed in the tests and from the fuzzer's bytes in the fuzz target,
// through the same choice source, or are written out by hand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "link/commands.h"
#include "sim/report_encoder.h"

// Where the plan's choices come from. 0 is always the plainest choice (no
// fault, fewest of anything), so fuzzer bytes that run out end the plan in
// clean downloads.
class ChoiceSource {
public:
    virtual ~ChoiceSource() = default;
    // A value below `bound` (1..65536).
    virtual std::uint32_t below(std::uint32_t bound) = 0;
};

class SeededChoices final : public ChoiceSource {
public:
    explicit SeededChoices(std::uint64_t seed) : state_(seed) {}
    std::uint32_t below(std::uint32_t bound) override;

private:
    std::uint64_t state_;
};

// One byte per choice below 257, two (high first) above; 0 once used up.
class ByteChoices final : public ChoiceSource {
public:
    ByteChoices(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint32_t below(std::uint32_t bound) override;

private:
    std::uint32_t next();
    const std::uint8_t* data_;
    std::size_t size_;
};

// Passes another source's choices on and keeps them as the bytes that make
// ByteChoices choose the same: how the fuzz seeds are written.
class RecordedChoices final : public ChoiceSource {
public:
    explicit RecordedChoices(ChoiceSource& source) : source_(source) {}
    std::uint32_t below(std::uint32_t bound) override;
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

private:
    ChoiceSource& source_;
    std::vector<std::uint8_t> bytes_;
};

enum class Repeat : std::uint8_t {
    None,
    AtOnce, // its answer came late: sent again before the next packet
    Late,   // the copy turns up `lateBy` packets later
};

// What becomes of one packet on its way to the reader.
struct PacketFate {
    bool lost = false;   // never arrives; the console moves on
    int damaged = 0;     // damaged copies before the intact one; 10 or more: given up
    Repeat repeat = Repeat::None;
    int lateBy = 1;      // Late: console packets sent before the copy arrives
    int countReads = -1; // the count bytes of the damaged copies; -1: as sent
};

constexpr int GIVE_UP_COPIES = 10; // the reader answers the tenth failure in a row with an ACK

enum class MessageKind : std::uint8_t { History, Live, UploadWu, UploadWc };

struct MessagePlan {
    MessageKind kind = MessageKind::History;
    std::uint16_t number = 0; // History: the console's number for the record
    std::string text;
    bool givenUp = false;     // the console gave the whole message up: nothing arrives
    std::vector<PacketFate> packets; // one per packet of the encoded text
};

// One stretch of the link. A requested phase is a download: the program
// asks for the history first (flags reset, store cleared) and the console
// sends records 1..count (or 0..count-1) in order, live observations and
// upload texts between them. Every phase ends with the console going quiet
// (handleHistoryQuiet). A phase without request holds no history records.
struct PhasePlan {
    bool requested = true;
    std::uint16_t count = 0;
    std::vector<MessagePlan> messages;
};

struct SequencePlan {
    std::vector<PhasePlan> phases;
};

// Texts of realistic shape; `serial` keeps every text of a sequence apart.
// An observation line of `packets` (3..9) packets; an upload query of
// `packets` (1..8) packets.
std::string observationText(std::uint32_t serial, int packets);
std::string uploadText(std::uint32_t serial, int packets);

// Messages with every packet arriving whole.
MessagePlan historyRecord(std::uint16_t number, std::string text);
MessagePlan liveObservation(std::string text);
MessagePlan uploadMessage(MessageKind kind, std::string text);

// A download of `count` records numbered from `first` (1, or 0), every
// packet arriving whole. `serial` is advanced past the texts it used.
PhasePlan wholeDownload(std::uint16_t count, std::uint16_t first, std::uint32_t& serial);

// Record `number` of a phase; null when the phase has none.
MessagePlan* findRecord(PhasePlan& phase, std::uint16_t number);
const MessagePlan* findRecord(const PhasePlan& phase, std::uint16_t number);

struct ModelLimits {
    int maxRecords = 60;
    int maxDownloads = 3;
};

// The fuzz target's; its seeds are recorded with the same, or they would
// read back as other plans.
inline constexpr ModelLimits FUZZ_MODEL_LIMITS{300, 3};

// A plan from the choices: one to maxDownloads downloads, sometimes followed
// by live observations and upload texts with no request standing.
SequencePlan generateSequence(ChoiceSource& choices, const ModelLimits& limits);

enum class ArrivalRole : std::uint8_t {
    Intact,  // the first intact copy of its packet
    Repeat,  // an intact copy of a packet already arrived
    Damaged, // a damaged copy the reader must refuse
    GivenUp, // the tenth damaged copy in a row: acknowledged, the console moves on
};

struct Arrival {
    EncodedReport report;
    ArrivalRole role;
    CommandReport answer; // what the reader must answer
    bool history;         // of a history record
    std::size_t message;  // in the phase's messages
    std::size_t packet;   // from 0
    int copy;             // damaged copy number, from 1
};

// What the reader must do in one phase, worked out from the console's side.
struct PhaseExpectation {
    std::vector<Arrival> arrivals;
    // A download begins at the first intact history packet; none, none.
    bool started = false;
    std::size_t firstHistory = 0;
    // Whether the reader can tell that the last record has ended before the
    // console goes quiet; if not, only handleHistoryQuiet ends the download.
    bool endsBeforeQuiet = false;
    std::vector<std::string> stored; // records delivered whole, in order
    std::vector<std::string> live;
    std::vector<std::string> uploadsWu;
    std::vector<std::string> uploadsWc;
};

struct Expectation {
    std::vector<PhaseExpectation> phases;
    std::size_t slotCount = 0;
};

Expectation expectationOf(const SequencePlan& plan);

// Feeds every report to a real reader, one phase after the other, and checks
// each answer, each delivery and the store against the expectation. Returns
// the faults found, empty when the reader did what the console needed.
std::vector<std::string> checkReader(const SequencePlan& plan, const Expectation& expected);
std::vector<std::string> checkReader(const SequencePlan& plan);

// The plan as a list of messages and the fate of each packet that did not
// simply arrive.
std::string describePlan(const SequencePlan& plan);
