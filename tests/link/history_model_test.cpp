// The reader against a model of the console's side of history downloads:
// seeded sequences of lost, damaged, given-up and repeated packets, and
// written-out sequences for the cases that matter most. After each, the
// store must hold exactly the records the console delivered whole, in order,
// and the download must have been announced, counted and completed once.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/link/history_model.h"

namespace {

std::string joined(const std::vector<std::string>& faults)
{
    std::string text;
    for (const std::string& fault : faults)
        text += fault + "\n";
    return text;
}

void expectHolds(const SequencePlan& plan)
{
    const std::vector<std::string> faults = checkReader(plan);
    EXPECT_TRUE(faults.empty()) << joined(faults) << describePlan(plan);
}

PacketFate& packetOf(SequencePlan& plan, std::uint16_t record, std::size_t packet)
{
    MessagePlan* message = findRecord(plan.phases[0], record);
    EXPECT_NE(nullptr, message);
    return message->packets.at(packet);
}

// How often the seeded plans reach each case the model knows.
struct Reach {
    int lost = 0, damaged = 0, givenUp = 0, repeatedAtOnce = 0, repeatedLate = 0, lateIntoNextRecord = 0;
    int countReadsOne = 0, countReadsMost = 0, countReadsZero = 0;
    int recordsGivenUp = 0, recordsLost = 0, recordsStored = 0;
    int othersLost = 0, othersDelivered = 0;
    int notStarted = 0, endedByQuiet = 0, endedBeforeQuiet = 0, countingFromZero = 0;
    int twoOrMoreDownloads = 0, withoutRequest = 0;
};

void measure(Reach& reach, const SequencePlan& plan, const Expectation& expected)
{
    int downloads = 0;
    for (std::size_t i = 0; i < plan.phases.size(); ++i) {
        const PhasePlan& phase = plan.phases[i];
        const PhaseExpectation& outcome = expected.phases[i];
        if (!phase.requested) {
            ++reach.withoutRequest;
            continue;
        }
        ++downloads;
        if (!outcome.started)
            ++reach.notStarted;
        else if (outcome.endsBeforeQuiet)
            ++reach.endedBeforeQuiet;
        else
            ++reach.endedByQuiet;
        for (std::size_t m = 0; m < phase.messages.size(); ++m) {
            const MessagePlan& message = phase.messages[m];
            const bool history = message.kind == MessageKind::History;
            if (history && message.number == 0)
                ++reach.countingFromZero;
            reach.recordsGivenUp += history && message.givenUp;
            bool whole = !message.givenUp;
            for (std::size_t p = 0; p < message.packets.size(); ++p) {
                const PacketFate& fate = message.packets[p];
                whole = whole && !fate.lost && fate.damaged < GIVE_UP_COPIES;
                reach.lost += fate.lost;
                reach.damaged += fate.damaged > 0 && fate.damaged < GIVE_UP_COPIES;
                reach.givenUp += fate.damaged >= GIVE_UP_COPIES;
                reach.repeatedAtOnce += fate.repeat == Repeat::AtOnce;
                reach.repeatedLate += fate.repeat == Repeat::Late;
                reach.lateIntoNextRecord += fate.repeat == Repeat::Late && !fate.lost && fate.damaged < GIVE_UP_COPIES
                    && p + 1 == message.packets.size() && m + 1 < phase.messages.size()
                    && phase.messages[m + 1].kind == MessageKind::History;
                if (fate.damaged > 0) {
                    reach.countReadsOne += fate.countReads == 1;
                    reach.countReadsMost += fate.countReads == 0xFFFF;
                    reach.countReadsZero += fate.countReads == 0;
                }
            }
            if (history)
                (whole ? reach.recordsStored : reach.recordsLost) += 1;
            else
                (whole ? reach.othersDelivered : reach.othersLost) += 1;
        }
    }
    reach.twoOrMoreDownloads += downloads >= 2;
}

} // namespace

