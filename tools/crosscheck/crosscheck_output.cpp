#include "tools/crosscheck/crosscheck_output.h"

#include "tools/report/html_page.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace crosscheck {

using replay::html::escaped;

namespace {

constexpr std::array<Verdict, 6> kVerdicts = {Verdict::kVerified,       Verdict::kNotInLog, Verdict::kBustedCall,
                                              Verdict::kBustedExchange, Verdict::kUnique,   Verdict::kNoLog};
constexpr std::array<const char*, 6> kVerdictColumns = {"verified",        "nil",    "busted_call",
                                                        "busted_exchange", "unique", "no_log"};

std::size_t count(const LogResult& log, Verdict v) {
    return log.counts[static_cast<std::size_t>(v)];
}

std::string number(long long n) {
    return std::to_string(n);
}

std::string categoryText(const LogResult& log) {
    std::string out;
    for (const auto& value : log.categories)
        if (!value.empty()) out += (out.empty() ? "" : " ") + value;
    return out.empty() ? "(no category)" : out;
}

std::string windowText(std::int64_t seconds) {
    return seconds % 60 == 0 ? std::to_string(seconds / 60) + " min" : std::to_string(seconds) + " s";
}

std::string csvField(std::string_view value) {
    if (value.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(value);
    std::string out = "\"";
    for (const char c : value) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

// Checked score first; ties by claimed score, then call, so the order never depends on the input.
bool ranksBefore(const LogResult* a, const LogResult* b) {
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

}  // namespace

bool parseScore(std::string_view summary, Score& score) {
    const std::size_t at = summary.rfind("Score: ");
    if (at == std::string_view::npos) return false;
    const std::string line(summary.substr(at, summary.find_first_of("\r\n", at) - at));
    Score s;
    if (std::sscanf(line.c_str(), "Score: %lld*%lld = %lld", &s.qsos, &s.multipliers, &s.score) != 3) return false;
    score = s;
    return true;
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

std::string reportText(const LogResult& log, const std::vector<ReportLine>& lines, std::int64_t windowSeconds,
                       bool uniquesRemoved) {
    std::string file = log.file;  // a file name may hold any byte, but not break the report's lines
    std::replace_if(file.begin(), file.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    std::string out = "SA-TOLVEN cross-check of " + log.call + " (" + file + ")\r\n";
    auto score = [&](const char* what, const Score& s) {
        out += std::string(what) + number(s.qsos) + " QSOs, " + number(s.multipliers) + " multipliers, score " +
               number(s.score) + "\r\n";
    };
    score("Claimed: ", log.claimed);
    score("Checked: ", log.checked);
    out += "Verified " + std::to_string(count(log, Verdict::kVerified)) + ", NIL " +
           std::to_string(count(log, Verdict::kNotInLog)) + ", BUSTED CALL " +
           std::to_string(count(log, Verdict::kBustedCall)) + ", BUSTED EXCHANGE " +
           std::to_string(count(log, Verdict::kBustedExchange)) + ", UNIQUE " +
           std::to_string(count(log, Verdict::kUnique)) + (uniquesRemoved ? " (removed)" : " (kept)") +
           ", with stations that sent no log " + std::to_string(count(log, Verdict::kNoLog)) + "\r\n";
    if (log.skippedLines) out += "QSO lines not read: " + std::to_string(log.skippedLines) + "\r\n";
    out += "Time window: " + windowText(windowSeconds) + "\r\n\r\n";
    char head[48];
    for (const ReportLine& l : lines) {
        std::snprintf(head, sizeof head, "%-15s line %-6llu ", std::string(verdictName(l.verdict)).c_str(),
                      static_cast<unsigned long long>(l.line));
        out += head + l.qsoLine + "   <- " + l.evidence + "\r\n";
    }
    return out;
}

std::string csvText(const std::vector<LogResult>& logs) {
    std::string out = "call";
    for (const char* tag : kCategoryTags) {
        std::string column = std::string(tag).substr(9);
        for (char& c : column) c = c == '-' ? '_' : static_cast<char>(c - 'A' + 'a');
        out += ",category_" + column;
    }
    out += ",claimed_qsos,claimed_mults,claimed_score,checked_qsos,checked_mults,checked_score";
    for (const char* column : kVerdictColumns) out += std::string(",") + column;
    out += "\r\n";
    for (const LogResult& log : logs) {
        out += csvField(log.call);
        for (const auto& value : log.categories) out += "," + csvField(value);
        for (const Score* s : {&log.claimed, &log.checked})
            out += "," + number(s->qsos) + "," + number(s->multipliers) + "," + number(s->score);
        for (const Verdict v : kVerdicts) out += "," + std::to_string(count(log, v));
        out += "\r\n";
    }
    return out;
}

std::string htmlText(const std::vector<LogResult>& logs, const std::vector<UnusableLog>& unusable,
                     std::int64_t windowSeconds, bool uniquesRemoved) {
    std::map<std::string, std::vector<const LogResult*>> byCategory;
    std::size_t qsos = 0;
    std::array<std::size_t, 6> totals{};
    for (const LogResult& log : logs) {
        byCategory[categoryText(log)].push_back(&log);
        for (std::size_t v = 0; v < totals.size(); ++v) totals[v] += log.counts[v];
    }
    for (std::size_t t : totals) qsos += t;

    std::string out;
    replay::html::beginPage(out, "SA-TOLVEN cross-check results", "td.lost{color:#b3261e}td.score{font-weight:700}\n");
    out += "<header class=\"top\"><div><h1>SA-TOLVEN cross-check results</h1><p>" + std::to_string(logs.size()) +
           " logs checked against each other, " + std::to_string(qsos) + " QSOs; time window " +
           windowText(windowSeconds) + "; uniques " + (uniquesRemoved ? "removed from" : "kept in") +
           " the checked score</p></div></header>\n<main>\n<div class=\"tiles\">";
    const char* labels[] = {"verified", "not in log", "busted call", "busted exchange", "unique",
                            "with stations that sent no log"};
    for (std::size_t v = 0; v < kVerdicts.size(); ++v)
        out += std::string("<div class=\"tile") + (v == 0 ? " main" : "") + "\"><b>" +
               std::to_string(totals[static_cast<std::size_t>(kVerdicts[v])]) + "</b><span>" + labels[v] +
               "</span></div>";
    out += "</div>\n";

    for (auto& [category, members] : byCategory) {
        std::sort(members.begin(), members.end(), ranksBefore);
        out += "<section>\n<h2>" + escaped(category) +
               "</h2>\n<table>\n<tr><th class=\"num\">#</th><th>Call (report)</th><th class=\"num\">Claimed QSOs</th>"
               "<th class=\"num\">Mults</th><th class=\"num\">Claimed score</th><th class=\"num\">Checked QSOs</th>"
               "<th class=\"num\">Mults</th><th class=\"num\">Checked score</th><th class=\"num\">NIL</th>"
               "<th class=\"num\">Busted call</th><th class=\"num\">Busted exch.</th><th class=\"num\">Unique</th></tr>\n";
        std::size_t rank = 0;
        for (const LogResult* log : members) {
            auto cell = [&](long long n, const char* cls = "num") {
                out += std::string("<td class=\"") + cls + "\">" + number(n) + "</td>";
            };
            out += "<tr><td class=\"num\">" + std::to_string(++rank) + "</td><td><a href=\"" +
                   escaped(hrefOf(log->reportFile)) + "\">" + escaped(log->call) + "</a></td>";
            cell(log->claimed.qsos);
            cell(log->claimed.multipliers);
            cell(log->claimed.score);
            cell(log->checked.qsos);
            cell(log->checked.multipliers);
            cell(log->checked.score, "num score");
            for (const Verdict v : {Verdict::kNotInLog, Verdict::kBustedCall, Verdict::kBustedExchange,
                                    Verdict::kUnique}) {
                const auto n = static_cast<long long>(count(*log, v));
                cell(n, n == 0 ? "num zero" : v != Verdict::kUnique ? "num lost" : "num");
            }
            out += "</tr>\n";
        }
        out += "</table>\n</section>\n";
    }
    if (!unusable.empty()) {
        out += "<section>\n<h2>Logs not used</h2>\n<table>\n<tr><th>File</th><th>Why</th></tr>\n";
        for (const UnusableLog& u : unusable)
            out += "<tr><td>" + escaped(u.file) + "</td><td class=\"err\">" + escaped(u.reason) + "</td></tr>\n";
        out += "</table>\n</section>\n";
    }
    out += "</main>\n";
    replay::html::endPage(out, "Checked score: the plug-in's score of the QSOs that keep credit (verified, with stations that "
                 "sent no log, and uniques unless removed). Each call links to its report.");
    return out;
}

}  // namespace crosscheck
