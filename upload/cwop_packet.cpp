#include "upload/cwop_packet.h"

#include <cmath>

#include "readings/units.h"
#include "upload/reply_reading.h"

namespace {

using F = StationFields;

constexpr std::size_t CALLSIGN_LIMIT = 9;
constexpr std::size_t PASSCODE_LIMIT = 6;
constexpr std::size_t SOFTWARE_LIMIT = 40;
constexpr char LOGIN_REPLY[] = "# logresp ";

bool isLetterOrDigit(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

bool isCallsign(const std::string& call)
{
    if (call.empty() || call.size() > CALLSIGN_LIMIT)
        return false;
    const std::size_t dash = call.find('-');
    const std::size_t baseLength = dash == std::string::npos ? call.size() : dash;
    if (baseLength == 0 || (dash != std::string::npos && dash + 1 == call.size()))
        return false;
    for (std::size_t i = 0; i < call.size(); ++i)
        if (i != dash && !isLetterOrDigit(call[i]))
            return false;
    return true;
}

std::string passcodeOf(const NetworkAccount& account)
{
    return account.secret.empty() ? "-1" : account.secret;
}

bool isPasscode(const std::string& passcode)
{
    if (passcode == "-1")
        return true;
    if (passcode.empty() || passcode.size() > PASSCODE_LIMIT)
        return false;
    for (const char c : passcode)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// The software text as one word-safe stretch of printable ASCII.
std::string printableSoftware(const std::string& software)
{
    std::string text;
    for (const char c : software) {
        if (text.size() == SOFTWARE_LIMIT)
            break;
        text += c > ' ' && c < 0x7F ? c : ' ';
    }
    return text.empty() ? "aerovane" : text;
}

// "DDMM.mm" or "DDDMM.mm" and the hemisphere letter.
std::string degreesAndMinutes(double degrees, int degreeDigits, char positive, char negative)
{
    const long long hundredths = std::llround(std::fabs(degrees) * 6000);
    std::string text;
    appendWhole(text, hundredths / 6000, degreeDigits);
    appendWhole(text, hundredths % 6000 / 100, 2);
    text += '.';
    appendWhole(text, hundredths % 100, 2);
    text += degrees < 0 ? negative : positive;
    return text;
}

// A whole number in `width` digits, held to 0 .. 10^width - 1; dots when
// there is no reading.
void appendField(std::string& out, double value, int width)
{
    if (std::isnan(value)) {
        out.append(static_cast<std::size_t>(width), '.');
        return;
    }
    long long largest = 1;
    for (int i = 0; i < width; ++i)
        largest *= 10;
    const long long whole = std::llround(value);
    appendWhole(out, whole < 0 ? 0 : whole >= largest ? largest - 1 : whole, width);
}

// Three characters of °F: "-99" .. "999".
void appendTemperature(std::string& out, double fahrenheit)
{
    if (std::isnan(fahrenheit)) {
        out += "...";
        return;
    }
    long long whole = std::llround(fahrenheit);
    whole = whole < -99 ? -99 : whole > 999 ? 999 : whole;
    appendWhole(out, whole, whole < 0 ? 2 : 3);
}

double hundredthsOfInches(const ArchivedObservation& o, int field)
{
    return mmToInches(static_cast<float>(readingOf(o, field))) * 100;
}

double mph(const ArchivedObservation& o, int field)
{
    return kmhToMph(static_cast<float>(readingOf(o, field)));
}

std::string lineStartingAt(const std::string& text, std::size_t at)
{
    const std::size_t end = text.find_first_of("\r\n", at);
    return text.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

} // namespace

std::string aprsPosition(const StationPosition& position)
{
    if (!(std::fabs(position.latitude) <= 90) || !(std::fabs(position.longitude) <= 180))
        return {};
    return degreesAndMinutes(position.latitude, 2, 'N', 'S') + '/' +
           degreesAndMinutes(position.longitude, 3, 'E', 'W');
}

std::string cwopLoginLine(const NetworkAccount& account)
{
    const std::string passcode = passcodeOf(account);
    if (!isCallsign(account.identity) || !isPasscode(passcode))
        return {};
    return "user " + account.identity + " pass " + passcode + " vers " + printableSoftware(account.software);
}

std::string cwopWeatherPacket(const NetworkAccount& account, const StationPosition& position,
                              const ArchivedObservation& o)
{
    const std::string at = aprsPosition(position);
    if (!isCallsign(account.identity) || at.empty())
        return {};
    const UtcTime t = utcTimeOf(o.utcSecond);
    std::string packet = account.identity + ">APRS,TCPIP*:@";
    appendWhole(packet, t.day, 2);
    appendWhole(packet, t.hour, 2);
    appendWhole(packet, t.minute, 2);
    packet += 'z';
    packet += at;
    packet += '_';
    const double direction = readingOf(o, F::windDirDegrees);
    appendField(packet, direction, 3);
    packet += '/';
    appendField(packet, mph(o, F::windSpeed), 3);
    packet += 'g';
    appendField(packet, mph(o, F::windGust), 3);
    packet += 't';
    appendTemperature(packet, celsiusToFahrenheit(static_cast<float>(readingOf(o, F::outdoorTemp))));
    packet += 'r';
    appendField(packet, hundredthsOfInches(o, F::hourlyRain), 3);
    packet += 'p';
    appendField(packet, NAN, 3); // the console keeps no 24-hour total
    packet += 'P';
    appendField(packet, hundredthsOfInches(o, F::dailyRain), 3);
    packet += 'h';
    const double humidity = readingOf(o, F::outdoorHumidity);
    // Two digits: 100 % is "00", so the lowest that can be told is 1 %.
    appendField(packet, std::isnan(humidity) ? humidity : humidity >= 99.5 ? 0 : humidity < 1 ? 1 : humidity, 2);
    packet += 'b';
    appendField(packet, readingOf(o, F::relPressure) * 10, 5);
    return packet;
}

DeliveryOutcome readCwopLoginReply(const std::string& serverText, const NetworkAccount& account)
{
    const std::size_t at = serverText.find(LOGIN_REPLY);
    if (at == std::string::npos) {
        const std::string words = replyReasonLine(serverText);
        return {DeliveryVerdict::failed, -1,
                words.empty() ? "no answer to the login" : "no answer to the login: " + words};
    }
    const std::string line = lineStartingAt(serverText, at);
    const std::string reason = replyReasonLine(line);
    // "# logresp CALL verified, server NAME": the word after the callsign.
    const std::size_t callEnd = line.find(' ', sizeof LOGIN_REPLY - 1);
    const std::size_t wordEnd = callEnd == std::string::npos ? callEnd : line.find_first_of(" ,", callEnd + 1);
    const std::string word = callEnd == std::string::npos ? std::string() : line.substr(callEnd + 1, wordEnd - callEnd - 1);
    if (word == "verified")
        return {DeliveryVerdict::accepted, -1, reason};
    if (word == "unverified" && passcodeOf(account) == "-1")
        return {DeliveryVerdict::accepted, -1, reason};
    if (word == "unverified")
        return {DeliveryVerdict::refused, -1, "the passcode was not taken: " + reason};
    return {DeliveryVerdict::failed, -1, reason};
}
