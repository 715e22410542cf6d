#include "tools/robot/pages.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "tools/report/html_page.h"
#include "tools/robot/receipt.h"
#include "tools/robot/run_pages.h"
#include "tools/robot/text.h"

namespace robot {

namespace {

using report::html::escaped;

constexpr const char* kFooter = "stats-robot";

constexpr const char* kStyle =
    "form.upload{display:grid;gap:.6em;max-width:46em}textarea{width:100%;min-height:14em;font-family:monospace}"
    ".accepted{color:#1a7f37}.refused,.failed{color:#b42318}.late{color:#9a6700}"
    "nav a{margin-right:1em}td.findings{font-size:.9em}"
    "p.verdict{font-size:1.15em;font-weight:600}.fix{color:#555}ol.errors>li,ul.warnings>li{margin-bottom:.5em}";

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

constexpr std::size_t kErrorsListed = 20;  // errors of one kind listed on a receipt; the rest in the full list

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
        out += "<li><b>" + escaped(capitalized(g.title)) + "</b> (" + escaped(linesText(g.lines)) + ")\n<ul>\n";
        const std::size_t listed = std::min(g.findings.size(), kErrorsListed);
        for (std::size_t i = 0; i < listed; ++i) {
            const Finding& f = *g.findings[i];
            // The kind's title heads the list already: a text that begins with it says only the rest.
            const std::string_view text = f.text.rfind(g.title + ": ", 0) == 0
                                              ? std::string_view(f.text).substr(g.title.size() + 2)
                                              : std::string_view(f.text);
            out += "<li>" + (f.line ? "line " + std::to_string(f.line) + ": " : std::string()) + escaped(text) +
                   "</li>\n";
        }
        if (listed < g.findings.size())
            out += "<li>and " + std::to_string(g.findings.size() - listed) + " more, in the list at the end</li>\n";
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
        out += "<li data-kind=\"" + escaped(g.kind) + "\"><b>" + escaped(capitalized(g.title)) + "</b>: " +
               escaped(linesText(g.lines)) + "." +
               (g.advice.empty() ? std::string() : " <span class=\"fix\">" + escaped(g.advice) + "</span>") +
               "</li>\n";
    }
    if (out.empty()) return out;
    return "<h2>Warnings, by kind (" + std::to_string(warnings) +
           ")</h2>\n<p>A warning does not keep the log from counting; the committee may look at these lines.</p>\n"
           "<ul class=\"warnings\" id=\"warnings\">\n" + out + "</ul>\n";
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

std::string stateWord(const std::string& state) {
    if (state == "accepted") return "accepted";
    if (state == "refused") return "refused (errors)";
    if (state == "failed") return "not scored (the scoring failed)";
    if (state == "interrupted") return "not scored (the robot stopped)";
    return state;
}

}  // namespace

std::string uploadPage(const std::string& notice) {
    std::string out = begin("Send your log");
    if (!notice.empty()) out += "<p class=\"late\">" + escaped(notice) + "</p>\n";
    out += "<p>Send a Cabrillo or ADIF log: choose the file, or paste the log into the box. The robot checks it, "
           "scores it and answers with a confirmation code and a link to your own report.</p>\n"
           "<form class=\"upload\" method=\"post\" action=\"/upload\" enctype=\"multipart/form-data\">\n"
           "<label>Log file <input type=\"file\" name=\"log\" id=\"log-file\"></label>\n"
           "<label>or paste the log<textarea name=\"text\" id=\"log-text\" spellcheck=\"false\"></textarea></label>\n"
           "<button type=\"submit\" id=\"send\">Send the log</button>\n</form>\n";
    return end(std::move(out));
}

std::string receiptPage(const Receipt& r) {
    const std::vector<FindingGroup> groups = groupFindings(r.findings);
    std::string out = begin(r.accepted() ? "Log received" : "Log not accepted");
    out += "<p id=\"verdict\" class=\"verdict " + escaped(r.state) + "\">" + escaped(receiptSentence(r, groups)) +
           "</p>\n" + errorsList(groups) + warningsList(groups);
    out += "<h2>Receipt</h2>\n<table id=\"receipt\">\n";
    out += "<tr><th>State</th><td class=\"" + escaped(r.state) + "\" id=\"state\">" + escaped(stateWord(r.state)) +
           (r.late ? " <span class=\"late\">(late)</span>" : "") + "</td></tr>\n";
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
               std::to_string(r.findings.size()) + ")</summary>\n" + findingsList(r.findings) + "</details>\n";
    return end(std::move(out));
}

