#include "archive/repeated_hour.h"

#include <cstring>
#include <ctime>

namespace {

constexpr std::int64_t DAY_SECONDS = 86400;

std::int64_t floorMinute(std::int64_t seconds)
{
    return floorDivide(seconds, 60);
}

std::int64_t ceilMinute(std::int64_t seconds)
{
    return -floorDivide(-seconds, 60);
}

} // namespace

long machineUtcOffset(std::int64_t utcSecond)
{
    const std::time_t t = static_cast<std::time_t>(utcSecond);
    std::tm local{};
    if (!localtime_r(&t, &local))
        return 0;
    return local.tm_gmtoff;
}

int repeatedSpanAt(std::int64_t localMinute, UtcOffsetAt offsetAt, RepeatedSpan& span)
{
    // The local time read as UTC is within a day of the instants it names.
    const std::int64_t local = localMinute * 60;
    std::int64_t before = local - DAY_SECONDS;
    std::int64_t after = local + DAY_SECONDS;
    const long earlier = offsetAt(before);
    const long later = offsetAt(after);
    if (later >= earlier)
        return 0;
    // The first second of the smaller offset.
    while (after - before > 1) {
        const std::int64_t middle = before + (after - before) / 2;
        if (offsetAt(middle) == earlier)
            before = middle;
        else
            after = middle;
    }
    span.first = floorMinute(after + later);
    span.end = ceilMinute(after + earlier);
    return localMinute >= span.first && localMinute < span.end;
}

std::int64_t utcSecondOf(std::int64_t localMinute, int fold, UtcOffsetAt offsetAt)
{
    const std::int64_t local = localMinute * 60;
    const long earlier = offsetAt(local - DAY_SECONDS);
    const long later = offsetAt(local + DAY_SECONDS);
    // Each offset in force around it names an instant; it counts when that
    // instant has that offset.
    const std::int64_t underEarlier = local - earlier;
    const std::int64_t underLater = local - later;
    const bool earlierNames = offsetAt(underEarlier) == earlier;
    const bool laterNames = offsetAt(underLater) == later;
    if (earlierNames && laterNames && underEarlier != underLater)
        return (fold == 1) == (underEarlier > underLater) ? underEarlier : underLater;
    if (laterNames && !earlierNames)
        return underLater;
    return underEarlier;
}

RowPass FoldTracker::next(std::int64_t minute)
{
    RowPass pass{0, false, {0, 0}};
    pass.repeated = repeatedSpanAt(minute, offsetAt, pass.span) == 1;
    if (pass.repeated && any) {
        const RepeatedSpan& s = pass.span;
        const bool lastInSpan = lastMinute >= s.first && lastMinute < s.end;
        // Set back by the offset's change: never further than the span.
        const bool wentBack = minute < lastMinute && lastMinute >= s.first && lastMinute - minute <= s.end - s.first;
        if (wentBack)
            pass.fold = 1;
        else if (lastInSpan && minute >= lastMinute)
            pass.fold = lastFold;
    }
    follow(minute, pass.fold);
    return pass;
}

void FoldTracker::follow(std::int64_t minute, int fold)
{
    any = true;
    lastMinute = minute;
    lastFold = fold;
}

void sortTimeText(const char* time, int fold, const RepeatedSpan& span, char out[SORT_TIME_SIZE])
{
    if (fold == 0) {
        std::memcpy(out, time, ISO_TIME_SIZE);
        out[ISO_TIME_SIZE - 1] = '\0';
        return;
    }
    isoTimeText(civilFromMinutes(span.end - 1), out);
    out[ISO_TIME_SIZE - 1] = '~';
    std::memcpy(out + ISO_TIME_SIZE, time, ISO_TIME_SIZE);
    out[SORT_TIME_SIZE - 1] = '\0';
}
