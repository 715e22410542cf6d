#include "tools/report/report_html.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

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
    return std::to_string(m / 60) + " h " + (m % 60 < 10 ? "0" : "") + std::to_string(m % 60);
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

Bars makeBars(const ContestReport& r) {
    Bars b;
    if (r.hours().empty()) return b;
    const std::int64_t first = r.hours().begin()->first, last = r.hours().rbegin()->first;
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
    b.qsos.assign(b.count, std::vector<std::uint32_t>(r.bands().size()));
    b.dupes.assign(b.count, 0);
    b.newPrefixes.assign(b.count, 0);
    b.rejected.assign(b.count, 0);
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
            out += " " + std::to_string(b.qsos[i][k]) + (k + 1 < r.bands().size() ? "," : "");
            total += b.qsos[i][k];
        }
        out += "; " + std::to_string(b.newPrefixes[i]) + " new SA prefixes, " + std::to_string(b.dupes[i]) +
               " dupes, " + std::to_string(b.rejected[i]) + " rejected</title>";
        for (std::size_t k = 0; k < r.bands().size(); ++k) {
            if (b.qsos[i][k] == 0) continue;
            const double h = kPlotH * b.qsos[i][k] / scaleTop;
            y -= h;
            out += "<rect class=\"b" + std::to_string(k % kPalette) + "\" x=\"" + fixed(x) + "\" y=\"" + fixed(y) +
                   "\" width=\"" + fixed(std::max(bw - gap, 0.5)) + "\" height=\"" + fixed(h) + "\"/>";
        }
        if (total > 0 && bw >= 20)
            out += "<text x=\"" + fixed(x + (bw - gap) / 2) + "\" y=\"" + fixed(y - 3) +
                   "\" text-anchor=\"middle\">" + std::to_string(total) + "</text>";
        out += "</g>";
    }
    out += "</svg>\n";
}

// Three panels over the same time axis as the bars: QSOs, SA prefixes and their product, the score.
void runningChart(std::string& out, const ContestReport& r, const Bars& b) {
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
    for (const Break& br : r.breaks())
        out += "<rect class=\"brk\" x=\"" + fixed(xOf(br.from)) + "\" y=\"" + fixed(kTop) + "\" width=\"" +
               fixed(std::max(xOf(br.to) - xOf(br.from), 1.0)) + "\" height=\"" + fixed(bottomAll - kTop) +
               "\"><title>break " + timeText(br.from) + "\xE2\x80\x93" + timeText(br.to) + " (" +
               durationText(br.to - br.from) + ")</title></rect>";
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
    if (!r.breaks().empty()) out += "<p class=\"muted\">Shaded: breaks of 30 minutes or more.</p>\n";
}

