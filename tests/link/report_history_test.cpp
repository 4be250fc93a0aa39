// History download bookkeeping: which records are answered, where they are
// stored, how progress is counted and when the download completes.
#include "tests/link/reader_harness.h"

using HistoryDownload = ReaderTest;

namespace {

std::string record(int number)
{
    return "history record " + std::to_string(number) + " " + observationLine(number);
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
    EXPECT_EQ((std::vector<std::intptr_t>{1, 2, 3}), lParamsOf(WM_HISTORY_PROGRESS));
    for (int n = 1; n <= 3; ++n)
        EXPECT_EQ(record(n), slots[n - 1].text);
    EXPECT_EQ(0, slots[3].text[0]);
    EXPECT_EQ(3u, historyTotal.load());
    EXPECT_EQ(1u, historyComplete.load());
    EXPECT_EQ(1u, historyActive.load()); // the export still needs the store
}

TEST_F(HistoryDownload, GivenUpRecordIsCountedButNotStored)
{
    sendHistory(3, 1, record(1));
    giveUpHistory(3, 2);
    sendHistory(3, 3, record(3));
    EXPECT_EQ(record(1), slots[0].text);
    EXPECT_EQ(record(3), slots[1].text);
    EXPECT_EQ(0, slots[2].text[0]);
    EXPECT_EQ((std::vector<std::intptr_t>{1, 3}), lParamsOf(WM_HISTORY_PROGRESS));
    EXPECT_EQ(1u, lParamsOf(WM_HISTORY_DONE).size());
}

TEST_F(HistoryDownload, RecordGivenUpTwiceInARowCountsOnce)
{
    sendHistory(4, 1, record(1));
    giveUpHistory(4, 2);
    giveUpHistory(4, 2);
    sendHistory(4, 3, record(3));
    EXPECT_EQ(0u, historyComplete.load());
    sendHistory(4, 4, record(4));
    EXPECT_EQ((std::vector<std::intptr_t>{1, 3, 4}), lParamsOf(WM_HISTORY_PROGRESS));
    EXPECT_EQ(1u, historyComplete.load());
}

TEST_F(HistoryDownload, FirstRecordGivenUpCountsWhateverItsNumber)
{
    // Given up before any packet of the download was accepted; the console
    // may number its records from 0.
    giveUpHistory(2, 0);
    sendHistory(2, 1, record(1));
    EXPECT_EQ(record(1), slots[0].text);
    EXPECT_EQ((std::vector<std::intptr_t>{2}), lParamsOf(WM_HISTORY_PROGRESS));
    EXPECT_EQ(1u, historyComplete.load());
}

TEST_F(HistoryDownload, CompletesOnceWhenTheCountGoesBelowZero)
{
    // The last record is given up: the download completes there, since the
    // console moves on; a further give-up and the record arriving intact
    // after all change nothing.
    sendHistory(2, 1, record(1));
    giveUpHistory(2, 2);
    EXPECT_EQ(1u, historyComplete.load());
    giveUpHistory(2, 3);
    sendHistory(2, 2, record(2));
    EXPECT_EQ((std::vector<std::intptr_t>{1, 2}), lParamsOf(WM_HISTORY_PROGRESS));
    EXPECT_EQ(1u, lParamsOf(WM_HISTORY_DONE).size());
    EXPECT_EQ(1u, historyComplete.load());

    // More records while the export reads the store: acknowledged, not stored.
    const std::size_t messagesBefore = deliveries.size();
    const std::size_t acksBefore = countOf(CMD_RECORD_ACK);
    sendHistory(2, 4, record(4));
    EXPECT_EQ(messagesBefore, deliveries.size());
    EXPECT_LT(acksBefore, countOf(CMD_RECORD_ACK));
    EXPECT_EQ(record(1), slots[0].text);
    EXPECT_EQ(0, slots[1].text[0]);
}

// A console that loses a packet has moved on: the record can never be
// completed, and the download must not wait for it.
TEST_F(HistoryDownload, RecordMissingAPacketIsCountedAndTheRestStayInOrder)
{
    for (int lost : {1, 2, 4}) { // first, middle, last of its 4 packets
        SCOPED_TRACE(lost);
        sendLive(observationLine(lost)); // ends the last download
        deliveries.clear();
        historyComplete = 0;
        for (StationRecord& slot : slots)
            slot.text[0] = 0;
        sendHistory(3, 1, record(1));
        sendHistoryWithout(3, 2, record(2), lost);
        sendHistory(3, 3, record(3));
        EXPECT_EQ(record(1), slots[0].text);
        EXPECT_EQ(record(3), slots[1].text);
        EXPECT_EQ(0, slots[2].text[0]);
        EXPECT_EQ((std::vector<std::intptr_t>{1, 3}), lParamsOf(WM_HISTORY_PROGRESS));
        EXPECT_EQ(1u, lParamsOf(WM_HISTORY_DONE).size());
        EXPECT_EQ(1u, historyComplete.load());
    }
}

TEST_F(HistoryDownload, LastRecordMissingAPacketCompletesTheDownload)
{
    sendHistory(2, 1, record(1));
    sendHistoryWithout(2, 2, record(2), 2);
    EXPECT_EQ((std::vector<std::intptr_t>{1, 2}), lParamsOf(WM_HISTORY_PROGRESS));
    EXPECT_EQ(1u, lParamsOf(WM_HISTORY_DONE).size());
    EXPECT_EQ(record(1), slots[0].text);
    EXPECT_EQ(0, slots[1].text[0]);
}

// A last record missing only its last packet shows nothing to the reader
// until the console has been quiet for a while; then it is counted.
TEST_F(HistoryDownload, LastRecordMissingItsTailCompletesOnceTheConsoleIsQuiet)
{
    handleHistoryQuiet(reader); // no download: nothing happens
    EXPECT_TRUE(deliveries.empty());

    sendHistory(2, 1, record(1));
    handleHistoryQuiet(reader); // between whole records: nothing to skip
    sendHistoryWithout(2, 2, record(2), 4);
    EXPECT_TRUE(lParamsOf(WM_HISTORY_DONE).empty());
    handleHistoryQuiet(reader);
    EXPECT_EQ((std::vector<std::intptr_t>{1, 2}), lParamsOf(WM_HISTORY_PROGRESS));
    EXPECT_EQ(1u, lParamsOf(WM_HISTORY_DONE).size());
    EXPECT_EQ(1u, historyComplete.load());
    EXPECT_EQ(record(1), slots[0].text);
    EXPECT_EQ(0, slots[1].text[0]);

    // The tail turning up late, and more quiet, change nothing.
    sendHistory(2, 2, record(2));
    handleHistoryQuiet(reader);
    EXPECT_EQ(1u, lParamsOf(WM_HISTORY_DONE).size());
    EXPECT_EQ(0, slots[1].text[0]);
}

// In the middle of a download the quiet record is counted once, and the
// records after it still fill the next slots.
TEST_F(HistoryDownload, QuietRecordInTheMiddleIsCountedOnce)
{
    sendHistory(3, 1, record(1));
    sendHistoryWithout(3, 2, record(2), 4);
    handleHistoryQuiet(reader);
    handleHistoryQuiet(reader);
    sendHistory(3, 3, record(3));
    EXPECT_EQ((std::vector<std::intptr_t>{1, 3}), lParamsOf(WM_HISTORY_PROGRESS));
    EXPECT_EQ(1u, lParamsOf(WM_HISTORY_DONE).size());
    EXPECT_EQ(record(1), slots[0].text);
    EXPECT_EQ(record(3), slots[1].text);
}

// Packets sent twice or out of order (a resend after a lost answer, a
// swapped pair) lose only their own record; a repeated first packet loses
// nothing, since a first packet always starts the message again.
TEST_F(HistoryDownload, RepeatedAndSwappedPacketsCountTheirRecordOnce)
{
    const std::string second = record(2);
    EncodedMessage swapped;
    ASSERT_NE(0u, encodeMessage(KIND_OBSERVATION, observationHeader(4, 2),
                                reinterpret_cast<const std::uint8_t*>(second.data()), second.size(), swapped));
    ASSERT_EQ(4u, swapped.count);
    const std::string third = record(3);
    EncodedMessage repeated;
    ASSERT_NE(0u, encodeMessage(KIND_OBSERVATION, observationHeader(4, 3),
                                reinterpret_cast<const std::uint8_t*>(third.data()), third.size(), repeated));
    sendHistory(4, 1, record(1));
    for (int i : {0, 1, 3, 2})
        send(swapped.reports[i]);
    for (int i : {0, 0, 1, 1, 2, 3})
        send(repeated.reports[i]);
    EXPECT_EQ(0u, historyComplete.load());
    sendHistory(4, 4, record(4));
    EXPECT_EQ(record(1), slots[0].text);
    EXPECT_EQ(record(4), slots[1].text);
    EXPECT_EQ(0, slots[2].text[0]);
    EXPECT_EQ((std::vector<std::intptr_t>{1, 4}), lParamsOf(WM_HISTORY_PROGRESS));
    EXPECT_EQ(1u, historyComplete.load());

    // The same repeated first packet alone: the record arrives whole.
    deliveries.clear();
    sendLive(observationLine(1));
    historyComplete = 0;
    for (int i : {0, 0, 1, 2, 3})
        send(repeated.reports[i]);
    EXPECT_EQ(record(3), slots[0].text);
}

TEST_F(HistoryDownload, RecordsBeyondTheStoreAreCountedNotStored)
{
    // The store here has 4 slots; an announced count above the slot count must
    // not write past the last (ASan would catch a write outside the vector).
    const int count = 6;
    for (int n = 1; n <= count; ++n)
        sendHistory(count, static_cast<std::uint16_t>(n), record(n));
    EXPECT_EQ((std::vector<std::intptr_t>{1, 2, 3, 4, 5, 6}), lParamsOf(WM_HISTORY_PROGRESS));
    EXPECT_EQ(1u, historyComplete.load());
    EXPECT_EQ(record(4), slots[3].text);
}

TEST_F(HistoryDownload, OverflowingRecordIsCountedNotStored)
{
    sendHistory(2, 1, std::string(486, 'x'));
    sendHistory(2, 2, record(2));
    EXPECT_EQ(0, slots[0].text[0]);
    EXPECT_EQ(record(2), slots[1].text);
    EXPECT_EQ((std::vector<std::intptr_t>{1, 2}), lParamsOf(WM_HISTORY_PROGRESS));
    EXPECT_EQ(1u, historyComplete.load());
}

TEST_F(HistoryDownload, LiveObservationEndsTheHistoryStateAndTheNextCountStartsAfresh)
{
    sendHistory(5, 1, record(1));
    transferCancelled = 1; // refused by the console meanwhile
    sendLive(observationLine(1));
    EXPECT_EQ(0u, historyActive.load());
    EXPECT_EQ(0u, transferCancelled.load());
    EXPECT_EQ((std::vector<std::string>{observationLine(1)}), textsOf(WM_LIVE_RECORD));

    sendHistory(2, 1, record(11));
    sendHistory(2, 2, record(12));
    EXPECT_EQ((std::vector<std::intptr_t>{5, 2}), lParamsOf(WM_HISTORY_TOTAL));
    EXPECT_EQ(record(11), slots[0].text);
    EXPECT_EQ(record(12), slots[1].text);
    EXPECT_EQ(1u, lParamsOf(WM_HISTORY_DONE).size());
}

TEST_F(HistoryDownload, LiveObservationsGivenUpDoNotShortenTheNextDownload)
{
    // A live observation lost to damage right before the download starts,
    // and another one between two downloads.
    EncodedReport live = encodePacket(KIND_OBSERVATION, observationHeader(0, 0), 0x21, nullptr, 0);
    damageChecksum(live);
    for (int i = 0; i < 10; ++i)
        send(live);
    for (int n = 1; n <= 3; ++n)
        sendHistory(3, static_cast<std::uint16_t>(n), record(n));
    EXPECT_EQ((std::vector<std::intptr_t>{1, 2, 3}), lParamsOf(WM_HISTORY_PROGRESS));
    EXPECT_EQ(record(3), slots[2].text);
    EXPECT_EQ(1u, lParamsOf(WM_HISTORY_DONE).size());
}

TEST_F(HistoryDownload, GiveUpsOfAnInterruptedDownloadDoNotCarryOver)
{
    sendHistory(5, 1, record(1));
    giveUpHistory(5, 2);
    sendLive(observationLine(1)); // ends that download
    for (int n = 1; n <= 2; ++n)
        sendHistory(2, static_cast<std::uint16_t>(n), record(10 + n));
    EXPECT_EQ(record(11), slots[0].text);
    EXPECT_EQ(record(12), slots[1].text);
    EXPECT_EQ((std::vector<std::intptr_t>{1, 1, 2}), lParamsOf(WM_HISTORY_PROGRESS));
    EXPECT_EQ(1u, lParamsOf(WM_HISTORY_DONE).size());
}

// Each download starts from clean bookkeeping: whatever the link saw before
// it (a packet repeated after the last download, a cancelled download's
// half record, an unfinished live observation) costs the next one nothing.
class DownloadAfterDownload : public ReaderTest {
protected:
    // What the export page does when a new export is accepted.
    void startNewDownload()
    {
        transferCancelled = 0;
        historyActive = 0;
        historyComplete = 0;
        for (StationRecord& slot : slots)
            slot.text[0] = 0;
        deliveries.clear();
    }

