// Where the Linux service sends the two services' uploads, and the URL of
// one: the Windows program's path and query, with the few bytes a URL
// cannot carry as they stand written as %XX (a server reads the same
// bytes), so nothing of the request is cut or refused on the way.
// Portable.
#pragma once

#include <string>

#include "settings/config_file.h"

// `url` when given; else "http://HOST:PORT" for a host the configuration
// names (the Windows program's plain HTTP); else "https://" and the
// service's own upload host.
std::string uploadBaseUrl(UploadService service, const ServiceConfig& settings);

// What a refusal of the service's station refused (account_fingerprint.h):
// its id, key and where they went.
std::string uploadFingerprint(UploadService service, const ServiceConfig& settings);

// The path and query of a request composeUploadRequest built for `host`
// (re-encoded or not): what stands between "GET " and " HTTP/1.0"; empty
// when the request is not one of those.
std::string uploadTarget(const std::string& request, const char* host);

// base (without a final '/') and target, with blanks, control characters,
// '#', the characters RFC 3986 leaves out and bytes above 0x7F as %XX.
std::string uploadUrl(const std::string& base, const std::string& target);
