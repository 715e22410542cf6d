#include "tools/robot/pages.h"

#include <algorithm>
#include <cctype>

#include "tools/report/html_page.h"
#include "tools/robot/answers.h"
#include "tools/robot/receipt.h"
#include "tools/robot/run_pages.h"
#include "tools/robot/text.h"

namespace robot {

namespace {

using report::html::escaped;

constexpr const char* kFooter = "stats-robot";

constexpr const char* kStyle =
    "form.upload{display:grid;gap:.6em;max-width:46em}textarea{width:100%;min-height:14em;font-family:"
    "monospace}"
    ".accepted{color:#1a7f37}.refused,.failed{color:#b42318}.late{color:#9a6700}"
    "nav a{margin-right:1em}td.findings{font-size:.9em}"
    "p.verdict{font-size:1.15em;font-weight:600}.fix{color:#555}ol.errors>li,ul.warnings>li{margin-bottom:."
    "5em}"
    "form.inline{display:inline}ul.compact{list-style:none;padding:0;columns:9em}dl.totals{display:flex;gap:"
    "1.5em}"
    "dl.totals dd{margin:0;font-weight:600}";

std::string nav() {
    return "<nav><a href=\"/\">Upload</a><a href=\"/logs\">Logs received</a><a href=\"/results\">Results</a>"
           "<a href=\"/committee\">Committee</a></nav>\n";
}

std::string begin(const std::string& title) {
    std::string out;
    report::html::beginPage(out, title, kStyle);
    out += "<main>\n" + nav();
    out += "<h1>" + escaped(title) + "</h1>\n";
    return out;
}

std::string end(std::string out) {
    out += "</main>\n";
    report::html::endPage(out, kFooter);
    return out;
}

std::string optionalNumber(const std::optional<std::int64_t>& n) {
    return n ? std::to_string(*n) : std::string("null");
}

std::string findingsList(const std::vector<Finding>& findings) {
    std::string out;
    for (const Finding& f : findings) {
        out += "<li class=\"";
        out += f.error ? "refused\">error" : "late\">warning";
        out += f.line ? ", line " + std::to_string(f.line) : std::string();
        out += ": " + escaped(f.text) + "</li>\n";
    }
    return out.empty() ? out : "<ul>\n" + out + "</ul>\n";
}

constexpr std::size_t kErrorsListed =
    20;  // errors of one kind listed on a receipt; the rest in the full list

// A kind's title as a list item starts: with a capital.
std::string capitalized(std::string text) {
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 'a' + 'A');
    return text;
}

// Each kind of error with its lines, each error of it with its text, and what to change.
std::string errorsList(const std::vector<FindingGroup>& groups) {
    std::string out;
    for (const FindingGroup& g : groups) {
        if (!g.error) continue;
        out +=
            "<li><b>" + escaped(capitalized(g.title)) + "</b> (" + escaped(linesText(g.lines)) + ")\n<ul>\n";
        const std::size_t listed = std::min(g.findings.size(), kErrorsListed);
        for (std::size_t i = 0; i < listed; ++i) {
            const Finding& f = *g.findings[i];
            // The kind's title heads the list already: a text that begins with it says only the rest.
            const std::string_view text = f.text.rfind(g.title + ": ", 0) == 0
                                              ? std::string_view(f.text).substr(g.title.size() + 2)
                                              : std::string_view(f.text);
            out += "<li>" + (f.line ? "line " + std::to_string(f.line) + ": " : std::string()) +
                   escaped(text) + "</li>\n";
        }
        if (listed < g.findings.size())
            out += "<li>and " + std::to_string(g.findings.size() - listed) +
                   " more, in the list at the end</li>\n";
        out += "</ul>\n";
        if (!g.advice.empty()) out += "<p class=\"fix\">What to change: " + escaped(g.advice) + "</p>\n";
        out += "</li>\n";
    }
    if (out.empty()) return out;
    return "<h2>Errors: what to change</h2>\n<ol class=\"errors\" id=\"errors\">\n" + out + "</ol>\n";
}

// Each kind of warning on one line, with the lines it concerns and what to change.
std::string warningsList(const std::vector<FindingGroup>& groups) {
    std::string out;
    std::size_t warnings = 0;
    for (const FindingGroup& g : groups) {
        if (g.error) continue;
        warnings += g.findings.size();
        out += "<li data-kind=\"" + escaped(g.kind) + "\"><b>" + escaped(capitalized(g.title)) +
               "</b>: " + escaped(linesText(g.lines)) + "." +
               (g.advice.empty() ? std::string() : " <span class=\"fix\">" + escaped(g.advice) + "</span>") +
               "</li>\n";
    }
    if (out.empty()) return out;
    return "<h2>Warnings, by kind (" + std::to_string(warnings) +
           ")</h2>\n<p>A warning does not keep the log from counting; the committee may look at these "
           "lines.</p>\n"
           "<ul class=\"warnings\" id=\"warnings\">\n" +
           out + "</ul>\n";
}

std::string groupsJson(const std::vector<FindingGroup>& groups) {
    std::string out = "[";
    for (const FindingGroup& g : groups) {
        if (out.size() > 1) out += ',';
        out += "{\"error\":" + std::string(g.error ? "true" : "false") +
               ",\"kind\":" + (g.kind.empty() ? std::string("null") : jsonString(g.kind)) +
               ",\"title\":" + jsonString(g.title) + ",\"advice\":" + jsonString(g.advice) +
               ",\"count\":" + std::to_string(g.findings.size()) + ",\"lines\":[";
        for (std::size_t i = 0; i < g.lines.size(); ++i) out += (i ? "," : "") + std::to_string(g.lines[i]);
        out += "]}";
    }
    return out + "]";
}

}  // namespace

