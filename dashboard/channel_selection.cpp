#include "dashboard/channel_selection.h"

#include <cwchar>

#include "readings/station_fields.h"

namespace {

int heldToRange(int channel)
{
    if (channel < FIRST_CHANNEL)
        return FIRST_CHANNEL;
    if (channel > LAST_CHANNEL)
        return LAST_CHANNEL;
    return channel;
}

} // namespace

int previousChannel(int channel)
{
    channel = heldToRange(channel);
    return channel > FIRST_CHANNEL ? channel - 1 : channel;
}

int nextChannel(int channel)
{
    channel = heldToRange(channel);
    return channel < LAST_CHANNEL ? channel + 1 : channel;
}

int channelTemperatureField(int channel)
{
    return StationFields::ch1Temp + 2 * (heldToRange(channel) - 1);
}

int channelHumidityField(int channel)
{
    return channelTemperatureField(channel) + 1;
}

std::size_t formatChannelTitle(int channel, wchar_t* out, std::size_t capacity)
{
    if (capacity == 0)
        return 0;
    const int written = std::swprintf(out, capacity, L"CH %d", channel);
    if (written < 0 || static_cast<std::size_t>(written) >= capacity) {
        out[0] = L'\0';
        return 0;
    }
    return static_cast<std::size_t>(written);
}
