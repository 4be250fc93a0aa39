// The Linux service's log: one line per upload result on standard output,
// which journald keeps with its own time stamp; the line carries the time
// the result came too, so a plain terminal or file shows it as well.
#pragma once

#include <cstddef>
#include <string>

#include "link/commands.h"
#include "upload/upload_state.h"

enum class UploadOutcome {
    accepted,  // the reply showed success
    refused,   // a reply came, and it was no success
    noAnswer,  // no whole reply: look-up, connection, time-out or reset
    notSent,   // the request could not be built (empty credential, too long)
};

// "Weather Underground", "Weathercloud".
const char* uploadServiceName(UploadService service);

// What a reply gives as its reason: the first non-blank line of its body,
// or its status line without the protocol when the body is empty ("401",
// "INVALIDPASSWORDID|Password or key and/or id are incorrect",
// "500 Internal Server Error"). At most 80 characters; bytes outside
// printable ASCII become '?'. Empty for an empty reply.
std::string replyReason(const char* reply, std::size_t length);

// Any line of the service's log: "2026-03-07 09:05:30 " and the text.
std::string serviceLogLine(const ClockTime& at, const std::string& text);

// "Weathercloud accepted", "Weather Underground refused: <reason>",
// "... no answer", "... not sent: <why>" (the log stamps it, or the journal
// does). `detail` is the reason or why; no newline.
std::string uploadResultText(UploadService service, UploadOutcome outcome, const std::string& detail);
