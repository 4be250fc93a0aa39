#include "app/status_texts.h"

#include <cwchar>

const wchar_t INITIAL_LOGGER_TEXT[] = L"Logger --%";

void makeLoggerText(const wchar_t* level, wchar_t out[STATUS_TEXT_SIZE])
{
    std::size_t length = 0;
    if (level)
        while (length < LOGGER_LEVEL_MAX && level[length] != L'\0') {
            out[length] = level[length];
            ++length;
        }
    out[length] = L'%';
    out[length + 1] = L'\0';
}

int progressPercent(std::uint32_t counted, std::uint32_t total)
{
    if (total == 0)
        return -1;
    const std::uint64_t percent = static_cast<std::uint64_t>(counted) * 100u / total;
    // More records than announced cannot happen with a sound console; keep
    // the number printable all the same.
    return percent > 1000000u ? 1000000 : static_cast<int>(percent);
}

void makeProgressText(const wchar_t* label, int percent, wchar_t out[STATUS_TEXT_SIZE])
{
    // Room for the longest label a language table holds, so the format
    // never fails; the result is then cut to the status text's size.
    wchar_t whole[300];
    const int written = std::swprintf(whole, sizeof whole / sizeof whole[0], L"%.259ls %d%% ....",
                                      label ? label : L"", percent);
    if (written < 0)
        whole[0] = L'\0';
    std::wcsncpy(out, whole, STATUS_TEXT_SIZE - 1);
    out[STATUS_TEXT_SIZE - 1] = L'\0';
}
