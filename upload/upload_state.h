// The two weather services and what the program knows about uploading to
// each. Nothing of it is stored: it all starts at 0 with the program.
#pragma once

#include <cstdint>

// The index of a service everywhere: UploadState, selectedService, the
// hosts. Weather Underground's results are WM_UPLOAD_SUCCESS, Weathercloud's
// WM_UPLOAD_OK.
enum UploadService : std::uint32_t {
    SERVICE_WEATHER_UNDERGROUND = 0,
    SERVICE_WEATHERCLOUD = 1,
};
constexpr std::uint32_t UPLOAD_SERVICE_COUNT = 2;

struct UploadState {
    int enabled;      // 1: the console's texts for this service are uploaded
    int successCount; // successes since the last ten-minute check
    int status;       // UPLOAD_STATUS_*
};

constexpr int UPLOAD_STATUS_NONE = 0;
constexpr int UPLOAD_STATUS_UPLOAD = 1; // "UPLOAD": a success was seen
constexpr int UPLOAD_STATUS_FAIL = 2;   // "FAIL": the last check found none

// Indexed by UploadService. Used on the main thread only.
extern UploadState uploadStates[UPLOAD_SERVICE_COUNT];
