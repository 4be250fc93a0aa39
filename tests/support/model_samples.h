// Observations of the simulator's station model as the report receives
// them: the console's record text, parsed, then read as a sample.
#pragma once

#include <cstdint>

#include "readings/station_fields.h"
#include "report/report_page.h"
#include "sim/station_model.h"

inline StationFields modelFields(const StationModel& model, std::int64_t minute)
{
    Observation observation;
    observeStation(model, minute, observation);
    char line[OBSERVATION_LINE_MAX + 1];
    formatObservationLine(observation, line, sizeof line);
    StationFields fields{};
    parseStationRecord(line, sizeof line, fields);
    return fields;
}

// A builder filled with one observation every `step` minutes over the
// year before endMinute (endMinute included).
inline void addModelYear(ReportBuilder& builder, const StationModel& model, std::int64_t endMinute,
                         std::int64_t step)
{
    const std::int64_t start = endMinute - 365 * MINUTES_PER_DAY;
    for (std::int64_t minute = endMinute - (endMinute - start) / step * step; minute <= endMinute; minute += step)
        builder.add(reportSample(minute, modelFields(model, minute)));
}
