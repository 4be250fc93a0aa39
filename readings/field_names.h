// The names of the 36 StationFields positions as text, for outputs that
// carry a field by name (the Linux program's JSON lines and CSV header).
#pragma once

// "loggerPercent", "recordDate", ... "monthlyRain"; null outside 0..35.
const char* stationFieldName(int field);
