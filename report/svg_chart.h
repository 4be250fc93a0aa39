// One chart of the report as inline SVG inside a <figure>: a time axis, a
// value axis with round ticks, and series drawn as lines (broken where a
// bucket is empty), min-max bands, bars, or dots against a 0-360° compass
// axis on the right. The drawing scales with its viewBox, so the same
// chart fits a phone and a desktop.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class SeriesKind {
    line,  // (x, y); NaN y breaks the line
    band,  // (x, y low, y2 high)
    bars,  // from x to x2, height y
    dots,  // (x, y) with y a bearing in degrees on the compass axis
};

struct SeriesPoint {
    double x; // minutes
    double x2;
    double y;
    double y2;
};

struct ChartSeries {
    SeriesKind kind;
    const char* style; // CSS class giving the colour
    std::string name;  // in the legend; empty: left out of it
    std::vector<SeriesPoint> points;
};

struct TimeTick {
    std::int64_t minute;
    std::string label;
};

struct ChartSpec {
    std::string caption; // the figure's caption: "Humidity"
    std::string title;   // the svg's title and aria-label: "Humidity, last 24 hours"
    std::string unit;  // beside the title
    double xStart;
    double xEnd;
    std::vector<TimeTick> ticks;
    bool fromZero;    // the value axis includes 0
    bool percentAxis; // the value axis is 0..100
    std::vector<ChartSeries> series;
};

// Round ticks for values from low to high: a step of 1, 2 or 5 times
// a power of ten giving at most about five intervals, and the digits a
// label needs after the point.
struct ValueAxis {
    double low;
    double high;
    double step;
    int decimals;
};

ValueAxis valueAxis(double low, double high);

// Whether any series holds a value to draw.
bool chartHasData(const ChartSpec& chart);

// The <figure>: caption with title, unit and legend, then the svg, or a
// "No data" text in place of the drawing when there is nothing to draw.
std::string chartFigure(const ChartSpec& chart);
