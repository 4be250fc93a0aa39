#include "upload/wu_style_readings.h"

#include "readings/units.h"

namespace {

using F = StationFields;

// The conversions take single precision, as the console's texts are read.
double fahrenheitOf(const ArchivedObservation& o, int field)
{
    return celsiusToFahrenheit(static_cast<float>(readingOf(o, field)));
}

} // namespace

void addWuStyleReadings(QueryText& query, const ArchivedObservation& o)
{
    query.addNumber("tempf", fahrenheitOf(o, F::outdoorTemp), 1);
    query.addNumber("humidity", readingOf(o, F::outdoorHumidity), 0);
    query.addNumber("dewptf", fahrenheitOf(o, F::dewPoint), 1);
    query.addNumber("winddir", readingOf(o, F::windDirDegrees), 0);
    query.addNumber("windspeedmph", kmhToMph(static_cast<float>(readingOf(o, F::windSpeed))), 1);
    query.addNumber("windgustmph", kmhToMph(static_cast<float>(readingOf(o, F::windGust))), 1);
    query.addNumber("baromin", hpaToInHg(static_cast<float>(readingOf(o, F::relPressure))), 2);
    query.addNumber("dailyrainin", mmToInches(static_cast<float>(readingOf(o, F::dailyRain))), 2);
}

void addWuStyleHourlyRain(QueryText& query, const ArchivedObservation& o)
{
    query.addNumber("rainin", mmToInches(static_cast<float>(readingOf(o, F::hourlyRain))), 2);
}
