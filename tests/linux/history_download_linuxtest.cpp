// Downloads over one connection to the native simulator, as `aerovane run`
// makes them day after day without reconnecting: each must start its own
// bookkeeping and land every record the console sent, whatever the download
// before it left behind.
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "link/history_download_linux.h"
#include "link/link_flags.h"
#include "link/station_link_linux.h"
#include "tests/support/process_linux.h"

namespace {

constexpr int RECORDS = 120;

void onConnection(void* context, bool present, const char*)
{
    noteDownloadConnection(*static_cast<HistoryDownload*>(context), present);
}

void onMessage(void* context, unsigned message, std::intptr_t lParam)
{
    noteDownloadMessage(*static_cast<HistoryDownload*>(context), message, lParam);
}

// A download that never ends would hold the test until ctest kills it;
// this ends it as the console's refusal would, so it fails with a result.
class Watchdog {
public:
    explicit Watchdog(int timeoutMs)
        : thread([this, timeoutMs] {
              std::unique_lock<std::mutex> lock(mutex);
              if (!wake.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return done; }))
                  transferCancelled = 1;
          })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            done = true;
        }
        wake.notify_all();
        thread.join();
    }

private:
    std::mutex mutex;
    std::condition_variable wake;
    bool done = false;
    std::thread thread;
};

class DownloadsInOneConnection : public ::testing::Test {
protected:
    // Runs one download into fresh slots and checks them against the
    // transfer the simulator logged last.
    void downloadAndCheck(const e2e::Simulator& simulator, std::size_t transfersBefore)
    {
        for (StationRecord& slot : slots)
            std::memset(slot.text, 0, sizeof slot.text);
        DownloadResult result;
        {
            Watchdog watchdog(60000);
            result = downloadHistory(download, e2e::DEADLINE_MS, nullptr, nullptr);
        }
        ASSERT_EQ(DownloadResult::done, result) << "download " << transfersBefore + 1 << " did not complete";
        const std::size_t wanted = (transfersBefore + 1) * RECORDS;
        std::vector<StationRecord> sent;
        ASSERT_TRUE(e2e::waitUntil([&] {
            sent = e2e::sentHistory(simulator);
            return sent.size() >= wanted;
        }));
        ASSERT_EQ(wanted, sent.size());
        for (int i = 0; i < RECORDS; ++i)
            ASSERT_STREQ(sent[transfersBefore * RECORDS + i].text, slots[i].text) << "slot " << i;
        EXPECT_EQ(0, slots[RECORDS].text[0]);
    }

    e2e::TempDir dir;
    std::vector<StationRecord> slots = std::vector<StationRecord>(RECORDS + 1);
    wchar_t exportPath[8] = L"x.csv";
    HistoryDownload download;
};

TEST_F(DownloadsInOneConnection, ASecondDownloadWithNothingBetweenLandsInFull)
{
    // No live observation but the one asked for on connection, so nothing
    // comes between the two downloads.
    e2e::Simulator simulator(dir, {"--history=" + std::to_string(RECORDS), "--live-interval=0",
                                   "--upload-interval=0", "--clock-interval=0", "--seed=3"});
    ASSERT_EQ(1, startStationLink(simulator.socket().c_str(), slots.data(), slots.size(), exportPath,
                                  LinkEvents{onConnection, onMessage, &download}));
    downloadAndCheck(simulator, 0);
    if (!HasFatalFailure())
        downloadAndCheck(simulator, 1);
    stopStationLink();
}

} // namespace
