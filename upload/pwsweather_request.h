// PWSweather: one observation as a GET in the field names of the older
// personal-station upload protocol, and what its reply says.
//
// What the documentation of that protocol says, which PWSweather follows
// (its own endpoint is the one below):
// - GET with the station's ID and PASSWORD (the station's key) and
//   action=updateraw; softwaretype names the uploading program;
// - dateutc is "YYYY-MM-DD HH:MM:SS" in UTC, url-escaped (the space as '+',
//   the colons as %3A), so a past observation keeps its own time: the
//   service takes back-filled observations;
// - tempf and dewptf in °F, humidity in %, winddir in degrees, windspeedmph
//   and windgustmph in mph, baromin in inches of mercury (sea-level), rainin
//   the inches of the last hour, dailyrainin the inches since local
//   midnight, UV the index; a field without a reading is left out;
// - every value must be url-escaped;
// - the reply is a short text, "success" or an error message; PWSweather
//   words its success its own way, so the error is what the text says.
#pragma once

#include "upload/observation.h"
#include "upload/request_text.h"

constexpr char PWSWEATHER_ENDPOINT[] = "https://pwsupdate.pwsweather.com/pwsupdate/pwsupdate.php";

HttpRequest pwsweatherRequest(const NetworkAccount& account, const ArchivedObservation& observation);

// Status first (reply_reading.h); a 2xx whose text speaks of an error or
// something invalid is refused with that text as the reason.
DeliveryOutcome readPwsweatherReply(const HttpReply& reply);
