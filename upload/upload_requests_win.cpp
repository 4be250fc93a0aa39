#include "upload/upload_requests_win.h"

#include <cstdlib>
#include <cstring>

#include "app/app_state_win.h"
#include "link/messages.h"
#include "link/report_reader.h"
#include "resources/resource_ids.h"
#include "settings/settings_store_win.h"
#include "upload/upload_hosts.h"
#include "upload/upload_state.h"
#include "upload/upload_worker_win.h"

namespace {

const char* const DEBUG_MARKERS[UPLOAD_SERVICE_COUNT] = {"------wu111---------", "------wc111---------"};
const SettingValue STORED_IDS[UPLOAD_SERVICE_COUNT] = {SETTING_ID, SETTING_ID1};
const SettingValue STORED_KEYS[UPLOAD_SERVICE_COUNT] = {SETTING_KEY, SETTING_KEY1};

// The builders copy the console's whole assembly buffer.
static_assert(UPLOAD_TEXT_SIZE == REQUEST_BUFFER_SIZE);

int buildRequest(UploadService service, const std::uint8_t* consoleBuffer)
{
    if (!consoleBuffer)
        return 0;
    char consoleText[REQUEST_BUFFER_SIZE];
    std::memcpy(consoleText, consoleBuffer, sizeof consoleText);
    if (uploadStates[service].enabled != 1)
        return 0;
    OutputDebugStringA(DEBUG_MARKERS[service]);

    wchar_t id[CREDENTIAL_CHARS];
    wchar_t key[CREDENTIAL_CHARS];
    if (!readUploadCredentials(service, setupPage, selectedService, id, key))
        return 0;
    char idUtf8[CREDENTIAL_UTF8_SIZE];
    char keyUtf8[CREDENTIAL_UTF8_SIZE];
    if (!credentialToUtf8(id, idUtf8) || !credentialToUtf8(key, keyUtf8))
        return 0;

    char request[REQUEST_BUFFER_SIZE];
    if (composeUploadRequest(service, idUtf8, keyUtf8, consoleText, sizeof consoleText, uploadHosts[service].name,
                             request) == 0)
        return 0;
    char encoded[REQUEST_BUFFER_SIZE];
    if (reencodeAnsiAsUtf8(request, encoded, sizeof encoded) == 0)
        return 0;
    return postUploadRequest(service, encoded);
}

} // namespace

int buildWeatherUndergroundRequest(const std::uint8_t* consoleBuffer)
{
    return buildRequest(SERVICE_WEATHER_UNDERGROUND, consoleBuffer);
}

int buildWeathercloudRequest(const std::uint8_t* consoleBuffer)
{
    return buildRequest(SERVICE_WEATHERCLOUD, consoleBuffer);
}

int readUploadCredentials(UploadService service, HWND page, std::uint32_t selected, wchar_t id[CREDENTIAL_CHARS],
                          wchar_t key[CREDENTIAL_CHARS])
{
    std::memset(id, 0, CREDENTIAL_CHARS * sizeof id[0]);
    std::memset(key, 0, CREDENTIAL_CHARS * sizeof key[0]);
    if (service >= UPLOAD_SERVICE_COUNT)
        return 0;
    if (selected == service) {
        // The page shows the selected service: what is typed there counts,
        // even before it is stored.
        if (page) {
            GetDlgItemTextW(page, IDC_STATION_ID, id, CREDENTIAL_CHARS);
            GetDlgItemTextW(page, IDC_STATION_KEY, key, CREDENTIAL_CHARS);
        }
    } else {
        loadTextSetting(STORED_IDS[service], id, CREDENTIAL_CHARS);
        loadTextSetting(STORED_KEYS[service], key, CREDENTIAL_CHARS);
    }
    return id[0] != L'\0' && key[0] != L'\0';
}

int credentialToUtf8(const wchar_t* text, char out[CREDENTIAL_UTF8_SIZE])
{
    // -1: the zero is converted too, so a text that fits leaves room for it.
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, out, static_cast<int>(CREDENTIAL_UTF8_SIZE), nullptr,
                                      nullptr);
    if (n <= 0) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}

std::size_t reencodeAnsiAsUtf8(const char* text, char* out, std::size_t capacity)
{
    if (capacity == 0)
        return 0;
    out[0] = '\0';
    // Each ANSI byte gives at most one UTF-16 unit.
    wchar_t wide[REQUEST_BUFFER_SIZE];
    const int units = MultiByteToWideChar(CP_ACP, 0, text, -1, wide, static_cast<int>(REQUEST_BUFFER_SIZE));
    if (units <= 0)
        return 0;
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, out, static_cast<int>(capacity), nullptr, nullptr);
    if (n <= 0) {
        out[0] = '\0';
        return 0;
    }
    return static_cast<std::size_t>(n - 1);
}

int postUploadRequest(UploadService service, const char* request)
{
    const std::size_t length = std::strlen(request);
    char* block = static_cast<char*>(std::malloc(length + 1));
    if (!block)
        return 0;
    std::memcpy(block, request, length + 1);
    const UINT message = service == SERVICE_WEATHER_UNDERGROUND ? WM_UPLOAD_WU : WM_UPLOAD_WC;
    if (uploadWorkerThreadId == 0 ||
        !PostThreadMessageW(uploadWorkerThreadId, message, reinterpret_cast<WPARAM>(block), 0)) {
        std::free(block);
        return 0;
    }
    return 1;
}
