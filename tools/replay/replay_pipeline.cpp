#include "tools/replay/replay_pipeline.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <set>
#include <system_error>

#include "cabrillo/cabrillo_header.h"
#include "tools/host/header_choices.h"
#include "tools/logs/cabrillo_reader.h"
#include "tools/logs/callsign.h"
#include "tools/logs/cty.h"
#include "tools/logs/log_input.h"
#include "tools/report/contest_report.h"
#include "tools/report/report_analysis.h"
#include "tools/report/report_html.h"
#include "tools/submission/check_log.h"

namespace replay {

using namespace logs;
using namespace report;

namespace fs = std::filesystem;

namespace {

constexpr const char* kErrorLog = "err.txt";

// Each note goes to the request's function as it comes, and into the outcome.
class Notes {
  public:
    Notes(const ReplayRequest& request, ReplayOutcome& outcome) : request_(request), outcome_(outcome) {}
    void operator()(const std::string& message) const {
        outcome_.notes.push_back(message);
        if (request_.note) request_.note(message);
    }

  private:
    const ReplayRequest& request_;
    ReplayOutcome& outcome_;
};

// The current folder moved to a folder (its Plugins folder created) for the life of the object.
class FolderScope {
  public:
    bool enter(const fs::path& folder, const std::string& what, std::string& error) {
        std::error_code ec;
        if (back_.empty()) back_ = fs::current_path(ec);
        fs::create_directories(folder / "Plugins", ec);
        if (ec) {
            error = "cannot create " + what + " " + (folder / "Plugins").string() + ": " + ec.message();
            return false;
        }
        fs::current_path(folder, ec);
        if (ec) error = "cannot change to " + what + " " + folder.string() + ": " + ec.message();
        return !ec;
    }
    ~FolderScope() {
        std::error_code ec;
        if (!back_.empty()) fs::current_path(back_, ec);
    }

