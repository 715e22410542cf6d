#include "tools/report/report_charts.h"

#include <algorithm>
#include <cstdlib>

#include "tools/report/html_page.h"
#include "tools/report/html_writer.h"
#include "tools/report/report_format.h"

namespace report {
namespace {

using namespace std::chrono;
using html::Writer;

constexpr std::size_t kMaxLinePoints = 1000;
constexpr std::size_t kPalette = 6;  // band colours b0..b5 of the shared style

// Chart geometry (SVG user units; the chart scales to the page width).
constexpr double kWidth = 1000, kLeft = 52, kRight = 14, kPlotW = kWidth - kLeft - kRight;

std::string bandClass(std::size_t k) { return "b" + std::to_string(k % kPalette); }

void line(Writer& w, std::string_view cls, double x1, double y1, double x2, double y2) {
    w.empty("line", {{"class", cls}, {"x1", fixed(x1)}, {"y1", fixed(y1)}, {"x2", fixed(x2)}, {"y2", fixed(y2)}});
}

// A text at (x, y); `anchor` "end" or "middle" aligns it other than at its start.
void svgText(Writer& w, std::string_view text, double x, double y, std::string_view anchor = {}) {
    if (anchor.empty())
        w.element("text", text, {{"x", fixed(x)}, {"y", fixed(y)}});
    else
        w.element("text", text, {{"x", fixed(x)}, {"y", fixed(y)}, {"text-anchor", anchor}});
}

// A chart's heading inside the plot.
void svgLabel(Writer& w, std::string_view text, double x, double y) {
    w.element("text", text, {{"class", "label"}, {"x", fixed(x)}, {"y", fixed(y)}});
}

void openChart(Writer& w, double height, std::string_view label) {
    w.open("svg", {{"class", "chart"}, {"viewBox", "0 0 " + fixed(kWidth) + " " + fixed(height)}, {"role", "img"},
                   {"aria-label", label}});
}

// A tick step of 1, 2 or 5 times a power of ten giving about four steps up to `top`.
double niceStep(double top) {
    double step = 1;
    while (step * 5 < top) {
        if (step * 2 * 4 >= top) return step * 2;
        if (step * 5 * 4 >= top) return step * 5;
        step *= 10;
    }
    return step;
}

// Bars over the hours `first` to `last` (hour numbers), for `bands` bands, all zero.
Bars barsOver(std::int64_t first, std::int64_t last, std::size_t bands) {
    Bars b;
    static constexpr std::int64_t kSteps[] = {1, 2, 3, 4, 6, 8, 12, 24, 48, 72, 168, 336, 720};
    b.hoursPer = 0;
    for (std::int64_t s : kSteps) {
        if (static_cast<std::size_t>(floorDiv(last, s) - floorDiv(first, s) + 1) <= Bars::kMaxBars) {
            b.hoursPer = s;
            break;
        }
    }
    if (b.hoursPer == 0) b.hoursPer = ((last - first) / static_cast<std::int64_t>(Bars::kMaxBars) / 24 + 1) * 24;
    b.firstHour = floorDiv(first, b.hoursPer) * b.hoursPer;
    b.count = static_cast<std::size_t>(floorDiv(last, b.hoursPer) - floorDiv(first, b.hoursPer) + 1);
    b.qsos.assign(b.count, std::vector<std::uint32_t>(bands));
    b.dupes.assign(b.count, 0);
    b.newPrefixes.assign(b.count, 0);
    b.rejected.assign(b.count, 0);
    return b;
}

// Hours between hour marks on the time axis: 0 (none) when bars are a day or longer or too narrow.
std::int64_t hourMarkStep(const Bars& b, double barWidth) {
    if (b.hoursPer >= 24) return 0;
    for (std::int64_t k : {1, 2, 3, 4, 6, 12})  // a mark a day says no more than the dates
        if (k % b.hoursPer == 0 && barWidth * static_cast<double>(k / b.hoursPer) >= 26) return k;
    return 0;
}

// The time axis under a chart: hour marks (when bars are shorter than a day), the date where it
// changes with a dashed line up through the plot, and the vertical grid.
void timeAxis(std::string& out, const Bars& b, double top, double bottom) {
    Writer w(out);
    const double bw = kPlotW / static_cast<double>(b.count);
    const std::int64_t labelEvery = hourMarkStep(b, bw);
    double lastDateX = -1e9;
    std::string previousDate;
    for (std::size_t i = 0; i <= b.count; ++i) {
        const double x = kLeft + bw * static_cast<double>(i);
        const std::int64_t hour = b.firstHour + static_cast<std::int64_t>(i) * b.hoursPer;
        const std::int64_t hourOfDay = hour - floorDiv(hour, 24) * 24;
        if (labelEvery && hourOfDay % labelEvery == 0) {
            line(w, "grid", x, top, x, bottom);
            if (i < b.count) svgText(w, (hourOfDay < 10 ? "0" : "") + std::to_string(hourOfDay), x + 2, bottom + 13);
        }
        if (i == b.count) break;
        const std::string date = dateText(b.start(i));
        if (date != previousDate) {
            if (i > 0) line(w, "daymark", x, top - 4, x, bottom + 30);
            if (x - lastDateX >= 78 && x + 72 <= kWidth) {
                svgLabel(w, date, x + 3, bottom + 29);
                lastDateX = x;
            }
            previousDate = date;
        }
    }
    line(w, "axis", kLeft, bottom, kLeft + kPlotW, bottom);
}

// Horizontal grid lines with their values on the left; returns the top value of the scale.
double valueAxis(std::string& out, double maxValue, double top, double bottom) {
    Writer w(out);
    const double step = niceStep(std::max(maxValue, 1.0));
    const double scaleTop = std::max(step, step * static_cast<double>(static_cast<std::int64_t>((maxValue + step - 1e-9) / step)));
    for (double v = 0; v <= scaleTop + 1e-9; v += step) {
        const double y = bottom - (bottom - top) * v / scaleTop;
        if (v > 0) line(w, "grid", kLeft, y, kLeft + kPlotW, y);
        svgText(w, compact(v), kLeft - 6, y + 4, "end");
    }
    return scaleTop;
}

void legend(std::string& out, const std::vector<std::string>& bands) {
    Writer w(out);
    w.open("div", {{"class", "legend"}});
    for (std::size_t k = 0; k < bands.size(); ++k) w.raw(swatch(k)).text(bands[k]);
    w.close("div").raw("\n");
}

// One bar of the rate chart: its stacked bands, its total above it, and a tooltip.
void rateBar(Writer& w, const ContestReport& r, const Bars& b, std::size_t i, double scaleTop, double plotH,
             double bottom, const ReportWords& words) {
    const double bw = kPlotW / static_cast<double>(b.count);
    const double gap = bw >= 8 ? std::min(4.0, bw * 0.18) : 0;
    const double x = kLeft + bw * static_cast<double>(i) + gap / 2;
    double y = bottom;
    std::uint32_t total = 0;
    std::string title = timeText(b.start(i)) + "\xE2\x80\x93" + clockText(b.start(i + 1)) + " UTC:";
    for (std::size_t k = 0; k < r.bands().size(); ++k) {
        title += " " + r.bands()[k] + " " + number(b.qsos[i][k]) + (k + 1 < r.bands().size() ? "," : "");
        total += b.qsos[i][k];
    }
    title += "; " + counted(b.newPrefixes[i], "new " + words.multiplier, "new " + words.multipliers) + ", " +
             counted(b.dupes[i], "dupe", "dupes") + ", " + number(b.rejected[i]) + " rejected";
    w.open("g").element("title", title);
    for (std::size_t k = 0; k < r.bands().size(); ++k) {
        if (b.qsos[i][k] == 0) continue;
        const double h = plotH * b.qsos[i][k] / scaleTop;
        y -= h;
        w.empty("rect", {{"class", bandClass(k)}, {"x", fixed(x)}, {"y", fixed(y)},
                         {"width", fixed(std::max(bw - gap, 0.5))}, {"height", fixed(h)}});
    }
    if (total > 0 && bw >= 20) svgText(w, number(total), x + (bw - gap) / 2, y - 3, "middle");
    w.close("g");
}

// The running QSOs and score of a report at `t` (the totals of the last minute not after it).
struct RunningCursor {
    const std::vector<RunningTotal>& run;
    std::size_t next = 0;
    RunningTotal at(sys_seconds t) {
        while (next < run.size() && run[next].when <= t) ++next;
        return next ? run[next - 1] : RunningTotal{};
    }
};

// The x of time `t` on the axis of bars `b`.
struct TimeScale {
    double t0, t1;
    explicit TimeScale(const Bars& b)
        : t0(static_cast<double>(b.start(0).time_since_epoch().count())),
          t1(static_cast<double>(b.start(b.count).time_since_epoch().count())) {}
    double x(sys_seconds t) const {
        return kLeft + kPlotW * (static_cast<double>(t.time_since_epoch().count()) - t0) / (t1 - t0);
    }
};

}  // namespace

Bars makeBars(const ContestReport& r) {
    if (r.hours().empty()) return {};
    Bars b = barsOver(r.hours().begin()->first, r.hours().rbegin()->first, r.bands().size());
    for (const auto& [number, h] : r.hours()) {
        const auto i = static_cast<std::size_t>(floorDiv(number - b.firstHour, b.hoursPer));
        for (std::size_t k = 0; k < h.bands.size(); ++k) {
            b.qsos[i][k] += h.bands[k].qsos;
            b.dupes[i] += h.bands[k].dupes;
            b.newPrefixes[i] += h.bands[k].newPrefixes;
        }
        b.rejected[i] += h.rejected;
    }
    return b;
}

std::string swatch(std::size_t k) {
    return "<svg class=\"sw\" viewBox=\"0 0 12 12\" aria-hidden=\"true\"><rect class=\"" + bandClass(k) +
           "\" width=\"12\" height=\"12\" rx=\"2\"/></svg>";
}

void rateChart(std::string& out, const ContestReport& r, const Bars& b, const ReportWords& words) {
    constexpr double kTop = 22, kPlotH = 230, kBottom = kTop + kPlotH, kHeight = kBottom + 38;
    std::uint32_t maxTotal = 0;
    for (const auto& bar : b.qsos) {
        std::uint32_t total = 0;
        for (std::uint32_t q : bar) total += q;
        maxTotal = std::max(maxTotal, total);
    }
    const std::string per = b.hoursPer == 1 ? "hour" : std::to_string(b.hoursPer) + " hours";
    Writer w(out);
    w.element("h2", "QSOs per " + per + " and band").raw("\n");
    legend(out, r.bands());
    openChart(w, kHeight, "QSOs per " + per + ", stacked by band");
    const double scaleTop = valueAxis(out, maxTotal, kTop, kBottom);
    timeAxis(out, b, kTop, kBottom);
    for (std::size_t i = 0; i < b.count; ++i) rateBar(w, r, b, i, scaleTop, kPlotH, kBottom, words);
    w.close("svg").raw("\n");
}

void runningChart(std::string& out, const ContestReport& r, const Bars& b, const ReportAnalysis& a,
                  const ReportWords& words) {
    constexpr double kPanelH = 96, kPanelGap = 30, kTop = 20;
    constexpr double kHeight = kTop + 3 * kPanelH + 2 * kPanelGap + 38;
    const TimeScale scale(b);
    const std::vector<RunningTotal>& run = r.running();
    const std::size_t stride = run.size() > kMaxLinePoints ? (run.size() + kMaxLinePoints - 1) / kMaxLinePoints : 1;
    Writer w(out);
    w.element("h2", "Over the contest").raw("\n");
    openChart(w, kHeight, "QSOs, " + words.multipliers + " and score over the contest");
    const double bottomAll = kTop + 3 * kPanelH + 2 * kPanelGap;
    for (const Break& br : a.station.breaks) {
        // A break of the contest period may reach past the hours with contacts: only its part in the plot.
        const double x0 = std::max(scale.x(br.from), kLeft), x1 = std::min(scale.x(br.to), kLeft + kPlotW);
        if (x1 <= x0) continue;
        w.open("rect", {{"class", "brk"}, {"x", fixed(x0)}, {"y", fixed(kTop)}, {"width", fixed(std::max(x1 - x0, 1.0))},
                        {"height", fixed(bottomAll - kTop)}})
            .element("title", "break " + timeText(br.from) + "\xE2\x80\x93" + timeText(br.to) + " (" +
                                  durationText(br.to - br.from) + ")")
            .close("rect");
    }
    timeAxis(out, b, kTop, bottomAll);

    struct Series {
        const std::string& name;
        const char* cls;
        double (*value)(const RunningTotal&);
    };
    static const std::string kQsos = "QSOs";
    const Series kSeries[] = {
        {kQsos, "b0", [](const RunningTotal& t) { return static_cast<double>(t.qsos); }},
        {words.multipliers, "b2", [](const RunningTotal& t) { return static_cast<double>(t.multipliers); }},
        {words.running, "b1",
         [](const RunningTotal& t) { return static_cast<double>(t.qsos) * static_cast<double>(t.multipliers); }},
    };
    for (std::size_t s = 0; s < 3; ++s) {
        const double top = kTop + static_cast<double>(s) * (kPanelH + kPanelGap), bottom = top + kPanelH;
        const double last = run.empty() ? 0 : kSeries[s].value(run.back());
        svgLabel(w, kSeries[s].name + ": " + html::grouped(static_cast<std::int64_t>(last)),
                 kLeft + 4, top - 6);
        const double scaleTop = valueAxis(out, last, top, bottom);
        line(w, "axis", kLeft, bottom, kLeft + kPlotW, bottom);
        std::string points = fixed(scale.x(r.first())) + "," + fixed(bottom);
        double y = bottom;
        for (std::size_t i = 0; i < run.size(); i += stride) {
            const RunningTotal& t = i + stride >= run.size() ? run.back() : run[i];
            const double x = scale.x(t.when + minutes{1});
            points += " " + fixed(x) + "," + fixed(y);
            y = bottom - kPanelH * kSeries[s].value(t) / scaleTop;
            points += " " + fixed(x) + "," + fixed(y);
            if (i + stride >= run.size()) break;
        }
        w.empty("polyline", {{"class", kSeries[s].cls}, {"points", points}});
    }
    w.close("svg").raw("\n");
    if (!a.station.breaks.empty())
        w.element("p", "Shaded: the station's breaks of " + std::to_string(a.minBreak.count()) + " minutes or more.",
                  {{"class", "muted"}})
            .raw("\n");
}

void rateCurve(std::string& out, const ReportAnalysis& a, const Bars& b) {
    constexpr double kTop = 22, kPlotH = 150, kBottom = kTop + kPlotH, kHeight = kBottom + 38;
    if (a.curve.empty()) return;
    const double perHour = 60.0 / static_cast<double>(a.curveStep.count());
    std::uint32_t top = 0;
    for (std::uint32_t q : a.curve) top = std::max(top, q);
    const TimeScale scale(b);
    // A long log's steps need not start on the bars' hour: clamp to the plot.
    const auto xOf = [&](double t) { return kLeft + kPlotW * std::clamp((t - scale.t0) / (scale.t1 - scale.t0), 0.0, 1.0); };
    const std::string step = std::to_string(a.curveStep.count());
    Writer w(out);
    w.element("h3", "Rate in steps of " + step + " minutes (QSOs per hour)").raw("\n");
    openChart(w, kHeight, "rate per " + step + " minutes");
    const double scaleTop = valueAxis(out, top * perHour, kTop, kBottom);
    timeAxis(out, b, kTop, kBottom);
    std::string points;
    const double seconds = static_cast<double>(duration_cast<std::chrono::seconds>(a.curveStep).count());
    const double start = static_cast<double>(a.curveStart.time_since_epoch().count());
    for (std::size_t i = 0; i < a.curve.size(); ++i) {
        const double y = kBottom - kPlotH * a.curve[i] * perHour / scaleTop;
        if (i) points += ' ';
        points += fixed(xOf(start + seconds * static_cast<double>(i))) + "," + fixed(y) + " " +
                  fixed(xOf(start + seconds * static_cast<double>(i + 1))) + "," + fixed(y);
    }
    w.empty("polyline", {{"class", "b0"}, {"points", points}}).close("svg").raw("\n");
}

namespace {

// How far `a` is ahead of `b` at evenly spaced times over `bars`: QSOs and score.
struct Differences {
    static constexpr std::size_t kSamples = 600;
    std::vector<std::int64_t> qsos, score;
    std::int64_t maxQsos = 1, maxScore = 1;  // largest magnitudes, at least 1
};

Differences differences(const ContestReport& a, const ContestReport& b, const Bars& bars) {
    const TimeScale scale(bars);
    Differences d;
    d.qsos.resize(Differences::kSamples + 1);
    d.score.resize(Differences::kSamples + 1);
    RunningCursor ca{a.running()}, cb{b.running()};
    for (std::size_t i = 0; i <= Differences::kSamples; ++i) {
        const sys_seconds t{seconds{static_cast<std::int64_t>(
            scale.t0 + (scale.t1 - scale.t0) * static_cast<double>(i) / Differences::kSamples)}};
        const RunningTotal x = ca.at(t), y = cb.at(t);
        d.qsos[i] = static_cast<std::int64_t>(x.qsos) - static_cast<std::int64_t>(y.qsos);
        d.score[i] = static_cast<std::int64_t>(x.qsos) * x.multipliers - static_cast<std::int64_t>(y.qsos) * y.multipliers;
        d.maxQsos = std::max(d.maxQsos, std::abs(d.qsos[i]));
        d.maxScore = std::max(d.maxScore, std::abs(d.score[i]));
    }
    return d;
}

// One panel of the difference chart: the zero line in the middle, ±`top` at its edges.
void differencePanel(Writer& w, const char* name, const char* cls, const std::vector<std::int64_t>& v,
                     std::int64_t top, double panelTop, double panelH) {
    const double mid = panelTop + panelH / 2;
    svgLabel(w, std::string(name) + ": " + signedNumber(v.back()) + " at the end", kLeft + 4, panelTop - 6);
    for (const double sign : {1.0, -1.0}) {
        const double y = mid - sign * panelH / 2;
        line(w, "grid", kLeft, y, kLeft + kPlotW, y);
        svgText(w, (sign > 0 ? "+" : "\xE2\x88\x92") + compact(static_cast<double>(top)), kLeft - 6, y + 4, "end");
    }
    line(w, "axis", kLeft, mid, kLeft + kPlotW, mid);
    svgText(w, "0", kLeft - 6, mid + 4, "end");
    std::string points;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (i) points += ' ';
        points += fixed(kLeft + kPlotW * static_cast<double>(i) / Differences::kSamples) + "," +
                  fixed(mid - panelH / 2 * static_cast<double>(v[i]) / static_cast<double>(top));
    }
    w.empty("polyline", {{"class", cls}, {"points", points}});
}

}  // namespace

