// Writes the fuzz targets' seed corpora: real reports from the simulator's
// encoder, real observation lines and upload texts from its station model,
// real server replies and real settings bytes, each laid out as its target
// reads its input, and the console model's choices for chosen plans. Run as
// `make_fuzz_seeds DIR`; writes DIR/<target>/<seed>. The seeds are
// committed; this program is how they were made.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/language_tables.h"
#include "dashboard/last_read_text.h"
#include "link/report_layout.h"
#include "readings/station_record.h"
#include "settings/settings_layout.h"
#include "sim/report_encoder.h"
#include "sim/station_model.h"
#include "tests/link/history_model.h"
#include "upload/upload_hosts.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string outputDirectory;
int failures = 0;

void writeSeed(const char* target, const char* name, const Bytes& bytes)
{
    const std::string path = outputDirectory + "/" + target + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || std::fclose(file) != 0) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        ++failures;
    }
}

void append(Bytes& bytes, const void* data, std::size_t size)
{
    const auto* p = static_cast<const std::uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + size);
}

void append(Bytes& bytes, const std::string& text)
{
    append(bytes, text.data(), text.size());
}

// A text as the targets read one: a length byte, then its bytes.
void appendCounted(Bytes& bytes, const std::string& text)
{
    bytes.push_back(static_cast<std::uint8_t>(text.size()));
    append(bytes, text);
}

// The station at a given minute; a high invalid rate gives dash texts.
struct Station {
    StationModel model;
    std::int64_t start;
};

Station makeStation(std::uint32_t seed, int invalidPermille)
{
    Station station;
    initStationModel(station.model, seed, invalidPermille, 87);
    station.start = minutesFromCivil(SimDateTime{2024, 3, 14, 18, 41});
    return station;
}

std::string observationLine(const Station& station, int minute)
{
    Observation obs;
    observeStation(station.model, station.start + minute, obs);
    char line[OBSERVATION_LINE_MAX + 1];
    const std::size_t length = formatObservationLine(obs, line, sizeof line);
    return std::string(line, length);
}

std::string uploadText(const Station& station, int minute, bool wunderground)
{
    Observation obs;
    observeStation(station.model, station.start + minute, obs);
    char text[UPLOAD_TEXT_MAX + 1];
    const std::size_t length = wunderground ? formatWundergroundText(obs, text, sizeof text)
                                            : formatWeathercloudText(obs, text, sizeof text);
    return std::string(text, length);
}

// --- the reader ----------------------------------------------------------

constexpr std::uint8_t EXPORT_CHOSEN = 0x01;
constexpr std::uint8_t THREE_SLOTS = 0x08; // bits 2-3 = 2
constexpr std::uint8_t CONTROL_SEAL = 0x01;
constexpr std::uint8_t CONTROL_CANCEL = 0x02;
constexpr std::uint8_t CONTROL_EXPORT_ENDED = 0x04;
constexpr std::uint8_t CONTROL_NEW_DOWNLOAD = 0x08;
constexpr std::uint8_t EXPORT_AGAIN = 0x40; // a whole download closes the run

void appendReport(Bytes& bytes, EncodedReport report, std::uint8_t control = 0)
{
    report[0] = control;
    append(bytes, report.data(), report.size());
}

void appendMessage(Bytes& bytes, std::uint8_t kind, ReportHeader header, const std::string& text)
{
    EncodedMessage message;
    encodeMessage(kind, header, reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), message);
    for (std::size_t i = 0; i < message.count; ++i)
        appendReport(bytes, message.reports[i]);
}

