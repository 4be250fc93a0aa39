#include "upload/openweathermap_request.h"

#include "readings/json_string.h"
#include "readings/units.h"
#include "upload/reply_reading.h"

namespace {

using F = StationFields;

void appendMember(std::string& out, const char* name, double value, int decimals)
{
    std::string number;
    if (!appendFixed(number, value, decimals))
        return;
    out += ",\"";
    out += name;
    out += "\":";
    out += number;
}

void appendMeasurement(std::string& out, const std::string& stationId, const ArchivedObservation& o)
{
    out += "{\"station_id\":";
    appendJsonString(out, stationId);
    out += ",\"dt\":";
    appendWhole(out, o.utcSecond);
    appendMember(out, "temperature", readingOf(o, F::outdoorTemp), 1);
    appendMember(out, "wind_speed", kmhToMetresPerSecond(static_cast<float>(readingOf(o, F::windSpeed))), 1);
    appendMember(out, "wind_gust", kmhToMetresPerSecond(static_cast<float>(readingOf(o, F::windGust))), 1);
    appendMember(out, "wind_deg", readingOf(o, F::windDirDegrees), 0);
    appendMember(out, "pressure", readingOf(o, F::relPressure), 1);
    appendMember(out, "humidity", readingOf(o, F::outdoorHumidity), 0);
    appendMember(out, "rain_1h", readingOf(o, F::hourlyRain), 1);
    appendMember(out, "dew_point", readingOf(o, F::dewPoint), 1);
    out += '}';
}

} // namespace

HttpRequest openWeatherMapRequest(const NetworkAccount& account, const ArchivedObservation* observations, std::size_t count)
{
    if (!observations)
        count = 0;
    if (count > OPENWEATHERMAP_BATCH_LIMIT)
        count = OPENWEATHERMAP_BATCH_LIMIT;
    std::string body = "[";
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0)
            body += ',';
        appendMeasurement(body, account.identity, observations[i]);
    }
    body += ']';
    QueryText query;
    query.add("appid", account.secret);
    return {"POST", urlWithQuery(account.endpoint, query.text()), {"Content-Type: application/json"}, body};
}

DeliveryOutcome readOpenWeatherMapReply(const HttpReply& reply)
{
    return outcomeOfStatus(reply, serviceWordsOf(reply.body));
}
