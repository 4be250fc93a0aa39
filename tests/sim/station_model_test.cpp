#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "readings/compass.h"
#include "readings/station_fields.h"
#include "sim/report_encoder.h"
#include "sim/station_model.h"

namespace {

const std::int64_t JAN_2026 = minutesFromCivil(SimDateTime{2026, 1, 1, 0, 0});

std::string lineAt(const StationModel& model, std::int64_t minute, Observation* obs = nullptr)
{
    Observation local;
    Observation& o = obs ? *obs : local;
    observeStation(model, minute, o);
    char line[OBSERVATION_LINE_MAX + 1];
    const std::size_t n = formatObservationLine(o, line, sizeof line);
    EXPECT_GT(n, 0u);
    return std::string(line, n);
}

std::vector<std::string> split(const std::string& line)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t space = line.find(' ', start);
        out.push_back(line.substr(start, space - start));
        if (space == std::string::npos)
            return out;
        start = space + 1;
    }
}

// Which groups make field i invalid (0 = none: date, time, logger, point
// handled apart).
unsigned groupsOfField(int i)
{
    if (i == 3 || i == 4) return INVALID_INDOOR;
    if (i == 5 || i == 6 || i == 16 || i == 17) return INVALID_OUTDOOR;
    if (i == 32) return INVALID_OUTDOOR | INVALID_WIND;
    if (i >= 9 && i <= 12) return INVALID_WIND;
    if (i == 7 || i == 8 || i >= 33) return INVALID_RAIN;
    if (i == 13 || i == 14) return INVALID_PRESSURE;
    if (i == 15) return INVALID_UV;
    if (i >= 18 && i <= 31) return INVALID_CHANNEL1 << ((i - 18) / 2);
    return 0;
}

} // namespace

TEST(StationModel, CivilMinutesRoundTripOverLeapYearsAndBeforeTheEpoch)
{
    const SimDateTime cases[] = {{2024, 2, 29, 23, 59}, {2100, 3, 1, 0, 0}, {2000, 2, 29, 12, 0},
                                 {1969, 12, 31, 23, 59}, {2026, 3, 7, 9, 5}};
    for (const SimDateTime& t : cases) {
        const SimDateTime back = civilFromMinutes(minutesFromCivil(t));
        EXPECT_EQ(0, std::memcmp(&t, &back, sizeof t)) << t.year << "-" << t.month << "-" << t.day;
    }
    EXPECT_EQ(-1, minutesFromCivil(SimDateTime{1969, 12, 31, 23, 59}));
    EXPECT_EQ(minutesFromCivil(SimDateTime{2100, 3, 1, 0, 0}) - 1440,
              minutesFromCivil(SimDateTime{2100, 2, 28, 0, 0})); // 2100 is no leap year
    EXPECT_FALSE(isValidCivil(SimDateTime{2100, 2, 29, 0, 0}));
    EXPECT_TRUE(isValidCivil(SimDateTime{2024, 2, 29, 0, 0}));
    EXPECT_FALSE(isValidCivil(SimDateTime{2026, 4, 31, 0, 0}));
}

TEST(StationModel, LinesHave36WellFormedFieldsAcrossAYearAndSeeds)
{
    for (std::uint32_t seed : {1u, 7u, 123456u}) {
        StationModel model;
        initStationModel(model, seed, 30, 42);
        for (std::int64_t m = JAN_2026 - 5000; m < JAN_2026 + 400 * 1440; m += 97) {
            Observation obs;
            const std::string line = lineAt(model, m, &obs);
            ASSERT_LE(line.size(), OBSERVATION_LINE_MAX);
            ASSERT_EQ(std::string::npos, line.find("  ")) << line;
            const std::vector<std::string> f = split(line);
            ASSERT_EQ(36u, f.size()) << line;

            StationFields fields;
            parseStationRecord(line.c_str(), line.size() + 1, fields);
            for (int i = 0; i < 36; ++i)
                ASSERT_NE(ValueState::absent, fieldValueState(fields, i)) << i << ": " << line;

            int y = 0, mo = 0, d = 0;
            char extra = 0;
            ASSERT_EQ(3, std::sscanf(f[1].c_str(), "%d-%d-%d%c", &y, &mo, &d, &extra)) << f[1];
            EXPECT_EQ(obs.time.year, y);
            EXPECT_TRUE(isValidCivil(SimDateTime{y, mo, d, 0, 0})) << f[1];
            ASSERT_EQ(5u, f[2].size());
            int hh = 0, mm = 0;
            ASSERT_EQ(2, std::sscanf(f[2].c_str(), "%2d:%2d", &hh, &mm)) << f[2];
            EXPECT_EQ(obs.time.hour, hh);
            EXPECT_EQ(obs.time.minute, mm);
            EXPECT_EQ("42", f[0]);

            if (!(obs.invalid & INVALID_WIND)) {
                const int degrees = std::atoi(f[11].c_str());
                ASSERT_TRUE(degrees >= 0 && degrees <= 359) << f[11];
                const std::wstring point(f[12].begin(), f[12].end());
                EXPECT_EQ(compassSectorForDegrees(degrees), compassSectorForPoint(point.c_str())) << line;
            }
        }
    }
}

