// stats-replay: replays an ADIF or Cabrillo contest log through the plug-in from the command line,
// calling its exports in the order and with the parameters the logging host uses; or, with
// --verify, checks a Cabrillo log before it is sent.

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "core/ole_date.h"
#include "reports/cabrillo_header.h"
#include "stats_version.h"
#include "tools/verify/cabrillo_check.h"
#include "tools/replay/cabrillo_verify.h"
#include "tools/logs/callsign.h"
#include "tools/report/contest_report.h"
#include "tools/report/html_page.h"
#include "tools/report/report_html.h"
#include "tools/logs/cty.h"
#include "tools/logs/cty_search.h"
#include "tools/host/header_choices.h"
#include "tools/logs/log_input.h"
#include "tools/host/plugin_library.h"
#include "tools/logs/qso_mapping.h"
#include "tools/logs/replay_log.h"
#include "tools/replay/replay_options.h"
#include "tools/host/replay_session.h"

namespace fs = std::filesystem;
using namespace replay;
using namespace host;
using namespace verify;

namespace {

constexpr int kFailure = 1;
constexpr int kUsage = 2;
constexpr const char* kNoCountryFile = "none";

int fail(const std::string& message, int status = kFailure) {
    std::fprintf(stderr, "stats-replay: %s\n", message.c_str());
    return status;
}

void note(const std::string& message) {
    std::fprintf(stderr, "stats-replay: %s\n", message.c_str());
}

// Progress on a terminal only, at most a few times a second.
class Progress {
  public:
    explicit Progress(bool shown) : shown_(shown) {}
    void show(const char* what, std::uint64_t done, std::uint64_t total) {
        if (!shown_) return;
        const auto now = std::chrono::steady_clock::now();
        if (done != total && now - last_ < std::chrono::milliseconds(200)) return;
        last_ = now;
        std::fprintf(stderr, "\r%s %3u%%", what, total ? static_cast<unsigned>(done * 100 / total) : 100u);
        if (done == total) std::fputs("\n", stderr);
        std::fflush(stderr);
    }

  private:
    bool shown_;
    std::chrono::steady_clock::time_point last_{};
};

fs::path absoluteFrom(const fs::path& base, const std::string& path) {
    const fs::path p(path);
    return p.is_absolute() ? p : base / p;
}

std::string errnoText() {
    return std::strerror(errno);
}

void writeAll(const std::string& bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

// The error log grows from the size it had after the reset; only this run's lines are shown.
std::uintmax_t fileSize(const fs::path& file) {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(file, ec);
    return ec ? 0 : size;
}

// Copies the file from `offset` to stdout in pieces: a log full of dupes can give a large error log.
void copyToStdout(const fs::path& file, std::uintmax_t offset) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return;
    in.seekg(static_cast<std::streamoff>(offset));
    std::vector<char> buffer(1 << 16);
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0)
        std::fwrite(buffer.data(), 1, static_cast<std::size_t>(in.gcount()), stdout);
}

// Feeds each outcome of a replay of `log` to `report`.
OutcomeSink reportSinkFor(const ReplayLog& log, ContestReport& report) {
    return [&log, &report](const QsoOutcome& o) {
        const auto t = log.texts(o.index);
        report.add({log[o.index].when, log[o.index].record, t[ReplayLog::kBand], t[ReplayLog::kMode],
                    t[ReplayLog::kCall], t[ReplayLog::kPrefix], o.check, o.hint, o.added, o.errorLines,
                    log[o.index].frequencyHz});
    };
}

// Reads the log `name` at `path` into `loaded`: an empty result, or why it cannot be replayed.
std::string readLogFile(const fs::path& path, const std::string& name, const CountryFile* countryFile,
                        LoadedLog& loaded, const ReadProgress& bytesRead = {}) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) return "cannot read the log " + name + ": it is a folder";
    std::ifstream in(path, std::ios::binary);
    if (!in) return "cannot read the log " + name + ": " + errnoText();
    if (!readLog(in, name, countryFile, loaded, note, bytesRead)) return "error reading the log " + name + ": " + errnoText();
    if (!loaded.recognised)
        return name + " holds no QSO: it is neither a Cabrillo log (no START-OF-LOG: line) nor an ADIF log (no valid "
                      "record, no <EOH>)";
    return {};
}

