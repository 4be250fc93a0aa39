// One complete observation as the console writes it, field by field (in the
// console's units), for the tests that show or paint it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

inline std::vector<std::string> fullObservation()
{
    return {"45",   "2026-03-07", "09:15", "21.4", "45",   "-3.5", "81",   "1.2",  "0.3",
            "12",   "15.2",       "90",    "E",    "1013.2", "1009.8", "5",  "10.0", "25.0",
            "11.9", "66",         "12.5",  "52",   "--.-", "--",   "4.4",  "90",   "7.8",
            "30",   "18.0",       "52",    "19.5", "48",   "-7.0", "0.0",  "2.4",  "12.0"};
}

// The first `count` fields as one line, separated by single spaces.
inline std::string joined(const std::vector<std::string>& fields, std::size_t count = 36)
{
    std::string line;
    for (std::size_t i = 0; i < count && i < fields.size(); ++i)
        line += (i ? " " : "") + fields[i];
    return line;
}
