#include "tools/report/report_sections.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "core/text.h"
#include "tools/logs/score_line.h"
#include "tools/report/html_page.h"
#include "tools/report/html_writer.h"
#include "tools/report/report_charts.h"
#include "tools/report/report_format.h"

namespace report {
namespace {

using namespace std::chrono;
using html::escaped;
using html::grouped;
using html::Writer;

constexpr std::size_t kHourRows = 1000;   // hour table rows at most
constexpr std::size_t kPrefixRows = 1000;  // SA prefix rows at most

void cell(std::string& out, std::uint64_t value, bool dimZero = true) {
    Writer(out).element("td", number(value), {{"class", value == 0 && dimZero ? "num zero" : "num"}});
}

void textCell(std::string& out, std::string_view text, const char* cls = nullptr) {
    if (cls)
        Writer(out).element("td", text, {{"class", cls}});
    else
        Writer(out).element("td", text);
}

// "… and 12 more prefixes not listed." under a list cut short.
void more(std::string& out, std::uint64_t total, std::size_t listed, std::string_view what) {
    if (total > listed)
        out += "<p class=\"muted\">&hellip; and " + number(total - listed) + " more " + std::string(what) +
               " not listed.</p>\n";
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

// The hour table's two rows of column heads.
void hourHeads(std::string& out, const ContestReport& r, bool changes, const ReportWords& words) {
    out += "<tr><th rowspan=\"2\">Hour</th>";
    for (std::size_t k = 0; k < r.bands().size(); ++k) {
        Writer(out).open("th", {{"colspan", "3"}}).raw(swatch(k)).text(r.bands()[k]).close("th");
    }
    out += "<th colspan=\"3\">All bands</th><th colspan=\"2\">Mode</th>";
    if (changes) out += "<th rowspan=\"2\" class=\"num\">Band changes</th>";
    out += "<th rowspan=\"2\" class=\"num\">Run</th><th rowspan=\"2\" class=\"num\">Rejected</th></tr>\n<tr>";
    for (std::size_t k = 0; k <= r.bands().size(); ++k)
        out += "<th class=\"num\">QSOs</th><th class=\"num\">Dupes</th><th class=\"num\">" + words.newColumn + "</th>";
    out += "<th class=\"num\">CW</th><th class=\"num\">SSB</th></tr>\n";
}

// The counts of an hour table row, or of its total.
struct HourRow {
    std::vector<BandCounts> bands;
    BandCounts all;
    std::uint64_t cw = 0, ssb = 0, changes = 0, rejected = 0;

    void add(const HourCounts& h) {
        bands.resize(std::max(bands.size(), h.bands.size()));
        for (std::size_t k = 0; k < h.bands.size(); ++k)
            for (BandCounts* c : {&bands[k], &all}) {
                c->qsos += h.bands[k].qsos;
                c->dupes += h.bands[k].dupes;
                c->newPrefixes += h.bands[k].newPrefixes;
            }
        cw += h.cw;
        ssb += h.ssb;
        changes += h.bandChanges;
        rejected += h.rejected;
    }
};

// One row's cells after its first; `total` keeps zeros undimmed and the QSOs unbold.
void hourCells(std::string& out, const ContestReport& r, const HourRow& row, const std::string& run, bool changes,
               bool total) {
    const bool dim = !total;
    for (std::size_t k = 0; k < r.bands().size(); ++k) {
        const BandCounts c = k < row.bands.size() ? row.bands[k] : BandCounts{};
        cell(out, c.qsos, dim);
        cell(out, c.dupes, dim);
        cell(out, c.newPrefixes, dim);
    }
    if (total)
        cell(out, row.all.qsos, false);
    else
        out += "<td class=\"num\"><b>" + number(row.all.qsos) + "</b></td>";
    cell(out, row.all.dupes, dim);
    cell(out, row.all.newPrefixes, dim);
    cell(out, row.cw, dim);
    cell(out, row.ssb, dim);
    if (changes) cell(out, row.changes, dim);
    out += "<td class=\"num\">" + run + "</td>";
    cell(out, row.rejected, dim);
    out += "</tr>\n";
}

void hourTable(std::string& out, const ContestReport& r, const ReportAnalysis& a, BandChanges changes,
               const ReportWords& words) {
    const bool shown = changes != BandChanges::kNotKnown;
    const std::size_t rows = r.hours().size();
    out += rows <= 60 ? "<details open>" : "<details>";
    out += "<summary>Table per clock hour (UTC): QSOs, dupes and new " + words.multipliers +
           " per band, QSOs per mode, band changes and run share</summary>\n<table class=\"compact\">\n";
    hourHeads(out, r, shown, words);
    const auto runShare = [&](std::int64_t hour) {
        const auto it = a.runsByHour.find(hour);
        RunCount sum;
        if (it != a.runsByHour.end())
            for (const RunCount& c : it->second) sum.known += c.known, sum.run += c.run;
        return a.frequenciesKnown ? percent(sum.run, sum.known) : std::string("?");
    };
    std::string previousDate;
    std::size_t listed = 0;
    HourRow total;
    for (const auto& [hourNumber, h] : r.hours()) {
        total.add(h);
        if (listed++ >= kHourRows) continue;
        const std::string date = dateText(h.start);
        if (date != previousDate) {
            out += "<tr class=\"day\"><td colspan=\"" + std::to_string(3 * r.bands().size() + (shown ? 9 : 8)) +
                   "\">" + date + "</td></tr>\n";
            previousDate = date;
        }
        out += "<tr><td>" + clockText(h.start) + "</td>";
        HourRow row;
        row.add(h);
        hourCells(out, r, row, runShare(hourNumber), shown, false);
    }
    out += "<tr class=\"total\"><td>Total</td>";
    hourCells(out, r, total, a.frequenciesKnown ? percent(a.runs.run, a.runs.known) : std::string("?"), shown, true);
    out += "</table>\n";
    more(out, rows, std::min(rows, kHourRows), "hours (the totals count them)");
    out += "<p class=\"muted\">QSOs: accepted and not a dupe, as the score counts them. " + words.newColumn + ": " +
           words.newExplained + ". ";
    out += changes == BandChanges::kNotKnown
               ? "Band changes: not counted, as the log is of more than one transmitter and does not say which "
                 "transmitter made each contact. "
           : changes == BandChanges::kPerTransmitter
               ? "Band changes: contacts on another band than the same transmitter&#39;s contact before (rejected "
                 "ones too). "
               : "Band changes: contacts on another band than the contact before (rejected ones too). ";
    out += "Run: the share of QSOs with a known frequency that belong to a run (below).</p></details>\n";
}

// The groups of one list: a count line per reason ("NO CONTEST BAND: 15m 2 206, 10m 664"), then each
// group folded with its first QSOs.
void problemGroups(std::string& out, const std::vector<ProblemGroup>& groups, const ReportPageInfo& info,
                   bool contacts) {
    if (groups.empty()) return;
    const std::string place = info.placeWord.empty() ? "record" : info.placeWord;
    const std::string placeHead = stats::asciiUpper(place.substr(0, 1)) + place.substr(1);
    std::vector<const ProblemGroup*> order;
    for (const ProblemGroup& g : groups) order.push_back(&g);
    std::stable_sort(order.begin(), order.end(), [](const ProblemGroup* a, const ProblemGroup* b) {
        return a->reason != b->reason ? a->reason < b->reason : a->count > b->count;
    });
    Writer w(out);
    w.open("ul", {{"class", "counts"}});
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (i == 0 || order[i]->reason != order[i - 1]->reason)
            (i ? w.close("li") : w).open("li").element("b", order[i]->reason).text(":");
        else
            w.text(",");
        w.text(" " + (order[i]->band.empty() ? std::string() : order[i]->band + " ") + number(order[i]->count));
    }
    w.close("li").close("ul").raw("\n");
    for (const ProblemGroup* g : order) {
        w.open("details").open("summary").text(g->reason);
        if (!g->band.empty()) w.raw(" &middot; ").text(g->band);
        w.text(": " + (contacts ? counted(g->count, "QSO", "QSOs") : counted(g->count, "finding", "findings")));
        if (g->count > g->first.size()) w.text(" (the first " + number(g->first.size()) + " listed)");
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

// "Score: 261*52 = 13572" as "Score: 261 × 52 = 13 572"; another text as it is.
std::string scoreLineText(std::string_view line) {
    const auto s = logs::parseScore(line);
    if (line.substr(0, 7) != "Score: " || !s || s->qsos < 0 || s->multipliers < 0 || s->score < 0) return escaped(line);
    return "Score: " + grouped(s->qsos) + " \xC3\x97 " + grouped(s->multipliers) + " = " + grouped(s->score);
}

// A folded list of `names` headed `what`; `noun` names them in the line under a list cut short.
void nameList(std::string& out, const std::vector<std::string>& names, const std::string& what, std::string_view noun,
              bool open) {
    constexpr std::size_t kNames = 200;
    out += open ? "<details open>" : "<details>";
    Writer w(out);
    w.element("summary", what + ": " + number(names.size())).raw("\n");
    if (names.empty()) {
        w.element("p", "none", {{"class", "muted"}}).raw("</details>\n");
        return;
    }
    w.open("p", {{"class", "mono names"}});
    const std::size_t shown = std::min(names.size(), kNames);
    for (std::size_t i = 0; i < shown; ++i) w.text(i ? " " + names[i] : names[i]);
    w.close("p").raw("\n");
    more(out, names.size(), shown, noun);
    out += "</details>\n";
}

// A key figure: `value` (a text, escaped) over its label.
void tile(std::string& out, std::string_view value, std::string_view label, bool main = false) {
    Writer(out).open("div", {{"class", main ? "tile main" : "tile"}}).element("b", value).element("span", label).close("div");
}

// A figure of the plug-in's or the log's: a whole number in the page's one number format, any
// other text as it is.
std::string figure(std::string_view text) {
    const std::string digits = wholeNumber(text);
    return digits.empty() ? std::string(text) : grouped(std::stoll(digits));
}

}  // namespace

BandChanges bandChangesOf(const ContestReport& r, const ReportPageInfo& info) {
    if (r.transmitters() > 1) return BandChanges::kPerTransmitter;
    const std::string category = headerValue(info, "CATEGORY-TRANSMITTER");
    const std::string_view value = stats::trimmed(category);
    const bool several = !value.empty() && !stats::equalsIgnoringCase(value, "ONE");
    return several && r.transmitters() == 0 ? BandChanges::kNotKnown : BandChanges::kInOrder;
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

void noticeBox(std::string& out, const ReportPageInfo& info) {
    if (info.continentUnknown == 0) return;
    out += "<div class=\"notice\"><b>No country file: SA prefixes are not counted.</b> " +
           counted(info.continentUnknown, "QSO has", "QSOs have") +
           " no continent (none in the log, and no country file to look it up), so the plug-in counts no South "
           "American prefix for them: the multipliers and the score below are too low. Replay with "
           "<code>--cty cty.dat</code> (a country file in the CTY.DAT format; see the README).</div>\n";
}

void scoreSection(std::string& out, const SummaryTable& s, const ReportPageInfo& info) {
    Writer w(out);
    w.raw("<section><h2>Score</h2>\n")
        .element("p", "The score summary as " + info.words.scorer + " returns it: " + s.title, {{"class", "muted"}})
        .raw("\n<table>\n");
    for (std::size_t i = 0; i < s.rows.size(); ++i) {
        const auto& row = s.rows[i];
        const bool total = !row.empty() && row[0] == "Total";
        w.raw(total ? "<tr class=\"total\">" : "<tr>");
        for (std::size_t c = 0; c < row.size(); ++c) {
            const char* tag = i == 0 ? "th" : "td";
            if (c > 0)
                w.element(tag, figure(row[c]), {{"class", "num"}});
            else
                w.element(tag, figure(row[c]));
        }
        w.raw("</tr>\n");
    }
    out += "</table>\n<p><b>" + scoreLineText(s.scoreLine) + "</b></p>\n";
    const std::string claimedText = headerValue(info, "CLAIMED-SCORE");
    const std::string claimed = wholeNumber(claimedText), computed = wholeNumber(s.score);
    w.raw("<table class=\"claim\"><tr>")
        .element("th", info.words.scoreName)
        .element("td", s.score.empty() ? std::string("?") : figure(s.score), {{"class", "num"}})
        .raw("</tr>\n");
    if (!claimedText.empty()) {
        w.raw("<tr><th>CLAIMED-SCORE in the log</th>").element("td", figure(claimedText), {{"class", "num"}}).raw("</tr>\n");
        if (!claimed.empty() && !computed.empty())
            out += "<tr><th>Claimed less computed</th><td class=\"num\">" +
                   signedNumber(std::stoll(claimed) - std::stoll(computed)) + "</td></tr>\n";
    } else {
        out += "<tr><th>CLAIMED-SCORE in the log</th><td class=\"num muted\">none</td></tr>\n";
    }
    out += "</table>\n";
    if (!info.claimFinding.empty()) w.element("p", "Cabrillo check: " + info.claimFinding, {{"class", "warn"}}).raw("\n");
    out += "</section>\n";
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
        Writer(out).element("summary", what + ": " + counted(t.breakCount, "break", "breaks"));
        out += "\n"
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
        Writer(out).text(r.activityBands()[k]);
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
void prefixSection(std::string& out, const ContestReport& r, const ReportWords& words) {
    const auto& prefixes = r.prefixes();
    std::size_t single = 0;
    for (const auto& [prefix, p] : prefixes) single += p.qsos == 1;
    std::string heading = words.multipliers;
    if (!heading.empty()) heading[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(heading[0])));
    out += "<section><h2>" + heading + " worked: " + number(prefixes.size()) +
           "</h2>\n<p class=\"muted\">Each with the QSO that first gave it (UTC month-day and time, band and mode, "
           "call) and the QSOs that carry it, sorted by " + words.unit + "." +
           (single ? " <span class=\"one\">&#9679;</span> marks the " + counted(single, words.unit, words.units) +
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
            out += std::string(i ? "</table>" : "") + "<table class=\"compact\"><tr><th>" + words.unitHead +
                   "</th><th class=\"num\">QSOs</th><th>UTC</th><th>Band</th><th>Call</th></tr>\n";
        out += "<tr><td><b>";
        Writer(out).text(prefix);
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
    more(out, prefixes.size(), shown, words.units);
    out += "</section>\n";
}

void compareSection(std::string& out, const ContestReport& a, const ReportPageInfo& infoA, const ReportAnalysis& analysisA,
                    const ContestReport& b, const ReportPageInfo& infoB) {
    const SummaryTable sa = parseSummary(infoA.summary), sb = parseSummary(infoB.summary);
    std::string callA = callOf(sa, infoA), callB = callOf(sb, infoB);
    if (callA.empty()) callA = "this log";
    if (callB.empty() || callB == callA) callB = callB.empty() ? "the other log" : callB + " (" + std::string(fileNameOf(infoB.logName)) + ")";
    const ReportAnalysis analysisB = analyseReport(b, infoB.minBreak, infoB.period);
    Writer w(out);
    w.raw("<section>").element("h2", "Compared with " + callB).raw("\n");
    w.element("p", std::string(fileNameOf(infoB.logName)) + ", replayed through the plug-in in a contest of its own.",
              {{"class", "muted"}});
    w.raw("\n<table><tr><th></th>").element("th", callA, {{"class", "num"}}).element("th", callB, {{"class", "num"}});
    w.raw("<th class=\"num\">Difference</th></tr>\n");
    const auto row = [&](const std::string& name, std::int64_t x, std::int64_t y) {
        w.open("tr").element("td", name);
        for (const std::string& value : {grouped(x), grouped(y), signedNumber(x - y)})
            w.element("td", value, {{"class", "num"}});
        w.close("tr").raw("\n");
    };
    const std::string scoreA = wholeNumber(sa.score), scoreB = wholeNumber(sb.score);
    if (!scoreA.empty() && !scoreB.empty()) row("Score (the plug-in's)", std::stoll(scoreA), std::stoll(scoreB));
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
    nameList(out, prefixesA, "SA prefixes only " + callA + " worked", "prefixes", true);
    nameList(out, prefixesB, "SA prefixes only " + callB + " worked", "prefixes", true);
    nameList(out, callsA, "Calls only " + callA + " worked", "calls", false);
    nameList(out, callsB, "Calls only " + callB + " worked", "calls", false);
    out += "</section>\n";
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


void pageHeader(std::string& out, const ContestReport& r, const SummaryTable& summary, const ReportPageInfo& info) {
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
    const std::string call = callOf(summary, info);
    Writer w(out);
    w.raw("<header class=\"top\"><div>").element("h1", call.empty() ? std::string("(no call)") : call).raw("\n");
    w.open("p").text(summary.title);
    if (r.contacts()) w.raw(" &middot; ").text("first QSO " + timeText(r.first()) + ", last " + timeText(r.last()) + " UTC");
    w.close("p").raw("\n");
    if (!details.empty()) {
        w.open("p", {{"class", "facts"}});
        for (const auto& [tag, value] : details) w.open("span").element("small", tag).text(" " + value).close("span");
        w.close("p").raw("\n");
    }
    if (!soapbox.empty()) {
        w.raw("<p><i>");
        for (std::size_t from = 0; from <= soapbox.size();) {
            const std::size_t nl = std::min(soapbox.find('\n', from), soapbox.size());
            if (from) w.raw("<br>");
            w.text(soapbox.substr(from, nl - from));
            from = nl + 1;
        }
        w.raw("</i></p>\n");
    }
    w.raw("</div></header>\n");
}

void keyFigures(std::string& out, const ContestReport& r, const SummaryTable& summary, const ReportPageInfo& info,
                const ReportAnalysis& a) {
    out += "<div class=\"tiles\">";
    const std::string computed = wholeNumber(summary.score);
    const std::string claimed = wholeNumber(headerValue(info, "CLAIMED-SCORE"));
    tile(out, summary.score.empty() ? std::string("?") : figure(summary.score),
         "score, as " + info.words.scorer + " computes it", true);
    if (!claimed.empty())
        tile(out, grouped(std::stoll(claimed)),
             computed.empty() || claimed == computed
                 ? std::string("claimed in the log, the same")
                 : "claimed in the log, " + grouped(std::llabs(std::stoll(claimed) - std::stoll(computed))) +
                       (std::stoll(claimed) > std::stoll(computed) ? " more" : " less") + " than computed");
    tile(out, number(r.qsos()), "QSOs");
    tile(out, number(r.multipliers()), info.words.multipliers);
    tile(out, number(r.dupeCount()), r.dupeCount() == 1 ? "dupe" : "dupes");
    tile(out, number(r.rejectedCount()), "rejected");
    tile(out, durationText(a.station.on), "time on");
    const BestRate& hour = a.best[2];
    tile(out, number(hour.qsos), hour.qsos ? "best 60 minutes, from " + timeText(hour.start).substr(5) + " UTC"
                                           : std::string("best 60 minutes"));
    out += "</div>\n";
}

void rateSections(std::string& out, const ContestReport& r, const ReportAnalysis& a, BandChanges changes,
                  const ReportWords& words) {
    const Bars bars = makeBars(r);
    out += "<section>";
    if (!r.hours().empty() && bars.count) {
        rateChart(out, r, bars, words);
        rateCurve(out, a, bars);
    }
    bestRates(out, a);
    hourTable(out, r, a, changes, words);
    out += "</section>\n";
    if (bars.count) {
        out += "<section>";
        runningChart(out, r, bars, a, words);
        out += "</section>\n";
    }
}

}  // namespace report
