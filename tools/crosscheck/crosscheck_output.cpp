#include "tools/crosscheck/crosscheck_output.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "tools/logs/csv_field.h"
#include "tools/report/html_page.h"
#include "tools/report/html_writer.h"

namespace crosscheck {

using logs::csvField;
namespace html = report::html;

namespace {

// The verdicts that can take a QSO the plug-in counted, in the order a report lists them.
constexpr std::array<Verdict, 9> kDeductionOrder = {
    Verdict::kOutOfPeriod,  Verdict::kNotInLog,     Verdict::kBustedCall,         Verdict::kBustedExchange,
    Verdict::kBandMismatch, Verdict::kModeMismatch, Verdict::kBustedCallInferred, Verdict::kBustedExchangeInferred,
    Verdict::kUnique};

std::size_t count(const LogResult& log, Verdict v) {
    return log.counts[static_cast<std::size_t>(v)];
}

std::string number(long long n) {
    return std::to_string(n);
}

const std::string& contestName(const ReportSettings& settings) {
    return settings.contest;
}

std::string windowText(std::int64_t seconds) {
    return seconds % 60 == 0 ? std::to_string(seconds / 60) + " min" : std::to_string(seconds) + " s";
}

// The final score (the checked one less any penalty) first; ties by checked score, claimed score,
// then call, so the order never depends on the input.
bool ranksBefore(const LogResult* a, const LogResult* b) {
    if (a->finalScore != b->finalScore) return a->finalScore > b->finalScore;
    if (a->checked.score != b->checked.score) return a->checked.score > b->checked.score;
    if (a->claimed.score != b->claimed.score) return a->claimed.score > b->claimed.score;
    return a->call < b->call;
}

// A relative link to a file in the same folder: the name's bytes outside the unreserved set
// percent-encoded (safe names have none, but the link never depends on that).
std::string hrefOf(std::string_view name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : name) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
            c == '.' || c == '~')
            out += static_cast<char>(c);
        else
            out.append(1, '%').append(1, kHex[c >> 4]).append(1, kHex[c & 15]);
    }
    return out;
}

std::string signedMinutes(long long minutes) {
    return (minutes > 0 ? "+" : minutes < 0 ? "-" : "") + std::to_string(minutes < 0 ? -minutes : minutes) + " min";
}

// `text` on one line: a log's field may hold any byte, but not break the report's lines.
std::string oneLine(std::string text) {
    std::replace_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return text;
}

}  // namespace

std::string_view penaltyName(Penalty penalty) {
    switch (penalty) {
        case Penalty::kLossPlusOne: return "loss-plus-one";
        case Penalty::kDouble: return "double";
        case Penalty::kNone: break;
    }
    return "none";
}

int penaltyQsos(Penalty penalty) {
    return penalty == Penalty::kLossPlusOne ? 1 : penalty == Penalty::kDouble ? 2 : 0;
}

std::vector<std::pair<Verdict, std::size_t>> deductions(const LogResult& log) {
    std::vector<std::pair<Verdict, std::size_t>> out;
    for (const Verdict v : kDeductionOrder)
        if (const std::size_t n = log.lost[static_cast<std::size_t>(v)]) out.emplace_back(v, n);
    return out;
}

std::string safeFileName(std::string_view call) {
    std::string out;
    for (const char c : call) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-')
            out += c;
        else
            out += c == '/' ? '-' : '_';
        if (out.size() >= 64) break;
    }
    if (out.empty()) return "_";
    std::string stem = out.substr(0, 4);
    for (char& c : stem) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    static constexpr const char* kReserved[] = {"CON", "PRN", "AUX", "NUL"};
    const bool device = std::any_of(std::begin(kReserved), std::end(kReserved), [&](const char* r) {
        return out.size() == 3 && stem == r;
    });
    const bool port = out.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) &&
                      stem[3] >= '0' && stem[3] <= '9';
    return device || port ? "_" + out : out;
}

