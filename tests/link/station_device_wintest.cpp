// Finding and opening the console, and writing commands to it.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "link/commands.h"
#include "link/console_option.h"
#include "link/link_flags.h"
#include "link/reader_thread_win.h"
#include "link/station_device_win.h"
#include "tests/support/console_double_win.h"
#include "tests/support/process_counts_win.h"
#include "tests/support/test_window_win.h"

namespace {

constexpr DWORD WAIT_MS = GENEROUS_WAIT_MS;

// ---- Fake HID interfaces ------------------------------------------------
// The search runs against a table of interfaces whose device paths are real
// files (or a pipe), so the handles it opens and closes are real ones.

struct FakeInterface {
    std::wstring path;
    USHORT vendor;
    USHORT product;
    USHORT usagePage;
    USHORT usage;
};

std::vector<FakeInterface> fakes;
const HDEVINFO FAKE_SET = reinterpret_cast<HDEVINFO>(static_cast<ULONG_PTR>(0x5E70));
std::size_t examined = 0;  // interface whose path was fetched last
long highestIndexAsked = -1;
int infoSetsOpen = 0;
int preparsedOpen = 0;
int sizeErrors = 0; // a structure handed over with a size field the system would refuse

HDEVINFO WINAPI fakeGetClassDevs(const GUID* guid, PCWSTR enumerator, HWND, DWORD flags)
{
    GUID hid;
    HidD_GetHidGuid(&hid);
    if (!guid || !IsEqualGUID(*guid, hid) || enumerator
        || flags != (DIGCF_PRESENT | DIGCF_DEVICEINTERFACE))
        return INVALID_HANDLE_VALUE;
    ++infoSetsOpen;
    return FAKE_SET;
}

BOOL WINAPI fakeEnumInterfaces(HDEVINFO set, PSP_DEVINFO_DATA, const GUID*, DWORD index,
                               PSP_DEVICE_INTERFACE_DATA data)
{
    if (set != FAKE_SET || data->cbSize != sizeof *data) {
        ++sizeErrors;
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    if (static_cast<long>(index) > highestIndexAsked)
        highestIndexAsked = static_cast<long>(index);
    if (index >= fakes.size()) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    data->Reserved = index;
    return TRUE;
}

BOOL WINAPI fakeGetInterfaceDetail(HDEVINFO, PSP_DEVICE_INTERFACE_DATA data,
                                   PSP_DEVICE_INTERFACE_DETAIL_DATA_W detail, DWORD size,
                                   PDWORD needed, PSP_DEVINFO_DATA)
{
    const std::wstring& path = fakes[data->Reserved].path;
    const DWORD required = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath)
                                              + (path.size() + 1) * sizeof(wchar_t));
    if (needed)
        *needed = required;
    if (!detail || size < required) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    if (detail->cbSize != sizeof *detail) {
        ++sizeErrors;
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    std::memcpy(detail->DevicePath, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
    examined = data->Reserved;
    return TRUE;
}

BOOL WINAPI fakeDestroyInfoList(HDEVINFO set)
{
    if (set != FAKE_SET)
        return FALSE;
    --infoSetsOpen;
    return TRUE;
}

BOOLEAN NTAPI fakeGetAttributes(HANDLE handle, PHIDD_ATTRIBUTES attributes)
{
    DWORD flags = 0;
    if (!GetHandleInformation(handle, &flags))
        return FALSE;
    if (attributes->Size != sizeof *attributes) {
        ++sizeErrors;
        return FALSE;
    }
    attributes->VendorID = fakes[examined].vendor;
    attributes->ProductID = fakes[examined].product;
    attributes->VersionNumber = 0x0100;
    return TRUE;
}

BOOLEAN NTAPI fakeGetPreparsedData(HANDLE, PHIDP_PREPARSED_DATA* preparsed)
{
    ++preparsedOpen;
    *preparsed = reinterpret_cast<PHIDP_PREPARSED_DATA>(examined + 1);
    return TRUE;
}

NTSTATUS NTAPI fakeGetCaps(PHIDP_PREPARSED_DATA preparsed, PHIDP_CAPS caps)
{
    const std::size_t index = reinterpret_cast<std::size_t>(preparsed) - 1;
    *caps = HIDP_CAPS{};
    caps->UsagePage = fakes[index].usagePage;
    caps->Usage = fakes[index].usage;
    caps->InputReportByteLength = 65;
    caps->OutputReportByteLength = 9;
    return HIDP_STATUS_SUCCESS;
}

BOOLEAN NTAPI fakeFreePreparsedData(PHIDP_PREPARSED_DATA)
{
    --preparsedOpen;
    return TRUE;
}

const HidFunctions fakeHidFunctions = {
    fakeGetClassDevs,  fakeEnumInterfaces,   fakeGetInterfaceDetail,
    fakeDestroyInfoList, HidD_GetHidGuid,    fakeGetAttributes,
    fakeGetPreparsedData, fakeGetCaps,       fakeFreePreparsedData,
};

class HidSearchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fakes.clear();
        examined = 0;
        highestIndexAsked = -1;
        infoSetsOpen = 0;
        preparsedOpen = 0;
        sizeErrors = 0;
        consolePath[0] = 0;
        hidFunctions = fakeHidFunctions;
    }

