#include "settings/config_values.h"

bool readSwitch(std::string_view value, bool& out)
{
    if (value == "on" || value == "yes" || value == "true" || value == "1") {
        out = true;
        return true;
    }
    if (value == "off" || value == "no" || value == "false" || value == "0") {
        out = false;
        return true;
    }
    return false;
}

bool holdsControlCharacter(std::string_view value)
{
    for (char c : value)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return true;
    return false;
}

bool readUrl(std::string_view value, std::string& out)
{
    if (value.rfind("https://", 0) != 0 && value.rfind("http://", 0) != 0)
        return false;
    if (value.size() > 256 || holdsControlCharacter(value) || value.find(' ') != std::string_view::npos)
        return false;
    out = std::string(value);
    return true;
}

bool readText(std::string_view value, std::string& out)
{
    if (value.empty() || value.size() > 256 || holdsControlCharacter(value))
        return false;
    out = std::string(value);
    return true;
}

bool readNumber(std::string_view value, int low, int high, int& out)
{
    if (value.empty() || value.size() > 6)
        return false;
    int number = 0;
    for (char c : value) {
        if (c < '0' || c > '9')
            return false;
        number = number * 10 + (c - '0');
    }
    if (number < low || number > high)
        return false;
    out = number;
    return true;
}
