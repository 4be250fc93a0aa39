// History download bookkeeping: which records are answered, where they are
// stored, how progress is counted and when the download completes, whatever
// the console loses, repeats or damages on the way.
#include "tests/link/reader_harness.h"

using HistoryDownload = ReaderTest;

namespace {

std::string record(int number)
{
    return "history record " + std::to_string(number) + " " + observationLine(number);
}

std::vector<std::intptr_t> upTo(int count)
{
    std::vector<std::intptr_t> values;
    for (int n = 1; n <= count; ++n)
        values.push_back(n);
    return values;
}

} // namespace

TEST_F(HistoryDownload, WithoutExportPathOrAfterCancelHistoryIsIgnoredUnanswered)
{
    exportPath[0] = 0;
    sendHistory(3, 1, record(1));
    exportPath[0] = L'C';
    transferCancelled = 1;
    sendHistory(3, 1, record(1));
    EXPECT_TRUE(commands.empty());
    EXPECT_TRUE(deliveries.empty());
    EXPECT_EQ(0u, historyActive.load());
    EXPECT_EQ(0, slots[0].text[0]);
}

TEST_F(HistoryDownload, RecordsFillSlotsInOrderAndTheLastCompletes)
{
    for (int n = 1; n <= 3; ++n)
        sendHistory(3, static_cast<std::uint16_t>(n), record(n));
    EXPECT_EQ((std::vector<unsigned>{WM_HISTORY_TOTAL, WM_HISTORY_PROGRESS, WM_HISTORY_PROGRESS,
                                     WM_HISTORY_PROGRESS, WM_HISTORY_DONE}),
              messageNumbers());
    EXPECT_EQ((std::vector<std::intptr_t>{3}), lParamsOf(WM_HISTORY_TOTAL));
    EXPECT_EQ(upTo(3), lParamsOf(WM_HISTORY_PROGRESS));
    for (int n = 1; n <= 3; ++n)
        EXPECT_EQ(record(n), slots[n - 1].text);
    EXPECT_EQ(0, slots[3].text[0]);
    EXPECT_EQ(3u, historyTotal.load());
    EXPECT_EQ(1u, historyComplete.load());
    EXPECT_EQ(1u, historyActive.load()); // the export still needs the store
    EXPECT_EQ(HISTORY_NOT_REQUESTED, historyRequested.load()) << "the request is answered";
}

TEST_F(HistoryDownload, AConsoleCountingFromZeroIsFollowedToItsLastRecord)
{
    for (int n = 0; n <= 2; ++n)
        sendHistory(3, static_cast<std::uint16_t>(n), record(n));
    EXPECT_EQ(upTo(3), lParamsOf(WM_HISTORY_PROGRESS));
    EXPECT_EQ(record(2), slots[2].text);
    EXPECT_EQ(1u, historyComplete.load());
}

// The console gave up the first packet of the first record and moved on:
// the rest of that record starts the download, and only that record is lost.
TEST_F(HistoryDownload, FirstRecordLosingItsFirstPacketStartsTheDownloadAndIsCountedLost)
{
    for (int lost : {1, 2}) {
        SCOPED_TRACE(lost);
        startNewDownload();
        sendHistoryWithout(3, 1, record(1), lost);
        sendHistory(3, 2, record(2));
        sendHistory(3, 3, record(3));
        EXPECT_EQ((std::vector<std::intptr_t>{3}), lParamsOf(WM_HISTORY_TOTAL));
        EXPECT_EQ(upTo(3), lParamsOf(WM_HISTORY_PROGRESS));
        EXPECT_EQ(1u, lParamsOf(WM_HISTORY_DONE).size());
        EXPECT_EQ(record(2), slots[0].text);
        EXPECT_EQ(record(3), slots[1].text);
        EXPECT_EQ(0, slots[2].text[0]);
    }
}