TEST(HistoryModelSeeded, EachSequenceEndsWithWhatTheConsoleDeliveredWhole)
{
    constexpr std::uint64_t SEQUENCES = 2000;
    Reach reach;
    int failing = 0;
    for (std::uint64_t seed = 1; seed <= SEQUENCES && failing < 3; ++seed) {
        SeededChoices choices(seed);
        const SequencePlan plan = generateSequence(choices, ModelLimits{});
        const Expectation expected = expectationOf(plan);
        measure(reach, plan, expected);
        const std::vector<std::string> faults = checkReader(plan, expected);
        if (!faults.empty()) {
            ++failing;
            ADD_FAILURE() << "seed " << seed << ":\n" << joined(faults) << describePlan(plan);
        }
    }
    // Seeds that never reach a case prove nothing about it.
    for (const auto& [name, times] : std::vector<std::pair<const char*, int>>{
             {"lost packets", reach.lost},
             {"damaged packets", reach.damaged},
             {"given-up packets", reach.givenUp},
             {"packets repeated at once", reach.repeatedAtOnce},
             {"packets repeated late", reach.repeatedLate},
             {"last packets repeated into the next record", reach.lateIntoNextRecord},
             {"damaged counts reading 1", reach.countReadsOne},
             {"damaged counts reading 65535", reach.countReadsMost},
             {"damaged counts reading 0", reach.countReadsZero},
             {"records given up whole", reach.recordsGivenUp},
             {"records lost", reach.recordsLost},
             {"records stored", reach.recordsStored},
             {"live observations and upload texts lost", reach.othersLost},
             {"live observations and upload texts delivered", reach.othersDelivered},
             {"downloads that never start", reach.notStarted},
             {"downloads ended by the quiet", reach.endedByQuiet},
             {"downloads ended before the quiet", reach.endedBeforeQuiet},
             {"consoles counting from 0", reach.countingFromZero},
             {"sequences of two or more downloads", reach.twoOrMoreDownloads},
             {"stretches without a request", reach.withoutRequest}}) {
        EXPECT_GT(times, 0) << name;
    }
}

// The console gave the first packet of the first record up (or lost it) and
// moved on: the download begins at that record's second packet, and only
// that record is missing.
TEST(HistoryModelCases, FirstRecordMissingItsFirstPacket)
{
    for (const bool givenUp : {false, true}) {
        SCOPED_TRACE(givenUp ? "given up" : "lost");
        std::uint32_t serial = 1;
        SequencePlan plan{{wholeDownload(4, 1, serial)}};
        PacketFate& first = packetOf(plan, 1, 0);
        first.lost = !givenUp;
        first.damaged = givenUp ? GIVE_UP_COPIES : 0;
        EXPECT_EQ(3u, expectationOf(plan).phases[0].stored.size());
        expectHolds(plan);
    }
}

// Its answer came late: the last packet of a record in the middle turns up
// again, at once or once the next record has begun.
TEST(HistoryModelCases, LastPacketRepeatedInTheMiddleOfALongDownload)
{
    std::uint32_t serial = 1;
    SequencePlan plan{{wholeDownload(147, 1, serial)}};
    packetOf(plan, 73, findRecord(plan.phases[0], 73)->packets.size() - 1).repeat = Repeat::AtOnce;
    PacketFate& late = packetOf(plan, 74, findRecord(plan.phases[0], 74)->packets.size() - 1);
    late.repeat = Repeat::Late;
    late.lateBy = 2;
    EXPECT_EQ(147u, expectationOf(plan).phases[0].stored.size());
    expectHolds(plan);
}

// A record loses its tail, then the next record's first packet is given
// up: both are lost, whether or not more records follow.
TEST(HistoryModelCases, TailLostThenTheNextFirstPacketGivenUp)
{
    for (const std::uint16_t count : {3, 5}) {
        SCOPED_TRACE(count);
        std::uint32_t serial = 1;
        SequencePlan plan{{wholeDownload(count, 1, serial)}};
        packetOf(plan, 2, findRecord(plan.phases[0], 2)->packets.size() - 1).lost = true;
        packetOf(plan, 3, 0).damaged = GIVE_UP_COPIES;
        EXPECT_EQ(count - 2u, expectationOf(plan).phases[0].stored.size());
        expectHolds(plan);
    }
}

// Ten damaged copies whose count bytes read 1, at the start of a download
// and, with no request standing, after one completed: neither starts one.
TEST(HistoryModelCases, GivenUpPacketsReadingACountOfOneStartNothing)
{
    std::uint32_t serial = 1;
    SequencePlan plan{{wholeDownload(3, 1, serial)}};
    PacketFate& first = packetOf(plan, 1, 0);
    first.damaged = GIVE_UP_COPIES;
    first.countReads = 1;

    PhasePlan after;
    after.requested = false;
    after.messages.push_back(liveObservation(observationText(serial++, 4)));
    after.messages[0].packets[0].damaged = GIVE_UP_COPIES;
    after.messages[0].packets[0].countReads = 1;
    after.messages.push_back(liveObservation(observationText(serial++, 3)));
    plan.phases.push_back(after);

    const Expectation expected = expectationOf(plan);
    EXPECT_EQ(2u, expected.phases[0].stored.size());
    EXPECT_EQ(1u, expected.phases[1].live.size());
    expectHolds(plan);
}

