// A fault that comes back again and again (a malformed record at every
// download, a report folder that cannot be written, a full disk refusing
// every live observation) is told at its 1st, 10th, 100th, 1000th... time
// and once when it ends, with how many times it happened: the log shows
// it without being filled by it.
#pragma once

#include <string>

class RepeatedFault {
public:
    // It happened once more: true when this time is to be told.
    bool happened();

    // It did not happen this time: how many times in a row it had happened
    // (to be told, once), or 0 when it was not happening.
    unsigned long ended();

    // The times in a row so far.
    unsigned long times() const { return count; }

    // "" the first time, else " (10 times in a row)": to follow the
    // fault's text.
    std::string inARow() const;

private:
    unsigned long count = 0;
    unsigned long nextTold = 1;
};

// "once", "twice", "37 times".
std::string timesText(unsigned long times);
