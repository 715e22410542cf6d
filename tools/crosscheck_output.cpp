#include "tools/crosscheck_output.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace crosscheck {

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

std::string htmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
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

    std::string out =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<title>SA-TOLVEN cross-check results</title>\n<style>\n"
        "body{font-family:system-ui,-apple-system,'Segoe UI',Roboto,sans-serif;margin:1.5em auto;max-width:76em;"
        "padding:0 1em;color:#1c2430;background:#fff}\n"
        "h1{font-size:1.5em;margin:0 0 .2em}h2{font-size:1.15em;margin:1.6em 0 .4em;color:#2b4a6f}\n"
        "p.note{color:#556;margin:.2em 0 1em}\n"
        "table{border-collapse:collapse;width:100%;font-size:.92em;margin-bottom:.5em}\n"
        "th,td{padding:.3em .55em;border-bottom:1px solid #dde3ea;text-align:right;white-space:nowrap}\n"
        "th{background:#eef3f8;color:#2b4a6f;font-weight:600}\n"
        "td.call,th.call,td.text{text-align:left}td.text{white-space:normal}\n"
        "tr:nth-child(even) td{background:#f8fafc}\n"
        "td.score{font-weight:600}td.lost{color:#a3261b}\n"
        ".totals{display:flex;flex-wrap:wrap;gap:.6em;margin:.8em 0}\n"
        ".totals div{background:#eef3f8;border-radius:6px;padding:.4em .8em}\n"
        ".totals b{display:block;font-size:1.2em;color:#1c2430}\n"
        "a{color:#1f5fa8}\n</style>\n</head>\n<body>\n<h1>SA-TOLVEN cross-check results</h1>\n";
    out += "<p class=\"note\">" + std::to_string(logs.size()) + " logs checked against each other, " +
           std::to_string(qsos) + " QSOs; time window " + windowText(windowSeconds) + "; uniques " +
           (uniquesRemoved ? "removed from" : "kept in") +
           " the checked score. Checked score: the plug-in's score of the QSOs that keep credit.</p>\n";
    out += "<div class=\"totals\">";
    const char* labels[] = {"verified", "NIL", "busted call", "busted exchange", "unique", "with stations that sent no log"};
    for (std::size_t v = 0; v < kVerdicts.size(); ++v)
        out += "<div><b>" + std::to_string(totals[static_cast<std::size_t>(kVerdicts[v])]) + "</b>" + labels[v] +
               "</div>";
    out += "</div>\n";

    for (auto& [category, members] : byCategory) {
        std::sort(members.begin(), members.end(), ranksBefore);
        out += "<h2>" + htmlEscape(category) + "</h2>\n<table>\n<tr><th>#</th><th class=\"call\">Call</th>"
               "<th>Claimed QSOs</th><th>Mults</th><th>Claimed score</th><th>Checked QSOs</th><th>Mults</th>"
               "<th>Checked score</th><th>NIL</th><th>Busted call</th><th>Busted exch.</th><th>Unique</th>"
               "<th class=\"call\">Report</th></tr>\n";
        std::size_t rank = 0;
        for (const LogResult* log : members) {
            auto cell = [&](long long n, const char* cls = nullptr) {
                out += cls ? std::string("<td class=\"") + cls + "\">" : std::string("<td>");
                out += number(n) + "</td>";
            };
            out += "<tr><td>" + std::to_string(++rank) + "</td><td class=\"call\">" + htmlEscape(log->call) + "</td>";
            cell(log->claimed.qsos);
            cell(log->claimed.multipliers);
            cell(log->claimed.score);
            cell(log->checked.qsos);
            cell(log->checked.multipliers);
            cell(log->checked.score, "score");
            for (const Verdict v : {Verdict::kNotInLog, Verdict::kBustedCall, Verdict::kBustedExchange,
                                    Verdict::kUnique}) {
                const auto n = static_cast<long long>(count(*log, v));
                cell(n, n && v != Verdict::kUnique ? "lost" : nullptr);
            }
            out += "<td class=\"call\"><a href=\"" + htmlEscape(hrefOf(log->reportFile)) + "\">" +
                   htmlEscape(log->reportFile) + "</a></td></tr>\n";
        }
        out += "</table>\n";
    }
    if (!unusable.empty()) {
        out += "<h2>Logs not used</h2>\n<table>\n<tr><th class=\"call\">File</th><th class=\"call\">Why</th></tr>\n";
        for (const UnusableLog& u : unusable)
            out += "<tr><td class=\"call\">" + htmlEscape(u.file) + "</td><td class=\"text\">" + htmlEscape(u.reason) +
                   "</td></tr>\n";
        out += "</table>\n";
    }
    return out + "</body>\n</html>\n";
}

}  // namespace crosscheck
