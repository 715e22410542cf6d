#include "tools/report/report_html.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "tools/logs/score_line.h"
#include "tools/report/html_page.h"

namespace replay {
namespace {

using namespace std::chrono;
using html::appendEscaped;
using html::escaped;
using html::grouped;

constexpr std::size_t kHourRows = 1000;   // hour table rows at most
constexpr std::size_t kPrefixRows = 1000;  // SA prefix rows at most
constexpr std::size_t kMaxBars = 72;
constexpr std::size_t kMaxLinePoints = 1000;
constexpr std::size_t kPalette = 6;  // band colours b0..b5 of the shared style

// Chart geometry (SVG user units; the chart scales to the page width).
constexpr double kWidth = 1000, kLeft = 52, kRight = 14, kPlotW = kWidth - kLeft - kRight;

std::int64_t floorDiv(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

std::string dateText(sys_seconds t) {
    const year_month_day d{floor<days>(t)};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02u", static_cast<int>(d.year()), static_cast<unsigned>(d.month()),
                  static_cast<unsigned>(d.day()));
    return buf;
}

std::string clockText(sys_seconds t) {
    const hh_mm_ss<seconds> hms{t - floor<days>(t)};
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d", static_cast<int>(hms.hours().count()),
                  static_cast<int>(hms.minutes().count()));
    return buf;
}

std::string timeText(sys_seconds t) { return dateText(t) + " " + clockText(t); }

std::string durationText(seconds s) {
    const auto m = duration_cast<minutes>(s).count();
    if (m < 60) return std::to_string(m) + " min";
    return grouped(m / 60) + " h " + (m % 60 < 10 ? "0" : "") + std::to_string(m % 60);
}

std::string fixed(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", v);
    return buf;
}

// 12, 1.2k, 34k, 1.2M: axis labels that stay short.
std::string compact(double v) {
    char buf[32];
    if (v >= 1e6)
        std::snprintf(buf, sizeof buf, v >= 1e7 ? "%.0fM" : "%.1fM", v / 1e6);
    else if (v >= 1e4)
        std::snprintf(buf, sizeof buf, "%.0fk", v / 1e3);
    else
        std::snprintf(buf, sizeof buf, "%.0f", v);
    return buf;
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

void cell(std::string& out, std::uint64_t value, bool dimZero = true) {
    out += value == 0 && dimZero ? "<td class=\"num zero\">" : "<td class=\"num\">";
    out += grouped(static_cast<std::int64_t>(value));
    out += "</td>";
}

void textCell(std::string& out, std::string_view text, const char* cls = nullptr) {
    out += cls ? std::string("<td class=\"") + cls + "\">" : std::string("<td>");
    appendEscaped(out, text);
    out += "</td>";
}

std::string number(std::uint64_t n) { return grouped(static_cast<std::int64_t>(n)); }

// "1 dupe", "2 dupes", "1 234 QSOs".
std::string counted(std::uint64_t n, std::string_view one, std::string_view many) {
    return number(n) + " " + std::string(n == 1 ? one : many);
}

std::string percent(std::uint64_t part, std::uint64_t whole) {
    if (whole == 0) return "\xE2\x80\x93";
    return std::to_string((200 * part + whole) / (2 * whole)) + "\xC2\xA0%";
}

void more(std::string& out, std::uint64_t total, std::size_t listed, const char* what) {
    if (total > listed)
        out += "<p class=\"muted\">&hellip; and " + grouped(static_cast<std::int64_t>(total - listed)) + " more " +
               what + " not listed.</p>\n";
}

// The hours grouped into at most kMaxBars bars of a whole number of hours each, aligned to UTC
// midnight when a bar is a divisor of a day.
struct Bars {
    std::int64_t hoursPer = 1;
    std::int64_t firstHour = 0;
    std::size_t count = 0;
    std::vector<std::vector<std::uint32_t>> qsos;  // [bar][band]
    std::vector<std::uint32_t> dupes, newPrefixes, rejected;

    sys_seconds start(std::size_t i) const {
        return sys_seconds{hours{firstHour + static_cast<std::int64_t>(i) * hoursPer}};
    }
};

// Bars over the hours `first` to `last` (hour numbers), for `bands` bands, all zero.
Bars barsOver(std::int64_t first, std::int64_t last, std::size_t bands) {
    Bars b;
    static constexpr std::int64_t kSteps[] = {1, 2, 3, 4, 6, 8, 12, 24, 48, 72, 168, 336, 720};
    b.hoursPer = 0;
    for (std::int64_t s : kSteps) {
        if (static_cast<std::size_t>(floorDiv(last, s) - floorDiv(first, s) + 1) <= kMaxBars) {
            b.hoursPer = s;
            break;
        }
    }
    if (b.hoursPer == 0) b.hoursPer = ((last - first) / static_cast<std::int64_t>(kMaxBars) / 24 + 1) * 24;
    b.firstHour = floorDiv(first, b.hoursPer) * b.hoursPer;
    b.count = static_cast<std::size_t>(floorDiv(last, b.hoursPer) - floorDiv(first, b.hoursPer) + 1);
    b.qsos.assign(b.count, std::vector<std::uint32_t>(bands));
    b.dupes.assign(b.count, 0);
    b.newPrefixes.assign(b.count, 0);
    b.rejected.assign(b.count, 0);
    return b;
}

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

// The time axis under a chart: hour marks (when bars are shorter than a day), the date where it
// changes with a dashed line up through the plot, and the vertical grid.
void timeAxis(std::string& out, const Bars& b, double top, double bottom) {
    const double bw = kPlotW / static_cast<double>(b.count);
    std::int64_t labelEvery = 0;  // hours between hour marks
    if (b.hoursPer < 24)
        for (std::int64_t k : {1, 2, 3, 4, 6, 12})  // a mark a day says no more than the dates
            if (k % b.hoursPer == 0 && bw * static_cast<double>(k / b.hoursPer) >= 26) {
                labelEvery = k;
                break;
            }
    double lastDateX = -1e9;
    std::string previousDate;
    for (std::size_t i = 0; i <= b.count; ++i) {
        const double x = kLeft + bw * static_cast<double>(i);
        const std::int64_t hour = b.firstHour + static_cast<std::int64_t>(i) * b.hoursPer;
        const std::int64_t hourOfDay = hour - floorDiv(hour, 24) * 24;
        if (labelEvery && hourOfDay % labelEvery == 0) {
            out += "<line class=\"grid\" x1=\"" + fixed(x) + "\" y1=\"" + fixed(top) + "\" x2=\"" + fixed(x) +
                   "\" y2=\"" + fixed(bottom) + "\"/>";
            if (i < b.count)
                out += "<text x=\"" + fixed(x + 2) + "\" y=\"" + fixed(bottom + 13) + "\">" +
                       (hourOfDay < 10 ? "0" : "") + std::to_string(hourOfDay) + "</text>";
        }
        if (i == b.count) break;
        const std::string date = dateText(b.start(i));
        if (date != previousDate) {
            if (i > 0)
                out += "<line class=\"daymark\" x1=\"" + fixed(x) + "\" y1=\"" + fixed(top - 4) + "\" x2=\"" +
                       fixed(x) + "\" y2=\"" + fixed(bottom + 30) + "\"/>";
            if (x - lastDateX >= 78 && x + 72 <= kWidth) {
                out += "<text class=\"label\" x=\"" + fixed(x + 3) + "\" y=\"" + fixed(bottom + 29) + "\">" + date +
                       "</text>";
                lastDateX = x;
            }
            previousDate = date;
        }
    }
    out += "<line class=\"axis\" x1=\"" + fixed(kLeft) + "\" y1=\"" + fixed(bottom) + "\" x2=\"" +
           fixed(kLeft + kPlotW) + "\" y2=\"" + fixed(bottom) + "\"/>";
}

// Horizontal grid lines with their values on the left; returns the top value of the scale.
double valueAxis(std::string& out, double maxValue, double top, double bottom) {
    const double step = niceStep(std::max(maxValue, 1.0));
    const double scaleTop = std::max(step, step * static_cast<double>(static_cast<std::int64_t>((maxValue + step - 1e-9) / step)));
    for (double v = 0; v <= scaleTop + 1e-9; v += step) {
        const double y = bottom - (bottom - top) * v / scaleTop;
        if (v > 0)
            out += "<line class=\"grid\" x1=\"" + fixed(kLeft) + "\" y1=\"" + fixed(y) + "\" x2=\"" +
                   fixed(kLeft + kPlotW) + "\" y2=\"" + fixed(y) + "\"/>";
        out += "<text x=\"" + fixed(kLeft - 6) + "\" y=\"" + fixed(y + 4) + "\" text-anchor=\"end\">" + compact(v) +
               "</text>";
    }
    return scaleTop;
}

// A small square in band k's colour.
std::string swatch(std::size_t k) {
    return "<svg class=\"sw\" viewBox=\"0 0 12 12\" aria-hidden=\"true\"><rect class=\"b" +
           std::to_string(k % kPalette) + "\" width=\"12\" height=\"12\" rx=\"2\"/></svg>";
}

void legend(std::string& out, const std::vector<std::string>& bands) {
    out += "<div class=\"legend\">";
    for (std::size_t k = 0; k < bands.size(); ++k) {
        out += swatch(k);
        appendEscaped(out, bands[k]);
    }
    out += "</div>\n";
}

void rateChart(std::string& out, const ContestReport& r, const Bars& b) {
    constexpr double kTop = 22, kPlotH = 230, kBottom = kTop + kPlotH, kHeight = kBottom + 38;
    std::uint32_t maxTotal = 0;
    for (const auto& bar : b.qsos) {
        std::uint32_t total = 0;
        for (std::uint32_t q : bar) total += q;
        maxTotal = std::max(maxTotal, total);
    }
    const std::string per = b.hoursPer == 1 ? "hour" : std::to_string(b.hoursPer) + " hours";
    out += "<h2>QSOs per " + per + " and band</h2>\n";
    legend(out, r.bands());
    out += "<svg class=\"chart\" viewBox=\"0 0 " + fixed(kWidth) + " " + fixed(kHeight) +
           "\" role=\"img\" aria-label=\"QSOs per " + per + ", stacked by band\">";
    const double scaleTop = valueAxis(out, maxTotal, kTop, kBottom);
    timeAxis(out, b, kTop, kBottom);
    const double bw = kPlotW / static_cast<double>(b.count);
    const double gap = bw >= 8 ? std::min(4.0, bw * 0.18) : 0;
    for (std::size_t i = 0; i < b.count; ++i) {
        const double x = kLeft + bw * static_cast<double>(i) + gap / 2;
        double y = kBottom;
        std::uint32_t total = 0;
        out += "<g><title>" + timeText(b.start(i)) + "\xE2\x80\x93" + clockText(b.start(i + 1)) + " UTC:";
        for (std::size_t k = 0; k < r.bands().size(); ++k) {
            out += " ";
            appendEscaped(out, r.bands()[k]);
            out += " " + number(b.qsos[i][k]) + (k + 1 < r.bands().size() ? "," : "");
            total += b.qsos[i][k];
        }
        out += "; " + counted(b.newPrefixes[i], "new SA prefix", "new SA prefixes") + ", " +
               counted(b.dupes[i], "dupe", "dupes") + ", " + number(b.rejected[i]) + " rejected</title>";
        for (std::size_t k = 0; k < r.bands().size(); ++k) {
            if (b.qsos[i][k] == 0) continue;
            const double h = kPlotH * b.qsos[i][k] / scaleTop;
            y -= h;
            out += "<rect class=\"b" + std::to_string(k % kPalette) + "\" x=\"" + fixed(x) + "\" y=\"" + fixed(y) +
                   "\" width=\"" + fixed(std::max(bw - gap, 0.5)) + "\" height=\"" + fixed(h) + "\"/>";
        }
        if (total > 0 && bw >= 20)
            out += "<text x=\"" + fixed(x + (bw - gap) / 2) + "\" y=\"" + fixed(y - 3) +
                   "\" text-anchor=\"middle\">" + number(total) + "</text>";
        out += "</g>";
    }
    out += "</svg>\n";
}

// Three panels over the same time axis as the bars: QSOs, SA prefixes and their product, the score.
void runningChart(std::string& out, const ContestReport& r, const Bars& b, const ReportAnalysis& a) {
    constexpr double kPanelH = 96, kPanelGap = 30, kTop = 20;
    constexpr double kHeight = kTop + 3 * kPanelH + 2 * kPanelGap + 38;
    const double t0 = static_cast<double>(b.start(0).time_since_epoch().count());
    const double t1 = static_cast<double>(b.start(b.count).time_since_epoch().count());
    const auto xOf = [&](sys_seconds t) {
        return kLeft + kPlotW * (static_cast<double>(t.time_since_epoch().count()) - t0) / (t1 - t0);
    };
    const std::vector<RunningTotal>& run = r.running();
    const std::size_t stride = run.size() > kMaxLinePoints ? (run.size() + kMaxLinePoints - 1) / kMaxLinePoints : 1;

    out += "<h2>Over the contest</h2>\n<svg class=\"chart\" viewBox=\"0 0 " + fixed(kWidth) + " " + fixed(kHeight) +
           "\" role=\"img\" aria-label=\"QSOs, SA prefixes and score over the contest\">";
    const double bottomAll = kTop + 3 * kPanelH + 2 * kPanelGap;
    for (const Break& br : a.station.breaks) {
        // A break of the contest period may reach past the hours with contacts: only its part in the plot.
        const double x0 = std::max(xOf(br.from), kLeft), x1 = std::min(xOf(br.to), kLeft + kPlotW);
        if (x1 <= x0) continue;
        out += "<rect class=\"brk\" x=\"" + fixed(x0) + "\" y=\"" + fixed(kTop) + "\" width=\"" +
               fixed(std::max(x1 - x0, 1.0)) + "\" height=\"" + fixed(bottomAll - kTop) +
               "\"><title>break " + timeText(br.from) + "\xE2\x80\x93" + timeText(br.to) + " (" +
               durationText(br.to - br.from) + ")</title></rect>";
    }
    timeAxis(out, b, kTop, bottomAll);

    struct Series {
        const char* name;
        const char* cls;
        double (*value)(const RunningTotal&);
    };
    static constexpr Series kSeries[] = {
        {"QSOs", "b0", [](const RunningTotal& t) { return static_cast<double>(t.qsos); }},
        {"SA prefixes", "b2", [](const RunningTotal& t) { return static_cast<double>(t.multipliers); }},
        {"score (QSOs \xC3\x97 SA prefixes)", "b1",
         [](const RunningTotal& t) { return static_cast<double>(t.qsos) * static_cast<double>(t.multipliers); }},
    };
    for (std::size_t s = 0; s < 3; ++s) {
        const double top = kTop + static_cast<double>(s) * (kPanelH + kPanelGap), bottom = top + kPanelH;
        const double last = run.empty() ? 0 : kSeries[s].value(run.back());
        out += "<text class=\"label\" x=\"" + fixed(kLeft + 4) + "\" y=\"" + fixed(top - 6) + "\">" +
               escaped(kSeries[s].name) + ": " + grouped(static_cast<std::int64_t>(last)) + "</text>";
        const double scaleTop = valueAxis(out, last, top, bottom);
        out += "<line class=\"axis\" x1=\"" + fixed(kLeft) + "\" y1=\"" + fixed(bottom) + "\" x2=\"" +
                   fixed(kLeft + kPlotW) + "\" y2=\"" + fixed(bottom) + "\"/>";
        std::string points = fixed(xOf(r.first())) + "," + fixed(bottom);
        double y = bottom;
        for (std::size_t i = 0; i < run.size(); i += stride) {
            const RunningTotal& t = i + stride >= run.size() ? run.back() : run[i];
            const double x = xOf(t.when + minutes{1});
            points += " " + fixed(x) + "," + fixed(y);
            y = bottom - kPanelH * kSeries[s].value(t) / scaleTop;
            points += " " + fixed(x) + "," + fixed(y);
            if (i + stride >= run.size()) break;
        }
        out += "<polyline class=\"" + std::string(kSeries[s].cls) +
               "\" points=\"" + points + "\"/>";
    }
    out += "</svg>\n";
    if (!a.station.breaks.empty())
        out += "<p class=\"muted\">Shaded: the station&#39;s breaks of " + std::to_string(a.minBreak.count()) +
               " minutes or more.</p>\n";
}

// The rate in steps of 10 minutes (or more in a long log) as QSOs per hour, over the bars' time axis.
void rateCurve(std::string& out, const ReportAnalysis& a, const Bars& b) {
    constexpr double kTop = 22, kPlotH = 150, kBottom = kTop + kPlotH, kHeight = kBottom + 38;
    if (a.curve.empty()) return;
    const double perHour = 60.0 / static_cast<double>(a.curveStep.count());
    std::uint32_t top = 0;
    for (std::uint32_t q : a.curve) top = std::max(top, q);
    const double t0 = static_cast<double>(b.start(0).time_since_epoch().count());
    const double t1 = static_cast<double>(b.start(b.count).time_since_epoch().count());
    // A long log's steps need not start on the bars' hour: clamp to the plot.
    const auto xOf = [&](double t) { return kLeft + kPlotW * std::clamp((t - t0) / (t1 - t0), 0.0, 1.0); };
    out += "<h3>Rate in steps of " + std::to_string(a.curveStep.count()) + " minutes (QSOs per hour)</h3>\n"
           "<svg class=\"chart\" viewBox=\"0 0 " + fixed(kWidth) + " " + fixed(kHeight) +
           "\" role=\"img\" aria-label=\"rate per " + std::to_string(a.curveStep.count()) + " minutes\">";
    const double scaleTop = valueAxis(out, top * perHour, kTop, kBottom);
    timeAxis(out, b, kTop, kBottom);
    std::string points;
    const double step = static_cast<double>(duration_cast<seconds>(a.curveStep).count());
    const double start = static_cast<double>(a.curveStart.time_since_epoch().count());
    for (std::size_t i = 0; i < a.curve.size(); ++i) {
        const double y = kBottom - kPlotH * a.curve[i] * perHour / scaleTop;
        if (i) points += ' ';
        points += fixed(xOf(start + step * static_cast<double>(i))) + "," + fixed(y) + " " +
                  fixed(xOf(start + step * static_cast<double>(i + 1))) + "," + fixed(y);
    }
    out += "<polyline class=\"b0\" points=\"" + points + "\"/></svg>\n";
}

void bestRates(std::string& out, const ReportAnalysis& a) {
    out += "<h3>Best rates</h3>\n<table><tr><th>Window</th><th class=\"num\">QSOs</th><th class=\"num\">per hour</th>"
           "<th>From (UTC)</th></tr>\n";
    for (const BestRate& b : a.best) {
        out += "<tr><td>" + std::to_string(b.window.count()) + " min</td>";
        cell(out, b.qsos, false);
        cell(out, b.qsos * 60 / static_cast<std::uint64_t>(b.window.count()), false);
        textCell(out, b.qsos ? timeText(b.start) : std::string("\xE2\x80\x93"));
        out += "</tr>\n";
    }
    out += "</table>\n<p class=\"muted\">Rolling windows that may start at any minute; QSOs as the score counts "
           "them.</p>\n";
}

void hourTable(std::string& out, const ContestReport& r, const ReportAnalysis& a) {
    const std::size_t rows = r.hours().size();
    out += rows <= 60 ? "<details open>" : "<details>";
    out += "<summary>Table per clock hour (UTC): QSOs, dupes and new SA prefixes per band, QSOs per mode, band "
           "changes and run share</summary>\n<table class=\"compact\">\n<tr><th rowspan=\"2\">Hour</th>";
    for (std::size_t k = 0; k < r.bands().size(); ++k) {
        out += "<th colspan=\"3\">" + swatch(k);
        appendEscaped(out, r.bands()[k]);
        out += "</th>";
    }
    out += "<th colspan=\"3\">All bands</th><th colspan=\"2\">Mode</th><th rowspan=\"2\" class=\"num\">Band "
           "changes</th><th rowspan=\"2\" class=\"num\">Run</th><th rowspan=\"2\" class=\"num\">Rejected</th></tr>\n<tr>";
    for (std::size_t k = 0; k <= r.bands().size(); ++k)
        out += "<th class=\"num\">QSOs</th><th class=\"num\">Dupes</th><th class=\"num\">New SA</th>";
    out += "<th class=\"num\">CW</th><th class=\"num\">SSB</th></tr>\n";
    std::string previousDate;
    std::size_t listed = 0;
    BandCounts all;
    std::uint64_t rejected = 0, cw = 0, ssb = 0, changes = 0;
    const auto runShare = [&](std::int64_t hour) {
        const auto it = a.runsByHour.find(hour);
        RunCount sum;
        if (it != a.runsByHour.end())
            for (const RunCount& c : it->second) sum.known += c.known, sum.run += c.run;
        return a.frequenciesKnown ? percent(sum.run, sum.known) : std::string("?");
    };
    for (const auto& [hourNumber, h] : r.hours()) {
        BandCounts sum;
        for (const BandCounts& c : h.bands) {
            sum.qsos += c.qsos;
            sum.dupes += c.dupes;
            sum.newPrefixes += c.newPrefixes;
        }
        all.qsos += sum.qsos;
        all.dupes += sum.dupes;
        all.newPrefixes += sum.newPrefixes;
        rejected += h.rejected;
        cw += h.cw;
        ssb += h.ssb;
        changes += h.bandChanges;
        if (listed++ >= kHourRows) continue;
        const std::string date = dateText(h.start);
        if (date != previousDate) {
            out += "<tr class=\"day\"><td colspan=\"" + std::to_string(3 * r.bands().size() + 9) + "\">" + date +
                   "</td></tr>\n";
            previousDate = date;
        }
        out += "<tr><td>" + clockText(h.start) + "</td>";
        for (std::size_t k = 0; k < r.bands().size(); ++k) {
            const BandCounts c = k < h.bands.size() ? h.bands[k] : BandCounts{};
            cell(out, c.qsos);
            cell(out, c.dupes);
            cell(out, c.newPrefixes);
        }
        out += "<td class=\"num\"><b>" + number(sum.qsos) + "</b></td>";
        cell(out, sum.dupes);
        cell(out, sum.newPrefixes);
        cell(out, h.cw);
        cell(out, h.ssb);
        cell(out, h.bandChanges);
        out += "<td class=\"num\">" + runShare(hourNumber) + "</td>";
        cell(out, h.rejected);
        out += "</tr>\n";
    }
    out += "<tr class=\"total\"><td>Total</td>";
    for (std::size_t k = 0; k < r.bands().size(); ++k) {
        BandCounts c;
        for (const auto& [hourNumber, h] : r.hours())
            if (k < h.bands.size()) {
                c.qsos += h.bands[k].qsos;
                c.dupes += h.bands[k].dupes;
                c.newPrefixes += h.bands[k].newPrefixes;
            }
        cell(out, c.qsos, false);
        cell(out, c.dupes, false);
        cell(out, c.newPrefixes, false);
    }
    cell(out, all.qsos, false);
    cell(out, all.dupes, false);
    cell(out, all.newPrefixes, false);
    cell(out, cw, false);
    cell(out, ssb, false);
    cell(out, changes, false);
    out += "<td class=\"num\">" + (a.frequenciesKnown ? percent(a.runs.run, a.runs.known) : std::string("?")) + "</td>";
    cell(out, rejected, false);
    out += "</tr>\n</table>\n";
    more(out, rows, std::min(rows, kHourRows), "hours (the totals count them)");
    out += "<p class=\"muted\">QSOs: accepted and not a dupe, as the score counts them. New SA: the QSOs for "
           "which the plug-in announced a new SA prefix while the call was typed. Band changes: contacts on "
           "another band than the contact before (rejected ones too). Run: the share of QSOs with a known "
           "frequency that belong to a run (below).</p></details>\n";
}

void timeSection(std::string& out, const ContestReport& r, const ReportAnalysis& a) {
    const std::string least = std::to_string(a.minBreak.count()) + " minutes";
    out += "<section><h2>Time on and breaks</h2>\n<p>The station: <b>" + durationText(a.station.on) + "</b> on, " +
           counted(a.station.breakCount, "break", "breaks") + " of " + least + " or more (" +
           durationText(a.station.off) + " off)";
    if (a.period.from || a.period.to)
        out += ", within the contest period " + (a.period.from ? timeText(*a.period.from) : std::string("(first QSO)")) +
               " to " + (a.period.to ? timeText(*a.period.to) : std::string("(last QSO)")) + " UTC";
    else
        out += ", from the first contact (" + timeText(r.first()) + ") to the last (" + timeText(r.last()) + ")";
    out += ".</p>\n<table><tr><th>Band</th><th class=\"num\">Contacts</th><th class=\"num\">Time on</th>"
           "<th class=\"num\">Breaks</th><th class=\"num\">Off</th></tr>\n";
    for (std::size_t k = 0; k < a.bands.size(); ++k) {
        out += "<tr>";
        textCell(out, r.activityBands()[k]);
        cell(out, a.bands[k].contacts, false);
        out += "<td class=\"num\">" + durationText(a.bands[k].on) + "</td>";
        cell(out, a.bands[k].breakCount, false);
        out += "<td class=\"num\">" + durationText(a.bands[k].off) + "</td></tr>\n";
    }
    out += "<tr class=\"total\"><td>Station</td>";
    cell(out, a.station.contacts, false);
    out += "<td class=\"num\">" + durationText(a.station.on) + "</td>";
    cell(out, a.station.breakCount, false);
    out += "<td class=\"num\">" + durationText(a.station.off) + "</td></tr>\n</table>\n"
           "<p class=\"muted\">Every contact counts as activity, rejected ones and dupes too; a band is off while "
           "it has no contact for " + least + " or more (<code>--min-break</code>). The station is off only while "
           "every band is.</p>\n";
    const auto breakList = [&](const TimeOn& t, const std::string& what, bool open) {
        if (t.breaks.empty()) return;
        out += open ? "<details open>" : "<details>";
        out += "<summary>" + escaped(what) + ": " + counted(t.breakCount, "break", "breaks") + "</summary>\n"
               "<table class=\"compact\"><tr><th>From (UTC)</th><th>To</th><th class=\"num\">Length</th></tr>\n";
        const std::size_t shown = std::min(t.breaks.size(), ContestReport::kGroupListed);
        for (std::size_t i = 0; i < shown; ++i) {
            out += "<tr>";
            textCell(out, timeText(t.breaks[i].from));
            textCell(out, timeText(t.breaks[i].to));
            out += "<td class=\"num\">" + durationText(t.breaks[i].to - t.breaks[i].from) + "</td></tr>\n";
        }
        out += "</table>\n";
        more(out, t.breakCount, shown, "breaks");
        out += "</details>\n";
    };
    breakList(a.station, "The station", a.station.breakCount <= 20);
    for (std::size_t k = 0; k < a.bands.size(); ++k) breakList(a.bands[k], r.activityBands()[k], false);
    out += "</section>\n";
}

void runSection(std::string& out, const ContestReport& r, const ReportAnalysis& a) {
    out += "<section><h2>Run or search and pounce</h2>\n";
    if (!a.frequenciesKnown) {
        out += "<p>Not known: the log gives no frequency for its QSOs (or only the bands&#39; designators).</p>"
               "</section>\n";
        return;
    }
    out += "<p>" + counted(a.runs.run, "QSO", "QSOs") + " of " + number(a.runs.known) + " with a known frequency (" +
           percent(a.runs.run, a.runs.known) + ") belong to a run.</p>\n"
           "<table><tr><th>Band</th><th class=\"num\">QSOs</th><th class=\"num\">With frequency</th>"
           "<th class=\"num\">Run</th><th class=\"num\">Search and pounce</th><th class=\"num\">Run share</th></tr>\n";
    for (std::size_t k = 0; k < a.runsByBand.size(); ++k) {
        const RunCount& c = a.runsByBand[k];
        if (c.qsos == 0) continue;
        out += "<tr>";
        textCell(out, r.activityBands()[k]);
        cell(out, c.qsos, false);
        cell(out, c.known, false);
        cell(out, c.run, false);
        cell(out, c.known - c.run, false);
        out += "<td class=\"num\">" + percent(c.run, c.known) + "</td></tr>\n";
    }
    out += "</table>\n";
    // The run share per hour and band, folded: a row per clock hour.
    std::vector<std::size_t> used;
    for (std::size_t k = 0; k < a.runsByBand.size(); ++k)
        if (a.runsByBand[k].qsos) used.push_back(k);
    out += "<details><summary>Run share per clock hour and band</summary>\n<table class=\"compact\"><tr><th>Hour "
           "(UTC)</th>";
    for (std::size_t k : used) {
        out += "<th class=\"num\">";
        appendEscaped(out, r.activityBands()[k]);
        out += "</th>";
    }
    out += "<th class=\"num\">All</th></tr>\n";
    std::size_t rows = 0;
    for (const auto& [hour, counts] : a.runsByHour) {
        if (rows++ >= kHourRows) break;
        out += "<tr><td>" + timeText(sys_seconds{hours{hour}}) + "</td>";
        RunCount sum;
        for (std::size_t k : used) {
            const RunCount& c = counts[k];
            sum.known += c.known;
            sum.run += c.run;
            out += c.known ? "<td class=\"num\">" + percent(c.run, c.known) + "</td>" : "<td class=\"num zero\">\xE2\x80\x93</td>";
        }
        out += "<td class=\"num\"><b>" + percent(sum.run, sum.known) + "</b></td></tr>\n";
    }
    out += "</table>\n";
    more(out, a.runsByHour.size(), std::min(a.runsByHour.size(), kHourRows), "hours");
    out += "</details>\n<p class=\"muted\">How it is decided: a QSO belongs to a run when it and at least two more "
           "QSOs on its band, all within 10 minutes, lie within 0.1 kHz (CW) or 0.5 kHz (SSB) of its frequency; "
           "every other QSO with a known frequency is search and pounce.</p></section>\n";
}
void prefixSection(std::string& out, const ContestReport& r) {
    const auto& prefixes = r.prefixes();
    std::size_t single = 0;
    for (const auto& [prefix, p] : prefixes) single += p.qsos == 1;
    out += "<section><h2>SA prefixes worked: " + number(prefixes.size()) +
           "</h2>\n<p class=\"muted\">Each with the QSO that first gave it (UTC month-day and time, band and mode, "
           "call) and the QSOs that carry it, sorted by prefix." +
           (single ? " <span class=\"one\">&#9679;</span> marks the " + counted(single, "prefix", "prefixes") +
                         " resting on one QSO: a bust there costs a multiplier."
                   : std::string()) +
           "</p>\n<div class=\"cols\">";
    const std::size_t shown = std::min(prefixes.size(), kPrefixRows);
    const std::size_t columns = shown > 16 ? 2 : 1;
    const std::size_t perColumn = (shown + columns - 1) / std::max<std::size_t>(columns, 1);
    std::size_t i = 0;
    for (const auto& [prefix, p] : prefixes) {
        if (i >= shown) break;
        if (i % perColumn == 0)
            out += (i ? "</table>" : "") +
                   std::string("<table class=\"compact\"><tr><th>Prefix</th><th class=\"num\">QSOs</th><th>UTC</th>"
                               "<th>Band</th><th>Call</th></tr>\n");
        out += "<tr><td><b>";
        appendEscaped(out, prefix);
        out += "</b></td>";
        out += p.qsos == 1 ? "<td class=\"num one\">&#9679; 1</td>" : "<td class=\"num\">" + number(p.qsos) + "</td>";
        textCell(out, timeText(p.when).substr(5));
        textCell(out, p.band + " " + p.mode);
        textCell(out, p.call, "mono");
        out += "</tr>\n";
        ++i;
    }
    if (i) out += "</table>";
    out += "</div>\n";
    more(out, prefixes.size(), shown, "prefixes");
    out += "</section>\n";
}

// The groups of one list: a count line per reason ("NO CONTEST BAND: 15m 2 206, 10m 664"), then each
// group folded with its first QSOs.
void problemGroups(std::string& out, const std::vector<ProblemGroup>& groups, const ReportPageInfo& info,
                   bool contacts) {
    if (groups.empty()) return;
    const std::string place = info.placeWord.empty() ? "record" : info.placeWord;
    const std::string placeHead = std::string(1, static_cast<char>(place[0] - 'a' + 'A')) + place.substr(1);
    std::vector<const ProblemGroup*> order;
    for (const ProblemGroup& g : groups) order.push_back(&g);
    std::stable_sort(order.begin(), order.end(), [](const ProblemGroup* a, const ProblemGroup* b) {
        return a->reason != b->reason ? a->reason < b->reason : a->count > b->count;
    });
    out += "<ul class=\"counts\">";
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (i == 0 || order[i]->reason != order[i - 1]->reason) {
            out += i ? "</li><li><b>" : "<li><b>";
            appendEscaped(out, order[i]->reason);
            out += "</b>:";
        } else {
            out += ",";
        }
        out += " ";
        if (!order[i]->band.empty()) {
            appendEscaped(out, order[i]->band);
            out += " ";
        }
        out += number(order[i]->count);
    }
    out += "</li></ul>\n";
    for (const ProblemGroup* g : order) {
        out += "<details><summary>";
        appendEscaped(out, g->reason);
        if (!g->band.empty()) {
            out += " &middot; ";
            appendEscaped(out, g->band);
        }
        out += ": " + (contacts ? counted(g->count, "QSO", "QSOs") : counted(g->count, "finding", "findings"));
        if (g->count > g->first.size()) out += " (the first " + number(g->first.size()) + " listed)";
        out += "</summary>\n<table class=\"compact\"><tr><th class=\"num\">" + (contacts ? placeHead : std::string("Line")) +
               "</th>";
        out += contacts ? "<th>Time (UTC)</th><th>Band</th><th>Mode</th><th>Call</th>" : "<th>Kind</th>";
        out += g->kind == Problem::kDupe ? "<th>Repeats</th></tr>\n" : contacts ? "<th>Reason</th></tr>\n" : "<th>Finding</th></tr>\n";
        for (const Problem& p : g->first) {
            out += "<tr><td class=\"num\">" + std::to_string(p.record) + "</td>";
            if (contacts) {
                textCell(out, timeText(p.when));
                textCell(out, p.band);
                textCell(out, p.mode);
                textCell(out, p.call, "mono");
            } else {
                textCell(out, p.kind == Problem::kError ? "error" : "warning", p.kind == Problem::kError ? "err" : "warn");
            }
            if (p.kind == Problem::kDupe)
                textCell(out, p.repeats ? place + " " + std::to_string(p.repeats) : std::string("an earlier QSO"));
            else
                textCell(out, p.text, p.kind == Problem::kRejected ? "err" : nullptr);
            out += "</tr>\n";
        }
        out += "</table></details>\n";
    }
}

void problemSection(std::string& out, const ContestReport& r, const ReportPageInfo& info) {
    out += "<section><h2>Problems</h2>\n";
    out += "<h3>Rejected QSOs (not counted): " + number(r.rejectedCount()) + "</h3>\n";
    problemGroups(out, r.rejectedGroups(), info, true);
    out += "<h3>Dupes (logged, not counted): " + number(r.dupeCount()) + "</h3>\n";
    problemGroups(out, r.dupeGroups(), info, true);
    if (r.errorCount() + r.warningCount() > 0) {
        out += "<h3>Cabrillo check: " + counted(r.errorCount(), "error", "errors") + ", " +
               counted(r.warningCount(), "warning", "warnings") + "</h3>\n";
        if (r.findingsOnProblemQsos())
            out += "<p class=\"muted\">" + counted(r.findingsOnProblemQsos(), "finding stands", "findings stand") +
                   " at QSOs rejected or dupe (above) and " + (r.findingsOnProblemQsos() == 1 ? "is" : "are") +
                   " not listed again.</p>\n";
        problemGroups(out, r.findingGroups(), info, false);
    }
    out += "</section>\n";
}
std::string callOf(const SummaryTable& s, const ReportPageInfo& info) {
    if (!s.contestant.empty()) return s.contestant;
    for (const auto& [tag, value] : info.header)
        if (tag == "CALLSIGN") return value;
    return {};
}

std::string headerValue(const ReportPageInfo& info, std::string_view tag) {
    for (const auto& [t, value] : info.header)
        if (t == tag) return value;
    return {};
}

// Digits only, without leading zeros: "" when `text` is no whole number.
std::string wholeNumber(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (text.empty() || text.size() > 18 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return {};
    const std::size_t first = text.find_first_not_of('0');
    return first == std::string_view::npos ? "0" : std::string(text.substr(first));
}

std::string signedNumber(std::int64_t v) { return (v > 0 ? "+" : v < 0 ? "\xE2\x88\x92" : "") + grouped(v < 0 ? -v : v); }

// "Score: 261*52 = 13572" as "Score: 261 × 52 = 13 572"; another text as it is.
std::string scoreLineText(std::string_view line) {
    const auto s = logs::parseScore(line);
    if (line.substr(0, 7) != "Score: " || !s || s->qsos < 0 || s->multipliers < 0 || s->score < 0) return escaped(line);
    return "Score: " + grouped(s->qsos) + " \xC3\x97 " + grouped(s->multipliers) + " = " + grouped(s->score);
}

void noticeBox(std::string& out, const ReportPageInfo& info) {
    if (info.continentUnknown == 0) return;
    out += "<div class=\"notice\"><b>No country file: SA prefixes are not counted.</b> " +
           counted(info.continentUnknown, "QSO has", "QSOs have") +
           " no continent (none in the log, and no country file to look it up), so the plug-in counts no South "
           "American prefix for them: the multipliers and the score below are too low. Replay with "
           "<code>--cty cty.dat</code> (a country file in the CTY.DAT format; see the README).</div>\n";
}

void scoreSection(std::string& out, const SummaryTable& s, const ReportPageInfo& info) {
    out += "<section><h2>Score</h2>\n<p class=\"muted\">The score summary as the plug-in returns it: ";
    appendEscaped(out, s.title);
    out += "</p>\n<table>\n";
    for (std::size_t i = 0; i < s.rows.size(); ++i) {
        const auto& row = s.rows[i];
        const bool total = !row.empty() && row[0] == "Total";
        out += total ? "<tr class=\"total\">" : "<tr>";
        for (std::size_t c = 0; c < row.size(); ++c) {
            const char* tag = i == 0 ? "th" : "td";
            out += std::string("<") + tag + (c > 0 ? " class=\"num\">" : ">");
            // The plug-in's figures in the page's one number format.
            const std::string figure = wholeNumber(row[c]);
            out += figure.empty() ? escaped(row[c]) : grouped(std::stoll(figure));
            out += std::string("</") + tag + ">";
        }
        out += "</tr>\n";
    }
    out += "</table>\n<p><b>" + scoreLineText(s.scoreLine) + "</b></p>\n";
    const std::string claimedText = headerValue(info, "CLAIMED-SCORE");
    const std::string claimed = wholeNumber(claimedText), computed = wholeNumber(s.score);
    out += "<table class=\"claim\"><tr><th>The plug-in&#39;s score for these QSOs</th><td class=\"num\">" +
           (computed.empty() ? escaped(s.score.empty() ? "?" : s.score) : grouped(std::stoll(computed))) + "</td></tr>\n";
    if (!claimedText.empty()) {
        out += "<tr><th>CLAIMED-SCORE in the log</th><td class=\"num\">" +
               (claimed.empty() ? escaped(claimedText) : grouped(std::stoll(claimed))) + "</td></tr>\n";
        if (!claimed.empty() && !computed.empty())
            out += "<tr><th>Claimed less computed</th><td class=\"num\">" +
                   signedNumber(std::stoll(claimed) - std::stoll(computed)) + "</td></tr>\n";
    } else {
        out += "<tr><th>CLAIMED-SCORE in the log</th><td class=\"num muted\">none</td></tr>\n";
    }
    out += "</table>\n";
    if (!info.claimFinding.empty()) {
        out += "<p class=\"warn\">Cabrillo check: ";
        appendEscaped(out, info.claimFinding);
        out += "</p>\n";
    }
    out += "</section>\n";
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
    const double t0 = static_cast<double>(bars.start(0).time_since_epoch().count());
    const double t1 = static_cast<double>(bars.start(bars.count).time_since_epoch().count());
    constexpr std::size_t kSamples = 600;
    std::vector<std::int64_t> qsoDiff(kSamples + 1), scoreDiff(kSamples + 1);
    RunningCursor ca{a.running()}, cb{b.running()};
    std::int64_t maxQ = 1, maxS = 1;
    for (std::size_t i = 0; i <= kSamples; ++i) {
        const sys_seconds t{seconds{static_cast<std::int64_t>(t0 + (t1 - t0) * static_cast<double>(i) / kSamples)}};
        const RunningTotal x = ca.at(t), y = cb.at(t);
        qsoDiff[i] = static_cast<std::int64_t>(x.qsos) - static_cast<std::int64_t>(y.qsos);
        scoreDiff[i] = static_cast<std::int64_t>(x.qsos) * x.multipliers - static_cast<std::int64_t>(y.qsos) * y.multipliers;
        maxQ = std::max(maxQ, std::abs(qsoDiff[i]));
        maxS = std::max(maxS, std::abs(scoreDiff[i]));
    }
    constexpr double kPanelH = 110, kGap = 34, kTop = 20, kHeight = kTop + 2 * kPanelH + kGap + 38;
    out += "<h3>Ahead or behind over the contest: " + escaped(callA) + " less " + escaped(callB) + "</h3>\n"
           "<svg class=\"chart\" viewBox=\"0 0 " + fixed(kWidth) + " " + fixed(kHeight) +
           "\" role=\"img\" aria-label=\"cumulative QSO and score difference\">";
    timeAxis(out, bars, kTop, kTop + 2 * kPanelH + kGap);
    const struct {
        const char* name;
        const std::vector<std::int64_t>* values;
        std::int64_t top;
    } panels[] = {{"QSOs", &qsoDiff, maxQ}, {"score", &scoreDiff, maxS}};
    for (std::size_t p = 0; p < 2; ++p) {
        const double top = kTop + static_cast<double>(p) * (kPanelH + kGap), mid = top + kPanelH / 2;
        const std::vector<std::int64_t>& v = *panels[p].values;
        out += "<text class=\"label\" x=\"" + fixed(kLeft + 4) + "\" y=\"" + fixed(top - 6) + "\">" + panels[p].name +
               ": " + signedNumber(v.back()) + " at the end</text>";
        for (const double sign : {1.0, -1.0}) {
            const double y = mid - sign * kPanelH / 2;
            out += "<line class=\"grid\" x1=\"" + fixed(kLeft) + "\" y1=\"" + fixed(y) + "\" x2=\"" + fixed(kLeft + kPlotW) +
                   "\" y2=\"" + fixed(y) + "\"/><text x=\"" + fixed(kLeft - 6) + "\" y=\"" + fixed(y + 4) +
                   "\" text-anchor=\"end\">" + (sign > 0 ? "+" : "\xE2\x88\x92") + compact(static_cast<double>(panels[p].top)) +
                   "</text>";
        }
        out += "<line class=\"axis\" x1=\"" + fixed(kLeft) + "\" y1=\"" + fixed(mid) + "\" x2=\"" + fixed(kLeft + kPlotW) +
               "\" y2=\"" + fixed(mid) + "\"/><text x=\"" + fixed(kLeft - 6) + "\" y=\"" + fixed(mid + 4) +
               "\" text-anchor=\"end\">0</text>";
        std::string points;
        for (std::size_t i = 0; i <= kSamples; ++i) {
            if (i) points += ' ';
            points += fixed(kLeft + kPlotW * static_cast<double>(i) / kSamples) + "," +
                      fixed(mid - kPanelH / 2 * static_cast<double>(v[i]) / static_cast<double>(panels[p].top));
        }
        out += "<polyline class=\"" + std::string(p ? "b1" : "b0") + "\" points=\"" + points + "\"/>";
    }
    out += "</svg>\n<p class=\"muted\">Above the line " + escaped(callA) + " is ahead, below " + escaped(callB) +
           ".</p>\n";
}

void nameList(std::string& out, const std::vector<std::string>& names, const std::string& what, bool open) {
    constexpr std::size_t kNames = 200;
    out += open ? "<details open>" : "<details>";
    out += "<summary>" + escaped(what) + ": " + number(names.size()) + "</summary>\n";
    if (names.empty()) {
        out += "<p class=\"muted\">none</p></details>\n";
        return;
    }
    out += "<p class=\"mono names\">";
    const std::size_t shown = std::min(names.size(), kNames);
    for (std::size_t i = 0; i < shown; ++i) {
        if (i) out += " ";
        appendEscaped(out, names[i]);
    }
    out += "</p>\n";
    more(out, names.size(), shown, "not listed");
    out += "</details>\n";
}

void compareSection(std::string& out, const ContestReport& a, const ReportPageInfo& infoA, const ReportAnalysis& analysisA,
                    const ContestReport& b, const ReportPageInfo& infoB) {
    const SummaryTable sa = parseSummary(infoA.summary), sb = parseSummary(infoB.summary);
    std::string callA = callOf(sa, infoA), callB = callOf(sb, infoB);
    if (callA.empty()) callA = "this log";
    if (callB.empty() || callB == callA) callB = callB.empty() ? "the other log" : callB + " (" + infoB.logName + ")";
    const ReportAnalysis analysisB = analyseReport(b, infoB.minBreak, infoB.period);
    out += "<section><h2>Compared with " + escaped(callB) + "</h2>\n<p class=\"muted\">";
    appendEscaped(out, infoB.logName);
    out += ", replayed through the plug-in in a contest of its own.</p>\n<table><tr><th></th><th class=\"num\">";
    appendEscaped(out, callA);
    out += "</th><th class=\"num\">";
    appendEscaped(out, callB);
    out += "</th><th class=\"num\">Difference</th></tr>\n";
    const auto row = [&](const std::string& name, std::int64_t x, std::int64_t y) {
        out += "<tr><td>" + name + "</td><td class=\"num\">" + grouped(x) + "</td><td class=\"num\">" + grouped(y) +
               "</td><td class=\"num\">" + signedNumber(x - y) + "</td></tr>\n";
    };
    const std::string scoreA = wholeNumber(sa.score), scoreB = wholeNumber(sb.score);
    if (!scoreA.empty() && !scoreB.empty()) row("Score (the plug-in&#39;s)", std::stoll(scoreA), std::stoll(scoreB));
    row("QSOs", static_cast<std::int64_t>(a.qsos()), static_cast<std::int64_t>(b.qsos()));
    row("SA prefixes", static_cast<std::int64_t>(a.multipliers()), static_cast<std::int64_t>(b.multipliers()));
    row("Dupes", static_cast<std::int64_t>(a.dupeCount()), static_cast<std::int64_t>(b.dupeCount()));
    row("Rejected", static_cast<std::int64_t>(a.rejectedCount()), static_cast<std::int64_t>(b.rejectedCount()));
    for (int w = 0; w < 3; ++w)
        row("Best " + std::to_string(analysisA.best[w].window.count()) + " minutes", analysisA.best[w].qsos,
            analysisB.best[w].qsos);
    out += "<tr><td>Time on</td><td class=\"num\">" + durationText(analysisA.station.on) + "</td><td class=\"num\">" +
           durationText(analysisB.station.on) + "</td><td></td></tr>\n</table>\n";
    differenceChart(out, a, b, callA, callB);
    const std::vector<std::string> prefixesA = prefixesMissingFrom(a, b), prefixesB = prefixesMissingFrom(b, a);
    const std::vector<std::string> callsA = callsMissingFrom(a, b), callsB = callsMissingFrom(b, a);
    out += "<h3>Worked by one log only</h3>\n";
    nameList(out, prefixesA, "SA prefixes only " + callA + " worked", true);
    nameList(out, prefixesB, "SA prefixes only " + callB + " worked", true);
    nameList(out, callsA, "Calls only " + callA + " worked", false);
    nameList(out, callsB, "Calls only " + callB + " worked", false);
    out += "</section>\n";
}
void tile(std::string& out, const std::string& value, std::string_view label, bool main = false) {
    out += main ? "<div class=\"tile main\"><b>" : "<div class=\"tile\"><b>";
    out += value;
    out += "</b><span>";
    appendEscaped(out, label);
    out += "</span></div>";
}

constexpr std::string_view kExtraStyle =
    ".notice{background:#fff4e5;border:1px solid #e0a050;border-radius:8px;padding:10px 14px;margin:16px 0}\n"
    ".one{color:#b3261e}\n"
    "td.num{white-space:nowrap}\n"
    ".tile{flex:1 1 100px}\n"
    "ul.counts{margin:4px 0 8px;padding-left:20px}\n"
    "table.claim th{background:none;font-weight:400}\n"
    ".names{line-height:1.7;word-spacing:4px}\n";

}  // namespace

std::string reportPage(const ContestReport& r, const ReportPageInfo& info, const ContestReport* other,
                       const ReportPageInfo* otherInfo) {
    const SummaryTable summary = parseSummary(info.summary);
    const std::string call = callOf(summary, info);
    std::vector<std::pair<std::string, std::string>> details;
    std::string soapbox;
    for (const auto& [tag, value] : info.header) {
        if (value.empty()) continue;
        if (tag == "SOAPBOX") {
            soapbox += (soapbox.empty() ? "" : "\n") + value;
        } else if (tag.rfind("CATEGORY-", 0) == 0) {
            details.emplace_back(tag.substr(9), value);
        } else if (tag == "OPERATORS" || tag == "NAME" || tag == "CLUB" || tag == "LOCATION") {
            details.emplace_back(tag, value);
        }
    }
    const ReportAnalysis analysis = analyseReport(r, info.minBreak, info.period);

    std::string out;
    out.reserve(64 * 1024);
    html::beginPage(out, (call.empty() ? std::string("Contest report") : call) + " \xE2\x80\x93 " + summary.title,
                    kExtraStyle);
    out += "<header class=\"top\"><div><h1>";
    appendEscaped(out, call.empty() ? std::string("(no call)") : call);
    out += "</h1>\n<p>";
    appendEscaped(out, summary.title);
    if (r.contacts())
        out += " &middot; first QSO " + timeText(r.first()) + ", last " + timeText(r.last()) + " UTC";
    out += "</p>\n";
    if (!details.empty()) {
        out += "<p class=\"facts\">";
        for (const auto& [tag, value] : details) {
            out += "<span><small>";
            appendEscaped(out, tag);
            out += "</small> ";
            appendEscaped(out, value);
            out += "</span>";
        }
        out += "</p>\n";
    }
    if (!soapbox.empty()) {
        out += "<p><i>";
        for (std::size_t from = 0; from <= soapbox.size();) {
            const std::size_t nl = std::min(soapbox.find('\n', from), soapbox.size());
            if (from) out += "<br>";
            appendEscaped(out, soapbox.substr(from, nl - from));
            from = nl + 1;
        }
        out += "</i></p>\n";
    }
    out += "</div></header>\n<main>\n";
    noticeBox(out, info);
    out += "<div class=\"tiles\">";

    const std::string computed = wholeNumber(summary.score);
    const std::string claimed = wholeNumber(headerValue(info, "CLAIMED-SCORE"));
    tile(out, computed.empty() ? escaped(summary.score.empty() ? "?" : summary.score) : grouped(std::stoll(computed)),
         "score, as the plug-in computes it", true);
    if (!claimed.empty())
        tile(out, grouped(std::stoll(claimed)),
             computed.empty() || claimed == computed
                 ? std::string("claimed in the log, the same")
                 : "claimed in the log, " + grouped(std::llabs(std::stoll(claimed) - std::stoll(computed))) +
                       (std::stoll(claimed) > std::stoll(computed) ? " more" : " less") + " than computed");
    tile(out, number(r.qsos()), "QSOs");
    tile(out, number(r.multipliers()), "SA prefixes");
    tile(out, number(r.dupeCount()), r.dupeCount() == 1 ? "dupe" : "dupes");
    tile(out, number(r.rejectedCount()), "rejected");
    tile(out, durationText(analysis.station.on), "time on");
    const BestRate& hour = analysis.best[2];
    tile(out, number(hour.qsos), hour.qsos ? "best 60 minutes, from " + timeText(hour.start).substr(5) + " UTC"
                                           : std::string("best 60 minutes"));
    out += "</div>\n";

    scoreSection(out, summary, info);
    if (r.contacts()) {
        const Bars bars = makeBars(r);
        out += "<section>";
        if (!r.hours().empty() && bars.count) {
            rateChart(out, r, bars);
            rateCurve(out, analysis, bars);
        }
        bestRates(out, analysis);
        hourTable(out, r, analysis);
        out += "</section>\n";
        if (bars.count) {
            out += "<section>";
            runningChart(out, r, bars, analysis);
            out += "</section>\n";
        }
        timeSection(out, r, analysis);
        runSection(out, r, analysis);
    }
    prefixSection(out, r);
    if (other && otherInfo) compareSection(out, r, info, analysis, *other, *otherInfo);
    problemSection(out, r, info);
    out += "</main>\n";
    html::endPage(out, "Written by " + info.generator + " from " + info.logName +
                           ". Every count comes from the plug-in's answers while the log was replayed: "
                           "AddData0, its err.txt lines, and CheckCall0 asked before each QSO.");
    return out;
}

}  // namespace replay