    void TearDown() override
    {
        hidFunctions = systemHidFunctions;
        for (const FakeInterface& fake : fakes)
            if (fake.path.rfind(L"\\\\.\\pipe\\", 0) != 0)
                DeleteFileW(fake.path.c_str());
    }

    // An interface backed by a temporary file holding `content`.
    void addInterface(const char* content, USHORT vendor, USHORT product, USHORT usagePage,
                      USHORT usage)
    {
        wchar_t directory[MAX_PATH];
        wchar_t path[MAX_PATH];
        ASSERT_NE(0u, GetTempPathW(MAX_PATH, directory));
        ASSERT_NE(0u, GetTempFileNameW(directory, L"hid", 0, path));
        const HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        DWORD written = 0;
        WriteFile(file, content, static_cast<DWORD>(std::strlen(content)), &written, nullptr);
        CloseHandle(file);
        fakes.push_back(FakeInterface{path, vendor, product, usagePage, usage});
    }

    // What the device's overlapped handle reads from its start.
    static std::string contentOf(HANDLE handle)
    {
        char buffer[64] = {};
        OVERLAPPED overlapped{};
        overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        DWORD got = 0;
        if (!ReadFile(handle, buffer, sizeof buffer - 1, nullptr, &overlapped)
            && GetLastError() != ERROR_IO_PENDING) {
            CloseHandle(overlapped.hEvent);
            return {};
        }
        if (WaitForSingleObject(overlapped.hEvent, WAIT_MS) != WAIT_OBJECT_0
            || !GetOverlappedResult(handle, &overlapped, &got, FALSE))
            got = 0;
        CloseHandle(overlapped.hEvent);
        return std::string(buffer, got);
    }

    void expectSearchLeftNothingBehind(const StationDevice& device)
    {
        EXPECT_EQ(0, infoSetsOpen) << "device info set not destroyed";
        EXPECT_EQ(0, preparsedOpen) << "preparsed data not freed";
        EXPECT_EQ(0, sizeErrors) << "a size field the system refuses";
        EXPECT_EQ(nullptr, device.queryHandle);
        EXPECT_EQ(nullptr, device.interfaceDetail);
        EXPECT_EQ(nullptr, device.deviceInfoSet);
    }
};

TEST_F(HidSearchTest, OpensOnlyTheVendorCollectionOfTheConsole)
{
    addInterface("other product", 0x1941, 0x8022, 0xFF00, 1);
    addInterface("other vendor", 0x1942, 0x8021, 0xFF00, 1);
    addInterface("console keyboard collection", 0x1941, 0x8021, 0x0001, 6);
    addInterface("console usage 2", 0x1941, 0x8021, 0xFF00, 2);
    addInterface("console reports", 0x1941, 0x8021, 0xFF00, 1);
    addInterface("second console", 0x1941, 0x8021, 0xFF00, 1);

    const unsigned long handlesBefore = processHandleCount();
    StationDevice device;
    ASSERT_TRUE(device.openStation());
    EXPECT_EQ(1, device.found);
    EXPECT_EQ("console reports", contentOf(device.ioHandle));
    EXPECT_EQ(4, highestIndexAsked) << "the search goes on after a match";
    EXPECT_EQ(0xFF00, device.capabilities.UsagePage);
    expectSearchLeftNothingBehind(device);
    // Only the console's handle stays open: every query handle was closed.
    EXPECT_EQ(handlesBefore + 1, processHandleCount());

    device.closeStation();
    EXPECT_EQ(INVALID_HANDLE_VALUE, device.ioHandle);
    EXPECT_EQ(0, device.found);
    EXPECT_EQ(handlesBefore, processHandleCount());
}

