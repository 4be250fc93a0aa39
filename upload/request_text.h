// The pieces every weather network's request is made of: the account it is
// sent for, readings as numbers in a query or a JSON body, query escaping
// and the observation's UTC time as text. Portable; the transport sends what
// the services' request builders make of them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "upload/observation.h"

// What the configuration says about one service.
struct NetworkAccount {
    std::string endpoint; // the service's default url, or the user's `url =`
    std::string identity; // station, site or callsign
    std::string secret;   // key, password or passcode: it goes into the request, never into a log line
    std::string software; // name and version, as in "aerovane 1.01"
};

// The reading of `field`, or NaN when the observation has none (NaN, an
// infinity or a size beyond 1e9 from a damaged row alike), so it is safe to
// narrow to the single precision the conversions take.
double readingOf(const ArchivedObservation& observation, int field);

// Appends `value` with `decimals` digits after the point, rounded as the
// core's number text rounds (an exact half away from zero), never in
// exponent form. Appends nothing and returns false for NaN, an infinity or
// a value too large for a reading (beyond 1e9 in size).
bool appendFixed(std::string& out, double value, int decimals);

// Appends a whole number with at least `width` digits (zeros in front), a
// '-' before a negative one.
void appendWhole(std::string& out, long long value, int width = 1);

// Appends `value` escaped for a URL query as an HTML form encodes it:
// A-Z a-z 0-9 - . _ ~ stay, a space becomes '+', every other byte
// (UTF-8 included) becomes %XX with capital hex digits.
void appendQueryEscaped(std::string& out, std::string_view value);

// A query under construction: "name=value" pairs joined by '&'.
class QueryText {
public:
    void add(const char* name, std::string_view value);
    // Leaves the field out when appendFixed writes nothing: an invalid
    // reading is never sent as a number.
    void addNumber(const char* name, double value, int decimals);
    const std::string& text() const { return text_; }

private:
    void startField(const char* name);
    std::string text_;
};

// The endpoint with the query after '?', or after '&' when the endpoint
// already carries a query of its own.
std::string urlWithQuery(const std::string& endpoint, const std::string& query);

// A UTC moment as calendar fields. Seconds before 1970 or after the end of
// year 9999 are held at those ends, so a damaged time still reads as a date.
struct UtcTime {
    int year;
    int month;
    int day;
    int hour;
    int minute;
    int second;
};

UtcTime utcTimeOf(std::int64_t utcSecond);

// "YYYY-MM-DD", `separator`, "HH:MM:SS".
std::string utcDateTimeText(std::int64_t utcSecond, char separator);