// The --compare log replayed as the first one is, in its own contest reset and in the folder
// "compare" of the working folder (its err.txt and settings stay apart). An empty result, or why not.
std::string replayOther(const ReplayOptions& options, const fs::path& startDir, const fs::path& workDir,
                        const CountryFile* countryFile, const PluginExports& plugin, LoadedLog& loaded,
                        ContestReport& report, ReportPageInfo& info) {
    if (std::string failure = readLogFile(absoluteFrom(startDir, options.compare), options.compare, countryFile, loaded);
        !failure.empty())
        return failure;
    std::error_code ec;
    // The other station's own call and country; the command line's period holds for both.
    const ContestSetup setup =
        contestSetupFor(loaded.contacts, loaded.ownCall, {{}, {}, options.start, options.end}, countryFile);
    const fs::path dir = workDir / "compare";
    fs::create_directories(dir / "Plugins", ec);
    if (ec) return "cannot create the folder " + (dir / "Plugins").string() + ": " + ec.message();
    fs::current_path(dir, ec);
    if (ec) return "cannot change to the folder " + dir.string() + ": " + ec.message();
    report = ContestReport(loaded.contacts.size(), true);
    const ReplayResult result = replayContest(plugin, loaded.contacts, setup, reportSinkFor(loaded.contacts, report));
    fs::current_path(workDir, ec);
    info.logName = options.compare;
    info.placeWord = loaded.format == LogFormat::kCabrillo ? "line" : "record";
    info.summary = result.summary;
    info.header = loaded.header;
    info.continentUnknown = countryFile ? 0 : loaded.continentUnknown;
    note(options.compare + ": " + std::to_string(loaded.contacts.size()) + " QSO(s) replayed for the comparison");
    return {};
}