TEST_F(HidSearchTest, WithoutAMatchingInterfaceNothingStaysOpen)
{
    addInterface("other product", 0x1941, 0x8022, 0xFF00, 1);
    addInterface("console keyboard collection", 0x1941, 0x8021, 0x0001, 6);

    const unsigned long handlesBefore = processHandleCount();
    StationDevice device;
    EXPECT_FALSE(device.openStation());
    EXPECT_EQ(0, device.found);
    EXPECT_EQ(nullptr, device.ioHandle);
    EXPECT_EQ(2, highestIndexAsked);
    expectSearchLeftNothingBehind(device);
    EXPECT_EQ(handlesBefore, processHandleCount());
}

TEST_F(HidSearchTest, ANewSearchClosesTheHandleItReplaces)
{
    addInterface("console reports", 0x1941, 0x8021, 0xFF00, 1);
    StationDevice device;
    ASSERT_TRUE(device.openStation());
    const unsigned long handlesAfterFirst = processHandleCount();
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(device.openStation());
    EXPECT_EQ("console reports", contentOf(device.ioHandle));
    EXPECT_EQ(handlesAfterFirst, processHandleCount());
}

// An arrival comes for each collection of the console and for other
// devices; a search then that finds no console leaves the one that is open
// as it was.
TEST_F(HidSearchTest, ASearchThatFindsNothingKeepsTheOpenConsole)
{
    addInterface("console reports", 0x1941, 0x8021, 0xFF00, 1);
    StationDevice device;
    ASSERT_TRUE(device.openStation());
    const HANDLE working = device.ioHandle;
    const unsigned long handlesBefore = processHandleCount();

    // The vendor collection is not listed this time; another one is.
    fakes[0].usagePage = 0x0001;
    fakes[0].usage = 6;
    addInterface("other product", 0x1941, 0x8022, 0xFF00, 1);
    EXPECT_FALSE(device.openStation());
    EXPECT_EQ(working, device.ioHandle);
    EXPECT_EQ(1, device.found);
    EXPECT_EQ("console reports", contentOf(device.ioHandle));
    expectSearchLeftNothingBehind(device);
    EXPECT_EQ(handlesBefore, processHandleCount());
}

TEST_F(HidSearchTest, AConsoleThatCannotBeOpenedIsFoundButUnusable)
{
    // A pipe with one instance: the query handle takes it, so the second
    // open, for reading and writing, is refused.
    const std::wstring name = uniquePipeName(L"busy");
    const HANDLE pipe = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_MESSAGE, 1, 64,
                                         64, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, pipe);
    fakes.push_back(FakeInterface{name, 0x1941, 0x8021, 0xFF00, 1});

    StationDevice device;
    EXPECT_TRUE(device.openStation());
    EXPECT_EQ(1, device.found);
    EXPECT_EQ(INVALID_HANDLE_VALUE, device.ioHandle);
    expectSearchLeftNothingBehind(device);

    stationDevice = &device;
    deviceReady = 1;
    EXPECT_EQ(0, sendCommand(CMD_READ_CURRENT));
    deviceReady = 0;
    stationDevice = nullptr;
    CloseHandle(pipe);
}

// ---- No console at all ----------------------------------------------------

