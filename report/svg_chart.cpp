#include "report/svg_chart.h"

#include <algorithm>
#include <cmath>

#include "report/html_text.h"

namespace {

// The drawing's own units; on a phone one unit is about one CSS pixel.
constexpr double VIEW_WIDTH = 360;
constexpr double VIEW_HEIGHT = 180;
constexpr double PLOT_LEFT = 38;
constexpr double PLOT_RIGHT = 334; // room for the compass labels
constexpr double PLOT_TOP = 8;
constexpr double PLOT_BOTTOM = 158;
constexpr double LABEL_GAP = 4;
constexpr double X_LABEL_BASELINE = 174;
// x labels nearer the plot's edge than this would be cut off.
constexpr double X_LABEL_MARGIN = 14;

constexpr const char* COMPASS_LABELS[5] = {"N", "E", "S", "W", "N"};

struct Scale {
    double xStart;
    double xSpan;
    double yLow;
    double ySpan;

    double x(double minute) const
    {
        const double at = PLOT_LEFT + (minute - xStart) / xSpan * (PLOT_RIGHT - PLOT_LEFT);
        return std::clamp(at, PLOT_LEFT, PLOT_RIGHT);
    }
    double y(double value) const
    {
        const double at = PLOT_BOTTOM - (value - yLow) / ySpan * (PLOT_BOTTOM - PLOT_TOP);
        return std::clamp(at, PLOT_TOP, PLOT_BOTTOM);
    }
};

double compassY(double degrees)
{
    return PLOT_BOTTOM - degrees / 360.0 * (PLOT_BOTTOM - PLOT_TOP);
}

bool hasCompass(const ChartSpec& chart)
{
    for (const ChartSeries& series : chart.series)
        if (series.kind == SeriesKind::dots)
            return true;
    return false;
}

void appendPoint(std::string& out, double x, double y)
{
    appendCoordinate(out, x);
    out += ' ';
    appendCoordinate(out, y);
}

void appendText(std::string& out, const char* cssClass, double x, double y, const std::string& text)
{
    out += "<text class=\"";
    out += cssClass;
    out += "\" x=\"";
    appendCoordinate(out, x);
    out += "\" y=\"";
    appendCoordinate(out, y);
    out += "\">";
    appendEscaped(out, text);
    out += "</text>";
}

bool isValue(double value)
{
    return std::isfinite(value);
}

// The data range of everything drawn against the value axis.
bool valueRange(const ChartSpec& chart, double& low, double& high)
{
    bool any = false;
    for (const ChartSeries& series : chart.series) {
        if (series.kind == SeriesKind::dots)
            continue;
        for (const SeriesPoint& point : series.points) {
            for (double value : {point.y, series.kind == SeriesKind::band ? point.y2 : point.y}) {
                if (!isValue(value))
                    continue;
                low = any ? std::min(low, value) : value;
                high = any ? std::max(high, value) : value;
                any = true;
            }
        }
    }
    return any;
}

std::string linePath(const ChartSeries& series, const Scale& scale)
{
    std::string d;
    const std::vector<SeriesPoint>& points = series.points;
    bool drawing = false;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (!isValue(points[i].y)) {
            drawing = false;
            continue;
        }
        d += drawing ? " " : "M";
        appendPoint(d, scale.x(points[i].x), scale.y(points[i].y));
        const bool nextDrawn = i + 1 < points.size() && isValue(points[i + 1].y);
        // A lone bucket between gaps still shows, as a dot of the line's width.
        if (!drawing && !nextDrawn)
            d += "h0";
        drawing = true;
    }
    return d;
}

