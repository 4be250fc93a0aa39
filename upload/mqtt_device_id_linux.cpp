#include "upload/mqtt_device_id_linux.h"

#include <systemd/sd-id128.h>

namespace {

// This program's key: the same machine gives other programs other ids.
constexpr sd_id128_t PROGRAM_KEY = SD_ID128_MAKE(74, 80, 34, 44, c7, 91, 44, 41, af, 93, b8, 64, 19, 80, 31, 05);

} // namespace

std::string stationDeviceId()
{
    sd_id128_t id;
    if (sd_id128_get_machine_app_specific(PROGRAM_KEY, &id) < 0)
        return std::string();
    char text[SD_ID128_STRING_MAX];
    sd_id128_to_string(id, text);
    return std::string(text, 16);
}
