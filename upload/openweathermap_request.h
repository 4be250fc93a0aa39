// OpenWeatherMap's weather stations API 3.0: a batch of observations as one
// POST of a JSON array to /data/3.0/measurements, and what its reply says.
//
// What its stations documentation says:
// - POST /data/3.0/measurements?appid={API key} with a JSON array body,
//   one object per measurement;
// - each object has station_id (the id the service gave the registered
//   station) and dt (Unix time, seconds), so past measurements are taken,
//   several in one request;
// - temperature and dew_point in °C, wind_speed and wind_gust in m/s,
//   wind_deg in degrees, pressure in hPa, humidity in %, rain_1h the mm of
//   the last hour; a measurement without a reading leaves its member out;
// - success is answered 204 No Content; errors come as a JSON object with
//   a "message"; a wrong key is 401;
// - it names no largest batch: OPENWEATHERMAP_BATCH_LIMIT is the outbox's
//   largest (DELIVERY_BATCH_LIMIT), about 13 kB in one request.
#pragma once

#include <cstddef>

#include "upload/observation.h"
#include "upload/request_text.h"

constexpr char OPENWEATHERMAP_ENDPOINT[] = "https://api.openweathermap.org/data/3.0/measurements";
constexpr std::size_t OPENWEATHERMAP_BATCH_LIMIT = 64;

// The first `count` observations (at most OPENWEATHERMAP_BATCH_LIMIT of
// them: the caller sends the rest in the next batch), oldest first as
// given. The account's secret is the API key, its identity the station id.
HttpRequest openWeatherMapRequest(const NetworkAccount& account, const ArchivedObservation* observations, std::size_t count);

// By status (reply_reading.h), the reason the body's words (serviceWordsOf).
DeliveryOutcome readOpenWeatherMapReply(const HttpReply& reply);
