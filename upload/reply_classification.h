// Whether a service's reply shows that it took the upload. Pure: the
// transport calls it on the reply it collected.
#pragma once

#include <cstddef>

#include "upload/upload_state.h"

// The reply is read as text up to its first zero byte, at most `length`
// bytes, and searched whole (case-sensitive, status line, headers and body
// alike). A reply counts only for the service whose request produced it:
// - Weather Underground: the text contains "success";
// - Weathercloud: the text contains "200", and the body (after the empty
//   line, blanks around it ignored) is not one of the service's error codes
//   400, 401, 429 or 500 - that service answers with a code in the body,
//   which may say 401 while the status line says 200.
// Returns 1 for a success, 0 otherwise (also for a null reply).
int replyShowsSuccess(UploadService service, const char* reply, std::size_t length);

// What a reply says about the upload that produced it.
enum ReplyVerdict {
    REPLY_UNCLEAR = 0, // no success and no refusal: worth another attempt
    REPLY_TAKEN = 1,   // replyShowsSuccess
    REPLY_REFUSED = 2, // the service answered and said no; asking again cannot help
};

// Read as replyShowsSuccess reads it. A reply that is no success refuses
// - for Weather Underground when the text contains "unauthorized" or
//   "INVALIDPASSWORDID" (wrong station id or key);
// - for Weathercloud when the body is 400, 401 or 429 (bad request, wrong
//   credentials, too many uploads: repeating one makes the limit worse).
// Weathercloud's 500 is the service failing, not refusing: it is unclear.
ReplyVerdict classifyReply(UploadService service, const char* reply, std::size_t length);

// A refusal of the station's id or key, which asking again cannot mend
// until they change: every refusal of Weather Underground's, and
// Weathercloud's 401 (its 400 and 429 refuse one upload, not the station).
bool replyRefusesCredentials(UploadService service, const char* reply, std::size_t length);
