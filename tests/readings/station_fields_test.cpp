#include "readings/station_fields.h"

#include <cstring>
#include <cwchar>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "readings/history_store.h"

namespace {

// A full observation as the console writes it: 36 values.
const char FULL_RECORD[] =
    "45 2024-03-17 14:05 21.3 45 -3.5 80 1.2 0.0 12 18 225 SW 1013.2 1009.8 3 "
    "-5.6 -3.5 20.1 50 -- -- 19.8 55 -- -- -- -- -- -- -- -- -6.1 0.3 10.4 52.6";

std::unique_ptr<StationFields> parsed(const char* text)
{
    auto fields = std::make_unique<StationFields>();
    std::memset(fields.get(), 0, sizeof(StationFields));
    parseStationRecord(text, std::strlen(text) + 1, *fields);
    return fields;
}

std::wstring field(const StationFields& fields, int index)
{
    return fields.text[index];
}

void expectAllEmpty(const StationFields& fields)
{
    for (std::size_t i = 0; i < STATION_FIELD_COUNT; ++i)
        EXPECT_EQ(fields.text[i][0], L'\0') << "field " << i;
}

TEST(ParseStationRecord, SplitsAFullRecordByPosition)
{
    auto fields = parsed(FULL_RECORD);
    using F = StationFields;
    EXPECT_EQ(field(*fields, F::loggerPercent), L"45");
    EXPECT_EQ(field(*fields, F::recordDate), L"2024-03-17");
    EXPECT_EQ(field(*fields, F::recordTime), L"14:05");
    EXPECT_EQ(field(*fields, F::outdoorTemp), L"-3.5");
    EXPECT_EQ(field(*fields, F::windDirDegrees), L"225");
    EXPECT_EQ(field(*fields, F::windDirPoint), L"SW");
    EXPECT_EQ(field(*fields, F::relPressure), L"1013.2");
    EXPECT_EQ(field(*fields, F::absPressure), L"1009.8");
    EXPECT_EQ(field(*fields, F::ch2Temp), L"--");
    EXPECT_EQ(field(*fields, F::windChill), L"-6.1");
    EXPECT_EQ(field(*fields, F::monthlyRain), L"52.6");
}

TEST(ParseStationRecord, FewerValuesEmptyTheLaterFieldsOfAReusedSet)
{
    auto fields = parsed(FULL_RECORD);
    parseStationRecord("50 2024-03-18 09:00", 20, *fields);
    EXPECT_EQ(field(*fields, StationFields::loggerPercent), L"50");
    EXPECT_EQ(field(*fields, StationFields::recordTime), L"09:00");
    for (std::size_t i = 3; i < STATION_FIELD_COUNT; ++i)
        EXPECT_EQ(fields->text[i][0], L'\0') << "field " << i;
}

TEST(ParseStationRecord, ValuesAfterTheLastFieldAreDropped)
{
    std::string text = FULL_RECORD;
    text += " 99 98 97";
    auto fields = parsed(text.c_str());
    EXPECT_EQ(field(*fields, StationFields::monthlyRain), L"52.6");

    auto trailing = parsed((std::string(FULL_RECORD) + " ").c_str());
    EXPECT_EQ(field(*trailing, StationFields::monthlyRain), L"52.6");
}

TEST(ParseStationRecord, EverySpaceStartsAFieldSoEmptyValuesShiftTheRest)
{
    auto leading = parsed(" 2024-03-17 14:05");
    EXPECT_EQ(field(*leading, StationFields::loggerPercent), L"");
    EXPECT_EQ(field(*leading, StationFields::recordDate), L"2024-03-17");
    EXPECT_EQ(field(*leading, StationFields::recordTime), L"14:05");

    auto doubled = parsed("45  2024-03-17");
    EXPECT_EQ(field(*doubled, StationFields::recordDate), L"");
    EXPECT_EQ(field(*doubled, StationFields::recordTime), L"2024-03-17");
}

TEST(ParseStationRecord, NullLeavesTheFieldsAndEmptyClearsThem)
{
    auto fields = parsed(FULL_RECORD);
    parseStationRecord(static_cast<const StationRecord*>(nullptr), *fields);
    parseStationRecord(static_cast<const char*>(nullptr), 450, *fields);
    EXPECT_EQ(field(*fields, StationFields::relPressure), L"1013.2");

    parseStationRecord("", 1, *fields);
    expectAllEmpty(*fields);
}

TEST(ParseStationRecord, AnAllZeroSlotGivesThirtySixEmptyFields)
{
    auto fields = parsed(FULL_RECORD);
    auto slot = std::make_unique<StationRecord>();
    std::memset(slot->text, 0, sizeof slot->text);
    parseStationRecord(slot.get(), *fields);
    expectAllEmpty(*fields);
}

TEST(ParseStationRecord, ALongFieldIsCutToItsRoomWithoutDisturbingTheNext)
{
    std::string text = "45 " + std::string(100, '7') + " 14:05";
    auto fields = parsed(text.c_str());
    EXPECT_EQ(field(*fields, StationFields::recordDate), std::wstring(63, L'7'));
    EXPECT_EQ(field(*fields, StationFields::recordTime), L"14:05");
}

TEST(ParseStationRecord, AnUnterminatedSlotIsReadOnlyToItsEnd)
{
    // 35 values of 11 characters, then a last value that runs to the slot's
    // final byte with no terminator. The slot lives alone on the heap, so a
    // read past it is caught by AddressSanitizer.
    auto slot = std::make_unique<StationRecord>();
    std::memset(slot->text, 'x', sizeof slot->text);
    for (std::size_t i = 11; i < 35 * 12; i += 12)
        slot->text[i] = ' ';
    auto fields = std::make_unique<StationFields>();
    parseStationRecord(slot.get(), *fields);
    EXPECT_EQ(field(*fields, StationFields::loggerPercent), std::wstring(11, L'x'));
    EXPECT_EQ(field(*fields, StationFields::monthlyRain), std::wstring(30, L'x'));
}

TEST(ParseStationRecord, StopsAtTheByteLimitOfALiveCopy)
{
    auto fields = parsed(FULL_RECORD);
    parseStationRecord("12 2024-03-17 14:05", 5, *fields);
    EXPECT_EQ(field(*fields, StationFields::loggerPercent), L"12");
    EXPECT_EQ(field(*fields, StationFields::recordDate), L"20");
    EXPECT_EQ(field(*fields, StationFields::recordTime), L"");
}

TEST(ParseStationRecord, EachByteBecomesTheCharacterOfTheSameValue)
{
    auto fields = parsed("\xB0" "C \xFF");
    EXPECT_EQ(field(*fields, StationFields::loggerPercent), L"\u00B0C");
    EXPECT_EQ(field(*fields, StationFields::recordDate), L"\u00FF");
}

TEST(ValueState, EmptyIsAbsent)
{
    EXPECT_EQ(valueState(Quantity::temperature, L""), ValueState::absent);
    EXPECT_EQ(valueState(Quantity::pressure, L""), ValueState::absent);
    EXPECT_EQ(valueState(Quantity::text, nullptr), ValueState::absent);
}

TEST(ValueState, ATemperatureNeedsTwoDashesToBeInvalid)
{
    EXPECT_EQ(valueState(Quantity::temperature, L"-3.5"), ValueState::valid);
    EXPECT_EQ(valueState(Quantity::temperature, L"--.-"), ValueState::invalid);
    EXPECT_EQ(valueState(Quantity::temperature, L"--"), ValueState::invalid);
}

TEST(ValueState, AnyOtherNumberIsInvalidWithOneDash)
{
    EXPECT_EQ(valueState(Quantity::rain, L"-.-"), ValueState::invalid);
    EXPECT_EQ(valueState(Quantity::wind, L"--"), ValueState::invalid);
    EXPECT_EQ(valueState(Quantity::percent, L"-"), ValueState::invalid);
    EXPECT_EQ(valueState(Quantity::pressure, L"1013-"), ValueState::invalid);
    EXPECT_EQ(valueState(Quantity::pressure, L"1013.2"), ValueState::valid);
}

TEST(ValueState, FollowsEachFieldsQuantity)
{
    // The twelve temperature fields accept a negative reading; every other
    // numeric field refuses a dash.
    const int temperatures[] = {3, 5, 16, 17, 18, 20, 22, 24, 26, 28, 30, 32};
    StationFields fields;
    for (std::size_t i = 0; i < STATION_FIELD_COUNT; ++i)
        std::wcscpy(fields.text[i], L"-1");
    for (int i = 0; i < static_cast<int>(STATION_FIELD_COUNT); ++i) {
        bool temperature = false;
        for (int t : temperatures)
            temperature = temperature || t == i;
        const Quantity quantity = fieldQuantity(i);
        if (quantity == Quantity::text)
            continue;
        EXPECT_EQ(fieldValueState(fields, i), temperature ? ValueState::valid : ValueState::invalid)
            << "field " << i;
    }
    EXPECT_EQ(fieldQuantity(StationFields::recordDate), Quantity::text);
    EXPECT_EQ(fieldQuantity(StationFields::recordTime), Quantity::text);
    EXPECT_EQ(fieldQuantity(StationFields::windDirPoint), Quantity::text);
    EXPECT_EQ(fieldQuantity(StationFields::rainRate), Quantity::rainRate);
    EXPECT_EQ(fieldQuantity(StationFields::monthlyRain), Quantity::rain);
    EXPECT_EQ(fieldQuantity(StationFields::windGust), Quantity::wind);
    EXPECT_EQ(fieldQuantity(StationFields::absPressure), Quantity::pressure);
}

TEST(HistoryStore, HoldsSixtyThousandSlotsThatClearingZeroes)
{
    StationRecord* slots = historyStoreSlots();
    ASSERT_NE(slots, nullptr);
    EXPECT_EQ(historyStoreSlots(), slots);
    ASSERT_EQ(historyStoreCount(), std::size_t{60000});

    std::memset(slots[0].text, 'a', STATION_RECORD_SIZE);
    std::memset(slots[59999].text, 'b', STATION_RECORD_SIZE);
    std::strcpy(slots[31000].text, FULL_RECORD);
    clearHistoryStore();

    const char* bytes = reinterpret_cast<const char*>(slots);
    std::size_t nonZero = 0;
    for (std::size_t i = 0; i < historyStoreCount() * STATION_RECORD_SIZE; ++i)
        nonZero += bytes[i] != 0;
    EXPECT_EQ(nonZero, 0u);

    auto fields = parsed(FULL_RECORD);
    parseStationRecord(&slots[31000], *fields);
    expectAllEmpty(*fields);
}

} // namespace
