// Windy's stations API (version 2): one observation as a GET to
// /api/v2/observation/update, and what its reply says.
//
// What its API reference says:
// - the station password authenticates an upload, as the PASSWORD query
//   parameter (or a bearer token); id names the station;
// - time is the observation's time in ISO 8601, here UTC with a 'Z';
// - temp and dewpoint in °C, humidity in %, wind and gust in m/s, winddir
//   in degrees, pressure in Pa, precip the mm of the last hour, uv the
//   index; a field without a reading is left out;
// - a station updates at most once every 5 minutes; sooner is answered 429
//   with the wait it asks for;
// - nothing in it invites past observations: it shows a station's current
//   conditions, and at one update per 5 minutes a back-fill would crowd
//   out the present. So only the newest observation is sent.
#pragma once

#include "upload/observation.h"
#include "upload/request_text.h"

constexpr char WINDY_ENDPOINT[] = "https://stations.windy.com/api/v2/observation/update";

HttpRequest windyRequest(const NetworkAccount& account, const ArchivedObservation& observation);

// By status (reply_reading.h), the reason the body's words
// (serviceWordsOf: its reply to an upload echoes the password). A 429 waits as Retry-After says,
// else as the body's "retry_after" (seconds).
DeliveryOutcome readWindyReply(const HttpReply& reply);
