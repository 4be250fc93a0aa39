// The 33 columns of an export, in file order: their titles, unit cells,
// fields and the data sets that switch them on. One table for every export
// format (the UTF-16 file and the Linux program's CSV).
#pragma once

#include "export/export_request.h"
#include "readings/station_fields.h"
#include "readings/units.h"

constexpr int EXPORT_COLUMN_COUNT = 33;

// What the unit row says for a column.
enum class UnitCell { date, time, pressure, temperature, percent, wind, direction, rainRate, rain, dailyRain,
                      index };

// Which data set check box a column follows; ALWAYS for the columns
// written in every file.
enum ExportDataSet : int {
    ALWAYS = -1,
    PRESSURE_SET,
    OUTDOOR_SET,
    INDOOR_SET,
    DEW_POINT_SET,
    WIND_SET,
    HEAT_INDEX_SET,
    RAIN_SET,
    UV_SET,
    CHANNEL_1_SET,
};

// Columns whose field depends on a unit setting.
constexpr int PRESSURE_COLUMN_FIELD = -1;  // relPressure or absPressure
constexpr int DIRECTION_COLUMN_FIELD = -2; // windDirDegrees or windDirPoint

struct ExportColumn {
    const wchar_t* title; // a CR LF in it makes it a quoted two-line title
    UnitCell unit;
    int field;            // a StationFields index, or one of the two above
    int dataSet;          // an ExportDataSet
};

extern const ExportColumn EXPORT_COLUMNS[EXPORT_COLUMN_COUNT];

// Whether the column's data set was chosen (always for ALWAYS).
bool exportColumnChosen(const ExportColumn& column, const DataSetSelection& sets);
// The field the column shows under `units`.
int exportColumnField(const ExportColumn& column, const UnitSettings& units);
// What the column's values measure: decides their conversion.
Quantity exportColumnQuantity(const ExportColumn& column);
