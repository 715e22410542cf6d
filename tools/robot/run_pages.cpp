#include "tools/robot/run_pages.h"

#include "tools/report/html_page.h"
#include "tools/robot/text.h"

namespace robot {

namespace {

using report::html::escaped;

// The links of a finished run: its results, its logs and its station reports.
std::string runLinks(const RunRecord& run) {
    const std::string base = "/api/crosscheck/" + std::to_string(run.id);
    std::string out;
    for (const char* name : {"results.html", "results.csv", "logs.zip", "reports.zip"})
        out += "<a href=\"" + base + "/" + name + "\">" + name + "</a> ";
    return out;
}

// The public run's mark and the form that takes it down, or the form that makes a run public.
std::string publicationCell(const RunRecord& run, const std::string& token) {
    const std::string id = std::to_string(run.id);
    if (run.published)
        return std::string("<strong class=\"public\">public</strong> ") +
               (run.reportsPublic ? "with the station reports" : "without the station reports") +
               "<form method=\"post\" action=\"/committee/unpublish/" + id + "\">" + token +
               "<button type=\"submit\" class=\"unpublish\">Take down</button></form>";
    return "<form method=\"post\" action=\"/committee/publish/" + id + "\">" + token +
           "<label><input type=\"checkbox\" name=\"reports\" value=\"1\"> with the station reports</label> "
           "<button type=\"submit\" class=\"publish\">Publish</button></form>";
}

// A finished run whose files an older robot left outside this database.
std::string missingFilesCells(const RunRecord& run, const std::string& token) {
    return "<span class=\"missing\">run " + std::to_string(run.id) +
           "'s files are not in this database</span></td><td><form method=\"post\" "
           "action=\"/committee/crosscheck\">" +
           token + "<button type=\"submit\">Run it again</button></form>";
}

}  // namespace

std::string runsTable(const CommitteeView& v, const std::string& token) {
    std::string out =
        "<table id=\"runs\">\n<tr><th>Run</th><th>Started (UTC)</th><th>State</th><th>Progress</th>"
        "<th>Results</th><th>Public</th></tr>\n";
    for (const RunRecord& run : v.runs.rows) {
        out += "<tr class=\"run\" data-state=\"" + escaped(run.state) + "\"" +
               (run.published ? " data-public=\"public\"" : "") + "><td>" + std::to_string(run.id) +
               "</td><td>" + escaped(run.started) + "</td><td class=\"state\">" + escaped(run.state) +
               "</td><td>" + escaped(run.progress) + "</td><td>";
        if (run.state == "done" && !run.filesKept)
            out += missingFilesCells(run, token);
        else if (run.state == "done")
            out += runLinks(run) + "</td><td>" + publicationCell(run, token);
        else
            out += "</td><td>";
        out += "</td></tr>\n";
    }
    return out + "</table>\n";
}

std::string runJson(const RunRecord& run) {
    return "{\"id\":" + std::to_string(run.id) + ",\"started\":" + jsonString(run.started) +
           ",\"state\":" + jsonString(run.state) + ",\"progress\":" + jsonString(run.progress) +
           ",\"published\":" + (run.published ? "true" : "false") +
           ",\"reports_public\":" + (run.published && run.reportsPublic ? "true" : "false") +
           ",\"files_kept\":" + (run.filesKept ? "true" : "false") + "}\n";
}

std::string publishedReportSection(const std::optional<PublishedReport>& r) {
    if (!r) return {};
    std::string out = "<h2 id=\"results\">Your station report of the published results</h2>\n";
    if (r->version != PublishedReport::Version::kThis)
        out += std::string("<p class=\"late\" id=\"results-version\">The results were made from ") +
               (r->version == PublishedReport::Version::kEarlier ? "an earlier" : "a later") +
               " version of your log, received " + escaped(r->versionReceived) + " UTC.</p>\n";
    return out + "<pre id=\"station-report\">" + escaped(r->text) + "</pre>\n";
}

std::string publishedReportJson(const std::optional<PublishedReport>& r) {
    if (!r) return "null";
    const char* version = r->version == PublishedReport::Version::kThis      ? "this"
                          : r->version == PublishedReport::Version::kEarlier ? "earlier"
                                                                             : "later";
    return "{\"run\":" + std::to_string(r->run) + ",\"version\":\"" + version +
           "\",\"version_received\":" + jsonString(r->versionReceived) +
           ",\"report\":" + jsonString(r->text) + "}";
}

}  // namespace robot
