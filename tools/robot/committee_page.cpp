#include "tools/robot/committee_page.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "tools/report/html_page.h"
#include "tools/robot/pages.h"
#include "tools/robot/run_pages.h"
#include "tools/robot/text.h"

namespace robot {

namespace {

using report::html::escaped;

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
    std::string address =
        "/committee?page=" + std::to_string(uploadsPage) + "&amp;runs=" + std::to_string(runsPage);
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
    if (last < page.total)
        out += " &middot; <a class=\"older\" href=\"" + addressOf(number + 1) + "\">older</a>";
    return out + "</p>\n";
}

std::string totalsList(const UploadTotals& t) {
    const std::pair<const char*, std::int64_t> items[] = {{"Uploads", t.uploads},
                                                          {"Accepted", t.accepted},
                                                          {"Refused", t.refused},
                                                          {"Late", t.late},
                                                          {"Logs that count", t.counting}};
    std::string out = "<dl class=\"totals\" id=\"totals\">";
    for (const auto& [name, n] : items)
        out += "<div><dt>" + std::string(name) + "</dt><dd>" + std::to_string(n) + "</dd></div>";
    return out + "</dl>\n";
}

// The runs, a page of them, with the forms to publish one or take it down.
std::string runsPart(const CommitteeView& v, const std::string& token) {
    return runsTable(v, token) + pager("runs-pager", "Runs", v.runs, v.runsPage, v.pageSize,
                                       [&](std::int64_t n) { return committeeAddress(v, v.uploadsPage, n); });
}

// Every station report of the newest run (those of the searched call), as a compact list of links.
std::string stationReports(const CommitteeView& v) {
    if (v.runsPage != 1 || v.runs.rows.empty() || v.runs.rows.front().state != "done") return {};
    const std::string base = "/api/crosscheck/" + std::to_string(v.runs.rows.front().id);
    std::string out = "<h3>Station reports of run " + std::to_string(v.runs.rows.front().id) + " (" +
                      std::to_string(v.runCalls.size()) + (v.search.empty() ? "" : " of the calls searched") +
                      ")</h3>\n<ul class=\"compact\" id=\"station-reports\">\n";
    for (const std::string& call : v.runCalls)
        out += "<li><a class=\"ubn\" href=\"" + base + "/ubn/" + escaped(call) + "\">" + escaped(call) +
               "</a></li>\n";
    return out + "</ul>\n";
}

// An upload's findings as two counts, linking to its receipt, which lists them.
std::string findingsLink(const UploadRecord& r) {
    const auto errors =
        std::count_if(r.findings.begin(), r.findings.end(), [](const Finding& f) { return f.error; });
    const std::size_t warnings = r.findings.size() - static_cast<std::size_t>(errors);
    const std::string text = r.findings.empty() ? std::string("none")
                                                : std::to_string(errors) + " error(s), " +
                                                      std::to_string(warnings) + " warning(s)";
    return "<a href=\"/receipt/" + escaped(r.reportKey) + "\">" + text + "</a>";
}

// Whether an upload counts, and the form that makes it count or undoes the committee's choice of it
// (choosing the version that counts already keeps a later one sent in time from replacing it).
std::string choiceCells(const UploadRecord& r, const std::string& token) {
    if (r.state != UploadState::kAccepted || r.call.empty()) return "<td></td><td></td>";
    std::string standing = r.chosen   ? "<td class=\"accepted counts\">counts (chosen)</td>"
                           : r.counts ? "<td class=\"accepted counts\">counts</td>"
                           : r.late   ? "<td class=\"late\">late: does not count</td>"
                                      : "<td>replaced</td>";
    const std::string action =
        "/committee/uploads/" + std::to_string(r.id) + (r.chosen ? "/unchoose" : "/choose");
    return standing + "<td><form class=\"inline\" method=\"post\" action=\"" + action + "\">" + token +
           "<button type=\"submit\">" +
           (r.chosen ? "Undo the choice" : r.counts ? "Keep this version" : "Count this version") +
           "</button></form></td>";
}

// One upload on the committee's page; a version that replaced one sent from another address says so.
std::string uploadRow(const UploadRecord& r, const std::string& token) {
    const std::string state(stateName(r.state));
    const std::string elsewhere = r.replacesOtherAddress
                                      ? " <strong class=\"late other-address\">replaces #" +
                                            std::to_string(*r.replacesOtherAddress) +
                                            " from another address</strong>"
                                      : std::string();
    return "<tr><td>" + std::to_string(r.id) + "</td><td>" + escaped(r.received) + "</td><td>" +
           escaped(r.address) + elsewhere + "</td><td>" + escaped(r.call) + "</td><td class=\"" +
           escaped(state) + "\">" + escaped(stateWord(state)) + (r.late ? " (late)" : "") +
           "</td><td class=\"num\">" + std::to_string(r.qsos) + "</td><td class=\"num\">" +
           (r.score ? std::to_string(*r.score) : "") + "</td><td>" + escaped(r.claimed.value_or("")) +
           "</td><td><code>" + escaped(r.sha256.substr(0, 12)) + "</code></td><td class=\"findings\">" +
           findingsLink(r) + "</td>" + choiceCells(r, token) + "</tr>\n";
}

std::string searchForm(const CommitteeView& v) {
    std::string out =
        "<form method=\"get\" action=\"/committee\" id=\"search\"><label>Call <input name=\"call\" "
        "id=\"call\" value=\"" +
        escaped(v.search) + "\"></label> <button type=\"submit\">Search</button>";
    if (!v.search.empty()) out += " <a href=\"/committee\">every upload</a>";
    return out + "</form>\n";
}

std::string uploadsTable(const CommitteeView& v, const std::string& token) {
    std::string out =
        "<table id=\"uploads\">\n<tr><th>#</th><th>Received (UTC)</th><th>From</th><th>Call</th>"
        "<th>State</th><th class=\"num\">QSOs</th><th class=\"num\">Score</th><th>Claimed</th>"
        "<th>SHA-256</th><th>Findings</th><th>Counts</th><th>Committee's choice</th></tr>\n";
    for (const UploadRecord& r : v.uploads.rows) out += uploadRow(r, token);
    out += "</table>\n";
    return out + pager("uploads-pager", "Uploads", v.uploads, v.uploadsPage, v.pageSize,
                       [&](std::int64_t n) { return committeeAddress(v, n, v.runsPage); });
}

std::string choicesTable(const std::vector<ChoiceEvent>& choices) {
    if (choices.empty()) return "<p id=\"choices\">None: each call's log that counts follows the rule.</p>\n";
    std::string out =
        "<table id=\"choices\">\n<tr><th>When (UTC)</th><th>Call</th><th>Version</th><th>What</th>"
        "<th>By</th></tr>\n";
    for (auto e = choices.rbegin(); e != choices.rend(); ++e)
        out += "<tr><td>" + escaped(e->at) + "</td><td>" + escaped(e->call) + "</td><td>#" +
               std::to_string(e->upload) + "</td><td>" + (e->chosen ? "chosen to count" : "choice undone") +
               "</td><td>" + escaped(e->who) + "</td></tr>\n";
    return out + "</table>\n";
}

std::string refusedTable(const std::vector<RefusedCall>& refused) {
    std::string out =
        "<table id=\"refused\">\n<tr><th>Call</th><th class=\"num\">Logs that worked it</th>"
        "<th>Why the newest was refused</th></tr>\n";
    for (const RefusedCall& r : refused)
        out += "<tr><td>" + escaped(r.call) + "</td><td class=\"num\">" + std::to_string(r.logs) +
               "</td><td class=\"refused\">" + escaped(r.reason) + "</td></tr>\n";
    return out + "</table>\n";
}

std::string wantedTable(const std::vector<WantedCall>& wanted) {
    std::string out =
        "<table id=\"wanted\">\n<tr><th>Call</th><th class=\"num\">Logs that worked it</th></tr>\n";
    for (const WantedCall& w : wanted)
        out += "<tr><td>" + escaped(w.call) + "</td><td class=\"num\">" + std::to_string(w.logs) +
               "</td></tr>\n";
    return out + "</table>\n";
}

}  // namespace

