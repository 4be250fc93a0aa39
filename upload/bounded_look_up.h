// A host look-up that ends in time: the resolver runs on a helper thread
// of its own, and the caller waits for it a bounded time. A resolver that
// hangs then holds its helper, never the upload worker; helpers are few,
// so hung ones do not pile up either. Portable (std::thread only).
#pragma once

#include <cstdint>

// At most this many helpers run at once; a look-up finding them all busy
// waits for one within its own time.
constexpr int LOOK_UP_HELPERS_LIMIT = 2;

using HostResolver = int (*)(const char* host, std::uint8_t address[4]); // 1 when found

// resolve(host) on a helper. Returns 1 with address set when it found the
// host within `milliseconds`, else 0 (address untouched); a helper still
// running then finishes by itself and its answer is dropped.
int lookUpWithin(HostResolver resolve, const char* host, std::uint8_t address[4], int milliseconds);

// Helpers running now, hung ones included.
int lookUpHelpersRunning();