// A record given up: its packet is acknowledged after ten failures and the
// console goes on with the packet after it, which tells the reader that
// record can no longer be completed.
TEST_F(HistoryDownload, GivenUpPacketLosesItsRecordOnlyAndTheRestStayInOrder)
{
    for (std::size_t failing : {1u, 2u, 4u}) { // first, middle, last of its packets
        SCOPED_TRACE(failing);
        startNewDownload();
        sendHistory(4, 1, record(1));
        const EncodedMessage second = encoded(4, 2, record(2));
        ASSERT_EQ(4u, second.count);
        for (std::size_t i = 0; i < second.count; ++i) {
            if (i + 1 == failing) {
                EncodedReport damaged = second.reports[i];
                damageChecksum(damaged);
                for (int k = 0; k < 10; ++k)
                    send(damaged);
            } else {
                send(second.reports[i]);
            }
        }
        EXPECT_EQ(record(1), slots[0].text);
        EXPECT_EQ(0, slots[1].text[0]) << "a record is never stored in part";
        EXPECT_EQ(upTo(2), lParamsOf(WM_HISTORY_PROGRESS));
        sendHistory(4, 3, record(3));
        sendHistory(4, 4, record(4));
        EXPECT_EQ(record(3), slots[1].text);
        EXPECT_EQ(record(4), slots[2].text);
        EXPECT_EQ(upTo(4), lParamsOf(WM_HISTORY_PROGRESS));
        EXPECT_EQ(1u, lParamsOf(WM_HISTORY_DONE).size());
    }
}

// Damaged packets tell nothing: not which record, nor the count they seem to
// carry. Ten of them reading a count of 1 start no download, and one given
// up between two records costs neither of them anything.
TEST_F(HistoryDownload, NothingIsTakenFromADamagedPacket)
{
    giveUpHistory(1, 1);
    EXPECT_TRUE(deliveries.empty());
    EXPECT_EQ(0u, historyActive.load());
    EXPECT_EQ(HISTORY_REQUESTED, historyRequested.load());
    EXPECT_EQ(10u, commands.size());

    sendHistory(3, 1, record(1));
    giveUpHistory(1, 2);
    sendHistory(3, 2, record(2));
    sendHistory(3, 3, record(3));
    EXPECT_EQ((std::vector<std::intptr_t>{3}), lParamsOf(WM_HISTORY_TOTAL));
    EXPECT_EQ(upTo(3), lParamsOf(WM_HISTORY_PROGRESS));
    for (int n = 1; n <= 3; ++n)
        EXPECT_EQ(record(n), slots[n - 1].text);
}

// A last packet sent again because its answer came late, in the middle of
// the download: acknowledged and ignored, so the newest record still lands.
TEST_F(HistoryDownload, RepeatedPacketsAreAcknowledgedAndIgnoredAndTheNewestRecordLands)
{
    const int count = 4;
    for (int n = 1; n <= count; ++n) {
        const EncodedMessage message = encoded(count, static_cast<std::uint16_t>(n), record(n));
        send(message.reports[0]);
        send(message.reports[0]); // a first packet repeated inside its record
        for (std::size_t i = 1; i < message.count; ++i) {
            send(message.reports[i]);
            send(message.reports[i - 1]); // the one before, late
        }
        const std::size_t acks = countOf(CMD_RECORD_ACK);
        send(message.reports[message.count - 1]); // the last, after the record ended
        EXPECT_EQ(acks + 1, countOf(CMD_RECORD_ACK));
    }
    for (int n = 1; n <= count; ++n)
        EXPECT_EQ(record(n), slots[n - 1].text) << "slot " << n - 1;
    EXPECT_EQ(upTo(count), lParamsOf(WM_HISTORY_PROGRESS));
    EXPECT_EQ(1u, lParamsOf(WM_HISTORY_DONE).size());
}

// Packets out of order or missing lose their own record; records after
// them are stored in the next slots.
TEST_F(HistoryDownload, SwappedOrMissingPacketsLoseTheirRecordOnly)
{
    for (int lost : {1, 2, 4}) {
        SCOPED_TRACE(lost);
        startNewDownload();
        sendHistory(4, 1, record(1));
        sendHistoryWithout(4, 2, record(2), lost);
        const EncodedMessage third = encoded(4, 3, record(3));
        for (int i : {0, 1, 3, 2})
            send(third.reports[i]);
        sendHistory(4, 4, record(4));
        EXPECT_EQ(record(1), slots[0].text);
        EXPECT_EQ(record(4), slots[1].text);
        EXPECT_EQ(0, slots[2].text[0]);
        EXPECT_EQ(upTo(4), lParamsOf(WM_HISTORY_PROGRESS));
        EXPECT_EQ(1u, historyComplete.load());
    }
}