int run(const ReplayOptions& options, const char* argv0) {
    std::error_code ec;
    const fs::path startDir = fs::current_path(ec);
    if (ec) return fail("cannot determine the current folder: " + ec.message());

    // The host runs in its own folder, which holds the plug-in's "Plugins" folder for the settings file.
    const fs::path workDir = options.dir.empty() ? startDir : absoluteFrom(startDir, options.dir);

    CountryFile countries;
    const CountryFile* countryFile = nullptr;
    std::string ctyName = options.cty;
    const bool ctySearched = ctyName.empty();
    if (ctySearched)
        ctyName = firstExistingFile(countryFileCandidates(executableFolder(argv0), startDir,
                                                          options.dir.empty() ? fs::path() : workDir))
                      .string();
    if (!ctyName.empty() && ctyName != kNoCountryFile) {
        const fs::path path = absoluteFrom(startDir, ctyName);
        std::ifstream in(path, std::ios::binary);
        if (!in) return fail("cannot read the country file " + ctyName + ": " + errnoText());
        std::string error;
        if (!countries.load(in, error)) return fail("country file " + ctyName + ": " + error);
        countryFile = &countries;
    }

    const fs::path libraryPath = options.library.empty()
                                     ? fs::path(executableFolder(argv0)) / pluginFileName()
                                     : absoluteFrom(startDir, options.library);
    if (options.verify) return verifyCabrillo(options, startDir, countryFile, libraryPath, note);
    PluginLibrary library;
    std::string error;
    if (!library.load(libraryPath.string(), error)) return fail(error);
    const PluginExports& plugin = library.exports();

    const fs::path logPath = absoluteFrom(startDir, options.logFile);
    const std::uintmax_t logSize = fileSize(logPath);
    Progress progress(stderrIsTerminal());
    LoadedLog loaded;
    if (const std::string failure = readLogFile(logPath, options.logFile, countryFile, loaded,
                                                [&](std::uint64_t bytes) { progress.show("reading", bytes, logSize); });
        !failure.empty())
        return fail(failure);
    progress.show("reading", logSize, logSize);
    const bool cabrillo = loaded.format == LogFormat::kCabrillo;
    if (ctySearched && countryFile) note("using the country file " + ctyName);
    if (loaded.struckOut)
        note(std::to_string(loaded.struckOut) + " X-QSO line(s) not replayed: the log marks them as struck out");
    const ReplayLog& log = loaded.contacts;

    ContestSetup setup = contestSetupFor(log, loaded.ownCall, contestChoicesOf(options), countryFile);
    if (setup.ownCall.empty())
        note(cabrillo ? "no own call: give --call or CALLSIGN: in the log"
                      : "no own call: give --call or STATION_CALLSIGN in the log");
    setup.exportLog = options.exportLog;
    if (setup.exportLog) {
        setup.headerAnswers = headerAnswersFor(loaded, options.header);
        for (const auto& [tag, value] : setup.headerAnswers) {
            const bool given = std::any_of(options.header.begin(), options.header.end(),
                                           [&](const auto& a) { return a.first == tag; });
            if (const auto warning = offListWarning(given ? headerOptionName(tag) : "the log's " + tag, tag, value))
                note(*warning);
        }
    }

    fs::create_directories(workDir / "Plugins", ec);
    if (ec)
        return fail("cannot create the working folder " + (workDir / "Plugins").string() + ": " +
                    ec.message());
    fs::current_path(workDir, ec);
    if (ec) return fail("cannot change to the working folder " + workDir.string() + ": " + ec.message());

    // The report counts the plug-in's answers for each contact as the run goes.
    const bool comparing = !options.compare.empty();
    ContestReport report(options.report.empty() ? 0 : log.size(), comparing);
    OutcomeSink reportSink;
    if (!options.report.empty()) reportSink = reportSinkFor(log, report);
    const auto runStarted = fs::file_time_type::clock::now();
    const ReplayResult result = replayContest(plugin, log, setup, reportSink, [&](std::size_t done) {
        progress.show("replaying", done, log.size());
    });
    useBinaryStdout();
    writeAll(result.summary);
    if (loaded.continentUnknown && !countryFile)
        writeAll("Warning: " + std::to_string(loaded.continentUnknown) +
                 " QSO(s) without a continent (none in the log, no country file): their South-American "
                 "prefixes are not counted. Give a country file with --cty FILE (see the README).\r\n");
    copyToStdout("err.txt", result.errorLogStart);
    if (options.exportLog) {
        // The plug-in names the file after the call given to the reset.
        const std::string name = stats::cabrilloFileBaseName(setup.ownCall) + ".cbr";
        checkExportedLog(workDir / name, (fs::path(options.dir) / name).string(), {options.start, options.end},
                         result.summary);
    }

    if (options.check) {
        // Calls are stored as the log has them in capitals; the host passes the typed call the same way.
        const std::string checkCall = splitCall(options.checkCall).call;
        const std::string prefix = wpxPrefix(checkCall);
        std::string continent;
        if (countryFile)
            continent = countryFile->lookup(checkCall).continent;
        else
            note("no --cty file: the continent of " + checkCall + " is unknown, so it counts as outside SA");
        char outBuffer[50] = {};
        char hint[100] = {};
        const int result =
            plugin.checkCall(checkCall.c_str(), 0, 0, options.checkMode.c_str(), "", "", "", "", "", "", "",
                             "", prefix.c_str(), "", 0, 0, 0, 0.0, 0.0, "", continent.c_str(), "", "", "",
                             options.checkBand.c_str(), "", outBuffer, hint);
        const char* meaning = result == 0   ? "dupe"
                              : result == 2 ? (hint[0] ? "new multiplier" : "not a dupe, outside SA")
                                            : "not a dupe, SA prefix already worked";
        std::string line = "Check " + checkCall + " " + options.checkBand + " " + options.checkMode +
                           " (prefix " + prefix + ", continent " + (continent.empty() ? "?" : continent) +
                           "): " + std::to_string(result) + " " + meaning + "\r\n";
        if (hint[0]) line += std::string(hint) + "\r\n";
        writeAll(line);
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return fail("cannot write the output: " + errnoText());

    note(std::to_string(log.size()) + " QSO(s) replayed, " + std::to_string(loaded.skipped) +
         (cabrillo ? " line(s) skipped" : " record(s) skipped"));
    if (!options.report.empty()) {
        ReportPageInfo info;
        info.logName = options.logFile;
        info.placeWord = loaded.format == LogFormat::kCabrillo ? "line" : "record";
        info.summary = result.summary;
        info.generator = std::string("stats-replay ") + STATS_VERSION_TEXT;
        info.header = loaded.header;
        // In export mode the categories are those of the Cabrillo file the plug-in has just written.
        if (options.exportLog)
            for (const auto& entry : fs::directory_iterator(workDir, ec))
                if (entry.path().extension() == ".cbr" && entry.last_write_time(ec) >= runStarted) {
                    std::ifstream cbr(entry.path(), std::ios::binary);
                    info.header = readCabrilloHeader(cbr);
                    break;
                }
        info.continentUnknown = countryFile ? 0 : loaded.continentUnknown;
        info.minBreak = std::chrono::minutes{options.minBreak};
        if (options.start) info.period.from = std::chrono::sys_seconds{*options.start};
        if (options.end) info.period.to = std::chrono::sys_seconds{*options.end + std::chrono::days{1}};
        // A Cabrillo input's report lists what the check before submission finds in the file, the
        // claimed score among it (comparable only when every QSO had its continent).
        if (cabrillo) {
            std::ifstream again(logPath, std::ios::binary);
            const bool comparable = info.continentUnknown == 0;
            for (const CheckFinding& f : checkWithClaim(again, {options.start, options.end}, result.summary, comparable)) {
                report.addFinding(f.line, f.severity == Severity::kError, f.text);
                if (f.text.rfind("CLAIMED-SCORE", 0) == 0)
                    info.claimFinding = "line " + std::to_string(f.line) + ": " + f.text;
            }
            if (!comparable && std::any_of(loaded.header.begin(), loaded.header.end(),
                                           [](const auto& h) { return h.first == "CLAIMED-SCORE"; }))
                info.claimFinding = "CLAIMED-SCORE not compared: without a country file the plug-in counts no SA "
                                    "prefix for " + std::to_string(info.continentUnknown) +
                                    (info.continentUnknown == 1 ? " QSO" : " QSOs");
        }
        // The second log: its own contest reset in a folder of its own, no export.
        ContestReport otherReport(0, true);
        ReportPageInfo otherInfo;
        LoadedLog otherLoaded;
        if (comparing) {
            const std::string failure = replayOther(options, startDir, workDir, countryFile, plugin, otherLoaded,
                                                    otherReport, otherInfo);
            if (!failure.empty()) return fail(failure);
            otherInfo.minBreak = info.minBreak;
            otherInfo.period = info.period;
            otherInfo.generator = info.generator;
        }
        const std::string reportPath = absoluteFrom(startDir, options.report).string();
        const std::string page = comparing ? reportPage(report, info, &otherReport, &otherInfo) : reportPage(report, info);
        if (!html::writeFileAtomically(reportPath, page, error))
            return fail("report not written: " + error);
        note("report written to " + options.report);
    }
    library.unload();
    fs::current_path(startDir, ec);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string_view> args(argv + 1, argv + argc);
    ReplayOptions options;
    std::string error;
    if (!parseOptions(args, options, error)) return fail(error, kUsage);
    if (options.help) {
        std::fputs(usageText().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("stats-replay %s\n", STATS_VERSION_TEXT);
        return 0;
    }
    try {
        return run(options, argc > 0 ? argv[0] : nullptr);
    } catch (const std::exception& e) {
        return fail(e.what());
    }
}
