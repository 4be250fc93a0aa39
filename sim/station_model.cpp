#include "sim/station_model.h"

#include <cmath>
#include <cstring>

namespace {

constexpr double PI = 3.14159265358979323846;

// Salts keep the noise of one quantity independent of another's.
enum Salt : std::uint32_t {
    SALT_SETUP = 1,
    SALT_TEMP_SLOW,
    SALT_TEMP_FAST,
    SALT_HUMIDITY,
    SALT_CLOUD,
    SALT_WIND,
    SALT_GUST,
    SALT_DIRECTION,
    SALT_DIRECTION_FAST,
    SALT_PRESSURE,
    SALT_PRESSURE_FAST,
    SALT_INDOOR,
    SALT_INDOOR_HUMIDITY,
    SALT_RAIN_DAY,
    SALT_RAIN_SHOWER,
    SALT_INVALID,
    SALT_CHANNEL = 100, // + channel index
};

std::uint64_t mix(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

std::uint64_t hashOf(std::uint32_t seed, std::uint32_t salt, std::int64_t index)
{
    return mix(mix((static_cast<std::uint64_t>(seed) << 32) | salt) ^
               static_cast<std::uint64_t>(index));
}

double unit01(std::uint64_t h)
{
    return static_cast<double>(h >> 11) * (1.0 / 9007199254740992.0);
}

// Smooth value noise in [-1, 1] over time, with features about `scale`
// minutes apart. Continuous, so values drift instead of jumping.
double noise(std::uint32_t seed, std::uint32_t salt, double minute, double scale)
{
    const double x = minute / scale;
    const double cell = std::floor(x);
    const double f = x - cell;
    const auto i = static_cast<std::int64_t>(cell);
    const double a = 2.0 * unit01(hashOf(seed, salt, i)) - 1.0;
    const double b = 2.0 * unit01(hashOf(seed, salt, i + 1)) - 1.0;
    const double s = f * f * (3.0 - 2.0 * f);
    return a + (b - a) * s;
}

double clampTo(double v, double low, double high)
{
    return v < low ? low : (v > high ? high : v);
}

int tenths(double v)
{
    return static_cast<int>(std::llround(v * 10.0));
}

int daysInMonth(int year, int month)
{
    static const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0))
        return 29;
    return lengths[month - 1];
}

// --- Rain: a few showers a day, each a steady fall over its duration, so a
// total is a closed sum and never goes down while its period lasts.

struct Shower {
    int start;    // minute of the day
    int duration; // minutes; start + duration <= 1440
    int amount;   // tenths of mm
};

int showersOfDay(std::uint32_t seed, std::int64_t day, Shower (&out)[3])
{
    const double u = unit01(hashOf(seed, SALT_RAIN_DAY, day));
    const int count = u < 0.55 ? 0 : (u < 0.8 ? 1 : (u < 0.93 ? 2 : 3));
    for (int k = 0; k < count; ++k) {
        const std::uint64_t h = hashOf(seed, SALT_RAIN_SHOWER, day * 4 + k);
        const int duration = 20 + static_cast<int>(h % 160);
        const int start = static_cast<int>((h >> 16) % static_cast<std::uint64_t>(1440 - duration));
        const double size = unit01(mix(h));
        out[k] = Shower{start, duration, 2 + static_cast<int>(98.0 * size * size)};
    }
    return count;
}

// Tenths of mm fallen on `day` from 00:00 up to minute `m` (0..1440).
double rainOfDayUpTo(std::uint32_t seed, std::int64_t day, int m)
{
    Shower showers[3];
    const int count = showersOfDay(seed, day, showers);
    double sum = 0.0;
    for (int k = 0; k < count; ++k) {
        const double part = clampTo(static_cast<double>(m - showers[k].start) / showers[k].duration,
                                    0.0, 1.0);
        sum += showers[k].amount * part;
    }
    return sum;
}

// Tenths of mm per hour falling at minute `m` of `day`.
double rainRateAt(std::uint32_t seed, std::int64_t day, int m)
{
    Shower showers[3];
    const int count = showersOfDay(seed, day, showers);
    double rate = 0.0;
    for (int k = 0; k < count; ++k)
        if (m >= showers[k].start && m < showers[k].start + showers[k].duration)
            rate += 60.0 * showers[k].amount / showers[k].duration;
    return rate;
}

