// Records as the console stores them, made by the simulator's station
// model: `count` records `interval` minutes apart from `first`, the same
// records for the same arguments.
#pragma once

#include <cstdint>
#include <vector>

#include "readings/station_record.h"
#include "sim/station_model.h"

inline std::vector<StationRecord> modelHistory(std::int64_t first, std::size_t count, int interval = 5,
                                               std::uint32_t seed = 7, int invalidPermille = 30)
{
    StationModel model;
    initStationModel(model, seed, invalidPermille, 40);
    std::vector<StationRecord> records(count);
    for (std::size_t i = 0; i < count; ++i) {
        Observation obs;
        observeStation(model, first + static_cast<std::int64_t>(i) * interval, obs);
        records[i] = StationRecord{};
        formatObservationLine(obs, records[i].text, sizeof records[i].text);
    }
    return records;
}