namespace {

// The report's title and the log's warnings.
std::string reportHeading(const LogResult& log, const ReportSettings& settings) {
    std::string out = contestName(settings) + " cross-check of " + log.call + " (" +
                      oneLine(log.file) + ")\r\n";
    for (const std::string& w : log.warnings) out += "Warning: " + oneLine(w) + "\r\n";
    return out;
}

// Reconciliation: where every QSO line went before the matching.
std::string qsoLinesAccount(const LogResult& log) {
    auto n = [&](Verdict v) { return std::to_string(count(log, v)); };
    std::size_t judged = log.qsoLines;
    for (const Verdict v : {Verdict::kDupe, Verdict::kOutOfBand, Verdict::kOutOfMode, Verdict::kNoNumber,
                            Verdict::kOutOfPeriod})
        judged -= std::min(judged, count(log, v));
    return "QSO lines: " + std::to_string(log.qsoLines + log.skippedLines) + (log.skippedLines ? " (" + std::to_string(log.skippedLines) + " not read)" : "") +
           "; DUPE " + n(Verdict::kDupe) + ", OUT OF BAND " + n(Verdict::kOutOfBand) + ", OUT OF MODE " +
           n(Verdict::kOutOfMode) + ", NO NUMBER " + n(Verdict::kNoNumber) + " (not counted by the rules); OUT OF PERIOD " +
           n(Verdict::kOutOfPeriod) + "; judged " + std::to_string(judged) + "\r\n";
}

// The claimed and the checked score by the contest's definition, and the points between them by
// verdict.
std::string pointsLines(const LogResult& log) {
    std::string out;
    auto score = [&](const char* what, const Score& s, long long points) {
        out += std::string(what) + number(s.qsos) + " QSOs, " + number(points) + " points, " + number(s.multipliers) +
               " multipliers, score " + number(s.score) + "\r\n";
    };
    score("Claimed: ", log.claimed, log.claimedPoints);
    score("Checked: ", log.checked, log.checkedPoints);
    std::string taken;
    // A verified QSO loses points only for the other station's fault.
    for (std::size_t v = 0; v < kVerdictCount; ++v)
        if (log.lostPoints[v])
            taken += (taken.empty() ? "" : ", ") +
                     (v == static_cast<std::size_t>(Verdict::kVerified) ? std::string("the other stations' faults")
                      : verdictName(static_cast<Verdict>(v)).empty()
                          ? std::string("NO LOG")
                          : std::string(verdictName(static_cast<Verdict>(v)))) +
                     " " + number(log.lostPoints[v]);
    return out + "Claimed - checked: " + number(log.claimedPoints - log.checkedPoints) + " points" +
           (taken.empty() ? "" : ": " + taken) +
           (log.penaltyQsos ? "; penalties " + number(log.penaltyQsos) + " QSOs' points" : "") + "\r\n";
}

// The claimed and the checked score, and the QSOs between them by verdict.
std::string scoreLines(const LogResult& log) {
    if (log.byDefinition) return pointsLines(log);
    std::string out;
    auto score = [&](const char* what, const Score& s) {
        out += std::string(what) + number(s.qsos) + " QSOs, " + number(s.multipliers) + " multipliers, score " +
               number(s.score) + "\r\n";
    };
    score("Claimed: ", log.claimed);
    score("Checked: ", log.checked);
    std::string taken;
    long long total = 0;
    for (const auto& [v, k] : deductions(log)) {
        taken += (taken.empty() ? "" : ", ") + std::string(verdictName(v)) + " " + std::to_string(k);
        total += static_cast<long long>(k);
    }
    out += "Claimed - checked: " + number(total) + " QSOs" + (taken.empty() ? "" : ": " + taken) + "\r\n";
    return out;
}

// How many QSOs got each verdict of the matching, and of the mismatches how many lost credit.
std::string verdictCounts(const LogResult& log, const ReportSettings& settings) {
    auto n = [&](Verdict v) { return std::to_string(count(log, v)); };
    std::string out = "Verified " + n(Verdict::kVerified) + ", NIL " + n(Verdict::kNotInLog) + ", BUSTED CALL " +
                      n(Verdict::kBustedCall) + ", BUSTED EXCHANGE " + n(Verdict::kBustedExchange) + ", UNIQUE " +
                      n(Verdict::kUnique) + (settings.uniquesRemoved ? " (removed)" : " (kept)") +
                      ", UNIQUE ON THIS BAND " + n(Verdict::kUniqueOnBand) + " (kept)" +
                      ", with stations that sent no log " + n(Verdict::kNoLog) + "\r\n";
    auto lost = [&](Verdict v) { return std::to_string(log.lost[static_cast<std::size_t>(v)]); };
    // A definition may make a time mismatch cost its points; the plug-in's contest keeps them.
    const long long timeLost = log.lostPoints[static_cast<std::size_t>(Verdict::kTimeMismatch)];
    out += "TIME MISMATCH " + n(Verdict::kTimeMismatch) +
           (timeLost > 0 ? " (" + std::to_string(timeLost) + " points lost)" : std::string(" (kept)")) +
           ", BAND MISMATCH " + n(Verdict::kBandMismatch) +
           " (" + lost(Verdict::kBandMismatch) + " lost), MODE MISMATCH " + n(Verdict::kModeMismatch) + " (" +
           lost(Verdict::kModeMismatch) + " lost), BUSTED CALL (inferred) " + n(Verdict::kBustedCallInferred) +
           ", BUSTED EXCHANGE (inferred) " + n(Verdict::kBustedExchangeInferred) + "\r\n";
    return out;
}

// What the check went by: the log's clock offset, the penalty and the final score it gives, the
// period, the lines not read, the time window; then a blank line.
std::string checkSettings(const LogResult& log, const ReportSettings& settings) {
    std::string out = "Clock offset: " + signedMinutes(log.clockOffsetMinutes) +
                      (log.offsetMatches ? " (from " + std::to_string(log.offsetMatches) + " exact matches)"
                                         : " (no exact match to measure it)") +
                      "\r\n";
    const std::size_t penalised = count(log, Verdict::kNotInLog) + count(log, Verdict::kBustedCall);
    if (log.byDefinition)
        out += "Penalty: as the contest's rules set it\r\n";
    else if (settings.penalty == Penalty::kNone)
        out += "Penalty: none (a NIL or BUSTED CALL costs only its QSO)\r\n";
    else
        out += "Penalty: " + std::string(penaltyName(settings.penalty)) + " (a NIL or BUSTED CALL costs " +
               std::to_string(penaltyQsos(settings.penalty)) + " QSO(s) more): " +
               std::to_string(penalised) + " cost " + number(log.penaltyQsos) + ", final score (" +
               number(log.checked.qsos) + " - " + number(log.penaltyQsos) + ") * " + number(log.checked.multipliers) +
               " = " + number(log.finalScore) + "\r\n";
    if (!settings.period.empty()) out += "Contest period: " + settings.period + "\r\n";
    if (log.skippedLines) out += "QSO lines not read: " + std::to_string(log.skippedLines) + "\r\n";
    out += "Time window: " + windowText(settings.windowSeconds) + "\r\n\r\n";
    return out;
}

// One line per flagged QSO: its verdict, its line number, the line and the evidence.
std::string flaggedQsos(const std::vector<ReportLine>& lines) {
    std::string out;
    char head[64];
    for (const ReportLine& l : lines) {
        std::string name = l.label.empty() ? std::string(verdictName(l.verdict)) : oneLine(l.label);
        if (name.size() < 26) name.resize(26, ' ');
        std::snprintf(head, sizeof head, " line %-6llu ", static_cast<unsigned long long>(l.line));
        out += name + head + oneLine(l.qsoLine) + "   <- " + oneLine(l.evidence) + "\r\n";
    }
    return out;
}

// The QSOs of other logs that miscopied this station's call or number, if any.
std::string copiedByOthers(const std::vector<CopiedLine>& copied) {
    if (copied.empty()) return {};
    std::string out = "\r\nHow others copied you: " + std::to_string(copied.size()) + " QSO(s)\r\n";
    for (const CopiedLine& c : copied)
        out += oneLine(c.call) + " line " + std::to_string(c.line) + ": " + oneLine(c.qsoLine) + "   <- " +
               oneLine(c.evidence) + "\r\n";
    return out;
}

}  // namespace