TEST(NoConsole, OpenStationReturnsFalseWithoutWaitingAndTheReaderStillStops)
{
    StationDevice device;
    hidFunctions = systemHidFunctions;

    // The HID search of this machine (none under Wine), then a console path
    // that nobody serves: neither waits for a console to come.
    consolePath[0] = 0;
    ULONGLONG started = GetTickCount64();
    const bool hidFound = device.openStation();
    const std::wstring name = uniquePipeName(L"nobody");
    std::wcsncpy(consolePath, name.c_str(), CONSOLE_PATH_SIZE - 1);
    EXPECT_FALSE(device.openStation());
    EXPECT_EQ(0, device.found);
    EXPECT_LT(GetTickCount64() - started, WAIT_MS) << "the search waited";
    if (hidFound)
        std::printf("note: a real console is attached to this machine\n");

    stationDevice = &device;
    EXPECT_EQ(1, sendCommand(CMD_STOP)) << "not ready: nothing written, success reported";
    deviceReady = 1;
    EXPECT_EQ(0, sendCommand(CMD_STOP));
    deviceReady = 0;

    MessageLog log;
    const HWND window = createRecorderWindow(&log);
    ASSERT_EQ(1, startReader(window));
    pumpFor(250);
    EXPECT_TRUE(stopReader(WAIT_MS));
    EXPECT_TRUE(log.messages.empty());
    stationDevice = nullptr;
    consolePath[0] = 0;
    DestroyWindow(window);
}

// ---- Command writes ---------------------------------------------------------

class SendCommandTest : public ::testing::Test {
protected:
    void open(DWORD inBufferSize)
    {
        const std::wstring name = uniquePipeName(L"commands");
        ASSERT_TRUE(openConsoleDouble(console, name, inBufferSize));
        std::wcsncpy(consolePath, name.c_str(), CONSOLE_PATH_SIZE - 1);
        ASSERT_TRUE(device.openStation());
        ASSERT_TRUE(awaitProgram(console, WAIT_MS));
        stationDevice = &device;
    }

    void TearDown() override
    {
        deviceReady = 0;
        stationDevice = nullptr;
        consolePath[0] = 0;
        device.closeStation();
        closeConsoleDouble(console);
    }

    ConsoleDouble console;
    StationDevice device;
};

TEST_F(SendCommandTest, WritesOneNineByteReportOnlyWhileTheDeviceIsReady)
{
    open(4096);
    CommandReport received{};
    deviceReady = 0;
    EXPECT_NE(0, sendCommand(CMD_READ_HISTORY));
    EXPECT_FALSE(receiveCommand(console, received, 300)) << "written while not ready";

    deviceReady = 1;
    EXPECT_EQ(1, sendCommand(CMD_READ_HISTORY));
    EXPECT_EQ(1, sendCommand(CMD_RECORD_NAK));
    DWORD size = 0;
    ASSERT_TRUE(receiveCommand(console, received, WAIT_MS, &size)) << "size " << size;
    EXPECT_EQ(CMD_READ_HISTORY, received);
    ASSERT_TRUE(receiveCommand(console, received, WAIT_MS, &size)) << "size " << size;
    EXPECT_EQ(CMD_RECORD_NAK, received);
}

TEST_F(SendCommandTest, GivesUpOnAConsoleThatTakesNoMoreAndSaysSo)
{
    // Room for a few commands only, and the double reads none of them.
    open(64);
    deviceReady = 1;
    int written = 0;
    bool failed = false;
    for (int i = 0; i < 200 && !failed; ++i) {
        const ULONGLONG started = GetTickCount64();
        if (sendCommand(CMD_STOP) == 1) {
            ++written;
            continue;
        }
        failed = true;
        // It gives up: a write waiting for ever would hang its caller.
        EXPECT_LT(GetTickCount64() - started, WAIT_MS);
    }
    ASSERT_TRUE(failed) << "the pipe never filled";
    // Exactly the writes reported as done arrive; the cancelled one does not.
    CommandReport received{};
    int arrived = 0;
    while (receiveCommand(console, received, 300)) {
        EXPECT_EQ(CMD_STOP, received);
        ++arrived;
    }
    EXPECT_EQ(written, arrived);
}

TEST_F(SendCommandTest, NeedsAUsableHandle)
{
    open(4096);
    deviceReady = 1;
    device.closeStation();
    EXPECT_EQ(0, sendCommand(CMD_STOP));
    stationDevice = nullptr;
    EXPECT_EQ(0, sendCommand(CMD_STOP));
}

} // namespace