// Records the console never sent at all show as a jump in the numbers.
TEST_F(HistoryDownload, RecordsMissingWhollyAreCountedAtTheNextNumber)
{
    sendHistory(6, 2, record(2));
    sendHistory(6, 5, record(5));
    EXPECT_EQ((std::vector<std::intptr_t>{1, 2, 4, 5}), lParamsOf(WM_HISTORY_PROGRESS));
    EXPECT_TRUE(lParamsOf(WM_HISTORY_DONE).empty());
    sendHistoryWithout(6, 6, record(6), 3);
    EXPECT_EQ((std::vector<std::intptr_t>{1, 2, 4, 5, 6}), lParamsOf(WM_HISTORY_PROGRESS));
    EXPECT_EQ(1u, lParamsOf(WM_HISTORY_DONE).size());
    EXPECT_EQ(record(2), slots[0].text);
    EXPECT_EQ(record(5), slots[1].text);
    EXPECT_EQ(0, slots[2].text[0]);
}

// A record that loses its tail, then a given-up first packet of the next:
// both are counted, and the download still ends.
TEST_F(HistoryDownload, TailLostThenNextFirstPacketGivenUpEndsTheDownload)
{
    sendHistory(3, 1, record(1));
    sendHistoryWithout(3, 2, record(2), 4);
    const EncodedMessage third = encoded(3, 3, record(3));
    EncodedReport damaged = third.reports[0];
    damageChecksum(damaged);
    for (int k = 0; k < 10; ++k)
        send(damaged);
    EXPECT_EQ(upTo(2), lParamsOf(WM_HISTORY_PROGRESS)) << "the half record is counted";
    for (std::size_t i = 1; i < third.count; ++i)
        send(third.reports[i]);
    EXPECT_EQ(upTo(3), lParamsOf(WM_HISTORY_PROGRESS));
    EXPECT_EQ(1u, lParamsOf(WM_HISTORY_DONE).size());
    EXPECT_EQ(record(1), slots[0].text);
    EXPECT_EQ(0, slots[1].text[0]);
}

// A console that stops sending ends the download once the reader's quiet
// timer runs out: what has not come is counted lost, and the console is
// told to stop.
TEST_F(HistoryDownload, QuietConsoleEndsTheDownloadWithWhatArrived)
{
    handleHistoryQuiet(reader); // no download: nothing happens
    EXPECT_TRUE(deliveries.empty());
    EXPECT_EQ(0u, countOf(CMD_STOP));

    sendHistory(4, 1, record(1));
    sendHistoryWithout(4, 2, record(2), 4);
    EXPECT_TRUE(historyDownloadOpen(reader));
    handleHistoryQuiet(reader);
    EXPECT_FALSE(historyDownloadOpen(reader));
    EXPECT_EQ(1u, countOf(CMD_STOP));
    EXPECT_EQ((std::vector<std::intptr_t>{1, 4}), lParamsOf(WM_HISTORY_PROGRESS));
    EXPECT_EQ(1u, lParamsOf(WM_HISTORY_DONE).size());
    EXPECT_EQ(1u, historyComplete.load());
    EXPECT_EQ(record(1), slots[0].text);
    EXPECT_EQ(0, slots[1].text[0]);

    // Records turning up late, and more quiet, change nothing.
    sendHistory(4, 3, record(3));
    handleHistoryQuiet(reader);
    EXPECT_EQ(1u, lParamsOf(WM_HISTORY_DONE).size());
    EXPECT_EQ(0, slots[1].text[0]);
    EXPECT_EQ(1u, countOf(CMD_STOP));
}

