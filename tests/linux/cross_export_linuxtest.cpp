// Both front ends on one core: the Linux program's export and the Windows
// program's export (its real windows and threads, under Wine) of the same
// simulated history, with the same units and choices, are the same bytes.
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/process_linux.h"

namespace {

using e2e::Process;
using e2e::Simulator;
using e2e::TempDir;

const std::string WINDOWS_TREE = AEROVANE_SOURCE_DIR "/build/win";
// The same history for both: the console clock is pinned, so the records'
// times and readings do not depend on when each program asks.
const char* const HISTORY_OPTIONS =
    "--seed=41 --history=600 --now=2026-03-07T09:00 --live-interval=0 --invalid-rate=100 --bad-crc-every=29";

// Z: is the whole Unix file system in a Wine prefix.
std::string windowsPath(const std::string& path)
{
    std::string out = "Z:" + path;
    for (char& c : out)
        if (c == '/')
            c = '\\';
    return out;
}

TEST(CrossExport, LinuxAndWindowsExportsOfOneHistoryAreTheSameBytes)
{
    const std::string probe = WINDOWS_TREE + "/cross_export_probe.exe";
    const std::string wine = WINDOWS_TREE + "/wine-run.sh";
    if (!e2e::fileExists(probe) || !e2e::fileExists(wine))
        GTEST_SKIP() << "the Windows tree is not built (sh scripts/build.sh)";
    TempDir dir;

    const std::string linuxFile = dir.path("linux.xls");
    {
        Simulator simulator(dir, {"--seed=41", "--history=600", "--now=2026-03-07T09:00", "--live-interval=0",
                                  "--invalid-rate=100", "--bad-crc-every=29", "--upload-interval=0",
                                  "--clock-interval=0"});
        e2e::writeFile(dir.path("empty.conf"), "");
        Process exporter({e2e::aerovaneBinary(), "--config=" + dir.path("empty.conf"), "--console=" + simulator.socket(),
                          "export", "--whole-period", "-o", linuxFile},
                         dir.path("linux.out"), dir.path("linux.err"));
        int code = -1;
        ASSERT_TRUE(exporter.waitExit(&code, 60000));
        ASSERT_EQ(code, 0) << e2e::readFile(dir.path("linux.err"));
    }

    const std::string windowsFile = dir.path("windows.xls");
    setenv("AEROVANE_CROSS_EXPORT_FILE", windowsPath(windowsFile).c_str(), 1);
    setenv("AEROVANE_CROSS_SIM_OPTIONS", HISTORY_OPTIONS, 1);
    Process windows({"/bin/sh", wine, probe}, dir.path("windows.out"), dir.path("windows.err"));
    int code = -1;
    ASSERT_TRUE(windows.waitExit(&code, 170000));
    ASSERT_EQ(code, 0) << e2e::readFile(dir.path("windows.out"));

    const std::string fromLinux = e2e::readFile(linuxFile);
    const std::string fromWindows = e2e::readFile(windowsFile);
    ASSERT_GT(fromLinux.size(), 600u * 100u);
    EXPECT_TRUE(fromLinux == fromWindows) << fromLinux.size() << " bytes against " << fromWindows.size();
}

} // namespace
