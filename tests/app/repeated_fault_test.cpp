// A fault that repeats is told at its 1st, 10th, 100th... time and once
// when it ends, with how many times it happened.
#include "app/repeated_fault.h"

#include <vector>

#include <gtest/gtest.h>

namespace {

// The times among the first `count` that are told.
std::vector<unsigned long> toldAmong(RepeatedFault& fault, unsigned long count)
{
    std::vector<unsigned long> told;
    for (unsigned long time = 1; time <= count; ++time)
        if (fault.happened())
            told.push_back(time);
    return told;
}

TEST(RepeatedFault, IsToldAtTheFirstTenthHundredthAndThousandthTime)
{
    RepeatedFault fault;
    EXPECT_EQ(toldAmong(fault, 12000), (std::vector<unsigned long>{1, 10, 100, 1000, 10000}));
    EXPECT_EQ(fault.times(), 12000u);
}

TEST(RepeatedFault, ItsEndGivesTheCountOnceAndAFreshStart)
{
    RepeatedFault fault;
    EXPECT_EQ(fault.ended(), 0u); // nothing was happening: nothing to tell
    toldAmong(fault, 37);
    EXPECT_EQ(fault.ended(), 37u);
    EXPECT_EQ(fault.ended(), 0u);
    // Coming back, it is a new fault: told at once again.
    EXPECT_EQ(toldAmong(fault, 10), (std::vector<unsigned long>{1, 10}));
}

TEST(RepeatedFault, SaysHowManyTimesInARowAfterTheFirst)
{
    RepeatedFault fault;
    fault.happened();
    EXPECT_EQ(fault.inARow(), "");
    toldAmong(fault, 9);
    EXPECT_EQ(fault.inARow(), " (10 times in a row)");
    EXPECT_EQ(timesText(1), "once");
    EXPECT_EQ(timesText(2), "twice");
    EXPECT_EQ(timesText(12), "12 times");
}

} // namespace
