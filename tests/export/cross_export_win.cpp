// The Windows program's export of a simulated history, for the Linux
// end-to-end test that compares it byte for byte with the Linux program's
// (tests/linux/cross_export_linuxtest.cpp runs this under Wine). Not a test
// of its own: it needs the file name and the simulator's options from that
// test, in AEROVANE_CROSS_EXPORT_FILE and AEROVANE_CROSS_SIM_OPTIONS.
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "export/export_job.h"
#include "tests/support/export_fixture_win.h"
#include "tests/support/test_window_win.h"

namespace {

constexpr DWORD EXPORT_LIMIT_MS = 120000;

class WindowsExport : public SimulatorExportTest {};

TEST_F(WindowsExport, WritesTheWholePeriodWithEveryDataSet)
{
    const wchar_t* file = _wgetenv(L"AEROVANE_CROSS_EXPORT_FILE");
    const wchar_t* options = _wgetenv(L"AEROVANE_CROSS_SIM_OPTIONS");
    ASSERT_TRUE(file && options) << "run by the Linux end-to-end test";
    watched.chosenFile = file;
    serve(options);
    startProgram();
    exportEverything();
    ASSERT_TRUE(pumpUntil([] { return !watched.exportResults.empty() && exportRunning == 0; }, EXPORT_LIMIT_MS));
    EXPECT_EQ(std::vector<LPARAM>{EXPORT_FINISHED}, watched.exportResults);
    EXPECT_TRUE(watched.boxes.empty()) << "a message box appeared";
}

} // namespace
