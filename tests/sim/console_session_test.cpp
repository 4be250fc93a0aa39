#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "link/commands.h"
#include "link/crc16.h"
#include "link/link_flags.h"
#include "link/messages.h"
#include "link/report_reader.h"
#include "sim/console_session.h"

namespace {

const SimDateTime START{2026, 3, 7, 9, 5};

bool intact(const EncodedReport& r)
{
    const std::uint16_t crc = crc16(r.data(), 1, 62);
    return r[62] == (crc >> 8) && r[63] == (crc & 0xFF);
}

unsigned packetOf(const EncodedReport& r)
{
    return r[6] & 15u;
}

unsigned countOf(const EncodedReport& r)
{
    return r[2] * 256u + r[3];
}

unsigned recordOf(const EncodedReport& r)
{
    return r[4] * 256u + r[5];
}

std::string payloadOf(const EncodedReport& r)
{
    return std::string(reinterpret_cast<const char*>(&r[8]), r[7]);
}

class ConsoleSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        defaultSimOptions(options);
        options.liveIntervalMs = 0;
        options.uploadIntervalMs = 0;
        options.clockIntervalMs = 0;
        options.historyCount = 5;
    }

    void start()
    {
        SimClock started{};
        started.baseMinute = minutesFromCivil(START);
        started.baseMs = now;
        startSession(session, options, started, SessionIo{&write, &event, &clock, this}, now);
    }
    // A new connection with whatever options are set now; what was sent and
    // logged before is forgotten.
    void restart()
    {
        sent.clear();
        next = 0;
        events.clear();
        start();
    }
    void command(const CommandReport& c) { sessionCommand(session, c.data(), c.size(), now); }
    void wait(std::uint64_t ms)
    {
        now += ms;
        sessionTick(session, now);
    }

    // Answers each packet as the program's reader would (NAK a damaged one,
    // give it up at the tenth failure) until a message's last packet.
    std::string receive(std::uint8_t expectedKind)
    {
        std::string text;
        int failures = 0;
        for (std::size_t guard = 0; guard < 100; ++guard) {
            if (next >= sent.size())
                return "(nothing sent) " + text;
            const EncodedReport r = sent[next++];
            EXPECT_EQ(expectedKind, r[1]);
            const bool record = r[1] == 0xFE;
            if (!intact(r) && ++failures < 10) {
                command(record ? CMD_RECORD_NAK : CMD_NAK);
                continue;
            }
            failures = 0;
            text += payloadOf(r);
            const bool last = (r[6] >> 4) == (r[6] & 15);
            command(record ? CMD_RECORD_ACK : CMD_ACK);
            if (last)
                return text;
        }
        return text;
    }

    std::vector<std::string> eventsStarting(const std::string& prefix) const
    {
        std::vector<std::string> out;
        for (const std::string& e : events)
            if (e.compare(0, prefix.size(), prefix) == 0)
                out.push_back(e);
        return out;
    }

    std::string modelLine(std::int64_t minute) const
    {
        Observation obs;
        observeStation(session.model, minute, obs);
        char line[OBSERVATION_LINE_MAX + 1];
        formatObservationLine(obs, line, sizeof line);
        return line;
    }

    SimOptions options;
    ConsoleSession session;
    std::uint64_t now = 5000;
    std::vector<EncodedReport> sent;
    std::size_t next = 0;
    std::vector<std::string> events;
    ClockTime host{2026, 3, 7, 9, 5, 30};
    bool writeFails = false;

private:
    static int write(void* c, const EncodedReport& r)
    {
        auto* self = static_cast<ConsoleSessionTest*>(c);
        if (self->writeFails)
            return 0;
        self->sent.push_back(r);
        return 1;
    }
    static void event(void* c, bool detail, const char* line)
    {
        if (!detail)
            static_cast<ConsoleSessionTest*>(c)->events.push_back(line);
    }
    static ClockTime clock(void* c) { return static_cast<ConsoleSessionTest*>(c)->host; }
};

} // namespace