// Tenths of mm fallen after minute `from` up to minute `to` (from <= to).
double rainBetween(std::uint32_t seed, std::int64_t from, std::int64_t to)
{
    double sum = 0.0;
    for (std::int64_t day = floorDivide(from, MINUTES_PER_DAY); day * MINUTES_PER_DAY < to; ++day) {
        const std::int64_t start = day * MINUTES_PER_DAY;
        const int low = from > start ? static_cast<int>(from - start) : 0;
        const int high = to - start < MINUTES_PER_DAY ? static_cast<int>(to - start) : 1440;
        if (high > low)
            sum += rainOfDayUpTo(seed, day, high) - (low > 0 ? rainOfDayUpTo(seed, day, low) : 0.0);
    }
    return sum;
}

int rainTotal(double tenthsOfMm)
{
    // A gauge counts whole tips: round down, so a total only ever grows.
    return static_cast<int>(std::floor(tenthsOfMm + 1e-9));
}

// --- Derived quantities.

double dewPointOf(double t, double rh)
{
    const double a = 17.62, b = 243.12;
    const double g = std::log(rh / 100.0) + a * t / (b + t);
    return b * g / (a - g);
}

double heatIndexOf(double t, double rh)
{
    if (t < 26.7 || rh < 40.0)
        return t;
    const double f = t * 1.8 + 32.0;
    const double hi = -42.379 + 2.04901523 * f + 10.14333127 * rh - 0.22475541 * f * rh -
                      0.00683783 * f * f - 0.05481717 * rh * rh + 0.00122874 * f * f * rh +
                      0.00085282 * f * rh * rh - 0.00000199 * f * f * rh * rh;
    return (hi - 32.0) / 1.8;
}

double windChillOf(double t, double kmh)
{
    if (t > 10.0 || kmh <= 4.8)
        return t;
    const double v = std::pow(kmh, 0.16);
    return 13.12 + 0.6215 * t - 11.37 * v + 0.3965 * t * v;
}

// Kinds of extra sensor a channel can hold.
enum ChannelKind { CHANNEL_ROOM, CHANNEL_CELLAR, CHANNEL_GREENHOUSE, CHANNEL_FREEZER,
                   CHANNEL_SHADE, CHANNEL_KIND_COUNT };

// --- Text output. Numbers are written digit by digit: the same bytes from
// every C runtime.

struct Writer {
    char* out;
    std::size_t size;
    std::size_t length;
    bool overflow;

    void put(char c)
    {
        if (length + 1 < size)
            out[length++] = c;
        else
            overflow = true;
    }
    void text(const char* s)
    {
        while (*s)
            put(*s++);
    }
    void number(long long v)
    {
        if (v < 0) {
            put('-');
            v = -v;
        }
        char digits[24];
        int n = 0;
        do {
            digits[n++] = static_cast<char>('0' + v % 10);
            v /= 10;
        } while (v > 0);
        while (n > 0)
            put(digits[--n]);
    }
    // `scaled` holds the value times 10^decimals.
    void fixed(long long scaled, int decimals)
    {
        long long unit = 1;
        for (int i = 0; i < decimals; ++i)
            unit *= 10;
        if (scaled < 0) {
            put('-');
            scaled = -scaled;
        }
        number(scaled / unit);
        if (decimals > 0) {
            put('.');
            long long rest = scaled % unit;
            for (long long d = unit / 10; d > 0; d /= 10) {
                put(static_cast<char>('0' + rest / d));
                rest %= d;
            }
        }
    }
    void twoDigits(int v)
    {
        put(static_cast<char>('0' + v / 10 % 10));
        put(static_cast<char>('0' + v % 10));
    }
    std::size_t finish()
    {
        if (size == 0)
            return 0;
        if (overflow) {
            out[0] = '\0';
            return 0;
        }
        out[length] = '\0';
        return length;
    }
};

bool isChannelInvalid(const Observation& obs, int k)
{
    return (obs.invalid & (INVALID_CHANNEL1 << k)) != 0;
}

long long scaledRound(double v)
{
    return std::llround(v);
}

} // namespace

int isValidCivil(const SimDateTime& t)
{
    if (t.year < 1 || t.year > 9999 || t.month < 1 || t.month > 12)
        return 0;
    if (t.day < 1 || t.day > daysInMonth(t.year, t.month))
        return 0;
    return t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59;
}

