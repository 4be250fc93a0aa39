// Where each service's requests go. The names are the services' upload
// hosts unless the command line names others (tests point them at a server
// of their own on the loopback address).
#pragma once

#include <cstddef>

#include "upload/upload_state.h"

constexpr std::size_t UPLOAD_HOST_SIZE = 128; // at most 127 characters and the zero
constexpr int UPLOAD_PORT = 80;

struct UploadHost {
    char name[UPLOAD_HOST_SIZE]; // ASCII; also the request's "Host:" header
    int port;
};

// Indexed by UploadService. Weather Underground's is its rapid-fire host, as
// the requests ask for real-time updates.
extern UploadHost uploadHosts[UPLOAD_SERVICE_COUNT];
extern const UploadHost DEFAULT_UPLOAD_HOSTS[UPLOAD_SERVICE_COUNT];

// One command-line argument: "--wu-host=HOST[:PORT]" (Weather Underground)
// or "--wc-host=HOST[:PORT]" (Weathercloud). HOST is 1 to 127 letters,
// digits, dots, hyphens or underscores; PORT 1 to 65535, 80 when left out.
// Returns 1 when hosts[service] was set, 0 when the argument is none of the
// two options, -1 when it is one of them but malformed (hosts untouched: a
// cut or half-read name would send the station's key somewhere else).
int applyUploadHostArgument(const wchar_t* argument, UploadHost hosts[UPLOAD_SERVICE_COUNT]);
