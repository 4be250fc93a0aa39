// Ctrl-C (SIGINT) and SIGTERM end every command cleanly. They are blocked
// in every thread and taken by the main thread alone, when it waits for
// them: no handler runs inside a blocked call of another thread, and an
// idle program sleeps in one wait instead of waking to look at a flag.
#pragma once

// Blocks the two signals; call first thing in main, before any thread is
// made, so every thread inherits the mask.
void installStopSignals();

// True once SIGINT or SIGTERM came (takes a pending one without waiting).
bool stopSignalled();

// Waits up to `milliseconds` for a stop signal. Returns stopSignalled().
bool sleepUnlessStopped(int milliseconds);

// Waits for a stop signal, without limit.
void waitForStopSignal();