void initStationModel(StationModel& model, std::uint32_t seed, int invalidPermille,
                      int loggerPercent)
{
    model = StationModel{};
    model.seed = seed;
    model.invalidPermille = invalidPermille < 0 ? 0 : (invalidPermille > 1000 ? 1000 : invalidPermille);
    model.loggerPercent = loggerPercent < 0 ? 0 : (loggerPercent > 100 ? 100 : loggerPercent);

    const std::uint64_t h = hashOf(seed, SALT_SETUP, 0);
    // Two to five sensors on channels picked at random, so some channels
    // always report no data, not always the last ones.
    int order[SIM_CHANNEL_COUNT];
    for (int k = 0; k < SIM_CHANNEL_COUNT; ++k)
        order[k] = k;
    for (int k = SIM_CHANNEL_COUNT - 1; k > 0; --k) {
        const int j = static_cast<int>(hashOf(seed, SALT_SETUP, k) % static_cast<std::uint64_t>(k + 1));
        const int swapped = order[k];
        order[k] = order[j];
        order[j] = swapped;
    }
    const int present = 2 + static_cast<int>(h % 4);
    for (int k = 0; k < present; ++k)
        model.channelMask |= 1u << order[k];
    for (int k = 0; k < SIM_CHANNEL_COUNT; ++k)
        model.channelKind[k] =
            static_cast<int>(hashOf(seed, SALT_CHANNEL + static_cast<std::uint32_t>(k), 0) %
                             CHANNEL_KIND_COUNT);
    model.altitudeMetres = static_cast<int>((h >> 8) % 480) + 20;
    model.pressureOffsetTenths = model.altitudeMetres * 10 * 10 / 83; // about 1 hPa per 8.3 m
    model.climateMeanTenths = 90 + static_cast<int>((h >> 20) % 40);
    model.prevailingWind = static_cast<int>((h >> 28) % 360);
    model.windBaseTenths = 50 + static_cast<int>((h >> 40) % 100);
}