std::string bandPath(const ChartSeries& series, const Scale& scale)
{
    std::string d;
    const std::vector<SeriesPoint>& points = series.points;
    std::size_t i = 0;
    while (i < points.size()) {
        if (!isValue(points[i].y) || !isValue(points[i].y2)) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < points.size() && isValue(points[end].y) && isValue(points[end].y2))
            ++end;
        if (end - i >= 2) {
            d += 'M';
            for (std::size_t k = i; k < end; ++k) {
                if (k > i)
                    d += ' ';
                appendPoint(d, scale.x(points[k].x), scale.y(points[k].y2));
            }
            for (std::size_t k = end; k-- > i;) {
                d += ' ';
                appendPoint(d, scale.x(points[k].x), scale.y(points[k].y));
            }
            d += 'Z';
        }
        i = end;
    }
    return d;
}

std::string barsPath(const ChartSeries& series, const Scale& scale)
{
    std::string d;
    const double base = scale.y(std::max(0.0, scale.yLow));
    for (const SeriesPoint& point : series.points) {
        if (!isValue(point.y))
            continue;
        double left = scale.x(point.x);
        double right = scale.x(point.x2);
        if (right - left > 3) {
            left += 0.5;
            right -= 0.5;
        }
        d += 'M';
        appendPoint(d, left, base);
        // A measured zero still shows, as a sliver on the axis.
        d += 'V';
        appendCoordinate(d, std::min(scale.y(point.y), base - 1));
        d += 'H';
        appendCoordinate(d, right);
        d += 'V';
        appendCoordinate(d, base);
        d += 'Z';
    }
    return d;
}

std::string dotsPath(const ChartSeries& series, const Scale& scale)
{
    std::string d;
    for (const SeriesPoint& point : series.points) {
        if (!isValue(point.y))
            continue;
        d += 'M';
        appendPoint(d, scale.x(point.x), compassY(std::clamp(point.y, 0.0, 360.0)));
        d += "h0";
    }
    return d;
}

void appendSeries(std::string& out, const ChartSeries& series, const Scale& scale)
{
    std::string d;
    const char* shape = "";
    switch (series.kind) {
    case SeriesKind::line:
        d = linePath(series, scale);
        shape = "line";
        break;
    case SeriesKind::band:
        d = bandPath(series, scale);
        shape = "band";
        break;
    case SeriesKind::bars:
        d = barsPath(series, scale);
        shape = "bars";
        break;
    case SeriesKind::dots:
        d = dotsPath(series, scale);
        shape = "dots";
        break;
    }
    if (d.empty())
        return;
    out += "<path class=\"";
    out += shape;
    out += ' ';
    out += series.style;
    out += "\" d=\"";
    out += d;
    out += "\"/>";
}

void appendGrid(std::string& out, const ChartSpec& chart, const ValueAxis& axis, const Scale& scale)
{
    std::string d;
    const int steps = static_cast<int>(std::lround((axis.high - axis.low) / axis.step));
    for (int i = 0; i <= steps; ++i) {
        const double y = scale.y(axis.low + i * axis.step);
        d += 'M';
        appendPoint(d, PLOT_LEFT, y);
        d += 'H';
        appendCoordinate(d, PLOT_RIGHT);
    }
    for (const TimeTick& tick : chart.ticks) {
        if (tick.minute < chart.xStart || tick.minute > chart.xEnd)
            continue;
        d += 'M';
        appendPoint(d, scale.x(static_cast<double>(tick.minute)), PLOT_TOP);
        d += 'V';
        appendCoordinate(d, PLOT_BOTTOM);
    }
    out += "<path class=\"grid\" d=\"" + d + "\"/>";

    for (int i = 0; i <= steps; ++i) {
        const double value = axis.low + i * axis.step;
        appendText(out, "yl", PLOT_LEFT - LABEL_GAP, scale.y(value) + 4, fixedText(value, axis.decimals));
    }
    for (const TimeTick& tick : chart.ticks) {
        const double x = scale.x(static_cast<double>(tick.minute));
        if (tick.label.empty() || tick.minute < chart.xStart || tick.minute > chart.xEnd
            || x < PLOT_LEFT + X_LABEL_MARGIN || x > PLOT_RIGHT - X_LABEL_MARGIN)
            continue;
        appendText(out, "xl", x, X_LABEL_BASELINE, tick.label);
    }
    if (hasCompass(chart)) {
        for (int i = 0; i < 5; ++i)
            appendText(out, "cl", PLOT_RIGHT + LABEL_GAP, compassY(i * 90.0) + 4, COMPASS_LABELS[i]);
    }
}

