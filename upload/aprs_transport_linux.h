// The Linux service's delivery to an APRS-IS server: one TCP connection
// that sends the login line, reads the server's "# logresp" line, sends one
// packet line and closes. libcurl makes the connection (bounded look-up
// and connect, IPv4 and IPv6); every wait after it is bounded by the same
// settings, and the stop flag cuts it short.
#pragma once

#include <cstddef>
#include <string>

#include "upload/curl_transport_linux.h"

// The longest line either side sends, its CR LF included.
constexpr std::size_t APRS_LINE_LIMIT = 512;

struct AprsReply {
    std::string logresp; // the server's "# logresp ..." line without its CR LF; empty when none came
    std::string failure; // one line when the packet was not sent; empty when it was
};

// Lines are given without their CR LF; a line holding CR or LF is refused
// unsent. The whole exchange, connect included, ends within
// settings.totalTimeoutMs.
AprsReply sendAprs(const std::string& host, int port, const std::string& loginLine, const std::string& packetLine,
                   const TransportSettings& settings);