void hourTable(std::string& out, const ContestReport& r) {
    const std::size_t rows = r.hours().size();
    out += rows <= 60 ? "<details open>" : "<details>";
    out += "<summary>Table per clock hour (UTC): QSOs, dupes and new SA prefixes per band</summary>\n"
           "<table>\n<tr><th rowspan=\"2\">Hour</th>";
    for (std::size_t k = 0; k < r.bands().size(); ++k) {
        out += "<th colspan=\"3\">" + swatch(k);
        appendEscaped(out, r.bands()[k]);
        out += "</th>";
    }
    out += "<th colspan=\"3\">All bands</th><th rowspan=\"2\" class=\"num\">Rejected</th></tr>\n<tr>";
    for (std::size_t k = 0; k <= r.bands().size(); ++k)
        out += "<th class=\"num\">QSOs</th><th class=\"num\">Dupes</th><th class=\"num\">New SA</th>";
    out += "</tr>\n";
    std::string previousDate;
    std::size_t listed = 0;
    BandCounts all;
    std::uint64_t rejected = 0;
    for (const auto& [number, h] : r.hours()) {
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
        if (listed++ >= kHourRows) continue;
        const std::string date = dateText(h.start);
        if (date != previousDate) {
            out += "<tr class=\"day\"><td colspan=\"" + std::to_string(3 * r.bands().size() + 5) + "\">" + date +
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
        out += "<td class=\"num\"><b>" + grouped(sum.qsos) + "</b></td>";
        cell(out, sum.dupes);
        cell(out, sum.newPrefixes);
        cell(out, h.rejected);
        out += "</tr>\n";
    }
    out += "<tr class=\"total\"><td>Total</td>";
    for (std::size_t k = 0; k < r.bands().size(); ++k) {
        BandCounts c;
        for (const auto& [number, h] : r.hours())
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
    cell(out, rejected, false);
    out += "</tr>\n</table>\n";
    more(out, rows, std::min(rows, kHourRows), "hours (the totals count them)");
    out += "<p class=\"muted\">QSOs: accepted and not a dupe, as the score counts them. New SA: the QSOs for "
           "which the plug-in announced a new SA prefix while the call was typed.</p></details>\n";
}

void summarySection(std::string& out, const SummaryTable& s) {
    out += "<section><h2>Score summary</h2>\n<p class=\"muted\">As the plug-in returns it: ";
    appendEscaped(out, s.title);
    out += "</p>\n<table>\n";
    for (std::size_t i = 0; i < s.rows.size(); ++i) {
        const auto& row = s.rows[i];
        const bool total = !row.empty() && row[0] == "Total";
        out += total ? "<tr class=\"total\">" : "<tr>";
        for (std::size_t c = 0; c < row.size(); ++c) {
            const char* tag = i == 0 ? "th" : "td";
            out += std::string("<") + tag + (c > 0 ? " class=\"num\">" : ">");
            appendEscaped(out, row[c]);
            out += std::string("</") + tag + ">";
        }
        out += "</tr>\n";
    }
    out += "</table>\n<p><b>";
    appendEscaped(out, s.scoreLine);
    out += "</b></p></section>\n";
}

void prefixSection(std::string& out, const ContestReport& r) {
    const auto& prefixes = r.prefixes();
    out += "<section><h2>SA prefixes worked: " + grouped(static_cast<std::int64_t>(prefixes.size())) +
           "</h2>\n<p class=\"muted\">Each with the QSO that first gave it (UTC month-day and time, band and mode, call), sorted by prefix.</p>\n<div class=\"cols\">";
    const std::size_t shown = std::min(prefixes.size(), kPrefixRows);
    const std::size_t columns = shown > 40 ? 3 : shown > 16 ? 2 : 1;
    const std::size_t perColumn = (shown + columns - 1) / std::max<std::size_t>(columns, 1);
    std::size_t i = 0;
    for (const auto& [prefix, p] : prefixes) {
        if (i >= shown) break;
        if (i % perColumn == 0)
            out += (i ? "</table>" : "") +
                   std::string("<table class=\"compact\"><tr><th>Prefix</th><th>UTC</th><th>Band</th><th>Call</th></tr>\n");
        out += "<tr><td><b>";
        appendEscaped(out, prefix);
        out += "</b></td>";
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

void problemSection(std::string& out, const ContestReport& r, const ReportPageInfo& info) {
    const std::string place = info.placeWord.empty() ? "record" : info.placeWord;
    const std::string placeHead = std::string(1, static_cast<char>(place[0] - 'a' + 'A')) + place.substr(1);
    out += "<section><h2>Problems</h2>\n";
    const auto head = [&](const char* title, std::uint64_t n) {
        out += std::string("<h3>") + title + ": " + grouped(static_cast<std::int64_t>(n)) + "</h3>\n";
    };
    const auto contactColumns = "<th>Time (UTC)</th><th>Band</th><th>Mode</th><th>Call</th>";
    const auto contactCells = [&](const Problem& p) {
        out += "<tr><td class=\"num\">" + grouped(static_cast<std::int64_t>(p.record)) + "</td>";
        textCell(out, timeText(p.when));
        textCell(out, p.band);
        textCell(out, p.mode);
        textCell(out, p.call, "mono");
    };

    head("Rejected QSOs (not counted)", r.rejectedCount());
    if (!r.rejected().empty()) {
        out += "<table><tr><th class=\"num\">" + placeHead + "</th>" + contactColumns + "<th>Reason</th></tr>\n";
        for (const Problem& p : r.rejected()) {
            contactCells(p);
            textCell(out, p.text, "err");
            out += "</tr>\n";
        }
        out += "</table>\n";
        more(out, r.rejectedCount(), r.rejected().size(), "rejected QSOs");
    }

    head("Dupes (logged, not counted)", r.dupeCount());
    if (!r.dupes().empty()) {
        out += "<table><tr><th class=\"num\">" + placeHead + "</th>" + contactColumns + "<th>Repeats</th></tr>\n";
        for (const Problem& p : r.dupes()) {
            contactCells(p);
            textCell(out, p.repeats ? place + " " + std::to_string(p.repeats) : std::string("an earlier QSO"));
            out += "</tr>\n";
        }
        out += "</table>\n";
        more(out, r.dupeCount(), r.dupes().size(), "dupes");
    }

    if (r.errorCount() + r.warningCount() > 0 || !r.findings().empty()) {
        head("Cabrillo check", r.errorCount() + r.warningCount());
        out += "<p>" + grouped(static_cast<std::int64_t>(r.errorCount())) + " error(s), " +
               grouped(static_cast<std::int64_t>(r.warningCount())) + " warning(s)</p>\n";
        out += "<table><tr><th class=\"num\">Line</th><th>Kind</th><th>Finding</th></tr>\n";
        for (const Problem& p : r.findings()) {
            out += "<tr><td class=\"num\">" + grouped(static_cast<std::int64_t>(p.record)) + "</td>";
            textCell(out, p.kind == Problem::kError ? "error" : "warning", p.kind == Problem::kError ? "err" : "warn");
            textCell(out, p.text);
            out += "</tr>\n";
        }
        out += "</table>\n";
        more(out, r.errorCount() + r.warningCount(), r.findings().size(), "findings");
    }
    out += "</section>\n";
}

void breakSection(std::string& out, const ContestReport& r) {
    out += "<section><h2>Breaks and time on</h2>\n<p>Time on: <b>" + durationText(r.timeOn()) +
           "</b>, from the first QSO (" + timeText(r.first()) + ") to the last (" + timeText(r.last()) + ") less " +
           grouped(static_cast<std::int64_t>(r.breakCount())) + " break(s) of 30 minutes or more.</p>\n";
    if (!r.breaks().empty()) {
        out += "<table><tr><th>From (UTC)</th><th>To</th><th class=\"num\">Length</th></tr>\n";
        for (const Break& b : r.breaks()) {
            out += "<tr>";
            textCell(out, timeText(b.from));
            textCell(out, timeText(b.to));
            out += "<td class=\"num\">" + durationText(b.to - b.from) + "</td></tr>\n";
        }
        out += "</table>\n";
        more(out, r.breakCount(), r.breaks().size(), "breaks");
    }
    out += "</section>\n";
}

void tile(std::string& out, const std::string& value, std::string_view label, bool main = false) {
    out += main ? "<div class=\"tile main\"><b>" : "<div class=\"tile\"><b>";
    out += value;
    out += "</b><span>";
    appendEscaped(out, label);
    out += "</span></div>";
}

}  // namespace

std::string reportPage(const ContestReport& r, const ReportPageInfo& info) {
    const SummaryTable summary = parseSummary(info.summary);
    std::string call = summary.contestant;
    std::vector<std::pair<std::string, std::string>> details;
    std::string soapbox;
    for (const auto& [tag, value] : info.header) {
        if (tag == "CALLSIGN" && call.empty()) call = value;
        if (value.empty()) continue;
        if (tag == "SOAPBOX") {
            soapbox += (soapbox.empty() ? "" : "\n") + value;
        } else if (tag.rfind("CATEGORY-", 0) == 0) {
            details.emplace_back(tag.substr(9), value);
        } else if (tag == "OPERATORS" || tag == "NAME" || tag == "CLUB" || tag == "LOCATION") {
            details.emplace_back(tag, value);
        }
    }

    std::string out;
    out.reserve(64 * 1024);
    html::beginPage(out, (call.empty() ? std::string("Contest report") : call) + " \xE2\x80\x93 " + summary.title);
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
    out += "</div></header>\n<main>\n<div class=\"tiles\">";

    std::uint32_t bestHour = 0;
    sys_seconds bestStart{};
    for (const auto& [number, h] : r.hours())
        if (h.total() > bestHour) {
            bestHour = h.total();
            bestStart = h.start;
        }
    tile(out, summary.score.empty() ? std::string("?") : escaped(summary.score), "claimed score", true);
    tile(out, grouped(static_cast<std::int64_t>(r.qsos())), "QSOs");
    tile(out, grouped(static_cast<std::int64_t>(r.multipliers())), "SA prefixes");
    tile(out, grouped(static_cast<std::int64_t>(r.dupeCount())), "dupes");
    tile(out, grouped(static_cast<std::int64_t>(r.rejectedCount())), "rejected");
    tile(out, durationText(r.timeOn()), "time on");
    tile(out, grouped(bestHour), bestHour ? "best hour, " + timeText(bestStart).substr(5) + " UTC" : "best hour");
    out += "</div>\n";

    summarySection(out, summary);
    if (r.contacts()) {
        const Bars bars = makeBars(r);
        out += "<section>";
        rateChart(out, r, bars);
        hourTable(out, r);
        out += "</section>\n<section>";
        runningChart(out, r, bars);
        out += "</section>\n";
    }
    prefixSection(out, r);
    problemSection(out, r, info);
    breakSection(out, r);
    out += "</main>\n";
    html::endPage(out, "Written by " + info.generator + " from " + info.logName +
                           ". Every count comes from the plug-in's answers while the log was replayed: "
                           "AddData0, its err.txt lines, and CheckCall0 asked before each QSO.");
    return out;
}

}  // namespace replay
