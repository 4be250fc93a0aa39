// The two services' upload requests, byte for byte. The console composes
// the observation part; these wrap it with the station's credentials and
// the fixed parts of each service's GET request. Nothing is escaped: the
// pieces go in as they are. Portable; the Win32 side (upload_requests_win.h)
// gets the credentials and hands the request over.
#pragma once

#include <cstddef>

#include "upload/upload_state.h"

constexpr std::size_t REQUEST_BUFFER_SIZE = 1024;  // query, path, request: at most 1023 bytes and the zero
constexpr std::size_t CREDENTIAL_UTF8_SIZE = 64;   // id or key in UTF-8: at most 63 bytes and the zero

// Composes the request of `service`:
// - Weather Underground: "GET /weatherstation/updateweatherstation.php?"
//   "ID=<id>&PASSWORD=<key>&<console text>&softwaretype=vws%20versionxx"
//   "&action=updateraw&realtime=1&rtfreq2.5 HTTP/1.0"
// - Weathercloud: "GET /v01/set/wid/<id>/key/<key><console text> HTTP/1.0"
// each followed by CR LF, "Host:", two spaces, the host, CR LF and CR LF.
// id and key are zero-terminated UTF-8; the console text ends at its first
// zero byte or after consoleSize bytes.
// Returns the length written to out (REQUEST_BUFFER_SIZE bytes, always
// terminated), or 0 with out empty when the id or key is empty or longer
// than 63 bytes, or the query, path or request is longer than 1023 bytes: a
// cut request would upload wrong values or a wrong key.
std::size_t composeUploadRequest(UploadService service, const char* id, const char* key, const char* consoleText,
                                 std::size_t consoleSize, const char* host, char out[REQUEST_BUFFER_SIZE]);

// Reads text as Windows-1252 and writes it as UTF-8: ASCII stays as it is,
// a byte above 0x7F becomes the character that code page gives it (the five
// bytes it leaves undefined stand for U+0081, U+008D, U+008F, U+0090,
// U+009D, as Windows maps them). On Windows the program re-encodes with the
// system's ANSI code page instead (upload_requests_win.h); this is that
// code page where there is none, the one Western systems have.
// Returns the length written (out terminated), or 0 with out empty when the
// result and its zero do not fit capacity.
std::size_t reencodeWindows1252AsUtf8(const char* text, char* out, std::size_t capacity);