void observeStation(const StationModel& model, std::int64_t minute, Observation& obs)
{
    obs = Observation{};
    const std::uint32_t seed = model.seed;
    const double tm = static_cast<double>(minute);
    const std::int64_t day = floorDivide(minute, MINUTES_PER_DAY);
    const auto minuteOfDay = static_cast<int>(minute - day * MINUTES_PER_DAY);
    const double hour = minuteOfDay / 60.0;
    obs.time = civilFromMinutes(minute);
    obs.loggerPercent = model.loggerPercent;
    obs.channelMask = model.channelMask;

    const double dayOfYear = static_cast<double>(day - daysFromCivil(obs.time.year, 1, 1));
    const double season = std::cos(2.0 * PI * (dayOfYear - 196.0) / 365.25); // +1 mid July
    const double diurnal = std::cos(2.0 * PI * (hour - 15.0) / 24.0);        // +1 at 15:00
    const double sun = hour > 6.0 && hour < 18.0 ? std::sin(PI * (hour - 6.0) / 12.0) : 0.0;

    // Rain.
    const double rate = rainRateAt(seed, day, minuteOfDay);
    const bool raining = rate > 0.0;
    const int weekday = static_cast<int>(((day % 7) + 7 + 4) % 7); // 1970-01-01 was a Thursday
    const std::int64_t weekStart = (day - weekday) * MINUTES_PER_DAY;
    const std::int64_t monthStart = daysFromCivil(obs.time.year, obs.time.month, 1) * MINUTES_PER_DAY;
    obs.rainRate = static_cast<int>(std::llround(rate));
    obs.dailyRain = rainTotal(rainOfDayUpTo(seed, day, minuteOfDay));
    obs.hourlyRain = rainTotal(rainBetween(seed, minute - 60, minute));
    obs.weeklyRain = rainTotal(rainBetween(seed, weekStart, minute));
    obs.monthlyRain = rainTotal(rainBetween(seed, monthStart, minute));

    // Outdoor temperature and humidity.
    const double cloud = clampTo(0.45 + 0.55 * noise(seed, SALT_CLOUD, tm, 360.0) + (raining ? 0.5 : 0.0),
                                 0.0, 1.0);
    const double mean = model.climateMeanTenths / 10.0 + 10.5 * season;
    const double amplitude = (4.0 + 2.0 * (season + 1.0)) * (1.0 - 0.5 * cloud);
    const double t = mean + amplitude * diurnal + 4.0 * noise(seed, SALT_TEMP_SLOW, tm, 2880.0) +
                     0.4 * noise(seed, SALT_TEMP_FAST, tm, 45.0) - (raining ? 1.5 : 0.0);
    const double rh = clampTo(72.0 - 2.5 * amplitude * diurnal + 12.0 * noise(seed, SALT_HUMIDITY, tm, 1440.0) +
                                  6.0 * cloud + (raining ? 15.0 : 0.0),
                              12.0, 99.0);
    obs.outdoorTemp = tenths(t);
    obs.outdoorHumidity = static_cast<int>(std::lround(rh));
    obs.dewPoint = tenths(dewPointOf(obs.outdoorTemp / 10.0, obs.outdoorHumidity));
    obs.heatIndex = tenths(heatIndexOf(obs.outdoorTemp / 10.0, obs.outdoorHumidity));

    // Wind: a slowly changing mean, stronger in the afternoon and in showers;
    // gusts on top; a direction that wanders around the prevailing one.
    const double base = model.windBaseTenths / 10.0;
    double speed = base * (1.0 + 0.6 * noise(seed, SALT_WIND, tm, 240.0)) *
                       (0.75 + 0.35 * (diurnal > 0.0 ? diurnal : 0.0)) +
                   (raining ? 5.0 : 0.0);
    if (speed < 0.5)
        speed = 0.0;
    const double gustShare = unit01(hashOf(seed, SALT_GUST, minute));
    const double gust = speed + speed * (0.2 + 0.5 * gustShare) + 1.5 * gustShare;
    obs.windSpeed = tenths(speed);
    obs.windGust = tenths(gust) < obs.windSpeed ? obs.windSpeed : tenths(gust);
    const double direction = model.prevailingWind + 100.0 * noise(seed, SALT_DIRECTION, tm, 720.0) +
                             20.0 * noise(seed, SALT_DIRECTION_FAST, tm, 20.0);
    obs.windDirDegrees = static_cast<int>(((std::lround(direction) % 360) + 360) % 360);
    obs.windChill = tenths(windChillOf(obs.outdoorTemp / 10.0, obs.windSpeed / 10.0));

    // Pressure: slow drift over days, a little faster wander on top.
    const double rel = 1013.0 + 14.0 * noise(seed, SALT_PRESSURE, tm, 4320.0) +
                       3.0 * noise(seed, SALT_PRESSURE_FAST, tm, 600.0);
    obs.relPressure = tenths(rel);
    obs.absPressure = obs.relPressure - model.pressureOffsetTenths;

    // UV: follows the sun, stronger in summer, cut by clouds.
    const double uvPeak = 1.5 + 7.5 * (season + 1.0) / 2.0;
    obs.uvIndex = static_cast<int>(std::lround(uvPeak * std::pow(sun, 1.3) * (1.0 - 0.7 * cloud)));

    // Indoors: heated, and a little of the weather gets in.
    obs.indoorTemp = tenths(21.0 + 1.2 * noise(seed, SALT_INDOOR, tm, 600.0) + 0.08 * (t - 10.0));
    obs.indoorHumidity = static_cast<int>(
        std::lround(clampTo(45.0 + 6.0 * noise(seed, SALT_INDOOR_HUMIDITY, tm, 1440.0) + 0.15 * (rh - 60.0),
                            20.0, 80.0)));

    for (int k = 0; k < SIM_CHANNEL_COUNT; ++k) {
        const double n = noise(seed, SALT_CHANNEL + 10 + static_cast<std::uint32_t>(k), tm, 300.0);
        double ct = 20.0, ch = 45.0;
        switch (model.channelKind[k]) {
        case CHANNEL_ROOM: ct = 20.0 + 1.5 * n; ch = 45.0 + 5.0 * n; break;
        case CHANNEL_CELLAR: ct = 12.0 + 0.8 * n; ch = 72.0 + 4.0 * n; break;
        case CHANNEL_GREENHOUSE: ct = t + 2.0 + 6.0 * sun * (1.0 - cloud); ch = rh + 8.0 * (1.0 - sun); break;
        case CHANNEL_FREEZER: ct = -18.0 + 1.5 * n; ch = 60.0 + 5.0 * n; break;
        default: ct = t - 0.6 + 0.3 * n; ch = rh + 3.0; break;
        }
        obs.channelTemp[k] = tenths(ct);
        obs.channelHumidity[k] = static_cast<int>(std::lround(clampTo(ch, 10.0, 99.0)));
    }

    // Now and then one sensor group fails for a reading.
    if (model.invalidPermille > 0) {
        const std::uint64_t h = hashOf(seed, SALT_INVALID, minute);
        if (static_cast<int>(h % 1000) < model.invalidPermille) {
            const int group = static_cast<int>((h >> 16) % 7);
            static const unsigned groups[] = {INVALID_INDOOR, INVALID_OUTDOOR, INVALID_WIND,
                                              INVALID_RAIN, INVALID_PRESSURE, INVALID_UV};
            if (group < 6) {
                obs.invalid = groups[group];
            } else {
                // A channel with a sensor loses it for a reading.
                int k = static_cast<int>((h >> 24) % SIM_CHANNEL_COUNT);
                while (!(model.channelMask & (1u << k)))
                    k = (k + 1) % SIM_CHANNEL_COUNT;
                obs.invalid = INVALID_CHANNEL1 << k;
            }
        }
    }
}

