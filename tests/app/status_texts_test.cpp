#include "app/status_texts.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring loggerText(const wchar_t* level)
{
    wchar_t out[STATUS_TEXT_SIZE];
    makeLoggerText(level, out);
    return out;
}

std::wstring progressText(const wchar_t* label, int percent)
{
    wchar_t out[STATUS_TEXT_SIZE];
    makeProgressText(label, percent, out);
    return out;
}

TEST(LoggerText, IsTheLevelWithAPercentSign)
{
    EXPECT_EQ(loggerText(L"45"), L"45%");
    EXPECT_EQ(loggerText(L"--"), L"--%");
    EXPECT_EQ(loggerText(L""), L"%");
    EXPECT_EQ(loggerText(nullptr), L"%");
    EXPECT_STREQ(INITIAL_LOGGER_TEXT, L"Logger --%");
}

TEST(LoggerText, TakesAtMostThirtyTwoCharactersOfTheLevel)
{
    const std::wstring level(63, L'7');
    const std::wstring text = loggerText(level.c_str());
    EXPECT_EQ(text, std::wstring(32, L'7') + L"%");
}

TEST(ProgressPercent, IsTruncatedNotRounded)
{
    EXPECT_EQ(progressPercent(3, 7), 42); // 42.86
    EXPECT_EQ(progressPercent(6, 7), 85); // 85.71
    EXPECT_EQ(progressPercent(0, 7), 0);
    EXPECT_EQ(progressPercent(7, 7), 100);
}

TEST(ProgressPercent, IsExactWhereAFloatingQuotientFallsShort)
{
    // 29.0 / 100 * 100 is 28.999999999999996 in doubles.
    EXPECT_EQ(progressPercent(29, 100), 29);
    EXPECT_EQ(progressPercent(57, 100), 57);
    EXPECT_EQ(progressPercent(65535, 65535), 100);
    EXPECT_EQ(progressPercent(1, 65535), 0);
}

TEST(ProgressPercent, WithoutATotalThereIsNoPercentage)
{
    EXPECT_EQ(progressPercent(3, 0), -1);
    EXPECT_EQ(progressPercent(0, 0), -1);
}

TEST(ProgressText, ReadsLabelPercentAndDots)
{
    EXPECT_EQ(progressText(L"Exporting", 42), L"Exporting 42% ....");
    EXPECT_EQ(progressText(L"Exportation", 100), L"Exportation 100% ....");
    EXPECT_EQ(progressText(L"", 5), L" 5% ....");
}

TEST(ProgressText, ALongLabelIsCutToTheTextSize)
{
    const std::wstring label(259, L'x');
    const std::wstring text = progressText(label.c_str(), 42);
    EXPECT_EQ(text, std::wstring(63, L'x'));
}

} // namespace