std::string pageStart(const std::string& title) {
    return begin(title);
}

std::string pageEnd(std::string out) {
    return end(std::move(out));
}

std::string findingsJson(const std::vector<Finding>& findings, bool errors) {
    std::string out = "[";
    for (const Finding& f : findings) {
        if (f.error != errors) continue;
        if (out.size() > 1) out += ',';
        out += "{\"line\":" + std::to_string(f.line) + ",\"text\":" + jsonString(f.text) +
               ",\"kind\":" + (f.kind.empty() ? std::string("null") : jsonString(f.kind)) + "}";
    }
    return out + "]";
}

std::string stateWord(const std::string& state) {
    if (state == "accepted") return "accepted";
    if (state == "refused") return "refused (errors)";
    if (state == "failed") return "not scored (the scoring failed)";
    if (state == "interrupted") return "not scored (the robot stopped)";
    return state;
}

std::string uploadPage(const UploadInvitation& invitation, const std::string& notice) {
    std::string out = begin("Send your log");
    if (!notice.empty()) out += "<p class=\"late\">" + escaped(notice) + "</p>\n";
    out += "<table id=\"contest\">\n<tr><th>Contest</th><td>" + escaped(invitation.contest) + "</td></tr>\n";
    if (!invitation.deadline.empty())
        out +=
            "<tr><th>Deadline</th><td>" + escaped(invitation.deadline) + " UTC" +
            (invitation.closed ? " (later logs are not taken)" : " (later logs are taken and marked late)") +
            "</td></tr>\n";
    out += std::string("<tr><th>Formats</th><td>") +
           (invitation.adif ? "Cabrillo or ADIF"
                            : "Cabrillo (ADIF is not taken: its records lack this contest's exchange)") +
           "</td></tr>\n<tr><th>Largest log</th><td>" + sizeText(invitation.maxBytes) +
           "</td></tr>\n</table>\n";
    out +=
        "<p>Choose the file, or paste the log into the box. The robot checks it, "
        "scores it and answers with a confirmation code and a link to your own report.</p>\n"
        "<form class=\"upload\" method=\"post\" action=\"/upload\" enctype=\"multipart/form-data\">\n"
        "<label>Log file <input type=\"file\" name=\"log\" id=\"log-file\"></label>\n"
        "<label>or paste the log<textarea name=\"text\" id=\"log-text\" "
        "spellcheck=\"false\"></textarea></label>\n"
        "<button type=\"submit\" id=\"send\">Send the log</button>\n</form>\n";
    return end(std::move(out));
}

