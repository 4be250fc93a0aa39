// Look-ups with a limit: the answer of a resolver that answers in time, and
// a resolver that hangs holding neither the upload nor more than a few
// threads.
#include "upload/bounded_look_up.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

#include "upload/http_transport.h"
#include "upload/socket_calls.h"

namespace {

constexpr int GENEROUS_MS = 30000;
constexpr int SHORT_MS = 300;

// A resolver that hangs until released, counting who went in.
struct HungResolver {
    std::mutex lock;
    std::condition_variable releasedChanged;
    bool released = false;
    std::atomic<int> entered{0};
};

HungResolver hung;

int hangingResolve(const char*, std::uint8_t[4])
{
    ++hung.entered;
    std::unique_lock<std::mutex> guard(hung.lock);
    hung.releasedChanged.wait(guard, [] { return hung.released; });
    return 0;
}

void releaseHungResolves()
{
    {
        std::lock_guard<std::mutex> guard(hung.lock);
        hung.released = true;
    }
    hung.releasedChanged.notify_all();
}

int refusingResolve(const char*, std::uint8_t[4])
{
    return 0;
}

bool helpersAllEnded()
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(GENEROUS_MS);
    while (lookUpHelpersRunning() > 0) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

class LookUpWithin : public ::testing::Test {
protected:
    // The system's resolver needs the socket library started (Winsock).
    void SetUp() override
    {
        hung.released = false;
        hung.entered = 0;
        ASSERT_EQ(startSockets(), 1);
    }

    // No helper outlives its test.
    void TearDown() override
    {
        releaseHungResolves();
        EXPECT_TRUE(helpersAllEnded());
        stopSockets();
    }
};

TEST_F(LookUpWithin, GivesTheResolversAnswer)
{
    std::uint8_t address[4] = {9, 9, 9, 9};
    ASSERT_EQ(lookUpWithin(lookUpHostV4, "127.0.0.1", address, GENEROUS_MS), 1);
    EXPECT_EQ(address[0], 127);
    EXPECT_EQ(address[1], 0);
    EXPECT_EQ(address[2], 0);
    EXPECT_EQ(address[3], 1);

    std::uint8_t untouched[4] = {9, 9, 9, 9};
    EXPECT_EQ(lookUpWithin(refusingResolve, "station.invalid", untouched, GENEROUS_MS), 0);
    EXPECT_EQ(untouched[0], 9);
}

// Look-up after look-up on a resolver that hangs: each gives up in its
// time, the hung ones hold no more than the helper limit, and once they
// end, look-ups work again.
TEST_F(LookUpWithin, HungResolverHoldsAtMostTheHelperLimit)
{
    std::uint8_t address[4] = {9, 9, 9, 9};
    for (int i = 0; i < 3 * LOOK_UP_HELPERS_LIMIT; ++i)
        EXPECT_EQ(lookUpWithin(hangingResolve, "rtupdate.example", address, SHORT_MS), 0);
    EXPECT_EQ(hung.entered, LOOK_UP_HELPERS_LIMIT);
    EXPECT_EQ(lookUpHelpersRunning(), LOOK_UP_HELPERS_LIMIT);
    EXPECT_EQ(address[0], 9);

    releaseHungResolves();
    ASSERT_TRUE(helpersAllEnded());
    EXPECT_EQ(lookUpWithin(lookUpHostV4, "127.0.0.1", address, GENEROUS_MS), 1);
    EXPECT_EQ(address[0], 127);
}

// The transport's look-ups go through the limit when it is set: a resolver
// that hangs costs the upload its five tries, not the worker for ever.
TEST_F(LookUpWithin, HungResolverDoesNotHoldAnUpload)
{
    static int pauses = 0;
    pauses = 0;
    TransportHooks hooks = boundedTransportHooks();
    hooks.lookUp = hangingResolve;
    hooks.lookUpTimeoutMs = SHORT_MS;
    hooks.pause = [](int) { ++pauses; };
    std::future<int> upload = std::async(std::launch::async, [&] {
        return uploadRequest("GET / HTTP/1.0\r\n\r\n", "rtupdate.example", 80, SERVICE_WEATHER_UNDERGROUND, hooks);
    });
    const bool ended = upload.wait_for(std::chrono::milliseconds(GENEROUS_MS)) == std::future_status::ready;
    releaseHungResolves();
    upload.wait();
    EXPECT_TRUE(ended) << "the upload waited on the resolver";
    EXPECT_EQ(pauses, LOOK_UP_TRIES - 1);
    EXPECT_EQ(hung.entered, LOOK_UP_HELPERS_LIMIT);
    EXPECT_EQ(socketStartsOutstanding(), 1); // the fixture's own
}

} // namespace
