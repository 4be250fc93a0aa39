// Writes the report page of a year of five-minute observations of the
// simulator's station, ending at a fixed time, to the file named by the
// first argument: the page the browser test loads and the documentation's
// screenshot shows. An optional second argument "imperial" uses °F, inHg,
// mph and inches.
#include <cstdio>
#include <cstring>
#include <string>

#include "report/report_page.h"
#include "tests/support/model_samples.h"

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.html [imperial]\n", argv[0]);
        return 2;
    }
    UnitSettings units = DEFAULT_UNIT_SETTINGS;
    if (argc > 2 && std::strcmp(argv[2], "imperial") == 0)
        units = {TEMPERATURE_FAHRENHEIT, RAIN_INCHES, PRESSURE_INHG, WIND_MPH, PRESSURE_RELATIVE, DIRECTION_DEGREES};

    StationModel model;
    initStationModel(model, 7, 0, 45);
    const std::int64_t end = minutesFromCivil({2026, 12, 7, 9, 5});
    ReportBuilder builder(end);
    addModelYear(builder, model, end, 5);
    const StationFields latest = modelFields(model, end);
    const std::string page = builder.page(&latest, units);

    std::FILE* file = std::fopen(argv[1], "wb");
    if (file == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    const bool written = std::fwrite(page.data(), 1, page.size(), file) == page.size();
    if (std::fclose(file) != 0 || !written) {
        std::fprintf(stderr, "%s: write failed\n", argv[1]);
        return 1;
    }
    std::printf("%s: %zu bytes\n", argv[1], page.size());
    return 0;
}
