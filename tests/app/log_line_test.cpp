// The service's log lines: for the journal, the priority first and no
// time stamp (the journal keeps both); elsewhere the local time first.
// Whether a stream is the journal's is what JOURNAL_STREAM says of it.
#include "app/log_line.h"

#include <gtest/gtest.h>

namespace {

constexpr ClockTime AT = {2026, 3, 7, 9, 5, 30};

TEST(LogLine, ForTheJournalCarriesThePriorityAndNoStamp)
{
    EXPECT_EQ(serviceLogText(LogLevel::error, true, AT, "archive: merge failed"), "<3>archive: merge failed");
    EXPECT_EQ(serviceLogText(LogLevel::warning, true, AT, "x"), "<4>x");
    EXPECT_EQ(serviceLogText(LogLevel::info, true, AT, "x"), "<6>x");
    EXPECT_EQ(programNoteText(LogLevel::warning, true, "No connection"), "<4>aerovane: No connection");
}

TEST(LogLine, ElsewhereIsStampedWithoutAPriority)
{
    EXPECT_EQ(serviceLogText(LogLevel::error, false, AT, "archive: merge failed"),
              "2026-03-07 09:05:30 archive: merge failed");
    EXPECT_EQ(programNoteText(LogLevel::error, false, "cannot start the reader"),
              "aerovane: cannot start the reader");
}

TEST(LogLine, JournalStreamNamesOneDeviceAndInode)
{
    EXPECT_TRUE(journalStreamIs("8:12345", 8, 12345));
    EXPECT_TRUE(journalStreamIs("18446744073709551615:0", 18446744073709551615ull, 0));
    // Another stream: the program's output was redirected inside the service.
    EXPECT_FALSE(journalStreamIs("8:12345", 8, 12346));
    EXPECT_FALSE(journalStreamIs("9:12345", 8, 12345));
    // Not what systemd writes: never taken for a match.
    for (const char* value : {"", ":", "8:", ":12345", "8;12345", "8:12345 ", " 8:12345", "+8:12345", "8:-12345",
                              "8:12345:1", "0x8:12345", "18446744073709551616:12345"}) {
        SCOPED_TRACE(value);
        EXPECT_FALSE(journalStreamIs(value, 8, 12345));
    }
    EXPECT_FALSE(journalStreamIs(nullptr, 0, 0));
}

} // namespace
