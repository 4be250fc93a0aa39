#include "archive/observation_columns.h"

#include "readings/field_names.h"
#include "readings/station_fields.h"

bool isKeyField(int field)
{
    return field == StationFields::recordDate || field == StationFields::recordTime;
}

std::string valueColumns(const char* prefix, bool withTypes)
{
    std::string text;
    for (int f = 0; f < static_cast<int>(STATION_FIELD_COUNT); ++f) {
        if (isKeyField(f))
            continue;
        if (!text.empty())
            text += ", ";
        text += prefix;
        text += stationFieldName(f);
        if (withTypes)
            text += f == StationFields::windDirPoint ? " TEXT" : " REAL";
    }
    return text;
}

const char OBSERVATIONS_SQL[] =
    "FROM observation o WHERE (o.source = 1 OR NOT EXISTS"
    " (SELECT 1 FROM observation h WHERE h.sortTime = o.sortTime AND h.source = 1))";