std::string reportText(const LogResult& log, const std::vector<ReportLine>& lines,
                       const std::vector<CopiedLine>& copied, const ReportSettings& settings) {
    return reportHeading(log, settings) + qsoLinesAccount(log) + scoreLines(log) + verdictCounts(log, settings) +
           checkSettings(log, settings) + flaggedQsos(lines) + copiedByOthers(copied);
}

namespace {

// Why a log is not ranked, as results.csv says it: "checklog", or what places it in no category.
std::string notRanked(const contest::Placement& p) {
    return p.kind == contest::Placement::Kind::kChecklog ? "checklog" : p.why;
}

}  // namespace

std::string csvText(const std::vector<LogResult>& logs, bool withPoints) {
    // The transmitter's column came last: it stands at the end, after every older column.
    constexpr std::size_t kTransmitter = kCategoryTags.size() - 1;
    auto column = [](const char* tag) {
        std::string name = std::string(tag).substr(9);
        for (char& c : name) c = c == '-' ? '_' : static_cast<char>(c - 'A' + 'a');
        return ",category_" + name;
    };
    std::string out = "call";
    for (std::size_t i = 0; i < kTransmitter; ++i) out += column(kCategoryTags[i]);
    out += ",claimed_qsos,claimed_mults,claimed_score,checked_qsos,checked_mults,checked_score";
    for (std::size_t v = 0; v < kVerdictCount; ++v) {
        if (v == kLeadingVerdictColumns) out += ",clock_offset_min";
        out += "," + std::string(kVerdictTable[v].column);
    }
    out += ",band_mismatch_lost,mode_mismatch_lost,penalty_qsos,final_score" +
           column(kCategoryTags[kTransmitter]) + (withPoints ? ",claimed_points,checked_points" : "") +
           ",category,not_ranked\r\n";
    for (const LogResult& log : logs) {
        out += csvField(log.call);
        for (std::size_t i = 0; i < kTransmitter; ++i) out += "," + csvField(log.categories[i]);
        for (const Score* s : {&log.claimed, &log.checked})
            out += "," + number(s->qsos) + "," + number(s->multipliers) + "," + number(s->score);
        for (std::size_t v = 0; v < kVerdictCount; ++v) {
            if (v == kLeadingVerdictColumns) out += "," + number(log.clockOffsetMinutes);
            out += "," + std::to_string(log.counts[v]);
        }
        out += "," + std::to_string(log.lost[static_cast<std::size_t>(Verdict::kBandMismatch)]) + "," +
               std::to_string(log.lost[static_cast<std::size_t>(Verdict::kModeMismatch)]) + "," +
               number(log.penaltyQsos) + "," + number(log.finalScore) + "," +
               csvField(log.categories[kTransmitter]) +
               (withPoints ? "," + number(log.claimedPoints) + "," + number(log.checkedPoints) : "") + "," +
               csvField(log.placement.category) + "," + csvField(notRanked(log.placement)) + "\r\n";
    }
    return out;
}