TEST_F(ConsoleSessionTest, ReadCurrentSendsTheModelsLineOnePacketPerAnswer)
{
    start();
    command(CMD_READ_CURRENT);
    ASSERT_EQ(1u, sent.size()); // the next packet waits for the answer
    EXPECT_EQ(0, std::memcmp(&sent[0][2], "\0\0\0\0", 4)); // count 0: live
    const std::string line = receive(0xFE);
    EXPECT_EQ(modelLine(minutesFromCivil(START)), line);
    EXPECT_GE(sent.size(), 2u);
    EXPECT_EQ(std::vector<std::string>{"live ok " + line}, eventsStarting("live "));
}

TEST_F(ConsoleSessionTest, NakResendsTheSamePacketAndSilenceRepeatsItUntilGivenUp)
{
    options.maxRepeats = 2;
    start();
    command(CMD_READ_CURRENT);
    command(CMD_RECORD_NAK);
    ASSERT_EQ(2u, sent.size());
    EXPECT_EQ(sent[0], sent[1]);
    command(CMD_ACK); // wrong family for an observation: not an answer
    EXPECT_EQ(2u, sent.size());
    command(CMD_RECORD_ACK);
    ASSERT_EQ(3u, sent.size());
    EXPECT_EQ(0x02, sent[2][6] & 15);

    wait(options.ackTimeoutMs - 1);
    EXPECT_EQ(3u, sent.size());
    wait(1);
    ASSERT_EQ(4u, sent.size());
    EXPECT_EQ(sent[2], sent[3]);
    wait(options.ackTimeoutMs);
    wait(options.ackTimeoutMs);
    EXPECT_EQ(5u, sent.size());
    EXPECT_EQ(1u, eventsStarting("live abandoned").size());
}

TEST_F(ConsoleSessionTest, HistoryRecordsCarryCountAndNumberAndRunBackFromNow)
{
    start();
    command(CMD_READ_HISTORY);
    const char* times[] = {"07:00", "07:30", "08:00", "08:30", "09:00"};
    for (int n = 1; n <= 5; ++n) {
        ASSERT_LT(next, sent.size());
        const EncodedReport& first = sent[next];
        EXPECT_EQ(0, first[2]);
        EXPECT_EQ(5, first[3]);
        EXPECT_EQ(n, first[4] * 256 + first[5]);
        const std::string line = receive(0xFE);
        EXPECT_NE(std::string::npos, line.find(std::string(" 2026-3-7 ") + times[n - 1] + " ")) << line;
        EXPECT_EQ(modelLine(minutesFromCivil(START) - 5 - (5 - n) * 30), line);
    }
    wait(10 * options.ackTimeoutMs);
    EXPECT_EQ(next, sent.size());
    EXPECT_EQ(5u, eventsStarting("history ").size());
    EXPECT_EQ(std::vector<std::string>{"history-end 5 5"}, eventsStarting("history-end"));
}

TEST_F(ConsoleSessionTest, StopEndsATransferMidRecordButLiveRequestsGoOn)
{
    options.historyCount = 50;
    start();
    command(CMD_READ_HISTORY);
    receive(0xFE);
    receive(0xFE);
    command(CMD_RECORD_ACK); // first packet of record 3
    command(CMD_STOP);
    const std::size_t before = sent.size();
    wait(10 * options.ackTimeoutMs);
    EXPECT_EQ(before, sent.size());
    EXPECT_EQ(std::vector<std::string>{"history-stopped 2 50"}, eventsStarting("history-stopped"));
    next = sent.size();
    command(CMD_READ_CURRENT);
    ASSERT_LT(next, sent.size());
    EXPECT_EQ(0, sent[next][3]);
}

