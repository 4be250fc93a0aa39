#include <gtest/gtest.h>

#include <string>

#include "link/console_option.h"

namespace {

std::wstring parsed(const wchar_t* commandLine, int expected = 1)
{
    EXPECT_EQ(expected, parseConsoleOption(commandLine)) << "for the command line given";
    return consolePath;
}

TEST(ConsoleOption, TakesThePathFromAnywhereOnTheLine)
{
    EXPECT_EQ(L"\\\\.\\pipe\\aerovane-console", parsed(L"--console=\\\\.\\pipe\\aerovane-console"));
    EXPECT_EQ(L"\\\\.\\pipe\\a", parsed(L"aerovane.exe  --verbose\t--console=\\\\.\\pipe\\a other"));
    // The last one given counts.
    EXPECT_EQ(L"\\\\.\\pipe\\second", parsed(L"--console=\\\\.\\pipe\\first --console=\\\\.\\pipe\\second"));
}

TEST(ConsoleOption, QuotesGroupAndBackslashesStayUnlessTheyEscapeAQuote)
{
    EXPECT_EQ(L"\\\\.\\pipe\\with space", parsed(L"\"--console=\\\\.\\pipe\\with space\""));
    EXPECT_EQ(L"\\\\.\\pipe\\with space", parsed(L"--console=\"\\\\.\\pipe\\with space\""));
    EXPECT_EQ(L"C:\\dir\\", parsed(L"--console=\"C:\\dir\\\\\""));
    EXPECT_EQ(L"a\"b", parsed(L"--console=a\\\"b"));
}

TEST(ConsoleOption, WithoutAUsablePathTheHidSearchIsUsed)
{
    parseConsoleOption(L"--console=\\\\.\\pipe\\x");
    EXPECT_EQ(L"", parsed(L"", 0));
    EXPECT_EQ(L"", parsed(nullptr, 0));
    EXPECT_EQ(L"", parsed(L"--console=", 0));
    EXPECT_EQ(L"", parsed(L"--console \\\\.\\pipe\\x", 0));
    EXPECT_EQ(L"", parsed(L"-console=\\\\.\\pipe\\x --consoles=y", 0));
    // Too long to keep whole: refused, not cut.
    const std::wstring longest(CONSOLE_PATH_SIZE - 1, L'p');
    EXPECT_EQ(longest, parsed((L"--console=" + longest).c_str()));
    EXPECT_EQ(L"", parsed((L"--console=" + longest + L"q").c_str(), 0));
    EXPECT_EQ(L"", parsed((L"--console=" + std::wstring(5000, L'p')).c_str(), 0));
}

} // namespace