namespace {

using Totals = std::array<std::size_t, kVerdictCount>;

std::size_t totalOf(const Totals& totals, Verdict v) {
    return totals[static_cast<std::size_t>(v)];
}

// The page's head: what was checked and how, and where the logs went.
void appendHead(std::string& out, const std::vector<LogResult>& logs, const Totals& totals,
                const ResultsPage& page, const ReportSettings& settings) {
    std::size_t qsos = 0;
    for (const std::size_t t : totals) qsos += t;
    std::size_t checklogs = 0, apart = 0;
    for (const LogResult& log : logs) {
        checklogs += log.placement.kind == contest::Placement::Kind::kChecklog;
        apart += log.placement.kind == contest::Placement::Kind::kApart;
    }
    const std::string title = contestName(settings) + " cross-check results";
    html::beginPage(out, title,
                    "td.lost{color:#b3261e}td.score{font-weight:700}td.why{color:#b3261e}\n"
                    "table.results{width:100%}table.results th,table.results td{white-space:nowrap}"
                    "table.results td.why{white-space:normal;width:40%}\n");
    const std::string summary = std::to_string(logs.size()) + " logs checked against each other, " +
                                std::to_string(qsos) + " QSO lines; time window " +
                                windowText(settings.windowSeconds) + "; uniques " +
                                (settings.uniquesRemoved ? "removed from" : "kept in") +
                                " the checked score; penalty " + std::string(penaltyName(settings.penalty)) +
                                (settings.period.empty() ? "" : "; contest period " + settings.period);
    const std::string placed =
        std::to_string(logs.size() - checklogs - apart) + " ranked, " + std::to_string(checklogs) +
        " checklog(s), " + std::to_string(apart) + " in no category; " +
        std::to_string(page.unusable.size() + page.notAccepted.size()) + " received, not scored";
    html::Writer(out)
        .open("header", {{"class", "top"}})
        .open("div")
        .element("h1", title)
        .element("p", summary)
        .element("p", placed)
        .close("div")
        .close("header")
        .raw("\n")
        .open("main")
        .raw("\n");
}

void appendTiles(std::string& out, const Totals& totals) {
    auto total = [&](Verdict v) { return totalOf(totals, v); };
    const std::pair<const char*, std::size_t> tiles[] = {
        {"verified", total(Verdict::kVerified)},
        {"not in log", total(Verdict::kNotInLog)},
        {"busted call", total(Verdict::kBustedCall)},
        {"busted exchange", total(Verdict::kBustedExchange)},
        {"unique", total(Verdict::kUnique)},
        {"unique on the band", total(Verdict::kUniqueOnBand)},
        {"with stations that sent no log", total(Verdict::kNoLog)},
        {"dupes", total(Verdict::kDupe)},
        {"out of band, mode or period", total(Verdict::kOutOfBand) + total(Verdict::kOutOfMode) +
                                            total(Verdict::kNoNumber) + total(Verdict::kOutOfPeriod)},
        {"time mismatch", total(Verdict::kTimeMismatch)},
        {"band or mode mismatch", total(Verdict::kBandMismatch) + total(Verdict::kModeMismatch)},
        {"busted (inferred)", total(Verdict::kBustedCallInferred) + total(Verdict::kBustedExchangeInferred)},
    };
    html::Writer w(out);
    w.open("div", {{"class", "tiles"}});
    for (std::size_t v = 0; v < std::size(tiles); ++v)
        w.open("div", {{"class", v == 0 ? "tile main" : "tile"}})
            .element("b", std::to_string(tiles[v].second))
            .element("span", tiles[v].first)
            .close("div");
    w.close("div").raw("\n");
}

// The QSOs claimed that lost credit, and their share of the claimed ones ("4.2 %").
long long lostQsos(const LogResult& log) {
    return std::max(0LL, log.claimed.qsos - log.checked.qsos);
}

std::string lostShare(const LogResult& log) {
    if (log.claimed.qsos <= 0) return "";
    const long long tenths = (lostQsos(log) * 1000 + log.claimed.qsos / 2) / log.claimed.qsos;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " %";
}

void appendCall(html::Writer& w, const LogResult& log, bool link) {
    if (link)
        w.open("td").element("a", log.call, {{"href", hrefOf(log.reportFile)}}).close("td");
    else
        w.element("td", log.call);
}

void appendLost(html::Writer& w, const LogResult& log) {
    const char* cls = lostQsos(log) ? "num lost" : "num zero";
    w.element("td", number(lostQsos(log)), {{"class", cls}}).element("td", lostShare(log), {{"class", cls}});
}

void appendHeadings(html::Writer& w, std::initializer_list<const char*> columns) {
    w.open("tr");
    for (const char* column : columns) {
        if (std::string_view(column) == "Call" || std::string_view(column) == "Why")
            w.element("th", column);
        else
            w.element("th", column, {{"class", "num"}});
    }
    w.close("tr").raw("\n");
}

void appendResultRow(html::Writer& w, std::size_t rank, const LogResult& log, bool link) {
    auto cell = [&](long long n, const char* cls = "num") { w.element("td", number(n), {{"class", cls}}); };
    w.open("tr").element("td", std::to_string(rank), {{"class", "num"}});
    appendCall(w, log, link);
    cell(log.claimed.qsos);
    cell(log.claimed.score);
    cell(log.checked.qsos);
    cell(log.checked.multipliers);
    cell(log.finalScore, "num score");
    appendLost(w, log);
    w.close("tr").raw("\n");
}

// One of the rules' categories: its logs ranked by final score. The verdicts behind the numbers
// are in each log's report and in results.csv.
void appendCategory(std::string& out, const std::string& category, std::vector<const LogResult*>& members,
                    bool link) {
    std::sort(members.begin(), members.end(), ranksBefore);
    html::Writer w(out);
    w.open("section").raw("\n").element("h2", category).raw("\n").open("table", {{"class", "results"}}).raw("\n");
    appendHeadings(w, {"#", "Call", "Claimed QSOs", "Claimed score", "Checked QSOs", "Mults", "Final score",
                       "Lost QSOs", "Lost"});
    std::size_t rank = 0;
    for (const LogResult* log : members) appendResultRow(w, ++rank, *log, link);
    w.close("table").raw("\n").close("section").raw("\n");
}

// The checklogs and the logs of no category, by call, unranked: checked as any other, so that the
// others' QSOs with them count, and shown with their numbers.
void appendUnranked(std::string& out, const std::vector<LogResult>& logs, contest::Placement::Kind kind,
                    const std::string& title, bool link) {
    std::vector<const LogResult*> members;
    for (const LogResult& log : logs)
        if (log.placement.kind == kind) members.push_back(&log);
    if (members.empty()) return;
    std::sort(members.begin(), members.end(),
              [](const LogResult* a, const LogResult* b) { return a->call < b->call; });
    const bool apart = kind == contest::Placement::Kind::kApart;
    html::Writer w(out);
    w.open("section").raw("\n").element("h2", title + ": " + std::to_string(members.size())).raw("\n");
    w.open("table", {{"class", "results"}}).raw("\n");
    if (apart)
        appendHeadings(w,
                       {"Call", "Why", "Claimed QSOs", "Checked QSOs", "Final score", "Lost QSOs", "Lost"});
    else
        appendHeadings(w, {"Call", "Claimed QSOs", "Checked QSOs", "Final score", "Lost QSOs", "Lost"});
    for (const LogResult* log : members) {
        w.open("tr");
        appendCall(w, *log, link);
        if (apart) w.element("td", log->placement.why, {{"class", "why"}});
        w.element("td", number(log->claimed.qsos), {{"class", "num"}})
            .element("td", number(log->checked.qsos), {{"class", "num"}})
            .element("td", number(log->finalScore), {{"class", "num"}});
        appendLost(w, *log);
        w.close("tr").raw("\n");
    }
    w.close("table").raw("\n").close("section").raw("\n");
}

// Every log received that has no score: the cross-check's own unusable logs by file, the logs
// refused before it by call, each with the reason.
void appendNotScored(std::string& out, const ResultsPage& page) {
    const std::size_t n = page.unusable.size() + page.notAccepted.size();
    if (n == 0) return;
    html::Writer w(out);
    w.open("section").raw("\n").element("h2", "Logs received, not scored: " + std::to_string(n)).raw("\n");
    w.open("table").raw("\n").open("tr").element("th", "Log").element("th", "Why").close("tr").raw("\n");
    for (const ReceivedLog& r : page.notAccepted)
        w.open("tr").element("td", r.call).element("td", r.reason, {{"class", "err"}}).close("tr").raw("\n");
    for (const UnusableLog& u : page.unusable)
        w.open("tr").element("td", u.file).element("td", u.reason, {{"class", "err"}}).close("tr").raw("\n");
    w.close("table").raw("\n").close("section").raw("\n");
}

}  // namespace