void differenceChart(std::string& out, const ContestReport& a, const ContestReport& b, const std::string& callA,
                     const std::string& callB) {
    if (a.running().empty() && b.running().empty()) return;
    sys_seconds first = sys_seconds::max(), last = sys_seconds::min();
    for (const ContestReport* r : {&a, &b})
        if (!r->running().empty()) {
            first = std::min(first, r->running().front().when);
            last = std::max(last, r->running().back().when + minutes{1});
        }
    const Bars bars = barsOver(floor<hours>(first).time_since_epoch().count(),
                               floor<hours>(last - seconds{1}).time_since_epoch().count(), 0);
    const Differences d = differences(a, b, bars);
    constexpr double kPanelH = 110, kGap = 34, kTop = 20, kHeight = kTop + 2 * kPanelH + kGap + 38;
    Writer w(out);
    w.element("h3", "Ahead or behind over the contest: " + callA + " less " + callB).raw("\n");
    openChart(w, kHeight, "cumulative QSO and score difference");
    timeAxis(out, bars, kTop, kTop + 2 * kPanelH + kGap);
    differencePanel(w, "QSOs", "b0", d.qsos, d.maxQsos, kTop, kPanelH);
    differencePanel(w, "score", "b1", d.score, d.maxScore, kTop + kPanelH + kGap, kPanelH);
    w.close("svg").raw("\n");
    w.element("p", "Above the line " + callA + " is ahead, below " + callB + ".", {{"class", "muted"}}).raw("\n");
}

}  // namespace report