std::string receiptJson(const Receipt& r) {
    const std::vector<FindingGroup> groups = groupFindings(r.findings);
    std::string out = "{\"accepted\":";
    out += r.accepted() ? "true" : "false";
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
    out += "<p>" + std::to_string(logs.size()) + " log(s): the newest accepted log of each call.</p>\n";
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
    out += "<form method=\"post\" action=\"/committee/signin\">\n"
           "<label>Committee token <input type=\"password\" name=\"token\" id=\"token\" autocomplete=\"off\">"
           "</label>\n<button type=\"submit\" id=\"signin\">Sign in</button>\n</form>\n"
           "<p>The token is in the file committee-token of the robot's data folder.</p>\n";
    return end(std::move(out));
}

namespace {

// `text` for a URL's query: letters, digits and -._~ as they are, every other byte as %XX.
std::string queryValue(const std::string& text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

// The committee's page showing these pages of its two lists.
std::string committeeAddress(const CommitteeView& v, std::int64_t uploadsPage, std::int64_t runsPage) {
    std::string address = "/committee?page=" + std::to_string(uploadsPage) + "&amp;runs=" + std::to_string(runsPage);
    return v.search.empty() ? address : address + "&amp;call=" + queryValue(v.search);
}

// "Uploads 51-100 of 1048", with links to the newer and the older page where there are such.
template <typename Record, typename AddressOf>
std::string pager(const char* id, const char* what, const Page<Record>& page, std::int64_t number,
                  std::int64_t size, AddressOf addressOf) {
    const std::int64_t first = (number - 1) * size + 1;
    const std::int64_t last = first + static_cast<std::int64_t>(page.rows.size()) - 1;
    std::string out = "<p class=\"pager\" id=\"" + std::string(id) + "\">" + what + " ";
    out += page.rows.empty() ? "none here" : std::to_string(first) + "&ndash;" + std::to_string(last);
    out += " of " + std::to_string(page.total);
    if (number > 1) out += " &middot; <a class=\"newer\" href=\"" + addressOf(number - 1) + "\">newer</a>";
    if (last < page.total) out += " &middot; <a class=\"older\" href=\"" + addressOf(number + 1) + "\">older</a>";
    return out + "</p>\n";
}

// An upload's findings as two counts, linking to its receipt, which lists them.
std::string findingsLink(const UploadRecord& r) {
    const auto errors = std::count_if(r.findings.begin(), r.findings.end(), [](const Finding& f) { return f.error; });
    const std::size_t warnings = r.findings.size() - static_cast<std::size_t>(errors);
    const std::string text = r.findings.empty() ? std::string("none")
                                                : std::to_string(errors) + " error(s), " +
                                                      std::to_string(warnings) + " warning(s)";
    return "<a href=\"/receipt/" + escaped(r.reportKey) + "\">" + text + "</a>";
}

// One upload on the committee's page; a version that replaced one sent from another address says so.
std::string uploadRow(const UploadRecord& r) {
    const std::string state(stateName(r.state));
    const std::string elsewhere = r.replacesOtherAddress
                                      ? " <strong class=\"late other-address\">replaces #" +
                                            std::to_string(*r.replacesOtherAddress) +
                                            " from another address</strong>"
                                      : std::string();
    return "<tr><td>" + std::to_string(r.id) + "</td><td>" + escaped(r.received) + "</td><td>" +
           escaped(r.address) + elsewhere + "</td><td>" + escaped(r.call) + "</td><td class=\"" + escaped(state) +
           "\">" + escaped(stateWord(state)) + (r.late ? " (late)" : "") + "</td><td class=\"num\">" +
           std::to_string(r.qsos) + "</td><td class=\"num\">" + (r.score ? std::to_string(*r.score) : "") +
           "</td><td>" + escaped(r.claimed.value_or("")) + "</td><td><code>" + escaped(r.sha256.substr(0, 12)) +
           "</code></td><td class=\"findings\">" + findingsLink(r) + "</td></tr>\n";
}

std::string uploadsTable(const CommitteeView& v) {
    std::string out = "<form method=\"get\" action=\"/committee\" id=\"search\"><label>Call <input name=\"call\" "
                      "id=\"call\" value=\"" + escaped(v.search) + "\"></label> <button type=\"submit\">Search</button>";
    if (!v.search.empty()) out += " <a href=\"/committee\">every upload</a>";
    out += "</form>\n<table id=\"uploads\">\n<tr><th>#</th><th>Received (UTC)</th><th>From</th><th>Call</th>"
           "<th>State</th><th class=\"num\">QSOs</th><th class=\"num\">Score</th><th>Claimed</th><th>SHA-256</th>"
           "<th>Findings</th></tr>\n";
    for (const UploadRecord& r : v.uploads.rows) out += uploadRow(r);
    out += "</table>\n";
    return out + pager("uploads-pager", "Uploads", v.uploads, v.uploadsPage, v.pageSize,
                       [&](std::int64_t n) { return committeeAddress(v, n, v.runsPage); });
}

}  // namespace

std::string committeePage(const CommitteeView& v) {
    const std::string token = "<input type=\"hidden\" name=\"csrf\" value=\"" + escaped(v.csrf) + "\">";
    std::string out = begin("Committee");
    out += "<form method=\"post\" action=\"/committee/signout\">" + token +
           "<button type=\"submit\">Sign out</button></form>\n";
    out += "<h2>Cross-check</h2>\n<form method=\"post\" action=\"/committee/crosscheck\">" + token +
           "<button type=\"submit\" id=\"crosscheck\">Cross-check the accepted logs</button></form>\n";
    out += runsTable(v, token) + pager("runs-pager", "Runs", v.runs, v.runsPage, v.pageSize,
                                       [&](std::int64_t n) { return committeeAddress(v, v.uploadsPage, n); });
    out += "<h2>Wanted: worked by many, no log sent</h2>\n<table id=\"wanted\">\n"
           "<tr><th>Call</th><th class=\"num\">Logs that worked it</th></tr>\n";
    for (const WantedCall& w : v.wanted)
        out += "<tr><td>" + escaped(w.call) + "</td><td class=\"num\">" + std::to_string(w.logs) + "</td></tr>\n";
    out += "</table>\n<h2>Uploads</h2>\n" + uploadsTable(v);
    return end(std::move(out));
}

std::string uploadsJson(const std::vector<UploadRecord>& uploads) {
    std::map<std::string, std::vector<const UploadRecord*>> byCall;
    for (const UploadRecord& r : uploads) byCall[r.call].push_back(&r);
    std::string out = "{\"calls\":[";
    bool firstCall = true;
    for (const auto& [call, versions] : byCall) {
        out += firstCall ? "" : ",";
        firstCall = false;
        // The version that counts: the newest accepted one.
        std::int64_t counts = 0;
        for (const UploadRecord* r : versions)
            if (r->state == UploadState::kAccepted && !call.empty()) counts = r->id;
        out += "{\"call\":" + jsonString(call) + ",\"counts\":" + (counts ? std::to_string(counts) : "null") +
               ",\"versions\":[";
        for (std::size_t i = 0; i < versions.size(); ++i) {
            const UploadRecord& r = *versions[i];
            out += i ? "," : "";
            out += "{\"id\":" + std::to_string(r.id) + ",\"received\":" + jsonString(r.received) +
                   ",\"address\":" + jsonString(r.address) +
                   ",\"replaces_other_address\":" + optionalNumber(r.replacesOtherAddress) +
                   ",\"sha256\":" + jsonString(r.sha256) + ",\"size\":" + std::to_string(r.size) +
                   ",\"confirmation\":" + jsonString(r.confirmation) + ",\"state\":" + jsonString(stateName(r.state)) +
                   ",\"late\":" + (r.late ? "true" : "false") + ",\"format\":" + jsonString(r.format) +
                   ",\"category\":" + jsonString(r.category) + ",\"qsos\":" + std::to_string(r.qsos) +
                   ",\"score\":" + optionalNumber(r.score) +
                   ",\"claimed\":" + (r.claimed ? jsonString(*r.claimed) : std::string("null")) +
                   ",\"errors\":" + findingsJson(r.findings, true) +
                   ",\"warnings\":" + findingsJson(r.findings, false) + "}";
        }
        out += "]}";
    }
    return out + "]}\n";
}

std::string wantedJson(const std::vector<WantedCall>& wanted) {
    std::string out = "{\"wanted\":[";
    for (std::size_t i = 0; i < wanted.size(); ++i)
        out += (i ? "," : "") + std::string("{\"call\":") + jsonString(wanted[i].call) +
               ",\"logs\":" + std::to_string(wanted[i].logs) + "}";
    return out + "]}\n";
}

}  // namespace robot