std::string htmlText(const std::vector<LogResult>& logs, const ResultsPage& page,
                     const ReportSettings& settings) {
    // The rules' categories in their order; a category split by a tag's value by that value.
    std::map<std::pair<std::size_t, std::string>, std::vector<const LogResult*>> byCategory;
    Totals totals{};
    for (const LogResult& log : logs) {
        if (log.placement.kind == contest::Placement::Kind::kRanked)
            byCategory[{log.placement.order, log.placement.category}].push_back(&log);
        for (std::size_t v = 0; v < totals.size(); ++v) totals[v] += log.counts[v];
    }
    std::string out;
    appendHead(out, logs, totals, page, settings);
    appendTiles(out, totals);
    for (auto& [category, members] : byCategory)
        appendCategory(out, category.second, members, page.linkReports);
    appendUnranked(out, logs, contest::Placement::Kind::kChecklog, "Checklogs, not ranked", page.linkReports);
    appendUnranked(out, logs, contest::Placement::Kind::kApart, "Logs in none of the rules' categories",
                   page.linkReports);
    appendNotScored(out, page);
    out += "</main>\n";
    html::endPage(
        out,
        std::string(
            "Each log is ranked in the rules' category its Cabrillo header gives, by final "
            "score. Claimed: the log's own QSOs and score as the rules count them. Checked QSOs: those that "
            "keep credit once the logs are checked against each other; Mults: the checked multipliers. Final "
            "score: the checked score less any penalty. Lost: the claimed QSOs that lost credit, and their "
            "share of the claimed ones. ") +
            (page.linkReports ? "Each call links to its report, which gives every verdict; "
                              : "Each log's report gives every verdict; ") +
            "results.csv has the counts of each.");
    return out;
}

}  // namespace crosscheck
