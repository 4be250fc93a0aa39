#include "app/repeated_fault.h"

#include <limits>

bool RepeatedFault::happened()
{
    if (count == std::numeric_limits<unsigned long>::max())
        return false;
    if (++count != nextTold)
        return false;
    // Past the largest power of ten the count can reach, nothing more is
    // told until the end.
    nextTold = nextTold > std::numeric_limits<unsigned long>::max() / 10 ? 0 : nextTold * 10;
    return true;
}

unsigned long RepeatedFault::ended()
{
    const unsigned long was = count;
    count = 0;
    nextTold = 1;
    return was;
}

std::string RepeatedFault::inARow() const
{
    return count <= 1 ? std::string() : " (" + timesText(count) + " in a row)";
}

std::string timesText(unsigned long times)
{
    if (times == 1)
        return "once";
    if (times == 2)
        return "twice";
    return std::to_string(times) + " times";
}