void readerSeeds(const Station& station)
{
    const char* target = "report_reader";
    Bytes live{EXPORT_CHOSEN};
    for (int minute = 0; minute < 2; ++minute)
        appendMessage(live, KIND_OBSERVATION, observationHeader(0, 0), observationLine(station, minute));
    writeSeed(target, "live-observations", live);

    // Five records announced, three slots: two are counted but not stored.
    // Record 2 arrives damaged once and is resent; a live observation after
    // the download ends the history state.
    Bytes history{EXPORT_CHOSEN | THREE_SLOTS};
    for (std::uint16_t n = 1; n <= 5; ++n) {
        EncodedMessage message;
        const std::string line = observationLine(station, n);
        encodeMessage(KIND_OBSERVATION, observationHeader(5, n), reinterpret_cast<const std::uint8_t*>(line.data()),
                      line.size(), message);
        for (std::size_t i = 0; i < message.count; ++i) {
            if (n == 2 && i == 1) {
                EncodedReport damaged = message.reports[i];
                damageChecksum(damaged);
                appendReport(history, damaged);
            }
            appendReport(history, message.reports[i]);
        }
    }
    appendMessage(history, KIND_OBSERVATION, observationHeader(0, 0), observationLine(station, 6));
    writeSeed(target, "history-download", history);

    // A record given up after ten damaged packets, then the user cancels
    // and starts again.
    Bytes givenUp{EXPORT_CHOSEN | THREE_SLOTS};
    appendMessage(givenUp, KIND_OBSERVATION, observationHeader(3, 1), observationLine(station, 1));
    EncodedReport damaged = encodePacket(KIND_OBSERVATION, observationHeader(3, 2), 0x41, nullptr, 0);
    damageChecksum(damaged);
    for (int i = 0; i < 10; ++i)
        appendReport(givenUp, damaged);
    appendMessage(givenUp, KIND_OBSERVATION, observationHeader(3, 3), observationLine(station, 3));
    EncodedReport cancel = encodePacket(KIND_STATUS, statusHeader(0, 1), 0x11, nullptr, 0);
    appendReport(givenUp, cancel, CONTROL_CANCEL);
    EncodedMessage again;
    const std::string line = observationLine(station, 4);
    encodeMessage(KIND_OBSERVATION, observationHeader(2, 1), reinterpret_cast<const std::uint8_t*>(line.data()),
                  line.size(), again);
    appendReport(givenUp, again.reports[0], CONTROL_NEW_DOWNLOAD | CONTROL_EXPORT_ENDED);
    for (std::size_t i = 1; i < again.count; ++i)
        appendReport(givenUp, again.reports[i]);
    writeSeed(target, "given-up-and-cancelled", givenUp);

    // Both upload texts, a clock request and the console's "no history".
    Bytes texts{0};
    appendMessage(texts, KIND_UPLOAD_WU, statusHeader(0, 0), uploadText(station, 0, true));
    appendMessage(texts, KIND_UPLOAD_WC, statusHeader(0, 0), uploadText(station, 0, false));
    appendReport(texts, encodePacket(KIND_STATUS, statusHeader(STATUS_CLOCK_REQUEST, 0), 0x11, nullptr, 0));
    appendMessage(texts, KIND_OBSERVATION, noHistoryHeader(), "");
    writeSeed(target, "upload-texts-and-status", texts);

    // Packets a well-behaved console does not send: out of order, a length
    // beyond the report, one sealed by the control byte after editing.
    Bytes odd{EXPORT_CHOSEN};
    const std::string text = uploadText(station, 1, true);
    const auto* payload = reinterpret_cast<const std::uint8_t*>(text.data());
    appendReport(odd, encodePacket(KIND_UPLOAD_WU, statusHeader(0, 0), 0x32, payload, 54));
    appendReport(odd, encodePacket(KIND_UPLOAD_WU, statusHeader(0, 0), 0x31, payload, 54));
    appendReport(odd, encodePacket(KIND_UPLOAD_WU, statusHeader(0, 0), 0x22, payload, 60));
    EncodedReport edited = encodePacket(KIND_UPLOAD_WC, statusHeader(0, 0), 0x11, payload, 20);
    edited[LENGTH_BYTE] = 200;
    appendReport(odd, edited, CONTROL_SEAL);
    writeSeed(target, "malformed-packets", odd);

    // Live records that fill the record buffer to its last free byte, and
    // one byte more (dropped): nine packets each.
    Bytes longest{0};
    std::string full = observationLine(station, 7);
    full.append(STATION_RECORD_SIZE - 1 - full.size(), ' ');
    appendMessage(longest, KIND_OBSERVATION, observationHeader(0, 0), full);
    appendMessage(longest, KIND_OBSERVATION, observationHeader(0, 0), full + " ");
    writeSeed(target, "record-buffer-full", longest);

    // What a download leaves behind for the next one: the console repeating
    // the last packet after the download, a cancel in the middle of a
    // record, a live observation left unfinished.
    auto encoded = [&station](std::uint16_t count, std::uint16_t number) {
        EncodedMessage message;
        const std::string line = observationLine(station, number);
        encodeMessage(KIND_OBSERVATION, observationHeader(count, number),
                      reinterpret_cast<const std::uint8_t*>(line.data()), line.size(), message);
        return message;
    };
    Bytes repeated{EXPORT_CHOSEN | THREE_SLOTS | EXPORT_AGAIN};
    for (std::uint16_t n = 1; n <= 2; ++n)
        appendMessage(repeated, KIND_OBSERVATION, observationHeader(2, n), observationLine(station, n));
    const EncodedMessage last = encoded(2, 2);
    appendReport(repeated, last.reports[last.count - 1]);
    appendReport(repeated, last.reports[last.count - 1], CONTROL_EXPORT_ENDED);
    writeSeed(target, "repeated-tail-then-export", repeated);

    Bytes cancelled{EXPORT_CHOSEN | THREE_SLOTS | EXPORT_AGAIN};
    appendMessage(cancelled, KIND_OBSERVATION, observationHeader(3, 1), observationLine(station, 1));
    const EncodedMessage middle = encoded(3, 2);
    appendReport(cancelled, middle.reports[0]);
    appendReport(cancelled, middle.reports[1]);
    appendReport(cancelled, middle.reports[2], CONTROL_CANCEL);
    writeSeed(target, "cancel-mid-record-then-export", cancelled);

    Bytes unfinished{EXPORT_CHOSEN | THREE_SLOTS | EXPORT_AGAIN};
    EncodedMessage liveMessage;
    const std::string liveLine = observationLine(station, 9);
    encodeMessage(KIND_OBSERVATION, observationHeader(0, 0), reinterpret_cast<const std::uint8_t*>(liveLine.data()),
                  liveLine.size(), liveMessage);
    appendReport(unfinished, liveMessage.reports[0]);
    appendReport(unfinished, liveMessage.reports[1]);
    writeSeed(target, "unfinished-live-then-export", unfinished);
}

