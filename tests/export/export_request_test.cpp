// The Export button's request checks, the date comparison that decides the
// period, and the save dialog's name check.
#include "export/export_request.h"

#include <cstring>
#include <cwchar>
#include <string>

#include <gtest/gtest.h>

#include "export/export_options.h"

namespace {

struct Dates {
    const wchar_t* startYear;
    const wchar_t* startMonth;
    const wchar_t* startDay;
    const wchar_t* endYear;
    const wchar_t* endMonth;
    const wchar_t* endDay;
};

ExportForm formWith(const Dates& d, bool wholePeriod = false)
{
    ExportForm form{};
    form.wholePeriod = wholePeriod;
    form.startYear = d.startYear;
    form.startMonth = d.startMonth;
    form.startDay = d.startDay;
    form.endYear = d.endYear;
    form.endMonth = d.endMonth;
    form.endDay = d.endDay;
    return form;
}

ExportCheck check(const Dates& d)
{
    ExportRequest request{};
    return checkExportRequest(formWith(d), request);
}

const Dates GOOD = {L"2018", L"1", L"1", L"2018", L"12", L"31"};

TEST(ExportRequestCheck, YearsStartByLengthEndByValue)
{
    EXPECT_EQ(ExportCheck::accepted, check({L"2000", L"1", L"1", L"2017", L"1", L"1"}));
    EXPECT_EQ(ExportCheck::accepted, check({L"0000", L"1", L"1", L"02017", L"1", L"1"}));
    EXPECT_EQ(ExportCheck::yearError, check({L"999", L"1", L"1", L"2018", L"1", L"1"}));
    EXPECT_EQ(ExportCheck::yearError, check({L"", L"1", L"1", L"2018", L"1", L"1"}));
    EXPECT_EQ(ExportCheck::yearError, check({L"2018", L"1", L"1", L"2016", L"1", L"1"}));
    EXPECT_EQ(ExportCheck::yearError, check({L"2018", L"1", L"1", L"", L"1", L"1"}));
    EXPECT_EQ(ExportCheck::yearError, check({L"2018", L"1", L"1", L"abcd", L"1", L"1"}));
}

TEST(ExportRequestCheck, MonthsAndDaysInRangeEmptyIsZero)
{
    EXPECT_EQ(ExportCheck::monthError, check({L"2018", L"0", L"1", L"2018", L"1", L"1"}));
    EXPECT_EQ(ExportCheck::monthError, check({L"2018", L"13", L"1", L"2018", L"1", L"1"}));
    EXPECT_EQ(ExportCheck::monthError, check({L"2018", L"", L"1", L"2018", L"1", L"1"}));
    EXPECT_EQ(ExportCheck::dayError, check({L"2018", L"1", L"32", L"2018", L"1", L"1"}));
    EXPECT_EQ(ExportCheck::dayError, check({L"2018", L"1", L"0", L"2018", L"1", L"1"}));
    EXPECT_EQ(ExportCheck::monthError, check({L"2018", L"1", L"1", L"2018", L"13", L"1"}));
    EXPECT_EQ(ExportCheck::dayError, check({L"2018", L"1", L"1", L"2018", L"1", L""}));
    EXPECT_EQ(ExportCheck::accepted, check({L"2018", L"12", L"31", L"2018", L"01", L"01"}));
}

TEST(ExportRequestCheck, FirstFaultInReadingOrderWins)
{
    // Start year before start month, start date before end date.
    EXPECT_EQ(ExportCheck::yearError, check({L"18", L"13", L"32", L"2016", L"13", L"32"}));
    EXPECT_EQ(ExportCheck::monthError, check({L"2018", L"13", L"32", L"2016", L"13", L"32"}));
    EXPECT_EQ(ExportCheck::dayError, check({L"2018", L"1", L"32", L"2016", L"13", L"32"}));
    EXPECT_EQ(ExportCheck::yearError, check({L"2018", L"1", L"1", L"2016", L"13", L"32"}));
    EXPECT_EQ(ExportCheck::monthError, check({L"2018", L"1", L"1", L"2018", L"13", L"32"}));
}

TEST(ExportRequestCheck, MessagesAreTheProgramsTexts)
{
    EXPECT_STREQ(L"Year input error !", exportCheckMessage(ExportCheck::yearError));
    EXPECT_STREQ(L"Month input error !", exportCheckMessage(ExportCheck::monthError));
    EXPECT_STREQ(L"Day input error !", exportCheckMessage(ExportCheck::dayError));
    EXPECT_EQ(nullptr, exportCheckMessage(ExportCheck::accepted));
}

TEST(ExportRequestCheck, DatesAreBuiltAsTypedAndNotCheckedAgainstEachOther)
{
    ExportRequest request{};
    // The 31st of February and an end before the start both pass.
    ASSERT_EQ(ExportCheck::accepted,
              checkExportRequest(formWith({L"2019", L"02", L"31", L"2018", L"5", L"3"}), request));
    EXPECT_STREQ(L"2019-02-31", request.exportStartDate);
    EXPECT_STREQ(L"2018-5-3", request.exportEndDate);
}

// What the page lets through, a command line refuses.
TEST(CommandLinePeriod, DaysTheCalendarHasAndAnEndNotBeforeTheStart)
{
    const auto period = [](const wchar_t* start, const wchar_t* end) {
        ExportRequest request{};
        std::wcscpy(request.exportStartDate, start);
        std::wcscpy(request.exportEndDate, end);
        return checkCommandLinePeriod(request);
    };
    EXPECT_EQ(PeriodCheck::sound, period(L"2024-2-29", L"2024-02-29")); // a leap day, one day long
    EXPECT_EQ(PeriodCheck::sound, period(L"2000-2-29", L"2026-12-31"));
    EXPECT_EQ(PeriodCheck::noSuchStartDate, period(L"2026-02-31", L"2026-3-1"));
    EXPECT_EQ(PeriodCheck::noSuchStartDate, period(L"2023-2-29", L"2026-3-1"));
    EXPECT_EQ(PeriodCheck::noSuchStartDate, period(L"2100-2-29", L"2126-3-1")); // not a leap year
    EXPECT_EQ(PeriodCheck::noSuchEndDate, period(L"2026-1-1", L"2026-4-31"));
    EXPECT_EQ(PeriodCheck::endsBeforeStart, period(L"2026-3-2", L"2026-3-1"));
    EXPECT_EQ(PeriodCheck::endsBeforeStart, period(L"2027-1-1", L"2026-12-31"));

    ExportRequest whole{};
    whole.dataSets.wholePeriod = 1;
    std::wcscpy(whole.exportStartDate, L"2026-02-31");
    EXPECT_EQ(PeriodCheck::sound, checkCommandLinePeriod(whole));
}

TEST(ExportRequestCheck, WholePeriodIgnoresEmptyWrongAndMissingDates)
{
    ExportRequest request{};
    std::wcscpy(request.exportStartDate, L"2018-1-1");
    for (const Dates& d : {Dates{L"", L"", L"", L"", L"", L""},
                           Dates{L"1", L"99", L"0", L"2000", L"13", L"40"},
                           Dates{nullptr, nullptr, nullptr, nullptr, nullptr, nullptr}}) {
        EXPECT_EQ(ExportCheck::accepted, checkExportRequest(formWith(d, true), request));
        EXPECT_EQ(1u, request.dataSets.wholePeriod);
        EXPECT_STREQ(L"2018-1-1", request.exportStartDate);
    }
}

TEST(ExportRequestCheck, CheckBoxesMapToTheirDataSetsInIdOrder)
{
    // 1217 pressure, 1218 outdoor, 1219 indoor, 1220 dew point, 1221 wind,
    // 1222 heat index, 1223 rain, 1224 UV, 1225..1231 CH1..CH7.
    for (int box = 0; box < DATA_SET_COUNT; ++box) {
        ExportForm form = formWith(GOOD);
        form.dataSets[box] = true;
        ExportRequest request{};
        ASSERT_EQ(ExportCheck::accepted, checkExportRequest(form, request));
        const DataSetSelection& s = request.dataSets;
        const std::uint32_t flags[DATA_SET_COUNT] = {
            s.pressureSet, s.outdoorSet, s.indoorSet, s.dewPointSet, s.windSet,
            s.heatIndexSet, s.rainSet, s.uvSet, s.channelSet[0], s.channelSet[1],
            s.channelSet[2], s.channelSet[3], s.channelSet[4], s.channelSet[5], s.channelSet[6]};
        for (int i = 0; i < DATA_SET_COUNT; ++i)
            EXPECT_EQ(i == box ? 1u : 0u, flags[i]) << "box " << 1217 + box << ", flag " << i;
        EXPECT_EQ(0u, s.wholePeriod);
    }
}

TEST(ExportRequestCheck, RefusedFormLeavesTheRequestAlone)
{
    ExportRequest request{};
    request.dataSets.rainSet = 1;
    std::wcscpy(request.exportStartDate, L"2017-1-1");
    ExportForm form = formWith({L"2019", L"3", L"4", L"2016", L"1", L"1"});
    form.dataSets[0] = true;
    EXPECT_EQ(ExportCheck::yearError, checkExportRequest(form, request));
    EXPECT_STREQ(L"2017-1-1", request.exportStartDate);
    EXPECT_EQ(1u, request.dataSets.rainSet);
    EXPECT_EQ(0u, request.dataSets.pressureSet);
}

TEST(ExportRequestCheck, OverlongDateTextsAreCutNotOverflowed)
{
    const std::wstring longYear(200, L'9');
    ExportRequest request{};
    ASSERT_EQ(ExportCheck::accepted,
              checkExportRequest(formWith({longYear.c_str(), L"1", L"1", longYear.c_str(), L"1", L"1"}),
                                 request));
    EXPECT_EQ(EXPORT_DATE_SIZE - 1, std::wcslen(request.exportStartDate));
    EXPECT_EQ(EXPORT_DATE_SIZE - 1, std::wcslen(request.exportEndDate));
}

TEST(DateComparison, NumericByYearMonthDay)
{
    EXPECT_EQ(0, compareDates(L"2018-3-1", L"2018-03-01"));
    EXPECT_EQ(2, compareDates(L"2018-3-1", L"2018-2-31"));
    EXPECT_EQ(1, compareDates(L"2018-2-28", L"2018-2-31"));
    EXPECT_EQ(2, compareDates(L"2019-1-1", L"2018-12-31"));
    EXPECT_EQ(1, compareDates(L"2018-9-30", L"2018-10-1")); // not compared as text
    EXPECT_EQ(2, compareDates(L" 2018- 3- 2", L"2018-3-1"));  // %d skips white space
    EXPECT_EQ(1, compareDates(L"18-3-1", L"2018-1-1"));       // a two-digit year as written
}

TEST(DateComparison, UnreadableDatesBelongToNoPeriod)
{
    for (const wchar_t* bad : {L"", L"--", L"2018-3", L"2018/3/1", L"a-b-c", L"2018-3-"}) {
        EXPECT_EQ(-1, compareDates(bad, L"2018-3-1")) << bad;
        EXPECT_EQ(-1, compareDates(L"2018-3-1", bad)) << bad;
    }
    EXPECT_EQ(-1, compareDates(nullptr, L"2018-3-1"));
}

TEST(DateComparison, PeriodIncludesBothEnds)
{
    ExportRequest request{};
    std::wcscpy(request.exportStartDate, L"2018-2-28");
    std::wcscpy(request.exportEndDate, L"2018-2-31");
    EXPECT_FALSE(recordInPeriod(L"2018-2-27", request));
    EXPECT_TRUE(recordInPeriod(L"2018-2-28", request));
    EXPECT_TRUE(recordInPeriod(L"2018-2-31", request));
    EXPECT_FALSE(recordInPeriod(L"2018-3-1", request));
    EXPECT_FALSE(recordInPeriod(L"garbled", request));
    request.dataSets.wholePeriod = 1;
    EXPECT_TRUE(recordInPeriod(L"2018-3-1", request));
    EXPECT_TRUE(recordInPeriod(L"garbled", request));
}

TEST(ExportFileName, CsvOrXlsInAnyCase)
{
    for (const wchar_t* good : {L"X.CSV", L"C:\\data\\week.csv", L"a.Xls", L"b.xLS", L".csv"})
        EXPECT_TRUE(hasExportExtension(good)) << good;
    for (const wchar_t* bad : {L"a.txt", L"csv", L"a.csvx", L"a.cs", L"a_csv", L"", L"a.xlsx"})
        EXPECT_FALSE(hasExportExtension(bad)) << bad;
    EXPECT_FALSE(hasExportExtension(nullptr));
}

} // namespace
