// One program at a time owns the console: two would acknowledge the same
// packets, answer the same clock requests and cross each other's history
// downloads. The owner holds an exclusive advisory lock (flock) for as long
// as it has the console open: on the hidraw node itself, which every
// program opening the console sees, or on a file beside the simulator's
// socket. The kernel drops the lock with the last descriptor, so a program
// that dies leaves no stale lock behind.
#pragma once

#include <cstddef>

// What a lock attempt found.
enum class ConsoleLockResult { taken, inUse, failed };

// Takes the lock on `path` (the hidraw node, or the lock file, made when
// missing if `create`). `taken`: lockFd is the descriptor to close when the console is
// let go. `inUse`: `why` says "the console is in use by another program",
// with its pid and name where /proc tells them. `failed`: `why` says what.
ConsoleLockResult lockConsole(const char* path, bool create, int& lockFd, char* why, std::size_t whySize);

// The lock file of the simulator's socket at `socketPath`.
void consoleLockPathOfSocket(const char* socketPath, char* out, std::size_t outSize);

// Lets go of a lock lockConsole took (-1: nothing to do).
void unlockConsole(int& lockFd);

constexpr const char CONSOLE_IN_USE[] = "the console is in use by another program";