// The quiet timer counts from the last history packet; live observations
// do not hold it off, and it runs only while a download does.
TEST_F(HistoryDownload, QuietTimerRunsFromTheLastHistoryPacket)
{
    checkHistoryQuiet(reader, 0);
    checkHistoryQuiet(reader, 50000); // nothing requested has begun
    EXPECT_TRUE(deliveries.empty());

    sendHistory(3, 1, record(1));
    checkHistoryQuiet(reader, 100000);
    sendHistoryWithout(3, 2, record(2), 3);
    checkHistoryQuiet(reader, 105000); // the history packets moved it
    sendLive(observationLine(1));
    checkHistoryQuiet(reader, 105000 + HISTORY_QUIET_MS - 1);
    EXPECT_TRUE(historyDownloadOpen(reader));
    checkHistoryQuiet(reader, 105000 + HISTORY_QUIET_MS);
    EXPECT_FALSE(historyDownloadOpen(reader));
    EXPECT_EQ(1u, countOf(CMD_STOP));
    EXPECT_EQ(upTo(3), lParamsOf(WM_HISTORY_PROGRESS)); // record 2 lost, then record 3 never came
    EXPECT_EQ(1u, lParamsOf(WM_HISTORY_DONE).size());
}

TEST_F(HistoryDownload, RecordsBeyondTheStoreAreCountedNotStored)
{
    // The store here has 4 slots; an announced count above the slot count must
    // not write past the last (ASan would catch a write outside the vector).
    const int count = 6;
    for (int n = 1; n <= count; ++n)
        sendHistory(count, static_cast<std::uint16_t>(n), record(n));
    EXPECT_EQ(upTo(count), lParamsOf(WM_HISTORY_PROGRESS));
    EXPECT_EQ(1u, historyComplete.load());
    EXPECT_EQ(record(4), slots[3].text);
}

TEST_F(HistoryDownload, OverflowingRecordIsCountedNotStored)
{
    sendHistory(2, 1, std::string(486, 'x'));
    sendHistory(2, 2, record(2));
    EXPECT_EQ(record(2), slots[0].text);
    EXPECT_EQ(0, slots[1].text[0]);
    EXPECT_EQ(upTo(2), lParamsOf(WM_HISTORY_PROGRESS));
    EXPECT_EQ(1u, historyComplete.load());
}

// Out-of-range numbers and another count are not of this download.
TEST_F(HistoryDownload, PacketsOfNoRecordOfTheDownloadAreAcknowledgedAndIgnored)
{
    sendHistory(3, 9, record(9)); // beyond the count: starts nothing
    EXPECT_TRUE(deliveries.empty());
    sendHistory(3, 1, record(1));
    sendHistory(5, 2, record(20)); // another count
    sendHistory(3, 2, record(2));
    sendHistory(3, 3, record(3));
    EXPECT_EQ(upTo(3), lParamsOf(WM_HISTORY_PROGRESS));
    EXPECT_EQ(record(2), slots[1].text);
    EXPECT_EQ(record(3), slots[2].text);
    EXPECT_EQ(countOf(CMD_RECORD_ACK), commands.size()) << "every packet answered";
}

// Live observations and upload texts between records (the console has one
// message in flight at a time) are delivered and leave the download alone.
TEST_F(HistoryDownload, LiveObservationsAndUploadTextsBetweenRecordsLeaveItAlone)
{
    sendHistory(3, 1, record(1));
    sendLive(observationLine(1));
    sendMessage(KIND_UPLOAD_WU, ReportHeader{{0, 0, 0, 0}}, "ID=x&tempf=50");
    sendHistory(3, 2, record(2));
    sendLive(observationLine(2));
    sendHistory(3, 3, record(3));
    EXPECT_EQ((std::vector<std::string>{observationLine(1), observationLine(2)}), textsOf(WM_LIVE_RECORD));
    EXPECT_EQ(1u, textsOf(WM_FRAME_FB).size());
    for (int n = 1; n <= 3; ++n)
        EXPECT_EQ(record(n), slots[n - 1].text);
    EXPECT_EQ(upTo(3), lParamsOf(WM_HISTORY_PROGRESS));
    EXPECT_EQ(1u, lParamsOf(WM_HISTORY_DONE).size());
}