TEST(StationModel, PointNamesFollowTheProgramsSectorsForEveryBearing)
{
    for (int d = -360; d < 720; ++d) {
        const std::string name = compassPointName(d);
        const std::wstring wide(name.begin(), name.end());
        EXPECT_EQ(compassSectorForDegrees(((d % 360) + 360) % 360), compassSectorForPoint(wide.c_str())) << d;
    }
    EXPECT_STREQ("S", compassPointName(191));
}

TEST(StationModel, DashesStandExactlyForMissingChannelsAndTheInvalidGroup)
{
    for (int permille : {0, 1000}) {
        StationModel model;
        initStationModel(model, 99, permille, 5);
        int present = 0;
        for (int k = 0; k < SIM_CHANNEL_COUNT; ++k)
            present += (model.channelMask >> k) & 1;
        ASSERT_GE(present, 1);
        ASSERT_LT(present, SIM_CHANNEL_COUNT); // some channel always reports no data
        std::set<unsigned> groupsSeen;
        for (std::int64_t m = JAN_2026; m < JAN_2026 + 60 * 1440; m += 61) {
            Observation obs;
            const std::string line = lineAt(model, m, &obs);
            const std::vector<std::string> f = split(line);
            StationFields fields;
            parseStationRecord(line.c_str(), line.size() + 1, fields);
            if (permille == 0)
                EXPECT_EQ(0u, obs.invalid);
            else
                EXPECT_EQ(1, std::popcount(obs.invalid)) << obs.invalid;
            groupsSeen.insert(obs.invalid);
            for (int i = 3; i < 36; ++i) {
                const unsigned groups = groupsOfField(i);
                const bool noSensor = i >= 18 && i <= 31 && !(model.channelMask & (1u << ((i - 18) / 2)));
                const bool dashed = noSensor || (obs.invalid & groups);
                if (i == 12) {
                    EXPECT_EQ(dashed, f[i] == "--") << line;
                    continue;
                }
                EXPECT_EQ(dashed, fieldValueState(fields, i) == ValueState::invalid) << i << ": " << line;
                if (dashed) {
                    const Quantity q = fieldQuantity(i);
                    EXPECT_EQ(q == Quantity::temperature ? "--.-"
                                                         : (q == Quantity::rain || q == Quantity::rainRate ? "-.-" : "--"),
                              f[i]) << i;
                } else if (fieldQuantity(i) != Quantity::temperature) {
                    EXPECT_EQ(std::string::npos, f[i].find('-')) << i << ": " << line;
                }
            }
        }
        if (permille == 1000) {
            EXPECT_GE(groupsSeen.size(), 7u); // every kind of failure occurs
        }
    }
}

TEST(StationModel, RainTotalsOnlyGrowWithinTheirPeriodAndResetAtItsStart)
{
    StationModel model;
    initStationModel(model, 3, 0, 0);
    Observation prev;
    observeStation(model, JAN_2026 - 1, prev);
    int rainyDays = 0;
    for (std::int64_t m = JAN_2026; m < JAN_2026 + 45 * 1440; ++m) {
        Observation o;
        observeStation(model, m, o);
        const bool newDay = o.time.day != prev.time.day;
        const bool newMonth = o.time.month != prev.time.month;
        const bool newWeek = newDay && (m / 1440 + 4) % 7 == 0; // Sunday
        if (newDay) {
            rainyDays += prev.dailyRain > 0;
            EXPECT_EQ(0, o.dailyRain);
        } else {
            ASSERT_GE(o.dailyRain, prev.dailyRain) << m;
            if (o.dailyRain > prev.dailyRain + 1) {
                EXPECT_GT(o.rainRate + prev.rainRate, 0) << "rain fell without a rain rate";
            }
        }
        if (!newWeek) {
            ASSERT_GE(o.weeklyRain, prev.weeklyRain) << m;
        }
        if (!newMonth) {
            ASSERT_GE(o.monthlyRain, prev.monthlyRain) << m;
        }
        EXPECT_LE(o.dailyRain, o.weeklyRain);
        EXPECT_LE(o.dailyRain, o.monthlyRain);
        EXPECT_GE(o.hourlyRain, 0);
        prev = o;
    }
    EXPECT_GT(rainyDays, 5);
    EXPECT_LT(rainyDays, 40);
}

