#include "upload/network_traits.h"

#include "upload/cwop_packet.h"
#include "upload/openweathermap_request.h"
#include "upload/pwsweather_request.h"
#include "upload/windy_request.h"
#include "upload/wow_request.h"

namespace {

// PWSweather names no interval; WOW takes automatic stations up to every
// 5 minutes; Windy refuses an update within 5 minutes of the last and asks
// nothing of the past; CWOP wants no packet faster than every 5 minutes and
// current conditions only.
const NetworkTraits TABLE[WEATHER_NETWORK_COUNT] = {
    {WeatherNetwork::pwsweather, "pwsweather", true, 1, 1, 1, PWSWEATHER_ENDPOINT},
    {WeatherNetwork::wow, "wow", true, 5, 5, 1, WOW_ENDPOINT},
    {WeatherNetwork::windy, "windy", false, 5, 5, 1, WINDY_ENDPOINT},
    {WeatherNetwork::openWeatherMap, "openweathermap", true, 1, 1, OPENWEATHERMAP_BATCH_LIMIT,
     OPENWEATHERMAP_ENDPOINT},
    {WeatherNetwork::cwop, "cwop", false, 5, 5, 1, CWOP_ENDPOINT},
};

} // namespace

const NetworkTraits* networkTraitsTable()
{
    return TABLE;
}

const NetworkTraits& networkTraits(WeatherNetwork network)
{
    const auto index = static_cast<std::size_t>(network);
    return TABLE[index < WEATHER_NETWORK_COUNT ? index : 0];
}