TEST_F(HistoryDownload, LiveObservationsGivenUpDoNotShortenTheDownload)
{
    // A live observation lost to damage right before the download starts.
    EncodedReport live = encodePacket(KIND_OBSERVATION, observationHeader(0, 0), 0x21, nullptr, 0);
    damageChecksum(live);
    for (int i = 0; i < 10; ++i)
        send(live);
    for (int n = 1; n <= 3; ++n)
        sendHistory(3, static_cast<std::uint16_t>(n), record(n));
    EXPECT_EQ(upTo(3), lParamsOf(WM_HISTORY_PROGRESS));
    EXPECT_EQ(record(3), slots[2].text);
    EXPECT_EQ(1u, lParamsOf(WM_HISTORY_DONE).size());
}

// A cancel stays a cancel: a live observation afterwards neither clears it
// nor lets the rest of the download in.
TEST_F(HistoryDownload, CancelStaysInForceWhateverTheConsoleSendsAfterIt)
{
    sendHistory(3, 1, record(1));
    cancelHistoryTransfer();
    sendLive(observationLine(1));
    EXPECT_EQ(1u, transferCancelled.load());
    EXPECT_EQ(0u, historyActive.load());
    const std::size_t answered = commands.size();
    sendHistory(3, 2, record(2));
    sendHistory(3, 3, record(3));
    EXPECT_EQ(answered, commands.size()) << "history after a cancel goes unanswered";
    EXPECT_EQ(0, slots[1].text[0]);
    EXPECT_TRUE(lParamsOf(WM_HISTORY_DONE).empty());
    EXPECT_EQ(0u, historyActive.load());
}

// The console's refusal ends the download there and then; the program may
// ask again, and the next download starts afresh.
TEST_F(HistoryDownload, ConsoleRefusalEndsTheDownloadAndClearsTheProgress)
{
    sendHistory(3, 1, record(1));
    sendMessage(KIND_STATUS, statusHeader(0, 1), "");
    EXPECT_EQ(1u, transferCancelled.load());
    EXPECT_EQ(0u, historyActive.load());
    EXPECT_EQ(HISTORY_NOT_REQUESTED, historyRequested.load());
    EXPECT_EQ(1u, lParamsOf(WM_PROGRESS_CLEAR).size());

    startNewDownload();
    for (int n = 1; n <= 2; ++n)
        sendHistory(2, static_cast<std::uint16_t>(n), record(10 + n));
    EXPECT_EQ(record(11), slots[0].text);
    EXPECT_EQ(record(12), slots[1].text);
    EXPECT_EQ(upTo(2), lParamsOf(WM_HISTORY_PROGRESS));
}

TEST_F(HistoryDownload, NoHistoryAnswerEndsTheRequest)
{
    sendMessage(KIND_OBSERVATION, noHistoryHeader(), "");
    EXPECT_EQ(1u, lParamsOf(WM_NO_HISTORY).size());
    EXPECT_EQ(HISTORY_NOT_REQUESTED, historyRequested.load());
    sendHistory(1, 1, record(1));
    EXPECT_TRUE(lParamsOf(WM_HISTORY_TOTAL).empty());
}

// The program withdraws a request only while no frame of it was taken: once
// the reader has taken one, the download runs and is left alone.
TEST_F(HistoryDownload, RequestCanBeWithdrawnUntilTheReaderTakesIt)
{
    EXPECT_TRUE(withdrawHistoryRequest());
    sendHistory(2, 1, record(1));
    EXPECT_TRUE(lParamsOf(WM_HISTORY_TOTAL).empty()) << "nothing was requested";

    startNewDownload();
    sendHistory(2, 1, record(1));
    EXPECT_EQ(HISTORY_TAKEN, historyRequested.load());
    EXPECT_FALSE(withdrawHistoryRequest());
    EXPECT_EQ(HISTORY_TAKEN, historyRequested.load());
    sendHistory(2, 2, record(2));
    EXPECT_EQ(1u, lParamsOf(WM_HISTORY_DONE).size());
    EXPECT_TRUE(withdrawHistoryRequest()) << "nothing left to withdraw";
}

