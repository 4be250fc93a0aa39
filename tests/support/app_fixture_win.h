// The whole program's window in the test process: the real main window,
// header bar, pages and status bar, with the registry, the temporary
// directory and the console all private to the test.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/console_double_win.h"

using Bytes = std::vector<std::uint8_t>;

class AppTest : public ::testing::Test {
public:
    // A control's text; its dialog is one of the program's globals.
    static std::wstring textOf(HWND dialog, int id);
    // Whether a child is shown, whatever its parent is.
    static bool shown(HWND window);

protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the main window as the program does at start-up. With a
    // console the test's pipe console is served and the window's connection
    // commands (CMD_STOP, CMD_READ_CURRENT) are read off it; without, the
    // console path names a pipe nobody serves, so the console is absent.
    // The window stays hidden unless asked: under Wine without a window
    // manager, destroying a shown window waits two seconds for X.
    void start(bool withConsole = false, int showCommand = SW_HIDE);
    // Closes the main window (its shutdown runs) and takes the quit message
    // it posts off the queue. Returns that message's wParam, or -1 when
    // none was posted.
    int close();

    // The registry below the private key, as the store keeps it.
    bool readRaw(const wchar_t* name, Bytes* bytes);
    void writeRaw(const wchar_t* name, const Bytes& bytes);
    static Bytes textValue(const wchar_t* text, std::size_t size);

    // A folder (or file) in the private temporary directory.
    std::wstring tempPath(const wchar_t* name) const { return tempFolder + L"\\" + name; }

    // The user picks `index` in a combo box: selection, then notification.
    static void choose(HWND dialog, int id, int index, WORD notification = CBN_SELCHANGE);
    static void click(HWND dialog, int id, WORD notification = BN_CLICKED);

    ConsoleDouble console;
    std::wstring pipeName;

private:
    void removeTempFolder();

    HKEY redirect = nullptr;
    std::wstring privateKey;
    std::wstring tempFolder;
    std::wstring savedTmp;
    std::wstring savedTemp;
};
