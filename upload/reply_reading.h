// What every weather network's reply reader shares: the service's words cut
// to one safe log line, a member picked out of a JSON body, and what the
// HTTP status says when the body does not say more. Portable.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "upload/observation.h"

constexpr std::size_t REPLY_REASON_LIMIT = 160; // bytes of the service's words in one log line

// The text as one line: markup between '<' and '>' dropped, control
// characters and runs of blanks become one space, no blank at either end,
// cut to REPLY_REASON_LIMIT bytes at a character boundary (a cut line ends
// in "..."). A reply is the service's, so nothing in it may break the log.
std::string replyReasonLine(std::string_view text);

// Whether `text` contains `word`, ASCII letters compared without case.
bool containsWithoutCase(std::string_view text, std::string_view word);

// The string value of the member "name" of a JSON object body (escapes
// other than \" and \\ kept as they stand), or empty when there is none.
// Reads the first such member anywhere in the body: good enough for the
// flat error objects the services send.
std::string jsonStringMember(std::string_view body, std::string_view name);

// The service's words in a reply body: the JSON body's "message" or
// "error" string; nothing else of a JSON body (services echo the request
// in it, the secret included); a body that is no JSON as it stands.
std::string serviceWordsOf(std::string_view body);

// A whole, non-negative number member "name" of a JSON body, or -1.
long jsonWholeMember(std::string_view body, std::string_view name);

// The verdict the status alone gives, with `serviceWords` (already one line,
// may be empty) as the reason:
// - 0: failed, the transport's failure as the reason;
// - 2xx: accepted;
// - 429: rateLimited, waiting as the reply's Retry-After says (-1 without);
// - 409 (conflict: the service holds that observation already): accepted;
// - 408, 5xx and anything else unexpected (1xx, 3xx): failed, try later;
// - any other 4xx: refused (credentials, a station the service does not
//   know, a request it will never take).
// The reason starts "HTTP <status>", then ": " and the service's words.
DeliveryOutcome outcomeOfStatus(const HttpReply& reply, const std::string& serviceWords);
