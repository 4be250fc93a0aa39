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
