// The Win32 side of the upload requests: credentials from the export &
// setup page or the registry, the re-encoding with the system's ANSI code
// page, and the hand-over to the upload worker. The dashboard calls the two
// builders on WM_FRAME_FB and WM_FRAME_F1.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "upload/upload_requests.h"

constexpr int CREDENTIAL_CHARS = 64; // a station id or key: at most 63 characters

// consoleBuffer: the 1024-byte 0xFB (0xF1) assembly buffer, valid during
// the call. When uploading is on for the service, wraps the console's text
// with the credentials into the service's request and posts it to the
// upload worker; otherwise, and when a credential is empty or anything does
// not fit its buffer, the text is dropped. Returns 1 when a request was
// posted.
int buildWeatherUndergroundRequest(const std::uint8_t* consoleBuffer);
int buildWeathercloudRequest(const std::uint8_t* consoleBuffer);

// The credentials of `service`: what edits 1207 (id) and 1208 (key) of
// `page` hold when it is the `selected` service, else its stored values
// ("Id"/"Key" or "Id1"/"Key1"). Both buffers are cleared first. Returns 1
// when both are non-empty.
int readUploadCredentials(UploadService service, HWND page, std::uint32_t selected, wchar_t id[CREDENTIAL_CHARS],
                          wchar_t key[CREDENTIAL_CHARS]);

// UTF-16 credential to UTF-8 with its zero in CREDENTIAL_UTF8_SIZE bytes.
// Returns 1, or 0 with out empty when it does not fit.
int credentialToUtf8(const wchar_t* text, char out[CREDENTIAL_UTF8_SIZE]);

// Reads text in the system's ANSI code page and writes it as UTF-8 (plain
// ASCII stays as it is). Returns the length, or 0 with out empty when the
// result and its zero do not fit capacity.
std::size_t reencodeAnsiAsUtf8(const char* text, char* out, std::size_t capacity);

// Hands a request to the worker in a block of its own (the worker frees
// it; here it is freed when posting fails). Returns 1 when posted.
int postUploadRequest(UploadService service, const char* request);
