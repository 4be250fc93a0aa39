#include "upload/pwsweather_request.h"

#include "upload/reply_reading.h"
#include "upload/wu_style_readings.h"

HttpRequest pwsweatherRequest(const NetworkAccount& account, const ArchivedObservation& observation)
{
    QueryText query;
    query.add("ID", account.identity);
    query.add("PASSWORD", account.secret);
    query.add("dateutc", utcDateTimeText(observation.utcSecond, ' '));
    addWuStyleReadings(query, observation);
    addWuStyleHourlyRain(query, observation);
    query.addNumber("UV", readingOf(observation, StationFields::uvIndex), 0);
    query.add("softwaretype", account.software);
    query.add("action", "updateraw");
    return {"GET", urlWithQuery(account.endpoint, query.text()), {}, {}};
}

DeliveryOutcome readPwsweatherReply(const HttpReply& reply)
{
    const std::string words = serviceWordsOf(reply.body);
    DeliveryOutcome outcome = outcomeOfStatus(reply, words);
    if (outcome.verdict == DeliveryVerdict::accepted && reply.status < 300 &&
        (containsWithoutCase(words, "error") || containsWithoutCase(words, "invalid")))
        outcome.verdict = DeliveryVerdict::refused;
    return outcome;
}