TEST_F(ConsoleSessionTest, NoHistoryNeedsNoAnswerAndRefusalCancelsByStatus)
{
    options.noHistory = true;
    start();
    command(CMD_READ_HISTORY);
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(0xFE, sent[0][1]);
    EXPECT_EQ(0, std::memcmp(&sent[0][2], "\xFF\xFF\xFF\xFF", 4));
    command(CMD_READ_CURRENT); // nothing pending: served at once
    EXPECT_EQ(2u, sent.size());

    sent.clear();
    next = 0;
    options.noHistory = false;
    options.refuseHistory = true;
    start();
    command(CMD_READ_HISTORY);
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(0xFA, sent[0][1]);
    EXPECT_EQ(1, sent[0][3]);
    receive(0xFA);
    EXPECT_EQ(1u, eventsStarting("history-refused ok").size());
}

TEST_F(ConsoleSessionTest, ScheduledLiveDataWaitsForTheTransferToEnd)
{
    options.liveIntervalMs = 100;
    options.historyCount = 3;
    start();
    command(CMD_READ_HISTORY);
    wait(150); // live falls due during the transfer
    for (int n = 0; n < 3; ++n) {
        ASSERT_LT(next, sent.size());
        EXPECT_NE(0, sent[next][3]) << "live data inside a history transfer";
        receive(0xFE);
    }
    ASSERT_LT(next, sent.size());
    EXPECT_EQ(0, sent[next][3]);
}

TEST_F(ConsoleSessionTest, ClockRequestThenTheProgramsClockIsCheckedAgainstThisPc)
{
    options.clockIntervalMs = 200;
    start();
    wait(200);
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(0xFA, sent[0][1]);
    EXPECT_EQ(3, sent[0][2]);
    receive(0xFA);
    EXPECT_EQ(1u, eventsStarting("clock-request ok").size());

    const ClockTime pc{2026, 3, 7, 9, 5, 30};
    command(makeSetDateCommand(pc));
    command(makeSetTimeCommand(pc));
    ClockTime late = pc;
    late.minute += 10;
    command(makeSetDateCommand(late));
    command(makeSetTimeCommand(late));
    CommandReport swapped = makeSetTimeCommand(pc);
    std::swap(swapped[6], swapped[7]); // checksum high byte first: wrong for a clock command
    command(makeSetDateCommand(pc));
    command(swapped);
    command(makeSetTimeCommand(pc)); // a time without its date
    EXPECT_EQ((std::vector<std::string>{"clock ok 0 requested", "clock off 600 unrequested",
                                        "clock bad-checksum", "clock no-date"}),
              eventsStarting("clock "));
}

TEST_F(ConsoleSessionTest, UploadTextsGoOutOnTheirScheduleAsTheirOwnKinds)
{
    options.uploadIntervalMs = 100;
    start();
    wait(100);
    const std::string wu = receive(0xFB);
    const std::string wc = receive(0xF1);
    EXPECT_EQ(0u, wu.find("dateutc=now&"));
    EXPECT_EQ(0u, wc.find('/'));
    EXPECT_EQ(std::vector<std::string>{"wu ok " + wu}, eventsStarting("wu "));
    EXPECT_EQ(std::vector<std::string>{"wc ok " + wc}, eventsStarting("wc "));
    wait(100);
    EXPECT_EQ(wu, receive(0xFB)); // same minute, same reading
}

TEST_F(ConsoleSessionTest, ChecksumFaultsEveryKthSendAndRunsOnATargetRecord)
{
    options.badCrcEvery = 3;
    start();
    command(CMD_READ_CURRENT);
    receive(0xFE);
    for (std::size_t i = 0; i < sent.size(); ++i)
        EXPECT_EQ((i + 1) % 3 != 0, intact(sent[i])) << i;

    sent.clear();
    next = 0;
    events.clear();
    options.badCrcEvery = 0;
    options.badCrcRun = 10;
    options.faultRecord = 2;
    options.historyCount = 3;
    start();
    command(CMD_READ_HISTORY);
    for (int n = 0; n < 3; ++n)
        receive(0xFE);
    const std::vector<std::string> records = eventsStarting("history ");
    ASSERT_EQ(3u, records.size());
    EXPECT_EQ(0u, records[0].find("history 1 3 ok "));
    EXPECT_EQ(0u, records[1].find("history 2 3 given-up "));
    EXPECT_EQ(0u, records[2].find("history 3 3 ok "));
}