// --- records, conversions and display texts -----------------------------

void recordSeeds(const Station& station, const Station& faulty)
{
    const char* target = "station_record";
    struct Choice {
        const char* name;
        std::uint8_t units[6];
        std::int8_t channel;
        std::uint8_t capacity;
        double number;
        bool dashes;
    };
    const Choice choices[] = {
        {"console-units", {0, 0, 0, 2, 1, 0}, 1, 0x36, 0.125, false},
        {"imperial-degrees", {1, 1, 2, 0, 0, 1}, 7, 0x2A, -0.05, false},
        {"mmhg-metres-per-second", {1, 0, 1, 1, 1, 0}, 3, 0x15, 2.5, false},
        {"knots-invalid-readings", {0, 1, 2, 3, 0, 1}, 5, 0x40, 1e40, true},
        {"codes-out-of-range", {2, 7, 3, 4, 2, 9}, -3, 0xF1, -1234.5678, false},
    };
    int minute = 0;
    for (const Choice& choice : choices) {
        Bytes bytes(choice.units, choice.units + 6);
        bytes.push_back(static_cast<std::uint8_t>(choice.channel));
        bytes.push_back(choice.capacity);
        append(bytes, &choice.number, sizeof choice.number);
        append(bytes, observationLine(choice.dashes ? faulty : station, minute += 97));
        writeSeed(target, choice.name, bytes);
    }
}

// --- the export file -------------------------------------------------------