std::string committeePage(const CommitteeView& v) {
    const std::string token = "<input type=\"hidden\" name=\"csrf\" value=\"" + escaped(v.csrf) + "\">";
    std::string out = pageStart("Committee");
    out += "<form method=\"post\" action=\"/committee/signout\">" + token +
           "<button type=\"submit\">Sign out</button></form>\n";
    out += totalsList(v.totals) + searchForm(v);
    out += "<h2>Uploads</h2>\n" + uploadsTable(v, token);
    out += "<h2>Cross-check</h2>\n<form method=\"post\" action=\"/committee/crosscheck\">" + token +
           "<button type=\"submit\" id=\"crosscheck\">Cross-check the logs that count</button></form>\n";
    out += runsPart(v, token) + stationReports(v);
    out += "<h2>The committee's choices</h2>\n" + choicesTable(v.choices);
    out += "<h2>Log received, not accepted</h2>\n" + refusedTable(v.refused);
    out += "<h2>Wanted: worked by many, no log sent</h2>\n" + wantedTable(v.wanted);
    return pageEnd(std::move(out));
}

std::string committeeAddressOf(const std::string& call) {
    return call.empty() ? "/committee" : "/committee?call=" + queryValue(call);
}

namespace {

std::string optionalId(const std::optional<std::int64_t>& n) {
    return n ? std::to_string(*n) : std::string("null");
}

std::string versionJson(const UploadRecord& r) {
    return "{\"id\":" + std::to_string(r.id) + ",\"received\":" + jsonString(r.received) +
           ",\"address\":" + jsonString(r.address) +
           ",\"replaces_other_address\":" + optionalId(r.replacesOtherAddress) +
           ",\"sha256\":" + jsonString(r.sha256) + ",\"size\":" + std::to_string(r.size) +
           ",\"confirmation\":" + jsonString(r.confirmation) +
           ",\"state\":" + jsonString(stateName(r.state)) + ",\"late\":" + (r.late ? "true" : "false") +
           ",\"counts\":" + (r.counts ? "true" : "false") + ",\"chosen\":" + (r.chosen ? "true" : "false") +
           ",\"format\":" + jsonString(r.format) + ",\"category\":" + jsonString(r.category) +
           ",\"qsos\":" + std::to_string(r.qsos) + ",\"score\":" + optionalId(r.score) +
           ",\"claimed\":" + (r.claimed ? jsonString(*r.claimed) : std::string("null")) +
           ",\"errors\":" + findingsJson(r.findings, true) +
           ",\"warnings\":" + findingsJson(r.findings, false) + "}";
}

std::string choiceEventJson(const ChoiceEvent& e) {
    return "{\"at\":" + jsonString(e.at) + ",\"upload\":" + std::to_string(e.upload) +
           ",\"action\":" + (e.chosen ? "\"chosen\"" : "\"undone\"") + ",\"by\":" + jsonString(e.who) + "}";
}

}  // namespace