TEST_F(ConsoleSessionTest, SwappedAndLostPacketsHitOnlyTheTargetMessage)
{
    options.swapPackets = true;
    options.faultLive = 1;
    start();
    command(CMD_READ_CURRENT);
    for (std::size_t i = 0; i < 20 && eventsStarting("live ").empty(); ++i)
        command(CMD_RECORD_ACK);
    const std::size_t n = sent.size();
    ASSERT_GE(n, 3u);
    EXPECT_EQ(n, sent[n - 2][6] & 15u);
    EXPECT_EQ(n - 1, sent[n - 1][6] & 15u);
    next = n;
    command(CMD_READ_CURRENT);
    receive(0xFE);
    EXPECT_EQ(1u, eventsStarting("live faulted").size());
    EXPECT_EQ(1u, eventsStarting("live ok").size());

    sent.clear();
    next = 0;
    options.swapPackets = false;
    options.losePacket = 2; // what the bare option means
    start();
    command(CMD_READ_CURRENT);
    receive(0xFE);
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(1, sent[0][6] & 15);
    EXPECT_EQ(3, sent[1][6] & 15);
}

TEST_F(ConsoleSessionTest, LostPacketIsTheChosenOneEvenTheFirstOfRecordOne)
{
    options.losePacket = 1;
    options.faultRecord = 1;
    start();
    command(CMD_READ_HISTORY);
    ASSERT_FALSE(sent.empty());
    const unsigned packets = sent[0][6] >> 4;
    ASSERT_GE(packets, 3u);
    EXPECT_EQ(2u, packetOf(sent[0])) << "packet 1 of record 1 is never sent";
    EXPECT_EQ(1u, recordOf(sent[0]));
    EXPECT_EQ(5u, countOf(sent[0]));
    EXPECT_TRUE(intact(sent[0]));
    for (unsigned p = 2; p <= packets; ++p) {
        ASSERT_LT(next, sent.size());
        EXPECT_EQ(p, packetOf(sent[next]));
        command(CMD_RECORD_ACK);
        ++next;
    }
    ASSERT_LT(next, sent.size());
    EXPECT_EQ(2u, recordOf(sent[next]));
    EXPECT_EQ(1u, packetOf(sent[next])) << "only the target loses a packet";
    for (int n = 2; n <= 5; ++n)
        receive(0xFE);
    const std::vector<std::string> records = eventsStarting("history ");
    ASSERT_EQ(5u, records.size());
    EXPECT_EQ(0u, records[0].find("history 1 5 faulted "));
    EXPECT_EQ(0u, records[1].find("history 2 5 ok "));

    // The last packet, after a swap moved it: still that packet is lost.
    options.swapPackets = true;
    options.losePacket = packets;
    restart();
    command(CMD_READ_HISTORY);
    for (unsigned p = 1; p < packets; ++p) {
        ASSERT_LT(next, sent.size());
        EXPECT_EQ(p, packetOf(sent[next])) << "packets in order once the swapped one is gone";
        command(CMD_RECORD_ACK);
        ++next;
    }
    ASSERT_LT(next, sent.size());
    EXPECT_EQ(2u, recordOf(sent[next]));

    // A message of fewer packets than P loses none.
    options.swapPackets = false;
    options.losePacket = 15;
    restart();
    command(CMD_READ_HISTORY);
    for (int n = 1; n <= 5; ++n)
        receive(0xFE);
    EXPECT_EQ(5u, eventsStarting("history ").size());
    EXPECT_TRUE(eventsStarting("history 1 5 faulted").empty());
    EXPECT_EQ(1u, eventsStarting("history 1 5 ok").size());
}

