// The export request of "Whole period" with every data set chosen, as the
// tests and the export benchmark use it.
#pragma once

#include <cstdint>

#include "export/export_file.h"

inline ExportRequest wholePeriodAllSets()
{
    ExportRequest request{};
    DataSetSelection& s = request.dataSets;
    s.wholePeriod = 1;
    s.pressureSet = s.outdoorSet = s.indoorSet = s.dewPointSet = s.windSet = s.heatIndexSet = s.rainSet =
        s.uvSet = 1;
    for (std::uint32_t& channel : s.channelSet)
        channel = 1;
    return request;
}
