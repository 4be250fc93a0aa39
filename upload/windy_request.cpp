#include "upload/windy_request.h"

#include "readings/units.h"
#include "upload/reply_reading.h"

namespace {

using F = StationFields;

double metresPerSecond(const ArchivedObservation& o, int field)
{
    return kmhToMetresPerSecond(static_cast<float>(readingOf(o, field)));
}

} // namespace

HttpRequest windyRequest(const NetworkAccount& account, const ArchivedObservation& o)
{
    QueryText query;
    query.add("id", account.identity);
    query.add("PASSWORD", account.secret);
    query.add("time", utcDateTimeText(o.utcSecond, 'T') + "Z");
    query.addNumber("temp", readingOf(o, F::outdoorTemp), 1);
    query.addNumber("dewpoint", readingOf(o, F::dewPoint), 1);
    query.addNumber("humidity", readingOf(o, F::outdoorHumidity), 0);
    query.addNumber("wind", metresPerSecond(o, F::windSpeed), 1);
    query.addNumber("gust", metresPerSecond(o, F::windGust), 1);
    query.addNumber("winddir", readingOf(o, F::windDirDegrees), 0);
    query.addNumber("pressure", readingOf(o, F::relPressure) * 100, 0);
    query.addNumber("precip", readingOf(o, F::hourlyRain), 1);
    query.addNumber("uv", readingOf(o, F::uvIndex), 0);
    return {"GET", urlWithQuery(account.endpoint, query.text()), {}, {}};
}

DeliveryOutcome readWindyReply(const HttpReply& reply)
{
    DeliveryOutcome outcome = outcomeOfStatus(reply, serviceWordsOf(reply.body));
    if (outcome.verdict == DeliveryVerdict::rateLimited && outcome.waitSeconds < 0)
        outcome.waitSeconds = jsonWholeMember(reply.body, "retry_after");
    return outcome;
}
