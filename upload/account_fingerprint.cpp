#include "upload/account_fingerprint.h"

#include <cstdint>
#include <cstdio>
#include <initializer_list>

std::string accountFingerprint(const NetworkAccount& account)
{
    std::uint64_t hash = 14695981039346656037ULL;
    for (const std::string* part : {&account.identity, &account.secret, &account.endpoint}) {
        for (unsigned char c : *part)
            hash = (hash ^ c) * 1099511628211ULL;
        hash = (hash ^ 0xFF) * 1099511628211ULL;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}
