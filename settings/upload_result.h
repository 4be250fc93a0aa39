// The export & setup page's rules for uploading: the Auto Upload switch,
// the counting of successes and the ten-minute result check, on plain
// UploadState values. The page carries out what these decide.
#pragma once

#include <cstdint>

#include "upload/upload_state.h"

// Timers of the ten-minute result checks on the page, one per service.
constexpr std::uintptr_t WU_CHECK_TIMER = 1;
constexpr std::uintptr_t WC_CHECK_TIMER = 2;
constexpr unsigned UPLOAD_CHECK_PERIOD_MS = 600000;

// The timer of a service, and the service of a timer (false for another id).
std::uintptr_t checkTimerOf(UploadService service);
bool serviceOfCheckTimer(std::uintptr_t timer, UploadService* service);

// The service a result notice counts for: WM_UPLOAD_SUCCESS for Weather
// Underground, WM_UPLOAD_OK for Weathercloud; false for any other message.
bool serviceOfResultNotice(unsigned message, UploadService* service);

// What the result controls (icon 1015, text 1029) show for a status.
struct UploadResultView {
    bool shown;  // both controls shown; else both hidden
    int textKey; // language key of 1029's text: 35 "UPLOAD", 36 "FAIL"; 0 keeps its text
    int iconId;  // icon resource of 1015; 0 keeps its icon
};
UploadResultView uploadResultView(int status);

// What a click on the Auto Upload box means, read after the click toggled
// it. An empty id or key refuses uploading, but only when the box was
// checked: clearing the box always switches uploading off.
enum class AutoUploadAction { refuse, switchOn, switchOff };
AutoUploadAction autoUploadAction(bool boxChecked, bool idEmpty, bool keyEmpty);

// Refused: the service shows nothing; nothing else changes.
void refuseUpload(UploadState& state);
// Switched on: enabled. With the console ready the count starts afresh and
// the return value (true) says to start the service's check timer; without
// a console there is no check, so "FAIL" never shows.
bool switchUploadOn(UploadState& state, bool consoleReady);
// Switched off, or the console went away: everything back to 0.
void switchUploadOff(UploadState& state);

// A success notice. Returns true when the display changes to "UPLOAD": only
// for the first success since the last check, and only while the service
// is switched on (a reply to a request sent before the box was cleared, or
// before the console went away, shows nothing).
bool countUploadSuccess(UploadState& state);

// The ten-minute check of one service.
enum class UploadCheck {
    nothing, // console absent or the service switched off: no change
    upload,  // successes came: "UPLOAD", counting starts again
    fail,    // none came: "FAIL"
};
UploadCheck checkUploadResult(UploadState& state, bool consoleReady);