std::string receiptPage(const Receipt& r) {
    const std::vector<FindingGroup> groups = groupFindings(r.findings);
    std::string out = begin(r.accepted() ? "Log received" : "Log not accepted");
    out += "<p id=\"verdict\" class=\"verdict " + escaped(r.state) + "\">" +
           escaped(receiptSentence(r, groups)) + "</p>\n" + errorsList(groups) + warningsList(groups);
    out += "<h2>Receipt</h2>\n<table id=\"receipt\">\n";
    out += "<tr><th>State</th><td class=\"" + escaped(r.state) + "\" id=\"state\">" +
           escaped(stateWord(r.state)) + (r.late ? " <span class=\"late\">(late)</span>" : "") +
           "</td></tr>\n";
    out += "<tr><th>Confirmation</th><td id=\"confirmation\">" + escaped(r.confirmation) + "</td></tr>\n";
    out += "<tr><th>Call</th><td id=\"call\">" + escaped(r.call) + "</td></tr>\n";
    out += "<tr><th>Received (UTC)</th><td>" + escaped(r.received) + "</td></tr>\n";
    out += "<tr><th>QSOs</th><td id=\"qsos\">" + std::to_string(r.qsos) + "</td></tr>\n";
    out += "<tr><th>Score</th><td id=\"score\">" + (r.score ? std::to_string(*r.score) : std::string("-")) +
           "</td></tr>\n";
    out += "<tr><th>Claimed</th><td>" + escaped(r.claimed.value_or("-")) + "</td></tr>\n</table>\n";
    if (!r.reportPath.empty())
        out += "<p><a id=\"report\" href=\"" + escaped(r.reportPath) +
               "\">Your report</a> (keep this link: it is yours alone and listed nowhere)</p>\n";
    out += publishedReportSection(r.published);
    if (!r.findings.empty())
        out += "<details id=\"every-finding\"><summary>Every finding, line by line (" +
               std::to_string(r.findings.size()) + ")</summary>\n" + findingsList(r.findings) +
               "</details>\n";
    return end(std::move(out));
}

std::string receiptJson(const Receipt& r) {
    const std::vector<FindingGroup> groups = groupFindings(r.findings);
    std::string out = "{\"accepted\":";
    out += r.accepted() ? "true" : "false";
    out += ",\"id\":" + std::to_string(r.id);
    out += ",\"state\":" + jsonString(r.state);
    out += ",\"summary\":" + jsonString(receiptSentence(r, groups));
    out += ",\"confirmation\":" + jsonString(r.confirmation);
    out += ",\"call\":" + jsonString(r.call);
    out += ",\"qsos\":" + std::to_string(r.qsos);
    out += ",\"score\":" + optionalNumber(r.score);
    out += ",\"claimed\":" + (r.claimed ? jsonString(*r.claimed) : std::string("null"));
    out += ",\"late\":" + std::string(r.late ? "true" : "false");
    out += ",\"received\":" + jsonString(r.received);
    out += ",\"errors\":" + findingsJson(r.findings, true);
    out += ",\"warnings\":" + findingsJson(r.findings, false);
    out += ",\"groups\":" + groupsJson(groups);
    out += ",\"report\":" + (r.reportPath.empty() ? std::string("null") : jsonString(r.reportPath));
    out += ",\"results\":" + publishedReportJson(r.published);
    return out + "}\n";
}

std::string logsPage(const std::vector<UploadRecord>& logs) {
    std::string out = begin("Logs received");
    out += "<p>" + std::to_string(logs.size()) + " log(s): the log that counts of each call.</p>\n";
    out += "<table id=\"logs\">\n<tr><th>Call</th><th>Category</th><th class=\"num\">QSOs</th>"
           "<th>Received (UTC)</th><th></th></tr>\n";
    for (const UploadRecord& r : logs)
        out += "<tr><td>" + escaped(r.call) + "</td><td>" + escaped(r.category) + "</td><td class=\"num\">" +
               std::to_string(r.qsos) + "</td><td>" + escaped(r.received) + "</td><td>" +
               (r.late ? "<span class=\"late\">late</span>" : "") + "</td></tr>\n";
    out += "</table>\n";
    return end(std::move(out));
}

std::string logsJson(const std::vector<UploadRecord>& logs) {
    std::string out = "{\"logs\":[";
    for (std::size_t i = 0; i < logs.size(); ++i) {
        const UploadRecord& r = logs[i];
        out += i ? "," : "";
        out += "{\"call\":" + jsonString(r.call) + ",\"category\":" + jsonString(r.category) +
               ",\"qsos\":" + std::to_string(r.qsos) + ",\"received\":" + jsonString(r.received) +
               ",\"late\":" + (r.late ? "true" : "false") + "}";
    }
    return out + "]}\n";
}

std::string messagePage(const std::string& title, const std::string& text) {
    return end(begin(title) + "<p id=\"message\">" + escaped(text) + "</p>\n");
}

std::string signInPage(const std::string& notice) {
    std::string out = begin("Committee sign-in");
    if (!notice.empty()) out += "<p class=\"refused\">" + escaped(notice) + "</p>\n";
    out +=
        "<form method=\"post\" action=\"/committee/signin\">\n"
        "<label>Committee token <input type=\"password\" name=\"token\" id=\"token\" autocomplete=\"off\">"
        "</label>\n<button type=\"submit\" id=\"signin\">Sign in</button>\n</form>\n"
        "<p>The token is in the file committee-token of the robot's data folder.</p>\n";
    return end(std::move(out));
}

}  // namespace robot
