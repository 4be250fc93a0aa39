// What every libcurl handle of the service is given, whatever it carries:
// no signals, the time-outs, the certificate checks, the user agent, an
// error buffer and the stop flag. Shared by the HTTP(S) and the APRS-IS
// transports.
#pragma once

#include <string>

#include <curl/curl.h>

#include "upload/curl_transport_linux.h"

// `error` must outlive every transfer on the handle.
void applyTransportOptions(CURL* curl, const TransportSettings& settings, char (&error)[CURL_ERROR_SIZE]);

// The flag is set.
bool stopAsked(const TransportSettings& settings);

// One line saying why a transfer failed: TRANSPORT_STOPPED after a stop,
// else libcurl's error buffer, else its text for the code.
std::string transferFailure(CURLcode result, const char* error, const TransportSettings& settings);
