#include "upload/bounded_look_up.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

namespace {

// One look-up, shared by the caller and its helper: whichever ends last
// frees it.
struct LookUp {
    std::string host;
    std::uint8_t address[4] = {};
    int found = 0;
    bool done = false;
};

struct Helpers {
    std::mutex lock;
    std::condition_variable changed;
    int running = 0;
};

// Never destroyed: a helper hung at the process's end may still touch it.
Helpers& helpers()
{
    static Helpers* shared = new Helpers;
    return *shared;
}

void resolveOnHelper(HostResolver resolve, const std::shared_ptr<LookUp>& lookUp)
{
    std::uint8_t address[4] = {};
    const int found = resolve(lookUp->host.c_str(), address);
    Helpers& h = helpers();
    {
        std::lock_guard<std::mutex> guard(h.lock);
        std::memcpy(lookUp->address, address, sizeof address);
        lookUp->found = found;
        lookUp->done = true;
        --h.running;
    }
    h.changed.notify_all();
}

} // namespace

int lookUpWithin(HostResolver resolve, const char* host, std::uint8_t address[4], int milliseconds)
{
    if (!resolve || !host)
        return 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    auto lookUp = std::make_shared<LookUp>();
    lookUp->host = host;
    Helpers& h = helpers();
    std::unique_lock<std::mutex> guard(h.lock);
    if (!h.changed.wait_until(guard, deadline, [&] { return h.running < LOOK_UP_HELPERS_LIMIT; }))
        return 0;
    try {
        std::thread(resolveOnHelper, resolve, lookUp).detach();
    } catch (const std::system_error&) {
        return 0;
    }
    ++h.running;
    if (!h.changed.wait_until(guard, deadline, [&] { return lookUp->done; }) || !lookUp->found)
        return 0;
    std::memcpy(address, lookUp->address, sizeof lookUp->address);
    return 1;
}

int lookUpHelpersRunning()
{
    Helpers& h = helpers();
    std::lock_guard<std::mutex> guard(h.lock);
    return h.running;
}
