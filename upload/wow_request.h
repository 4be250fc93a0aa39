// The Met Office's Weather Observations Website (WOW), and the networks on
// the same software (WOW-BE) through the user's `url =`: one observation as
// a GET to its automatic upload, and what its reply says.
//
// What its automatic upload documentation says:
// - GET /automaticreading with siteid, siteAuthenticationKey (the site's
//   pin), dateutc and softwaretype, all mandatory;
// - dateutc is "YYYY-MM-DD HH:MM:SS" in UTC with the colons as %3A and the
//   space as '+' or %20: each reading carries its own time, so past
//   observations are taken;
// - tempf and dewptf in °F, humidity in %, winddir in degrees, windspeedmph
//   and windgustmph in mph, baromin in inches of mercury at mean sea level,
//   dailyrainin the inches so far today; rainin is the rain since the
//   previous observation, which an archived record does not know, so it is
//   not sent;
// - automatic stations report up to every 5 minutes.
#pragma once

#include "upload/observation.h"
#include "upload/request_text.h"

constexpr char WOW_ENDPOINT[] = "https://wow.metoffice.gov.uk/automaticreading";

HttpRequest wowRequest(const NetworkAccount& account, const ArchivedObservation& observation);

// By status (reply_reading.h): a wrong site or pin and a malformed reading
// come back as 4xx with the service's words, which become the reason.
DeliveryOutcome readWowReply(const HttpReply& reply);