  private:
    fs::path back_;
};

// Reads the log into `loaded`: an empty result, or why it cannot be replayed.
std::string readInput(const host::LogSource& source, const CountryFile* countries, LoadedLog& loaded,
                      const Notes& note, const ReplayRequest& request) {
    std::string error;
    const auto in = host::openLog(source, error);
    if (!in) return error;
    const std::uint64_t size = host::logSize(source);
    ReadProgress bytesRead;
    if (request.progress) bytesRead = [&](std::uint64_t bytes) { request.progress("reading", bytes, size); };
    if (!readLog(*in, source.name, countries, loaded, note, bytesRead))
        return "error reading the log " + source.name + ": " + std::strerror(errno);
    if (!loaded.recognised)
        return source.name +
               " holds no QSO: it is neither a Cabrillo log (no START-OF-LOG: line) nor an ADIF log (no "
               "valid record, no <EOH>)";
    if (request.progress) request.progress("reading", size, size);
    return {};
}

// The reset as the request asks, with the header dialog's answers in export mode; an answer outside
// its list gets a note.
host::ContestSetup setupFor(const ReplayRequest& request, const LoadedLog& loaded,
                            const CountryFile* countries, const Notes& note) {
    host::ContestSetup setup =
        host::contestSetupFor(loaded.contacts, loaded.ownCall, request.choices, countries);
    if (setup.ownCall.empty())
        note(loaded.format == LogFormat::kCabrillo
                 ? "no own call: give --call or CALLSIGN: in the log"
                 : "no own call: give --call or STATION_CALLSIGN in the log");
    setup.exportLog = request.exportLog;
    if (!setup.exportLog) return setup;
    setup.headerAnswers = host::headerAnswersFor(loaded, request.header);
    for (const auto& [tag, value] : setup.headerAnswers) {
        const bool given = std::any_of(request.header.begin(), request.header.end(),
                                       [&, &tag = tag](const auto& a) { return a.first == tag; });
        if (const auto warning =
                host::offListWarning(given ? host::headerOptionName(tag) : "the log's " + tag, tag, value))
            note(*warning);
    }
    return setup;
}

// The SA prefix a "New mult !!! CE3 New SA Prefix !!!" hint names, else the prefix fed.
std::string hintedPrefix(std::string_view hint, std::string_view fed) {
    constexpr std::string_view head = "New mult !!! ";
    if (!hint.starts_with(head)) return std::string(fed);
    hint.remove_prefix(head.size());
    return std::string(hint.substr(0, hint.find(' ')));
}

QsoAnswer answerOf(const ReplayLog& log, const host::QsoOutcome& o, std::set<std::string>& prefixes) {
    const auto t = log.texts(o.index);
    QsoAnswer a{log[o.index].record,           log[o.index].when,         t[ReplayLog::kBand],
                t[ReplayLog::kMode],           t[ReplayLog::kCall],       t[ReplayLog::kNumberSent],
                t[ReplayLog::kNumberReceived], t[ReplayLog::kTransmitter]};
    if (o.added == 0) {
        a.verdict = QsoVerdict::kRejected;
        const std::string_view line = o.errorLines.substr(0, o.errorLines.find_first_of("\r\n"));
        const std::size_t gap = line.rfind("   ");
        a.reason = line.empty() ? "rejected (no err.txt line)"
                                : std::string(line.substr(gap == line.npos ? 0 : gap + 3));
    } else if (o.dupe()) {
        a.verdict = QsoVerdict::kDupe;
    } else if (o.newMultiplier()) {
        std::string prefix = hintedPrefix(o.hint, t[ReplayLog::kPrefix]);
        if (prefixes.insert(prefix).second) a.newPrefix = std::move(prefix);
    }
    return a;
}

// Feeds each contact's answers to the report and, when asked, to the list of answers.
host::OutcomeSink sinkFor(const ReplayLog& log, ContestReport& report, std::vector<QsoAnswer>* answers,
                          std::set<std::string>& prefixes) {
    return [&log, &report, answers, &prefixes](const host::QsoOutcome& o) {
        const auto t = log.texts(o.index);
        report.add({log[o.index].when, log[o.index].record, t[ReplayLog::kBand], t[ReplayLog::kMode],
                    t[ReplayLog::kCall], t[ReplayLog::kPrefix], o.check, o.hint, o.added, o.errorLines,
                    log[o.index].frequencyHz, t[ReplayLog::kTransmitter]});
        if (answers) answers->push_back(answerOf(log, o, prefixes));
    };
}

// Run or search and pounce of each answer, as the report classifies the contacts.
void classifyOperating(const ContestReport& report, std::vector<QsoAnswer>& answers) {
    const std::vector<RunState> states = runStates(report.activity());
    for (std::size_t i = 0; i < answers.size() && i < states.size(); ++i)
        answers[i].operating = states[i] == RunState::kRun      ? Operating::kRun
                               : states[i] == RunState::kSearch ? Operating::kSearchAndPounce
                                                                : Operating::kUnknown;
}

// What the plug-in says while the checked call is typed after the log.
CallCheckAnswer checkCall(const host::PluginExports& plugin, const CallCheckRequest& request,
                          const CountryFile* countries, const Notes& note) {
    CallCheckAnswer a;
    // Calls are stored as the log has them in capitals; the host passes the typed call the same way.
    a.call = splitCall(request.call).call;
    a.prefix = wpxPrefix(a.call);
    if (countries)
        a.continent = countries->lookup(a.call).continent;
    else
        note("no --cty file: the continent of " + a.call + " is unknown, so it counts as outside SA");
    char outBuffer[50] = {};
    char hint[100] = {};
    a.result = plugin.checkCall(a.call.c_str(), 0, 0, request.mode.c_str(), "", "", "", "", "", "", "", "",
                                a.prefix.c_str(), "", 0, 0, 0, 0.0, 0.0, "", a.continent.c_str(), "", "", "",
                                request.band.c_str(), "", outBuffer, hint);
    a.hint = hint;
    const char* meaning = a.result == 0   ? "dupe"
                          : a.result == 2 ? (hint[0] ? "new multiplier" : "not a dupe, outside SA")
                                          : "not a dupe, SA prefix already worked";
    a.text = "Check " + a.call + " " + request.band + " " + request.mode + " (prefix " + a.prefix +
             ", continent " + (a.continent.empty() ? "?" : a.continent) + "): " + std::to_string(a.result) +
             " " + meaning + "\r\n";
    if (hint[0]) a.text += a.hint + "\r\n";
    return a;
}

// One log replayed for the report: its contacts read, its reset, its answers counted, and its check
// when asked.
struct ReplayedLog {
    LoadedLog loaded;
    host::ContestSetup setup;
    ContestReport report;
    host::ReplayResult result;
    std::optional<verify::CheckRequest> checkRequest;
    std::optional<verify::LogCheck> check;
};

// The check of a Cabrillo log on this replay, as stats-verify checks it: the file's rules now, the
// dupes as the QSOs are replayed (through the sink returned, which also feeds `sink`).
host::OutcomeSink startCheck(const ReplayRequest& request, ReplayedLog& run, host::OutcomeSink sink) {
    if (!request.checkLog || run.loaded.format != LogFormat::kCabrillo) return sink;
    const host::ContestChoices& c = request.choices;
    run.checkRequest = verify::CheckRequest{request.log, {c.start, c.end}, c.call, c.country, request.workFolder};
    run.check.emplace(*run.checkRequest);
    if (!run.check->checkRules()) return sink;
    run.check->describe(run.loaded);
    host::OutcomeSink dupes = run.check->dupeSink(run.loaded.contacts);
    if (!sink) return dupes;
    return [sink = std::move(sink), dupes = std::move(dupes)](const host::QsoOutcome& o) {
        sink(o);
        dupes(o);
    };
}

ReportPageInfo pageInfo(const ReplayRequest& request, const ReplayedLog& run, const std::string& name,
                        const CountryFile* countries) {
    ReportPageInfo info;
    info.logName = name;
    info.placeWord = run.loaded.format == LogFormat::kCabrillo ? "line" : "record";
    info.summary = run.result.summary;
    info.generator = request.generator;
    info.header = run.loaded.header;
    info.continentUnknown = countries ? 0 : run.loaded.continentUnknown;
    info.minBreak = std::chrono::minutes{request.minBreak};
    if (request.choices.start) info.period.from = std::chrono::sys_seconds{*request.choices.start};
    if (request.choices.end)
        info.period.to = std::chrono::sys_seconds{*request.choices.end + std::chrono::days{1}};
    return info;
}

// A Cabrillo input's check findings into the report and the outcome; the claim's finding, or why
// the claim was not compared, for the page.
void addCabrilloFindings(const ReplayRequest& request, ReplayedLog& run, ReportPageInfo& info,
                         ReplayOutcome& out) {
    const bool comparable = info.continentUnknown == 0;
    if (out.checked) {
        // The dupes are the plug-in's answers, which the report shows as such.
        for (const verify::CheckFinding& f : out.checked->findings)
            if (f.rule != verify::Rule::kDupe) out.cabrilloFindings.push_back(f);
    } else {
        std::string error;
        const auto in = host::openLog(request.log, error);
        if (!in) return;
        out.cabrilloFindings = verify::checkWithClaim(*in, {request.choices.start, request.choices.end},
                                                      comparable ? &run.result.summary : nullptr);
    }
    for (const verify::CheckFinding& f : out.cabrilloFindings) {
        run.report.addFinding(f.line, f.severity == verify::Severity::kError, verify::ruleTitle(f.rule),
                              f.text);
        if (f.rule == verify::Rule::kClaimedScore || f.rule == verify::Rule::kClaimedScoreNumber)
            info.claimFinding = "line " + std::to_string(f.line) + ": " + f.text;
    }
    if (!comparable && std::any_of(run.loaded.header.begin(), run.loaded.header.end(),
                                   [](const auto& h) { return h.first == "CLAIMED-SCORE"; }))
        info.claimFinding =
            "CLAIMED-SCORE not compared: without a country file the plug-in counts no SA prefix for " +
            std::to_string(info.continentUnknown) + (info.continentUnknown == 1 ? " QSO" : " QSOs");
}

// The --compare log replayed as the first one is, in its own contest reset and in the folder
// "compare" of the working folder (its err.txt and settings stay apart). An empty result, or why not.
std::string replayOther(const host::PluginExports& plugin, const ReplayRequest& request,
                        const CountryFile* countries, const Notes& note, ReplayedLog& other) {
    if (std::string failure = readInput(*request.compare, countries, other.loaded, note, request);
        !failure.empty())
        return failure;
    // The other station's own call and country; the command line's period holds for both.
    other.setup = host::contestSetupFor(other.loaded.contacts, other.loaded.ownCall,
                                        {{}, {}, request.choices.start, request.choices.end}, countries);
    FolderScope folder;
    std::string error;
    if (!folder.enter(fs::current_path() / "compare", "the folder", error)) return error;
    other.report = ContestReport(other.loaded.contacts.size(), true);
    std::set<std::string> prefixes;
    other.result = host::replayContest(plugin, other.loaded.contacts, other.setup,
                                       sinkFor(other.loaded.contacts, other.report, nullptr, prefixes));
    note(request.compare->name + ": " + std::to_string(other.loaded.contacts.size()) +
         " QSO(s) replayed for the comparison");
    return {};
}

// The report page, with the Cabrillo input's findings and the second log when asked; an empty
// result, or why not.
std::string makeReport(const host::PluginExports& plugin, const ReplayRequest& request,
                       const CountryFile* countries, const Notes& note, ReplayedLog& run,
                       ReplayOutcome& out) {
    ReportPageInfo info = pageInfo(request, run, request.log.name, countries);
    // In export mode the categories are those of the Cabrillo file the plug-in has just written.
    if (out.exported) {
        std::ifstream cbr(out.exportedFile, std::ios::binary);
        info.header = readCabrilloHeader(cbr);
    }
    if (run.loaded.format == LogFormat::kCabrillo) addCabrilloFindings(request, run, info, out);
    if (!request.compare) {
        out.reportPage = reportPage(run.report, info);
        return {};
    }
    ReplayedLog other;
    if (std::string failure = replayOther(plugin, request, countries, note, other); !failure.empty())
        return failure;
    ReportPageInfo otherInfo = pageInfo(request, other, request.compare->name, countries);
    out.reportPage = reportPage(run.report, info, &other.report, &otherInfo);
    return {};
}

// After the replay: the exported file and its check, the call check, the answers' classification.
void afterReplay(const host::PluginExports& plugin, const ReplayRequest& request,
                 const CountryFile* countries, const Notes& note, ReplayedLog& run, ReplayOutcome& out) {
    out.summary = run.result.summary;
    out.score = logs::parseScore(out.summary);
    out.errorLog = fs::current_path() / kErrorLog;
    out.errorLogStart = run.result.errorLogStart;
    out.qsos = run.loaded.contacts.size();
    out.skipped = run.loaded.skipped;
    out.continentUnknown = countries ? 0 : run.loaded.continentUnknown;
    out.replayed = true;
    if (run.check) {
        run.check->replayed(run.result.summary, out.continentUnknown);
        out.checked = run.check->finish();
    }
    // No file: the operator cancelled the header dialog, or the plug-in said why it wrote none.
    if (std::ifstream in(out.exportedFile, std::ios::binary); out.exported && in)
        out.exportFindings =
            verify::checkWithClaim(in, {request.choices.start, request.choices.end}, &out.summary);
    if (request.check) out.check = checkCall(plugin, *request.check, countries, note);
    if (request.answers) classifyOperating(run.report, out.answers);
    note(std::to_string(out.qsos) + " QSO(s) replayed, " + std::to_string(out.skipped) +
         (out.cabrillo ? " line(s) skipped" : " record(s) skipped"));
}

}  // namespace

ReplayOutcome replayLog(host::Startup& startup, const ReplayRequest& given) {
    // The logs are read again after the move to the working folder: their paths are made absolute first.
    ReplayRequest request = given;
    for (host::LogSource* source : {&request.log, request.compare ? &*request.compare : nullptr})
        if (source && !source->bytes && source->path.is_relative()) source->path = fs::absolute(source->path);
    ReplayOutcome out;
    const Notes note(request, out);
    const CountryFile* countries = startup.countryFile();
    const host::PluginExports* plugin = startup.plugin(out.failure);
    if (!plugin) return out;
    ReplayedLog run;
    if (out.failure = readInput(request.log, countries, run.loaded, note, request); !out.failure.empty())
        return out;
    out.cabrillo = run.loaded.format == LogFormat::kCabrillo;
    if (startup.countryFileSearched() && countries) note(startup.countryFileNote());
    if (run.loaded.struckOut)
        note(std::to_string(run.loaded.struckOut) +
             " X-QSO line(s) not replayed: the log marks them as struck out");
    run.setup = setupFor(request, run.loaded, countries, note);
    FolderScope folder;
    const fs::path work = request.workFolder.empty() ? fs::current_path() : fs::absolute(request.workFolder);
    if (!folder.enter(work, "the working folder", out.failure)) return out;
    const ReplayLog& log = run.loaded.contacts;
    run.report =
        ContestReport(request.report || request.answers ? log.size() : 0, request.compare.has_value());
    std::set<std::string> prefixes;
    host::OutcomeSink sink;
    if (request.report || request.answers)
        sink = sinkFor(log, run.report, request.answers ? &out.answers : nullptr, prefixes);
    sink = startCheck(request, run, std::move(sink));
    std::function<void(std::size_t)> progress;
    if (request.progress)
        progress = [&](std::size_t done) { request.progress("replaying", done, log.size()); };
    const auto started = fs::file_time_type::clock::now();
    run.result = host::replayContest(*plugin, log, run.setup, sink, progress);
    if (request.exportLog)
        out.exportedFile = fs::current_path() / (stats::cabrilloFileBaseName(run.setup.ownCall) + ".cbr");
    std::error_code ec;
    // A file of that name from an earlier run is not this run's export (the dialog was cancelled);
    // two seconds allow for coarse file times.
    out.exported = request.exportLog &&
                   fs::last_write_time(out.exportedFile, ec) >= started - std::chrono::seconds(2) && !ec;
    afterReplay(*plugin, request, countries, note, run, out);
    if (request.report) out.failure = makeReport(*plugin, request, countries, note, run, out);
    startup.unloadPlugin();
    return out;
}

void copyErrorLines(const ReplayOutcome& outcome, const std::function<void(std::string_view)>& sink) {
    std::ifstream in(outcome.errorLog, std::ios::binary);
    if (!in) return;
    in.seekg(static_cast<std::streamoff>(outcome.errorLogStart));
    std::vector<char> buffer(1 << 16);
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0)
        sink(std::string_view(buffer.data(), static_cast<std::size_t>(in.gcount())));
}

}  // namespace replay