const char* compassPointName(int degrees)
{
    static const char* const names[] = {"N",  "NNE", "NE", "ENE", "E",  "ESE", "SE", "SSE",
                                        "S",  "SSW", "SW", "WSW", "W",  "WNW", "NW", "NNW"};
    // First bearing of each sector; 349..359 wrap to N.
    static const int starts[] = {0, 12, 34, 56, 79, 101, 124, 146, 169, 192, 214, 236, 259, 281, 304, 326};
    const int d = ((degrees % 360) + 360) % 360;
    if (d >= 349)
        return names[0];
    int sector = 0;
    for (int i = 0; i < 16; ++i)
        if (d >= starts[i])
            sector = i;
    return names[sector];
}

std::size_t formatObservationLine(const Observation& obs, char* out, std::size_t size)
{
    Writer w{out, size, 0, false};
    const bool indoor = !(obs.invalid & INVALID_INDOOR);
    const bool outdoor = !(obs.invalid & INVALID_OUTDOOR);
    const bool wind = !(obs.invalid & INVALID_WIND);
    const bool rain = !(obs.invalid & INVALID_RAIN);
    const bool pressure = !(obs.invalid & INVALID_PRESSURE);
    const bool uv = !(obs.invalid & INVALID_UV);
    auto temperature = [&w](bool valid, int value) {
        w.put(' ');
        if (valid)
            w.fixed(value, 1);
        else
            w.text(DASH_TEMPERATURE);
    };
    auto whole = [&w](bool valid, int value) {
        w.put(' ');
        if (valid)
            w.number(value);
        else
            w.text(DASH_OTHER);
    };
    auto oneDecimal = [&w](bool valid, int value, const char* dash) {
        w.put(' ');
        if (valid)
            w.fixed(value, 1);
        else
            w.text(dash);
    };

    w.number(obs.loggerPercent);
    w.put(' ');
    w.number(obs.time.year);
    w.put('-');
    w.number(obs.time.month);
    w.put('-');
    w.number(obs.time.day);
    w.put(' ');
    w.twoDigits(obs.time.hour);
    w.put(':');
    w.twoDigits(obs.time.minute);
    temperature(indoor, obs.indoorTemp);
    whole(indoor, obs.indoorHumidity);
    temperature(outdoor, obs.outdoorTemp);
    whole(outdoor, obs.outdoorHumidity);
    oneDecimal(rain, obs.dailyRain, DASH_RAIN);
    oneDecimal(rain, obs.rainRate, DASH_RAIN);
    oneDecimal(wind, obs.windSpeed, DASH_OTHER);
    oneDecimal(wind, obs.windGust, DASH_OTHER);
    whole(wind, obs.windDirDegrees);
    w.put(' ');
    w.text(wind ? compassPointName(obs.windDirDegrees) : DASH_OTHER);
    oneDecimal(pressure, obs.relPressure, DASH_OTHER);
    oneDecimal(pressure, obs.absPressure, DASH_OTHER);
    whole(uv, obs.uvIndex);
    temperature(outdoor, obs.dewPoint);
    temperature(outdoor, obs.heatIndex);
    for (int k = 0; k < SIM_CHANNEL_COUNT; ++k) {
        const bool valid = (obs.channelMask & (1u << k)) && !isChannelInvalid(obs, k);
        temperature(valid, obs.channelTemp[k]);
        whole(valid, obs.channelHumidity[k]);
    }
    temperature(outdoor && wind, obs.windChill);
    oneDecimal(rain, obs.hourlyRain, DASH_RAIN);
    oneDecimal(rain, obs.weeklyRain, DASH_RAIN);
    oneDecimal(rain, obs.monthlyRain, DASH_RAIN);
    return w.finish();
}