// Each download starts from clean bookkeeping: whatever the link saw before
// it costs the next one nothing, and nothing but a request starts one.
class DownloadAfterDownload : public ReaderTest {
protected:
    // A whole download of `count` records must land in full.
    void expectWholeDownload(int count)
    {
        for (int n = 1; n <= count; ++n)
            sendHistory(static_cast<std::uint16_t>(count), static_cast<std::uint16_t>(n), record(n));
        for (int n = 1; n <= count; ++n)
            EXPECT_EQ(record(n), slots[n - 1].text) << "slot " << n - 1;
        EXPECT_EQ(upTo(count), lParamsOf(WM_HISTORY_PROGRESS));
        EXPECT_EQ(1u, lParamsOf(WM_HISTORY_DONE).size());
        EXPECT_EQ(1u, historyComplete.load());
    }
};

TEST_F(DownloadAfterDownload, PacketsRepeatedAfterTheDownloadStartNothing)
{
    const EncodedMessage last = encoded(3, 3, record(3));
    expectWholeDownload(3);
    // Repeated while the export still reads the store, and again after it:
    // the first packet too, which would once have started a download.
    send(last.reports[last.count - 1]);
    historyActive = 0;
    const std::size_t acks = countOf(CMD_RECORD_ACK);
    send(last.reports[last.count - 1]);
    for (std::size_t i = 0; i < last.count; ++i)
        send(last.reports[i]);
    EXPECT_EQ(acks + 1 + last.count, countOf(CMD_RECORD_ACK)) << "the console must be let go on";
    EXPECT_EQ(0u, historyActive.load()) << "a stray packet started a download";
    EXPECT_EQ(1u, lParamsOf(WM_HISTORY_TOTAL).size());
    EXPECT_EQ(1u, lParamsOf(WM_HISTORY_DONE).size());

    startNewDownload();
    expectWholeDownload(3);
}

// Two downloads in one connection, nothing between them: the second is
// counted from its own start.
TEST_F(DownloadAfterDownload, SecondDownloadInOneConnectionStartsItsOwnBookkeeping)
{
    expectWholeDownload(3);
    startNewDownload();
    expectWholeDownload(2);
    EXPECT_EQ(0, slots[2].text[0]);
}

TEST_F(DownloadAfterDownload, CancelInTheMiddleOfARecordCostsTheNextNothing)
{
    const EncodedMessage second = encoded(3, 2, record(2));
    sendHistory(3, 1, record(1));
    send(second.reports[0]);
    send(second.reports[1]);
    cancelHistoryTransfer(); // the status bar's cancel
    send(second.reports[2]); // unanswered now

    startNewDownload();
    expectWholeDownload(3);
}

// The user cancels and exports again before the reader sees another packet:
// the old download's bookkeeping must not leak into the new one.
TEST_F(DownloadAfterDownload, CancelAndNewExportBetweenTwoPacketsStartAfresh)
{
    const EncodedMessage second = encoded(3, 2, record(2));
    sendHistory(3, 1, record(1));
    send(second.reports[0]);
    cancelHistoryTransfer();
    startNewDownload();
    expectWholeDownload(3);
}

TEST_F(DownloadAfterDownload, UnfinishedLiveObservationCostsTheDownloadNothing)
{
    const std::string line = observationLine(7);
    EncodedMessage live;
    ASSERT_NE(0u, encodeMessage(KIND_OBSERVATION, observationHeader(0, 0),
                                reinterpret_cast<const std::uint8_t*>(line.data()), line.size(), live));
    send(live.reports[0]);
    send(live.reports[1]);
    startNewDownload();
    expectWholeDownload(3);
    EXPECT_TRUE(textsOf(WM_LIVE_RECORD).empty());
}

TEST_F(DownloadAfterDownload, GiveUpsOutsideADownloadAreNotCounted)
{
    // Damaged history packets with no file chosen, after a cancel, and
    // after the download completed: none of them is owed by the next.
    exportPath[0] = 0;
    giveUpHistory(3, 5);
    exportPath[0] = L'C';
    transferCancelled = 1;
    giveUpHistory(3, 6);
    transferCancelled = 0;
    expectWholeDownload(3);
    giveUpHistory(3, 7);
    EXPECT_EQ(1u, lParamsOf(WM_HISTORY_DONE).size());

    startNewDownload();
    expectWholeDownload(3);
}