// The program asks again right after the first download completed, with
// nothing from the console between: the second counts from its own start.
TEST(HistoryModelCases, TwoDownloadsInARowBothLandInFull)
{
    for (const std::uint16_t secondFirst : {1, 0}) {
        SCOPED_TRACE(secondFirst);
        std::uint32_t serial = 1;
        SequencePlan plan{{wholeDownload(5, 1, serial), wholeDownload(3, secondFirst, serial)}};
        const Expectation expected = expectationOf(plan);
        EXPECT_EQ(5u, expected.phases[0].stored.size());
        EXPECT_EQ(3u, expected.phases[1].stored.size());
        expectHolds(plan);
    }
}

// When the last records never end in a way the reader can see, nothing
// more arrives: only the console going quiet ends the download. Anything
// that shows the console moved on ends it at once.
TEST(HistoryModelCases, LastRecordsLostEndOnlyWithTheQuiet)
{
    struct Case {
        const char* name;
        void (*spoil)(SequencePlan&);
        bool endsBeforeQuiet;
    };
    const Case cases[] = {
        {"last record given up whole", [](SequencePlan& p) { findRecord(p.phases[0], 4)->givenUp = true; }, false},
        {"last two records given up whole",
         [](SequencePlan& p) {
             findRecord(p.phases[0], 3)->givenUp = true;
             findRecord(p.phases[0], 4)->givenUp = true;
         },
         false},
        {"last record without its final packet",
         [](SequencePlan& p) { findRecord(p.phases[0], 4)->packets.back().lost = true; }, false},
        {"last record's final packet given up",
         [](SequencePlan& p) { findRecord(p.phases[0], 4)->packets.back().damaged = GIVE_UP_COPIES; }, true},
        {"last record without its final packet, then a live observation",
         [](SequencePlan& p) {
             findRecord(p.phases[0], 4)->packets.back().lost = true;
             p.phases[0].messages.push_back(liveObservation(observationText(900, 3)));
         },
         true},
        {"last record without its middle packet",
         [](SequencePlan& p) { findRecord(p.phases[0], 4)->packets[1].lost = true; }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::uint32_t serial = 1;
        SequencePlan plan{{wholeDownload(4, 1, serial)}};
        c.spoil(plan);
        EXPECT_EQ(c.endsBeforeQuiet, expectationOf(plan).phases[0].endsBeforeQuiet);
        expectHolds(plan);
    }
}

// A console counting from 0 that loses record 0 looks to the reader like
// one counting from 1: it waits for a record that never comes.
TEST(HistoryModelCases, ConsoleCountingFromZeroLosingItsFirstRecord)
{
    std::uint32_t serial = 1;
    SequencePlan plan{{wholeDownload(4, 0, serial)}};
    findRecord(plan.phases[0], 0)->givenUp = true;
    const Expectation expected = expectationOf(plan);
    EXPECT_FALSE(expected.phases[0].endsBeforeQuiet);
    EXPECT_EQ(3u, expected.phases[0].stored.size());
    expectHolds(plan);
}

// The check itself: an expectation the reader does not meet is reported,
// so a clean run means something.
TEST(HistoryModelCheck, ExpectationsTheReaderDoesNotMeetAreReported)
{
    std::uint32_t serial = 1;
    SequencePlan plan{{wholeDownload(4, 1, serial)}};
    packetOf(plan, 2, 1).lost = true;
    packetOf(plan, 3, 0).damaged = 2;
    const Expectation right = expectationOf(plan);
    ASSERT_TRUE(checkReader(plan, right).empty()) << joined(checkReader(plan, right));

    std::vector<std::pair<const char*, Expectation>> wrong(5, {"", right});
    wrong[0].first = "a lost record counted as stored";
    wrong[0].second.phases[0].stored.insert(wrong[0].second.phases[0].stored.begin() + 1,
                                            findRecord(plan.phases[0], 2)->text);
    wrong[1].first = "two records in the wrong order";
    std::swap(wrong[1].second.phases[0].stored[0], wrong[1].second.phases[0].stored[1]);
    wrong[2].first = "the download left to the quiet";
    wrong[2].second.phases[0].endsBeforeQuiet = false;
    wrong[3].first = "a damaged packet acknowledged";
    for (Arrival& arrival : wrong[3].second.phases[0].arrivals)
        if (arrival.role == ArrivalRole::Damaged)
            arrival.answer = CMD_RECORD_ACK;
    wrong[4].first = "the download announced at the damaged packet";
    wrong[4].second.phases[0].firstHistory += 1;
    for (const auto& [name, expectation] : wrong)
        EXPECT_FALSE(checkReader(plan, expectation).empty()) << name;
}
