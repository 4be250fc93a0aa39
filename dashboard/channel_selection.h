// The extra sensor channel shown in the CH panel: which one, how the two
// arrows move it, and which fields hold its values.
#pragma once

#include <cstddef>

constexpr int FIRST_CHANNEL = 1;
constexpr int LAST_CHANNEL = 7;

// One step down or up; the ends hold (channel 1 has no previous, 7 no next,
// and there is no wrap-around). A value outside 1..7 is first brought into
// that range.
int previousChannel(int channel);
int nextChannel(int channel);

// The temperature and humidity fields of a channel (18 + 2 (channel - 1) and
// the one after it); an out-of-range channel is held to 1..7, so the result
// is always one of the channel fields.
int channelTemperatureField(int channel);
int channelHumidityField(int channel);

// "CH n", the title of the CH panel. Returns the length, or 0 with an empty
// text when it does not fit.
std::size_t formatChannelTitle(int channel, wchar_t* out, std::size_t capacity);
