#include "app/stop_signal_linux.h"

#include <cerrno>
#include <csignal>
#include <ctime>

#include <pthread.h>

namespace {

bool stopped = false;
sigset_t stopSignals;

void take(const timespec* limit)
{
    if (stopped)
        return;
    int got = -1;
    do {
        got = limit ? sigtimedwait(&stopSignals, nullptr, limit) : sigwaitinfo(&stopSignals, nullptr);
    } while (got < 0 && errno == EINTR && !limit);
    if (got > 0)
        stopped = true;
}

} // namespace

void installStopSignals()
{
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
}

bool stopSignalled()
{
    const timespec now{0, 0};
    take(&now);
    return stopped;
}

bool sleepUnlessStopped(int milliseconds)
{
    const timespec limit{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
    take(&limit);
    return stopped;
}

void waitForStopSignal()
{
    take(nullptr);
}
