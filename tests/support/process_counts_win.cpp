#include "tests/support/process_counts_win.h"

#include <psapi.h>
#include <tlhelp32.h>

namespace {

// Handle values are multiples of 4; a test process holds far fewer than
// this many.
constexpr ULONG_PTR HIGHEST_PROBED_HANDLE = 0x10000;

unsigned long probedHandleCount()
{
    unsigned long count = 0;
    for (ULONG_PTR value = 4; value <= HIGHEST_PROBED_HANDLE; value += 4) {
        DWORD flags = 0;
        count += GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) ? 1 : 0;
    }
    return count;
}

} // namespace

unsigned long processHandleCount()
{
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count != 0)
        return count;
    return probedHandleCount();
}

unsigned long processThreadCount()
{
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    unsigned long count = 0;
    const DWORD self = GetCurrentProcessId();
    if (Thread32First(snapshot, &entry)) {
        do {
            count += entry.th32OwnerProcessID == self ? 1 : 0;
        } while (Thread32Next(snapshot, &entry));
    }
    CloseHandle(snapshot);
    return count;
}

unsigned long long processPrivateBytes()
{
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof counters))
        return 0;
    // Wine leaves PrivateUsage at 0; its commit charge is the same figure.
    return counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
}
