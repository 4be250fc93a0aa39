#include "settings/upload_result.h"

#include <climits>

#include "link/messages.h"
#include "resources/resource_ids.h"

namespace {

constexpr int KEY_UPLOAD = 35;
constexpr int KEY_FAIL = 36;

} // namespace

std::uintptr_t checkTimerOf(UploadService service)
{
    return service == SERVICE_WEATHERCLOUD ? WC_CHECK_TIMER : WU_CHECK_TIMER;
}

bool serviceOfCheckTimer(std::uintptr_t timer, UploadService* service)
{
    if (timer == WU_CHECK_TIMER)
        *service = SERVICE_WEATHER_UNDERGROUND;
    else if (timer == WC_CHECK_TIMER)
        *service = SERVICE_WEATHERCLOUD;
    else
        return false;
    return true;
}

bool serviceOfResultNotice(unsigned message, UploadService* service)
{
    if (message == WM_UPLOAD_SUCCESS)
        *service = SERVICE_WEATHER_UNDERGROUND;
    else if (message == WM_UPLOAD_OK)
        *service = SERVICE_WEATHERCLOUD;
    else
        return false;
    return true;
}

UploadResultView uploadResultView(int status)
{
    if (status == UPLOAD_STATUS_UPLOAD)
        return {true, KEY_UPLOAD, IDI_UPLOAD_DONE};
    if (status == UPLOAD_STATUS_FAIL)
        return {true, KEY_FAIL, IDI_UPLOAD_FAILED};
    return {false, 0, 0};
}

AutoUploadAction autoUploadAction(bool boxChecked, bool idEmpty, bool keyEmpty)
{
    if (!boxChecked)
        return AutoUploadAction::switchOff;
    return idEmpty || keyEmpty ? AutoUploadAction::refuse : AutoUploadAction::switchOn;
}

void refuseUpload(UploadState& state)
{
    state.status = UPLOAD_STATUS_NONE;
}

bool switchUploadOn(UploadState& state, bool consoleReady)
{
    state.enabled = 1;
    if (!consoleReady)
        return false;
    state.successCount = 0;
    return true;
}

void switchUploadOff(UploadState& state)
{
    state.enabled = 0;
    state.successCount = 0;
    state.status = UPLOAD_STATUS_NONE;
}

bool countUploadSuccess(UploadState& state)
{
    if (state.enabled != 1)
        return false;
    // Without a console there is no check to reset the count.
    if (state.successCount < INT_MAX)
        ++state.successCount;
    if (state.successCount != 1)
        return false;
    state.status = UPLOAD_STATUS_UPLOAD;
    return true;
}

UploadCheck checkUploadResult(UploadState& state, bool consoleReady)
{
    if (!consoleReady || state.enabled != 1)
        return UploadCheck::nothing;
    if (state.successCount > 0) {
        state.status = UPLOAD_STATUS_UPLOAD;
        state.successCount = 0;
        return UploadCheck::upload;
    }
    state.status = UPLOAD_STATUS_FAIL;
    return UploadCheck::fail;
}
