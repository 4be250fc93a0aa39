// The readings in the imperial fields of the upload protocol that
// PWSweather and WOW both take from the older personal-station networks:
// tempf and dewptf (°F), humidity (%), winddir (degrees), windspeedmph and
// windgustmph (mph), baromin (inHg, sea-level pressure: relPressure) and
// dailyrainin (inches since local midnight). Portable.
#pragma once

#include "upload/observation.h"
#include "upload/request_text.h"

// Adds each valid reading in that order; an invalid one is left out.
void addWuStyleReadings(QueryText& query, const ArchivedObservation& observation);

// rainin: the inches of the last hour (hourlyRain), as PWSweather reads it.
void addWuStyleHourlyRain(QueryText& query, const ArchivedObservation& observation);