std::size_t formatWundergroundText(const Observation& obs, char* out, std::size_t size)
{
    Writer w{out, size, 0, false};
    auto fahrenheit = [&w](const char* name, int celsiusTenths) {
        w.text(name);
        w.fixed(scaledRound(celsiusTenths * 1.8 + 320.0), 1);
    };
    auto mph = [&w](const char* name, int kmhTenths) {
        w.text(name);
        w.fixed(scaledRound(kmhTenths * 0.621371), 1);
    };
    auto inches = [&w](const char* name, int mmTenths) {
        w.text(name);
        w.fixed(scaledRound(mmTenths / 2.54), 2);
    };
    // The service takes "now" for the time of the reading.
    w.text("dateutc=now");
    if (!(obs.invalid & INVALID_WIND)) {
        w.text("&winddir=");
        w.number(obs.windDirDegrees);
        mph("&windspeedmph=", obs.windSpeed);
        mph("&windgustmph=", obs.windGust);
    }
    if (!(obs.invalid & INVALID_OUTDOOR)) {
        fahrenheit("&tempf=", obs.outdoorTemp);
        w.text("&humidity=");
        w.number(obs.outdoorHumidity);
        fahrenheit("&dewptf=", obs.dewPoint);
    }
    if (!(obs.invalid & INVALID_RAIN)) {
        inches("&rainin=", obs.hourlyRain);
        inches("&dailyrainin=", obs.dailyRain);
        inches("&weeklyrainin=", obs.weeklyRain);
        inches("&monthlyrainin=", obs.monthlyRain);
    }
    if (!(obs.invalid & INVALID_PRESSURE)) {
        w.text("&baromin=");
        w.fixed(scaledRound(obs.relPressure * 0.2952998), 2);
    }
    if (!(obs.invalid & INVALID_UV)) {
        w.text("&UV=");
        w.number(obs.uvIndex);
    }
    if (!(obs.invalid & INVALID_INDOOR)) {
        fahrenheit("&indoortempf=", obs.indoorTemp);
        w.text("&indoorhumidity=");
        w.number(obs.indoorHumidity);
    }
    return w.finish();
}

std::size_t formatWeathercloudText(const Observation& obs, char* out, std::size_t size)
{
    Writer w{out, size, 0, false};
    auto piece = [&w](const char* name, long long value) {
        w.put('/');
        w.text(name);
        w.put('/');
        w.number(value);
    };
    if (!(obs.invalid & INVALID_OUTDOOR)) {
        piece("temp", obs.outdoorTemp);
        piece("hum", obs.outdoorHumidity);
        piece("dew", obs.dewPoint);
        piece("heat", obs.heatIndex);
        if (!(obs.invalid & INVALID_WIND))
            piece("chill", obs.windChill);
    }
    if (!(obs.invalid & INVALID_WIND)) {
        piece("wspd", scaledRound(obs.windSpeed / 3.6));
        piece("wspdhi", scaledRound(obs.windGust / 3.6));
        piece("wdir", obs.windDirDegrees);
    }
    if (!(obs.invalid & INVALID_PRESSURE))
        piece("bar", obs.relPressure);
    if (!(obs.invalid & INVALID_RAIN)) {
        piece("rain", obs.dailyRain);
        piece("rainrate", obs.rainRate);
    }
    if (!(obs.invalid & INVALID_UV))
        piece("uvi", obs.uvIndex * 10);
    if (!(obs.invalid & INVALID_INDOOR)) {
        piece("tempin", obs.indoorTemp);
        piece("humin", obs.indoorHumidity);
    }
    return w.finish();
}