void appendLegend(std::string& out, const ChartSpec& chart)
{
    out += "<span class=\"legend\">";
    for (const ChartSeries& series : chart.series) {
        if (series.name.empty())
            continue;
        out += "<span class=\"key ";
        out += series.style;
        out += "\">";
        appendEscaped(out, series.name);
        out += "</span>";
    }
    out += "</span>";
}

} // namespace

ValueAxis valueAxis(double low, double high)
{
    if (!isValue(low) || !isValue(high)) {
        low = 0;
        high = 1;
    }
    if (high < low)
        std::swap(low, high);
    double span = high - low;
    if (span < 1e-9) {
        // A flat line sits in the middle of a small range.
        const double pad = std::max(0.5, std::fabs(low) * 0.01);
        low -= pad;
        high += pad;
        span = high - low;
    }
    const double rough = span / 5;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    // No 2.5: its labels need one more digit than the axis has room for.
    double step = power * 10;
    for (double factor : {1.0, 2.0, 5.0, 10.0}) {
        if (power * factor >= rough * (1 - 1e-9)) {
            step = power * factor;
            break;
        }
    }
    ValueAxis axis;
    axis.step = step;
    axis.low = std::floor(low / step + 1e-9) * step;
    axis.high = std::ceil(high / step - 1e-9) * step;
    if (axis.high <= axis.low)
        axis.high = axis.low + step;
    const int digits = -static_cast<int>(std::floor(std::log10(step) + 1e-9));
    axis.decimals = std::clamp(digits, 0, 3);
    return axis;
}

bool chartHasData(const ChartSpec& chart)
{
    for (const ChartSeries& series : chart.series)
        for (const SeriesPoint& point : series.points)
            if (isValue(point.y))
                return true;
    return false;
}

std::string chartFigure(const ChartSpec& chart)
{
    std::string out = "<figure class=\"chart\"><figcaption><span class=\"ctitle\">";
    appendEscaped(out, chart.caption);
    if (!chart.unit.empty()) {
        out += " <span class=\"unit\">(";
        appendEscaped(out, chart.unit);
        out += ")</span>";
    }
    out += "</span>";
    appendLegend(out, chart);
    out += "</figcaption>";

    if (!chartHasData(chart)) {
        out += "<p class=\"nodata\">No data</p></figure>";
        return out;
    }

    double low = 0;
    double high = 0;
    valueRange(chart, low, high);
    if (chart.percentAxis) {
        low = 0;
        high = 100;
    } else if (chart.fromZero) {
        low = std::min(low, 0.0);
        high = std::max(high, 0.0);
        // A dry day is an axis from 0 up, not one centred on 0.
        if (high <= low)
            high = low + 1;
    }
    const ValueAxis axis = valueAxis(low, high);
    Scale scale;
    scale.xStart = chart.xStart;
    scale.xSpan = chart.xEnd > chart.xStart ? chart.xEnd - chart.xStart : 1;
    scale.yLow = axis.low;
    scale.ySpan = axis.high - axis.low;

    out += "<svg viewBox=\"0 0 ";
    appendCoordinate(out, VIEW_WIDTH);
    out += ' ';
    appendCoordinate(out, VIEW_HEIGHT);
    out += "\" role=\"img\" aria-label=\"";
    appendEscaped(out, chart.title);
    out += "\"><title>";
    appendEscaped(out, chart.title);
    out += "</title>";
    appendGrid(out, chart, axis, scale);
    for (const ChartSeries& series : chart.series)
        if (series.kind == SeriesKind::band)
            appendSeries(out, series, scale);
    for (const ChartSeries& series : chart.series)
        if (series.kind != SeriesKind::band)
            appendSeries(out, series, scale);
    out += "</svg></figure>";
    return out;
}