std::string uploadsJson(const std::vector<UploadRecord>& uploads, const std::vector<ChoiceEvent>& choices) {
    std::map<std::string, std::vector<const UploadRecord*>> byCall;
    for (const UploadRecord& r : uploads) byCall[r.call].push_back(&r);
    std::map<std::string, std::vector<const ChoiceEvent*>> choicesByCall;
    for (const ChoiceEvent& e : choices) choicesByCall[e.call].push_back(&e);
    std::string out = "{\"calls\":[";
    for (const auto& [call, versions] : byCall) {
        std::optional<std::int64_t> counts, chosen;
        std::string versionsText;
        for (const UploadRecord* r : versions) {
            if (r->counts) counts = r->id;
            if (r->chosen) chosen = r->id;
            versionsText += (versionsText.empty() ? "" : ",") + versionJson(*r);
        }
        std::string trail;
        for (const ChoiceEvent* e : choicesByCall[call])
            trail += (trail.empty() ? "" : ",") + choiceEventJson(*e);
        out += (out.back() == '[' ? "" : ",") + std::string("{\"call\":") + jsonString(call) +
               ",\"counts\":" + optionalId(counts) + ",\"chosen\":" + optionalId(chosen) + ",\"versions\":[" +
               versionsText + "],\"audit\":[" + trail + "]}";
    }
    return out + "]}\n";
}

std::string wantedJson(const std::vector<WantedCall>& wanted, const std::vector<RefusedCall>& refused) {
    std::string out = "{\"wanted\":[";
    for (std::size_t i = 0; i < wanted.size(); ++i)
        out += (i ? "," : "") + std::string("{\"call\":") + jsonString(wanted[i].call) +
               ",\"logs\":" + std::to_string(wanted[i].logs) + "}";
    out += "],\"received_not_accepted\":[";
    for (std::size_t i = 0; i < refused.size(); ++i)
        out += (i ? "," : "") + std::string("{\"call\":") + jsonString(refused[i].call) +
               ",\"logs\":" + std::to_string(refused[i].logs) +
               ",\"reason\":" + jsonString(refused[i].reason) + "}";
    return out + "]}\n";
}

std::string choiceJson(const UploadRecord& r) {
    return "{\"id\":" + std::to_string(r.id) + ",\"call\":" + jsonString(r.call) +
           ",\"counts\":" + (r.counts ? "true" : "false") + ",\"chosen\":" + (r.chosen ? "true" : "false") +
           "}\n";
}

}  // namespace robot
