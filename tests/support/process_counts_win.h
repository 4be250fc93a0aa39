// How many handles, threads and private bytes this process holds, for leak
// checks.
#pragma once

#include <windows.h>

// GetProcessHandleCount where it works. Wine's answers 0 (with success),
// so there the open handles are counted one by one instead.
unsigned long processHandleCount();

// Threads of this process in a Toolhelp snapshot.
unsigned long processThreadCount();

// Private bytes (GetProcessMemoryInfo's PrivateUsage) of this process.
unsigned long long processPrivateBytes();