void exportSeeds(const Station& station, const Station& faulty)
{
    const char* target = "export_row";
    struct Choice {
        const char* name;
        std::uint8_t units[6];
        std::uint8_t switchedUnits[6];
        std::uint8_t switchAt; // the write after which the user changes the units
        std::uint16_t boxes;   // bit i: data set i; bit 15: whole period
        std::uint8_t failAt;
        const char* start;
        const char* end;
    };
    const Choice choices[] = {
        {"whole-period-all-sets", {0, 0, 0, 2, 1, 0}, {0, 0, 0, 2, 1, 0}, 0, 0xFFFF, 0, "", ""},
        {"period-imperial-some-sets", {1, 1, 2, 0, 0, 1}, {1, 1, 2, 0, 0, 1}, 0, 0x0155, 0, "2024-3-14",
         "2024-03-15"},
        {"units-changed-while-writing", {0, 0, 0, 2, 1, 0}, {1, 1, 2, 0, 0, 1}, 3, 0xFFFF, 0, "", ""},
        {"write-fails", {1, 0, 1, 3, 1, 1}, {1, 0, 1, 3, 1, 1}, 0, 0x807F, 3, "", ""},
    };
    int minute = 0;
    for (const Choice& choice : choices) {
        Bytes bytes(choice.units, choice.units + 6);
        append(bytes, choice.switchedUnits, 6);
        bytes.push_back(choice.switchAt);
        bytes.push_back(static_cast<std::uint8_t>(choice.boxes & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(choice.boxes >> 8));
        bytes.push_back(choice.failAt);
        appendCounted(bytes, choice.start);
        appendCounted(bytes, choice.end);
        // Records a day apart, one of a station reading dashes, and an
        // empty slot.
        for (int i = 0; i < 3; ++i) {
            append(bytes, observationLine(station, minute += 24 * 60 - 7));
            bytes.push_back('\n');
        }
        append(bytes, observationLine(faulty, minute));
        bytes.push_back('\n');
        bytes.push_back('\n');
        writeSeed(target, choice.name, bytes);
    }
}

// --- upload requests and replies -------------------------------------------

void requestSeeds(const Station& station)
{
    const char* target = "upload_request";
    struct Choice {
        const char* name;
        UploadService service;
        const char* id;
        const char* key;
    };
    const Choice choices[] = {
        {"wunderground", SERVICE_WEATHER_UNDERGROUND, "KCASANFR123", "x7Yq2LmN"},
        {"weathercloud", SERVICE_WEATHERCLOUD, "d0a1b2c3d4e5f6a7", "0123456789abcdef0123456789abcdef"},
        {"wunderground-accented-key", SERVICE_WEATHER_UNDERGROUND, "IZURICH42", "cl\xc3\xa9-\xe2\x82\xac"},
    };
    int minute = 0;
    for (const Choice& choice : choices) {
        Bytes bytes{static_cast<std::uint8_t>(choice.service), 200};
        appendCounted(bytes, choice.id);
        appendCounted(bytes, choice.key);
        appendCounted(bytes, DEFAULT_UPLOAD_HOSTS[choice.service].name);
        append(bytes, uploadText(station, minute += 11, choice.service == SERVICE_WEATHER_UNDERGROUND));
        writeSeed(target, choice.name, bytes);
    }
    // A console text in the code page of the system, with bytes above 0x7F.
    Bytes latin{SERVICE_WEATHERCLOUD, 40};
    appendCounted(latin, "d0a1b2c3d4e5f6a7");
    appendCounted(latin, "k\xe9y");
    appendCounted(latin, "127.0.0.1");
    append(latin, "/temp/215/hum/64/wdir/225\x80\xe9\x9f");
    writeSeed(target, "console-text-high-bytes", latin);
}

void replySeeds()
{
    const char* target = "reply_classification";
    struct Choice {
        const char* name;
        UploadService service;
        const char* reply;
    };
    const Choice choices[] = {
        {"wunderground-success", SERVICE_WEATHER_UNDERGROUND,
         "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nDate: Thu, 14 Mar 2024 18:41:02 GMT\r\n"
         "Content-Length: 8\r\n\r\nsuccess\n"},
        {"wunderground-wrong-key", SERVICE_WEATHER_UNDERGROUND,
         "HTTP/1.0 401 Unauthorized\r\nContent-Type: text/plain\r\n\r\n"
         "INVALIDPASSWORDID|Password or key and/or id are incorrect\n"},
        {"weathercloud-200", SERVICE_WEATHERCLOUD,
         "HTTP/1.1 200 OK\r\nServer: nginx\r\nContent-Type: text/html; charset=UTF-8\r\n"
         "Content-Length: 3\r\nConnection: close\r\n\r\n200"},
        {"weathercloud-401-in-body", SERVICE_WEATHERCLOUD,
         "HTTP/1.1 200 OK\r\nServer: nginx\r\nContent-Length: 3\r\n\r\n401"},
        {"weathercloud-429-bare-newlines", SERVICE_WEATHERCLOUD, "HTTP/1.1 200 OK\nContent-Length: 5\n\n 429\n"},
        {"weathercloud-not-found", SERVICE_WEATHERCLOUD, "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n"},
    };
    for (const Choice& choice : choices) {
        Bytes bytes{static_cast<std::uint8_t>(choice.service), 40};
        append(bytes, std::string(choice.reply));
        writeSeed(target, choice.name, bytes);
    }
}

// --- stored settings -------------------------------------------------------

void settingsSeeds()
{
    const char* target = "settings_value";
    auto textValue = [](const wchar_t* text, std::size_t size, std::uint8_t capacity) {
        Bytes bytes{capacity};
        Bytes value(size);
        encodeTextSetting(text, value.data(), size);
        append(bytes, value.data(), value.size());
        return bytes;
    };
    wchar_t lastRead[LAST_READ_TEXT_SIZE];
    formatLastReadText(2024, 3, 14, 18, 41, lastRead, LAST_READ_TEXT_SIZE);
    writeSeed(target, "data-last-read", textValue(lastRead, DATA_SETTING_SIZE, 32));
    writeSeed(target, "station-id", textValue(L"KCASANFR123", CREDENTIAL_SETTING_SIZE, 64));
    // 62 characters and then one that needs a surrogate pair: it is cut.
    std::wstring longKey(62, L'k');
    longKey += static_cast<wchar_t>(0x1F324);
    writeSeed(target, "key-pair-at-the-end", textValue(longKey.c_str(), CREDENTIAL_SETTING_SIZE, 63));

    Bytes units{12};
    Bytes unitBytes(UNIT_SETTING_SIZE);
    encodeUnitSetting(UnitSettings{1, 1, 2, 3, 0, 1}, unitBytes.data());
    append(units, unitBytes.data(), unitBytes.size());
    writeSeed(target, "unit-codes", units);

    Bytes ls{4};
    Bytes lsBytes(LS_SETTING_SIZE);
    encodeLsSetting(LanguageService{LANGUAGE_ITALIAN, 1}, lsBytes.data());
    append(ls, lsBytes.data(), lsBytes.size());
    writeSeed(target, "language-service", ls);

    // A foreign value: odd length, a lone surrogate, no terminator.
    const Bytes foreign{5, 'I', 0, 0x00, 0xD8, 'd', 0, 0x3C, 0xD8, 0x24, 0xDF, '7'};
    writeSeed(target, "odd-length-lone-surrogate", foreign);
}

// --- history downloads through the console model ---------------------------

// The choices of the first seeded plan that shows what is wanted, kept as
// the bytes the fuzz target reads back to the same plan.
template <typename Wanted>
void modelSeed(const char* name, Wanted wanted)
{
    for (std::uint64_t seed = 1; seed <= 100000; ++seed) {
        SeededChoices source(seed);
        RecordedChoices recorded(source);
        const SequencePlan plan = generateSequence(recorded, FUZZ_MODEL_LIMITS);
        if (wanted(plan, expectationOf(plan))) {
            writeSeed("history_model", name, recorded.bytes());
            return;
        }
    }
    std::fprintf(stderr, "no seeded plan shows %s\n", name);
    ++failures;
}

template <typename Test>
bool anyFate(const SequencePlan& plan, Test test)
{
    for (const PhasePlan& phase : plan.phases)
        for (const MessagePlan& message : phase.messages)
            for (const PacketFate& fate : message.packets)
                if (test(fate))
                    return true;
    return false;
}

void modelSeeds()
{
    modelSeed("whole-download", [](const SequencePlan& plan, const Expectation& expected) {
        return plan.phases.size() == 1 && plan.phases[0].count >= 3
            && expected.phases[0].stored.size() == plan.phases[0].count;
    });
    modelSeed("ends-with-the-quiet", [](const SequencePlan& plan, const Expectation& expected) {
        return plan.phases.size() == 1 && expected.phases[0].started && !expected.phases[0].endsBeforeQuiet
            && plan.phases[0].count >= 4;
    });
    modelSeed("counts-from-zero", [](const SequencePlan& plan, const Expectation& expected) {
        return plan.phases[0].messages.size() > 3 && findRecord(plan.phases[0], 0)
            && expected.phases[0].endsBeforeQuiet;
    });
    modelSeed("two-downloads-then-live", [](const SequencePlan& plan, const Expectation&) {
        return plan.phases.size() == 3 && plan.phases[1].requested && !plan.phases[2].requested;
    });
    modelSeed("late-repeats-and-given-up-count-one", [](const SequencePlan& plan, const Expectation&) {
        return plan.phases.size() == 1 && plan.phases[0].count <= 12
            && anyFate(plan, [](const PacketFate& f) { return f.repeat == Repeat::Late; })
            && anyFate(plan, [](const PacketFate& f) { return f.damaged >= GIVE_UP_COPIES && f.countReads == 1; });
    });
    modelSeed("long-download", [](const SequencePlan& plan, const Expectation&) {
        return plan.phases.size() == 1 && plan.phases[0].count > 150;
    });
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    outputDirectory = argv[1];
    const Station station = makeStation(20240314, 0);
    const Station faulty = makeStation(7, 1000);
    readerSeeds(station);
    recordSeeds(station, faulty);
    exportSeeds(station, faulty);
    requestSeeds(station);
    replySeeds();
    settingsSeeds();
    modelSeeds();
    return failures == 0 ? 0 : 1;
}