TEST_F(ConsoleSessionTest, RepeatedPacketInTheTransferIsAnsweredWithoutSkippingTheNextRecord)
{
    options.repeatPacket = true;
    options.faultRecord = 2;
    start();
    command(CMD_READ_HISTORY);
    receive(0xFE);
    ASSERT_EQ(next + 1, sent.size());
    EXPECT_EQ(2u, recordOf(sent[next])) << "record 1 is no target: no repeat";
    receive(0xFE);
    ASSERT_EQ(next + 1, sent.size()) << "the repeat, and record 3 waits";
    EXPECT_EQ(sent[next - 1], sent[next]);
    EXPECT_TRUE(intact(sent[next]));
    EXPECT_EQ(2u, recordOf(sent[next]));
    EXPECT_EQ(std::vector<std::string>{"repeat-packet 2"}, eventsStarting("repeat-"));

    command(CMD_RECORD_ACK); // the program answers the repeat
    ++next;
    ASSERT_EQ(next + 1, sent.size());
    EXPECT_EQ(3u, recordOf(sent[next]));
    EXPECT_EQ(1u, packetOf(sent[next]));
    const std::int64_t last = minutesFromCivil(START) - 5;
    EXPECT_EQ(modelLine(last - 2 * 30), receive(0xFE)) << "record 3 whole, no packet skipped";
    receive(0xFE);
    receive(0xFE);
    EXPECT_EQ(std::vector<std::string>{"unexpected-answer record-ack to repeat"},
              eventsStarting("unexpected-answer"));
    const std::vector<std::string> records = eventsStarting("history ");
    ASSERT_EQ(5u, records.size());
    for (const std::string& r : records)
        EXPECT_NE(std::string::npos, r.find(" 5 ok ")) << r;
    EXPECT_EQ(1u, eventsStarting("history-end 5 5").size());

    // Unanswered, the repeat is not sent again; the next message goes out
    // after the time-out.
    options.faultRecord = 0;
    options.faultLive = 1;
    restart();
    command(CMD_READ_CURRENT);
    receive(0xFE);
    ASSERT_EQ(next + 1, sent.size());
    EXPECT_EQ(std::vector<std::string>{"repeat-packet 0"}, eventsStarting("repeat-"));
    command(CMD_READ_CURRENT);
    wait(options.ackTimeoutMs - 1);
    EXPECT_EQ(next + 1, sent.size());
    wait(1);
    ASSERT_EQ(next + 2, sent.size());
    EXPECT_EQ(1u, packetOf(sent[next + 1]));
    next += 1;
    EXPECT_EQ(modelLine(minutesFromCivil(START)), receive(0xFE));
    EXPECT_EQ(next, sent.size()) << "the second live observation is no target";
    EXPECT_EQ(2u, eventsStarting("live ok").size());
}

TEST_F(ConsoleSessionTest, DamagedCountRidesOnlyTheDamagedSendsOfTheTarget)
{
    // The count for which a spoiled checksum would fit by chance: the
    // damaged sends must fail even then.
    options.historyCount = 3;
    start();
    command(CMD_READ_HISTORY);
    ASSERT_FALSE(sent.empty());
    EncodedReport spoiled = sent[0];
    damageChecksum(spoiled);
    std::uint32_t unlucky = 0x10000;
    for (std::uint32_t c = 0; c <= 0xFFFF && unlucky > 0xFFFF; ++c) {
        spoiled[2] = static_cast<std::uint8_t>(c >> 8);
        spoiled[3] = static_cast<std::uint8_t>(c);
        if (intact(spoiled))
            unlucky = c;
    }
    ASSERT_LE(unlucky, 0xFFFFu);

    for (std::uint32_t count : {1u, unlucky}) {
        options.badCrcRun = 10;
        options.faultRecord = 1;
        options.damageCount = true;
        options.countOnDamage = count;
        restart();
        command(CMD_READ_HISTORY);
        receive(0xFE);
        ASSERT_GE(sent.size(), 11u);
        for (std::size_t i = 0; i < 10; ++i) {
            EXPECT_EQ(count, countOf(sent[i])) << i;
            EXPECT_EQ(1u, recordOf(sent[i]));
            EXPECT_EQ(1u, packetOf(sent[i]));
            EXPECT_FALSE(intact(sent[i])) << "count " << count << ", send " << i;
        }
        for (std::size_t i = 10; i < sent.size(); ++i) {
            EXPECT_EQ(3u, countOf(sent[i])) << i;
            EXPECT_TRUE(intact(sent[i])) << i;
        }
        EXPECT_EQ(1u, eventsStarting("history 1 3 given-up").size());
    }

    // A live observation, damaged every second send: those read count 1,
    // the rest 0; the next observation is no target and keeps its count.
    options.badCrcRun = 0;
    options.badCrcEvery = 2;
    options.faultRecord = 0;
    options.faultLive = 1;
    options.countOnDamage = 1;
    restart();
    command(CMD_READ_CURRENT);
    receive(0xFE);
    const std::size_t firstLive = sent.size();
    command(CMD_READ_CURRENT);
    receive(0xFE);
    ASSERT_GT(sent.size(), firstLive);
    for (std::size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(i % 2 == 0, intact(sent[i])) << i;
        EXPECT_EQ(!intact(sent[i]) && i < firstLive ? 1u : 0u, countOf(sent[i])) << i;
    }
}

