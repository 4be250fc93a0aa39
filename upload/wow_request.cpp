#include "upload/wow_request.h"

#include "upload/reply_reading.h"
#include "upload/wu_style_readings.h"

HttpRequest wowRequest(const NetworkAccount& account, const ArchivedObservation& observation)
{
    QueryText query;
    query.add("siteid", account.identity);
    query.add("siteAuthenticationKey", account.secret);
    query.add("dateutc", utcDateTimeText(observation.utcSecond, ' '));
    query.add("softwaretype", account.software);
    addWuStyleReadings(query, observation);
    return {"GET", urlWithQuery(account.endpoint, query.text()), {}, {}};
}

DeliveryOutcome readWowReply(const HttpReply& reply)
{
    return outcomeOfStatus(reply, serviceWordsOf(reply.body));
}
