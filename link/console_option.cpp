#include "link/console_option.h"

#include <cwchar>

wchar_t consolePath[CONSOLE_PATH_SIZE] = {};

namespace {

constexpr wchar_t OPTION[] = L"--console=";
constexpr std::size_t OPTION_LENGTH = sizeof OPTION / sizeof OPTION[0] - 1;

bool isBlank(wchar_t c)
{
    return c == L' ' || c == L'\t';
}

// Copies the next argument into `out` (cut to `size` - 1 characters; `cut`
// tells) and returns the position after it. Backslashes are literal unless
// they precede a double quote: 2n of them give n and the quote toggles
// grouping, 2n + 1 give n and a literal quote.
const wchar_t* nextArgument(const wchar_t* p, wchar_t* out, std::size_t size, bool& cut)
{
    std::size_t length = 0;
    bool quoted = false;
    cut = false;
    auto put = [&](wchar_t c) {
        if (length + 1 < size)
            out[length++] = c;
        else
            cut = true;
    };
    while (*p != 0 && (quoted || !isBlank(*p))) {
        if (*p == L'\\') {
            std::size_t slashes = 0;
            while (*p == L'\\') {
                ++slashes;
                ++p;
            }
            if (*p == L'"') {
                for (std::size_t i = 0; i < slashes / 2; ++i)
                    put(L'\\');
                if (slashes % 2 == 1) {
                    put(L'"');
                    ++p;
                }
            } else {
                for (std::size_t i = 0; i < slashes; ++i)
                    put(L'\\');
            }
        } else if (*p == L'"') {
            quoted = !quoted;
            ++p;
        } else {
            put(*p++);
        }
    }
    out[length] = 0;
    return p;
}

} // namespace

int parseConsoleOption(const wchar_t* commandLine)
{
    consolePath[0] = 0;
    if (!commandLine)
        return 0;
    // Room for the option name and a path that fills consolePath, plus one
    // character more so that a path too long to keep is noticed.
    wchar_t argument[OPTION_LENGTH + CONSOLE_PATH_SIZE + 1];
    int stored = 0;
    const wchar_t* p = commandLine;
    for (;;) {
        while (isBlank(*p))
            ++p;
        if (*p == 0)
            break;
        bool cut = false;
        p = nextArgument(p, argument, sizeof argument / sizeof argument[0], cut);
        if (std::wcsncmp(argument, OPTION, OPTION_LENGTH) != 0)
            continue;
        const wchar_t* path = argument + OPTION_LENGTH;
        const std::size_t length = std::wcslen(path);
        if (cut || length == 0 || length >= CONSOLE_PATH_SIZE) {
            consolePath[0] = 0;
            stored = 0;
            continue;
        }
        std::wmemcpy(consolePath, path, length + 1);
        stored = 1;
    }
    return stored;
}