TEST_F(ConsoleSessionTest, StallStopsTheTargetAfterTwoPacketsUntilTheNextCommandOnce)
{
    options.stallTarget = true;
    options.faultRecord = 2;
    start();
    command(CMD_READ_HISTORY);
    receive(0xFE);
    command(CMD_RECORD_ACK); // packets 1 and 2 of record 2
    command(CMD_RECORD_ACK);
    const std::size_t stalledAt = sent.size();
    wait(10 * options.ackTimeoutMs);
    EXPECT_EQ(stalledAt, sent.size()) << "a stalled console sends nothing";
    EXPECT_EQ(std::vector<std::string>{"stall history 2"}, eventsStarting("stall"));

    // The next command ends the stall; the next transfer runs whole.
    command(CMD_STOP);
    next = sent.size();
    command(CMD_READ_HISTORY);
    for (int n = 1; n <= 5; ++n)
        receive(0xFE);
    EXPECT_EQ(1u, eventsStarting("stall").size());
    EXPECT_EQ(1u, eventsStarting("history-end 5 5").size());
}

TEST_F(ConsoleSessionTest, RepeatLastPacketSendsTheTransfersLastPacketOnceMore)
{
    options.repeatLastPacket = true;
    start();
    command(CMD_READ_HISTORY);
    for (int n = 1; n <= 5; ++n)
        receive(0xFE);
    ASSERT_EQ(next + 1, sent.size()) << "one packet more after the last record";
    EXPECT_EQ(0, std::memcmp(sent[next - 1].data(), sent[next].data(), sent[next].size()));
    EXPECT_EQ(std::vector<std::string>{"repeat-last 5"}, eventsStarting("repeat-last"));
    command(CMD_RECORD_ACK); // the program answers it: nothing is in flight
    wait(10 * options.ackTimeoutMs);
    EXPECT_EQ(next + 1, sent.size());
}

TEST_F(ConsoleSessionTest, VanishesAfterTheGivenRecordsAndAFailedWriteClosesToo)
{
    options.historyCount = 10;
    options.vanishAfter = 3;
    start();
    command(CMD_READ_HISTORY);
    for (int n = 0; n < 3; ++n)
        receive(0xFE);
    EXPECT_TRUE(session.closeRequested);
    EXPECT_EQ(std::vector<std::string>{"vanish 3"}, eventsStarting("vanish"));
    const std::size_t before = sent.size();
    wait(10 * options.ackTimeoutMs);
    EXPECT_EQ(before, sent.size());

    options.vanishAfter = 0;
    start();
    writeFails = true;
    command(CMD_READ_CURRENT);
    EXPECT_TRUE(session.closeRequested);
}

TEST_F(ConsoleSessionTest, OddInputIsReportedAndChangesNothing)
{
    start();
    std::uint8_t junk[80];
    for (std::size_t length = 0; length <= sizeof junk; ++length) {
        for (std::size_t i = 0; i < sizeof junk; ++i)
            junk[i] = static_cast<std::uint8_t>(i * 37 + length);
        sessionCommand(session, junk, length, now);
    }
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(sizeof junk + 1, eventsStarting("odd-command").size());
    command(CMD_READ_CURRENT);
    EXPECT_EQ(1u, sent.size());
}

