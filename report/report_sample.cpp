#include "report/report_sample.h"

#include <cmath>
#include <limits>

#include "readings/number_text.h"
#include "report/report_page.h"

double usableValue(const ReportSample& sample, int field)
{
    const double value = sample.value[field];
    if (!std::isfinite(value) || std::fabs(value) > REPORT_VALUE_LIMIT)
        return std::numeric_limits<double>::quiet_NaN();
    return value;
}

const int REPORT_SAMPLE_FIELDS[REPORT_SAMPLE_FIELD_COUNT] = {
    StationFields::outdoorTemp, StationFields::dewPoint,       StationFields::outdoorHumidity,
    StationFields::relPressure, StationFields::absPressure,    StationFields::windSpeed,
    StationFields::windGust,    StationFields::windDirDegrees, StationFields::dailyRain,
};

ReportSample reportSample(std::int64_t minute, const StationFields& fields)
{
    ReportSample sample;
    sample.minute = minute;
    for (std::size_t field = 0; field < STATION_FIELD_COUNT; ++field) {
        const int index = static_cast<int>(field);
        const Quantity quantity = fieldQuantity(index);
        double value = std::numeric_limits<double>::quiet_NaN();
        if (quantity != Quantity::text && fieldValueState(fields, index) == ValueState::valid)
            value = readDecimalNumber(fields.text[index]);
        sample.value[field] = value;
    }
    return sample;
}
