#include "report/report_page.h"

#include "report/current_conditions.h"
#include "report/html_text.h"
#include "report/page_style.h"
#include "report/range_charts.h"

namespace {

// No script and no network: the page is read as a file or from any static
// server, and a console text that slipped through could run nothing.
constexpr const char* CONTENT_POLICY =
    "default-src 'none'; style-src 'unsafe-inline'; img-src data:; base-uri 'none'; form-action 'none'";

void appendHead(std::string& out)
{
    out += "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
           "<meta http-equiv=\"Content-Security-Policy\" content=\"";
    out += CONTENT_POLICY;
    out += "\"><title>Aerovane</title><style>";
    out += REPORT_STYLE;
    out += "</style></head><body>";
}

void appendNavigation(std::string& out)
{
    out += "<nav aria-label=\"Sections\"><a href=\"#now\">Now</a><a href=\"#today\">Today</a>";
    for (const RangeLayout& layout : RANGE_LAYOUTS) {
        out += "<a href=\"#";
        out += layout.id;
        out += "\">";
        out += layout.name;
        out += "</a>";
    }
    out += "</nav>";
}

void appendRange(std::string& out, const RangeBuckets& buckets, const UnitSettings& units)
{
    const RangeLayout& layout = RANGE_LAYOUTS[static_cast<int>(buckets.range)];
    out += "<section id=\"";
    out += layout.id;
    out += "\"><h2>";
    out += layout.title;
    out += "</h2><div class=\"charts\">";
    for (const ChartSpec& chart : rangeCharts(buckets, units))
        out += chartFigure(chart);
    out += "</div></section>";
}

} // namespace

ReportBuilder::ReportBuilder(std::int64_t newestMinute)
    : endMinute(newestMinute), ranges(REPORT_RANGE_COUNT)
{
    initTodayExtremes(today, newestMinute);
    for (int r = 0; r < REPORT_RANGE_COUNT; ++r)
        initRangeBuckets(ranges[static_cast<std::size_t>(r)], static_cast<ReportRange>(r), newestMinute);
}

void ReportBuilder::add(const ReportSample& sample)
{
    if (sample.minute > endMinute)
        return;
    // Older samples still set the rain total the next one is compared with.
    const double increase = rainIncrease(rain, sample.minute, usableValue(sample, StationFields::dailyRain));
    for (RangeBuckets& buckets : ranges)
        addToRange(buckets, sample, increase);
    addToToday(today, sample, increase);
}

std::string ReportBuilder::page(const StationFields* latest, const UnitSettings& units) const
{
    std::string out;
    out.reserve(256 * 1024);
    appendHead(out);
    out += "<header><h1>Aerovane</h1>";
    if (latest == nullptr) {
        out += "<p class=\"empty\">No observations yet.</p></header>";
        out += "<footer>The station's archive holds no observations.</footer></body></html>\n";
        return out;
    }
    out += "<p class=\"updated\">Updated " + dateTimeText(endMinute) + "</p></header>";
    appendNavigation(out);
    out += "<main><section id=\"now\"><h2>Current conditions</h2>";
    out += currentConditionsHtml(*latest, units);
    out += "</section><section id=\"today\"><h2>Today</h2>";
    out += todayExtremesHtml(today, units);
    out += "</section>";
    for (const RangeBuckets& buckets : ranges)
        appendRange(out, buckets, units);
    out += "</main><footer>Charts show the mean of each period; the shaded band spans its lowest and highest "
           "readings.</footer></body></html>\n";
    return out;
}