// The console and the program's own report reader, wired back to back.
TEST_F(ConsoleSessionTest, TheProgramsReaderStoresEveryRecordTheConsoleLogged)
{
    struct Wire {
        ConsoleSessionTest* test;
        std::deque<CommandReport> commands;
        int done = 0;
    } wire{this, {}, 0};
    options.historyCount = 1000;
    options.badCrcEvery = 7; // the reader must NAK and take the resends
    start();
    std::vector<StationRecord> slots(1000);
    static wchar_t path[] = L"C:\\history.csv";
    transferCancelled = 0;
    historyActive = 0;
    historyComplete = 0;
    historyRequested = HISTORY_REQUESTED; // as the program does before CMD_READ_HISTORY
    ReportReader reader{};
    initReportReader(
        reader,
        ReaderOutput{[](void* c, const CommandReport& r) {
                         static_cast<Wire*>(c)->commands.push_back(r);
                         return 1;
                     },
                     [](void* c, unsigned message, std::intptr_t) {
                         if (message == WM_HISTORY_DONE)
                             ++static_cast<Wire*>(c)->done;
                     },
                     &wire},
        slots.data(), slots.size(), path);
    command(CMD_READ_HISTORY);
    for (std::size_t guard = 0; guard < 100000 && next < sent.size(); ++guard) {
        handleInputReport(reader, sent[next++].data());
        while (!wire.commands.empty()) {
            command(wire.commands.front());
            wire.commands.pop_front();
        }
    }
    EXPECT_EQ(1, wire.done);
    const std::vector<std::string> logged = eventsStarting("history ");
    ASSERT_EQ(1000u, logged.size());
    for (std::size_t i = 0; i < logged.size(); ++i) {
        const std::string prefix = "history " + std::to_string(i + 1) + " 1000 ok ";
        ASSERT_EQ(0u, logged[i].find(prefix)) << logged[i];
        ASSERT_EQ(logged[i].substr(prefix.size()), std::string(slots[i].text)) << i;
    }
}

TEST_F(ConsoleSessionTest, TheClockFollowsTheClockExchangeAndTheRecordsTheTimeItShows)
{
    options.historyCount = 5;
    options.historyIntervalMinutes = 1;
    start();
    const std::int64_t started = minutesFromCivil(START);
    // Set back an hour, as on the autumn night, then a second late, as a
    // clock read to the second is.
    const ClockTime hourBack{2026, 3, 7, 8, 5, 0};
    command(makeSetDateCommand(hourBack));
    command(makeSetTimeCommand(hourBack));
    wait(60000);
    const ClockTime secondLate{2026, 3, 7, 8, 5, 59};
    command(makeSetDateCommand(secondLate));
    command(makeSetTimeCommand(secondLate));
    wait(61500);
    EXPECT_EQ(sessionMinute(session, now), started - 58);
    // What it measures follows the real time; what it writes, its clock.
    auto line = [&](std::int64_t measured, std::int64_t stamped) {
        Observation obs;
        observeStation(session.model, measured, obs);
        obs.time = civilFromMinutes(stamped);
        char text[OBSERVATION_LINE_MAX + 1];
        formatObservationLine(obs, text, sizeof text);
        return std::string(text);
    };
    command(CMD_READ_CURRENT);
    EXPECT_EQ(receive(0xFE), line(started + 2, started - 58));
    command(CMD_READ_HISTORY);
    const std::int64_t measured[] = {started - 2, started - 1, started, started + 1, started + 2};
    const std::int64_t stamped[] = {started - 2, started - 1, started - 60, started - 59, started - 58};
    for (int n = 0; n < 5; ++n)
        EXPECT_EQ(receive(0xFE), line(measured[n], stamped[n])) << n;
    // The shell keeps the clock for the next connection.
    EXPECT_EQ(session.clock.setCount, 1u);
    EXPECT_EQ(loggedMinute(session.clock, started + 1), started - 59);
}
