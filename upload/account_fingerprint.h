// What a refusal refused, kept in the outbox without the secret itself: a
// station whose key, identity or endpoint changed is tried again. Portable.
#pragma once

#include <string>

#include "upload/request_text.h"

// 16 hex digits of FNV-1a over the endpoint, identity and secret.
std::string accountFingerprint(const NetworkAccount& account);