TEST(StationModel, ValuesArePlausibleAndFollowDayAndSeason)
{
    StationModel model;
    initStationModel(model, 11, 0, 0);
    double afternoon = 0, earlyMorning = 0, january = 0, july = 0;
    std::set<int> directions;
    const std::int64_t JUL_2026 = minutesFromCivil(SimDateTime{2026, 7, 1, 0, 0});
    for (int day = 0; day < 30; ++day) {
        for (int hour = 0; hour < 24; ++hour) {
            for (std::int64_t base : {JAN_2026, JUL_2026}) {
                Observation o;
                observeStation(model, base + day * 1440 + hour * 60, o);
                EXPECT_TRUE(o.outdoorTemp > -400 && o.outdoorTemp < 450) << o.outdoorTemp;
                EXPECT_TRUE(o.outdoorHumidity >= 10 && o.outdoorHumidity <= 100);
                EXPECT_LE(o.dewPoint, o.outdoorTemp);
                EXPECT_LE(o.windChill, o.outdoorTemp);
                EXPECT_GE(o.heatIndex, o.outdoorTemp);
                EXPECT_GE(o.windGust, o.windSpeed);
                EXPECT_TRUE(o.relPressure > 9500 && o.relPressure < 10600) << o.relPressure;
                EXPECT_LT(o.absPressure, o.relPressure);
                EXPECT_TRUE(o.uvIndex >= 0 && o.uvIndex <= 12);
                if (hour < 6 || hour >= 18) {
                    EXPECT_EQ(0, o.uvIndex);
                }
                (base == JAN_2026 ? january : july) += o.outdoorTemp;
                if (hour == 15) afternoon += o.outdoorTemp;
                if (hour == 4) earlyMorning += o.outdoorTemp;
                directions.insert(o.windDirDegrees / 10);
            }
        }
    }
    EXPECT_GT(afternoon, earlyMorning + 60 * 20); // two degrees warmer on average
    EXPECT_GT(july, january + 60 * 24 * 80);      // eight degrees warmer on average
    EXPECT_GT(directions.size(), 6u);             // the wind turns
}

TEST(StationModel, SameSeedAndMinuteGiveTheSameLineWhateverWasAskedBefore)
{
    StationModel a, b, c;
    initStationModel(a, 5, 30, 1);
    initStationModel(b, 5, 30, 1);
    initStationModel(c, 6, 30, 1);
    const std::string first = lineAt(a, JAN_2026 + 777);
    for (std::int64_t m = JAN_2026; m < JAN_2026 + 1000; m += 13)
        lineAt(b, m);
    EXPECT_EQ(first, lineAt(b, JAN_2026 + 777));
    int differ = 0;
    for (std::int64_t m = JAN_2026; m < JAN_2026 + 10 * 1440; m += 600)
        differ += lineAt(a, m).substr(17) != lineAt(c, m).substr(17);
    EXPECT_GE(differ, 20); // another seed is another station
}

TEST(StationModel, UploadTextsFitTheLinkAndAgreeWithTheObservation)
{
    StationModel model;
    initStationModel(model, 8, 30, 0);
    int checked = 0;
    for (std::int64_t m = JAN_2026; m < JAN_2026 + 200 * 1440; m += 331) {
        Observation o;
        const std::string line = lineAt(model, m, &o);
        char wu[UPLOAD_TEXT_MAX + 1], wc[UPLOAD_TEXT_MAX + 1];
        const std::size_t wuLength = formatWundergroundText(o, wu, sizeof wu);
        const std::size_t wcLength = formatWeathercloudText(o, wc, sizeof wc);
        ASSERT_GT(wuLength, 0u);
        ASSERT_GT(wcLength, 0u);
        for (const std::string& text : {line, std::string(wu), std::string(wc)}) {
            EncodedMessage msg;
            ASSERT_GT(encodeMessage(0xFB, ReportHeader{}, reinterpret_cast<const std::uint8_t*>(text.data()),
                                    text.size(), msg), 0u);
            std::size_t beforeLast = 0;
            for (std::size_t i = 0; i + 1 < msg.count; ++i)
                beforeLast += msg.reports[i][7];
            EXPECT_LE(beforeLast, 255u) << text;
        }
        EXPECT_GT(line.size(), ENCODED_PAYLOAD_MAX); // a one-packet observation is never taken

        const std::string w(wu), c(wc);
        EXPECT_EQ(0u, w.find("dateutc=now&"));
        EXPECT_EQ('/', c[0]);
        const std::vector<std::string> f = split(line);
        if (o.invalid & INVALID_OUTDOOR) {
            EXPECT_EQ(std::string::npos, w.find("&tempf="));
            EXPECT_EQ(std::string::npos, c.find("/temp/"));
            continue;
        }
        // tempf is the line's outdoor temperature in Fahrenheit, temp its tenths.
        const double celsius = std::atof(f[5].c_str());
        const double fahrenheit = std::atof(w.c_str() + w.find("&tempf=") + 7);
        EXPECT_NEAR(celsius * 1.8 + 32, fahrenheit, 0.051) << w;
        EXPECT_EQ(std::lround(celsius * 10), std::atol(c.c_str() + c.find("/temp/") + 6)) << c;
        EXPECT_EQ(std::atoi(f[6].c_str()), std::atoi(c.c_str() + c.find("/hum/") + 5));
        ++checked;
    }
    EXPECT_GT(checked, 100);
}