    // A whole download of `count` records must land in full.
    void expectWholeDownload(int count)
    {
        for (int n = 1; n <= count; ++n)
            sendHistory(static_cast<std::uint16_t>(count), static_cast<std::uint16_t>(n), record(n));
        for (int n = 1; n <= count; ++n)
            EXPECT_EQ(record(n), slots[n - 1].text) << "slot " << n - 1;
        std::vector<std::intptr_t> progress;
        for (int n = 1; n <= count; ++n)
            progress.push_back(n);
        EXPECT_EQ(progress, lParamsOf(WM_HISTORY_PROGRESS));
        EXPECT_EQ(1u, lParamsOf(WM_HISTORY_DONE).size());
        EXPECT_EQ(1u, historyComplete.load());
    }

    EncodedMessage encoded(std::uint16_t count, std::uint16_t number, const std::string& text)
    {
        EncodedMessage message;
        EXPECT_NE(0u, encodeMessage(KIND_OBSERVATION, observationHeader(count, number),
                                    reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), message));
        return message;
    }
};

TEST_F(DownloadAfterDownload, LastPacketRepeatedAfterTheDownloadCostsTheNextNothing)
{
    const EncodedMessage last = encoded(3, 3, record(3));
    expectWholeDownload(3);
    // Repeated while the export still reads the store, and again after it.
    send(last.reports[last.count - 1]);
    historyActive = 0;
    const std::size_t acks = countOf(CMD_RECORD_ACK);
    send(last.reports[last.count - 1]);
    EXPECT_EQ(acks + 1, countOf(CMD_RECORD_ACK)) << "the console must be let go on";
    EXPECT_EQ(0u, historyActive.load()) << "a stray tail started a download";
    EXPECT_TRUE(lParamsOf(WM_HISTORY_TOTAL).size() == 1);

    startNewDownload();
    expectWholeDownload(3);
}

TEST_F(DownloadAfterDownload, CancelInTheMiddleOfARecordCostsTheNextNothing)
{
    const EncodedMessage second = encoded(3, 2, record(2));
    sendHistory(3, 1, record(1));
    send(second.reports[0]);
    send(second.reports[1]);
    transferCancelled = 1; // the status bar's cancel
    historyActive = 0;
    send(second.reports[2]); // unanswered now

    startNewDownload();
    expectWholeDownload(3);
}

TEST_F(DownloadAfterDownload, UnfinishedLiveObservationCostsTheDownloadNothing)
{
    EncodedMessage live;
    const std::string line = observationLine(7);
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
