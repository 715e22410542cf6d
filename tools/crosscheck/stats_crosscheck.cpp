// stats-crosscheck: the contest committee's check of all submitted logs (Cabrillo or ADIF). Every
// log is reconciled (dupes, bands, modes, period), every judged QSO matched against the other
// station's log with the clock offsets applied, and every log scored twice through the plug-in's
// exports, as claimed and as checked.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <optional>
#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "stats_version.h"
#include "tools/logs/cabrillo_reader.h"
#include "tools/crosscheck/crosscheck.h"
#include "tools/crosscheck/crosscheck_output.h"
#include "tools/logs/cty.h"
#include "tools/logs/cty_search.h"
#include "tools/logs/iso_date.h"
#include "tools/report/html_page.h"
#include "tools/logs/log_input.h"
#include "tools/host/plugin_library.h"
#include "tools/host/replay_session.h"

namespace fs = std::filesystem;
using namespace crosscheck;

namespace {

constexpr int kFailure = 1;
constexpr int kUsage = 2;
constexpr std::string_view kContest = "SA-TOLVEN";
constexpr std::uintmax_t kMaxLogBytes = std::uintmax_t{256} << 20;

const char* const kUsageText =
    "Usage: stats-crosscheck [options] LOG...\n"
    "Cross-checks the logs of a contest (Cabrillo or ADIF files, or folders holding them) and scores\n"
    "each log through the plug-in as claimed and as checked.\n"
    "  --out DIR       output folder (default: crosscheck): CALL.ubn per log, results.csv, results.html\n"
    "  --window MIN    QSOs match when their times differ by at most MIN minutes once each log's clock\n"
    "                  offset is taken off (default 3)\n"
    "  --start YYYY-MM-DD, --end YYYY-MM-DD\n"
    "                  the contest period (UTC days): QSOs outside it are OUT OF PERIOD, logs with no\n"
    "                  QSO in it are set aside (default: no period check)\n"
    "  --penalty none|loss-plus-one|double\n"
    "                  what a NIL or a BUSTED CALL costs beyond its QSO: nothing (default), one QSO\n"
    "                  more, two QSOs more\n"
    "  --no-uniques    uniques lose credit in the checked score (default: they keep it)\n"
    "  --accept-contest NAME\n"
    "                  also use Cabrillo logs whose CONTEST: is NAME (repeatable), with a warning\n"
    "  --call-from-name\n"
    "                  a log that names no own call (an ADIF log without STATION_CALLSIGN or\n"
    "                  OPERATOR) is the station of its file name (K1ABC.adi: K1ABC)\n"
    "  --cty FILE      country file in the CTY.DAT format (the continents of the calls worked);\n"
    "                  without it: cty.dat beside this program, in the current folder, then\n"
    "                  /usr/share/tlf/cty.dat (named on stderr); \"--cty none\": no country file\n"
    "  --lib FILE      the plug-in (default: the one beside this program)\n"
    "  --version, --help\n";

struct Options {
    std::string out = "crosscheck";
    std::int64_t windowSeconds = 180;
    bool removeUniques = false;
    bool callFromName = false;
    Penalty penalty = Penalty::kNone;
    std::optional<std::chrono::sys_days> start, end;
    std::vector<std::string> acceptContests;
    std::string cty;
    std::string library;
    std::vector<std::string> inputs;
    bool help = false;
    bool version = false;
};

void note(const std::string& message) {
    std::fprintf(stderr, "stats-crosscheck: %s\n", message.c_str());
}

int fail(const std::string& message, int status = kFailure) {
    note(message);
    return status;
}

std::string upperCase(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// Seconds as whole minutes, rounded half away from zero.
std::int64_t roundedMinutes(std::int64_t seconds) {
    return (seconds < 0 ? seconds - 30 : seconds + 30) / 60;
}

bool parseOptions(int argc, char** argv, Options& o, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc) {
                error = std::string(arg) + " needs a value";
                return false;
            }
            into = argv[++i];
            return true;
        };
        std::string text;
        if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--version") {
            o.version = true;
        } else if (arg == "--no-uniques") {
            o.removeUniques = true;
        } else if (arg == "--call-from-name") {
            o.callFromName = true;
        } else if (arg == "--accept-contest") {
            if (!value(text)) return false;
            o.acceptContests.push_back(upperCase(text));
        } else if (arg == "--penalty") {
            if (!value(text)) return false;
            if (text == "none") o.penalty = Penalty::kNone;
            else if (text == "loss-plus-one") o.penalty = Penalty::kLossPlusOne;
            else if (text == "double") o.penalty = Penalty::kDouble;
            else {
                error = "--penalty takes none, loss-plus-one or double, not '" + text + "'";
                return false;
            }
        } else if (arg == "--start" || arg == "--end") {
            if (!value(text)) return false;
            std::chrono::sys_days day;
            if (!replay::parseIsoDate(text, day)) {
                error = std::string(arg) + ": '" + text + "' is not a date YYYY-MM-DD";
                return false;
            }
            (arg == "--start" ? o.start : o.end) = day;
        } else if (arg == "--out") {
            if (!value(o.out)) return false;
        } else if (arg == "--cty") {
            if (!value(o.cty)) return false;
        } else if (arg == "--lib") {
            if (!value(o.library)) return false;
        } else if (arg == "--window") {
            if (!value(text)) return false;
            char* end = nullptr;
            const long minutes = std::strtol(text.c_str(), &end, 10);
            if (text.empty() || *end || minutes < 0 || minutes > 1440) {
                error = "--window takes whole minutes from 0 to 1440, not '" + text + "'";
                return false;
            }
            o.windowSeconds = minutes * 60;
        } else if (arg.starts_with("-") && arg.size() > 1) {
            error = "unknown option " + std::string(arg);
            return false;
        } else {
            o.inputs.emplace_back(arg);
        }
    }
    if (o.start && o.end && *o.end < *o.start) {
        error = "--end is before --start";
        return false;
    }
    if (o.inputs.empty() && !o.help && !o.version) {
        error = "no log given (stats-crosscheck --help)";
        return false;
    }
    return true;
}

fs::path absoluteFrom(const fs::path& base, const std::string& path) {
    const fs::path p(path);
    return p.is_absolute() ? p : base / p;
}

// A log as read, with what the committee needs of it.
struct Submission {
    std::string file;
    replay::LoadedLog loaded;
    std::string call;
    std::string problem;  // why it cannot be used; empty when it can
    std::vector<std::string> notes;
    std::vector<std::string> warnings;  // about a log that is used all the same
    std::array<std::string, kCategoryTags.size()> categories;
};

std::string headerValue(const replay::LoadedLog& log, std::string_view tag) {
    for (const auto& [t, v] : log.header)
        if (t == tag) return v;
    return {};
}

bool inPeriod(std::chrono::sys_seconds when, const Options& o) {
    const auto day = std::chrono::floor<std::chrono::days>(when);
    return (!o.start || day >= *o.start) && (!o.end || day <= *o.end);
}

std::string dayText(const std::optional<std::chrono::sys_days>& day) {
    if (!day) return "open";
    const std::chrono::year_month_day d{*day};
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(d.year()), static_cast<unsigned>(d.month()),
                  static_cast<unsigned>(d.day()));
    return text;
}

std::string periodText(const Options& o) {
    return o.start || o.end ? dayText(o.start) + " to " + dayText(o.end) : std::string();
}

void readSubmission(Submission& s, const fs::path& path, const replay::CountryFile* countries, const Options& options) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        s.problem = "it is a folder";
        return;
    }
    // The largest contest logs are a few megabytes; a file this size is no log, and reading it
    // would take the memory every other log needs.
    if (const auto size = fs::file_size(path, ec); !ec && size > kMaxLogBytes) {
        s.problem = "the file has " + std::to_string(size >> 20) + " MiB; a log of more than " +
                    std::to_string(kMaxLogBytes >> 20) + " MiB is not read";
        return;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        s.problem = "cannot be read";
        return;
    }
    const bool ok = replay::readLog(in, s.file, countries, s.loaded, [&](const std::string& n) { s.notes.push_back(n); });
    const bool cabrillo = s.loaded.format == replay::LogFormat::kCabrillo;
    // ADIF names the station in its records, Cabrillo in CALLSIGN:; the file name when asked.
    s.call = upperCase(cabrillo ? headerValue(s.loaded, "CALLSIGN") : s.loaded.ownCall);
    if (s.call.empty() && options.callFromName) s.call = upperCase(path.stem().string());
    if (!ok) {
        s.problem = "cannot be read to the end";
    } else if (!s.loaded.recognised) {
        s.problem = "not a Cabrillo log (no START-OF-LOG: line) nor an ADIF log";
    } else if (const std::string contest = upperCase(headerValue(s.loaded, "CONTEST")); cabrillo && contest != kContest) {
        if (std::find(options.acceptContests.begin(), options.acceptContests.end(), contest) ==
            options.acceptContests.end())
            s.problem = "a log of another contest (CONTEST: " + contest + "): --accept-contest " +
                        (contest.empty() ? "\"\"" : contest) + " uses it";
        else
            s.warnings.push_back("a log of another contest (CONTEST: " + contest + "), used as --accept-contest asks");
    }
    if (s.problem.empty() && (options.start || options.end) && !s.loaded.contacts.empty()) {
        bool any = false;
        for (std::size_t i = 0; !any && i < s.loaded.contacts.size(); ++i) any = inPeriod(s.loaded.contacts[i].when, options);
        if (!any) s.problem = "no QSO in the contest period (" + periodText(options) + ")";
    }
    if (s.problem.empty() && s.call.empty())
        s.problem = cabrillo ? "no CALLSIGN" : "no STATION_CALLSIGN or OPERATOR (--call-from-name takes the file name)";
    for (std::size_t i = 0; i < kCategoryTags.size(); ++i) s.categories[i] = upperCase(headerValue(s.loaded, kCategoryTags[i]));
}

StationLog stationLog(const Submission& s) {
    StationLog log;
    log.call = s.call;
    const replay::ReplayLog& contacts = s.loaded.contacts;
    log.qsos.reserve(contacts.size());
    for (std::size_t i = 0; i < contacts.size(); ++i) {
        const auto t = contacts.texts(i);
        log.qsos.push_back({contacts[i].record, contacts[i].when.time_since_epoch().count(),
                            t[replay::ReplayLog::kBand], t[replay::ReplayLog::kMode],
                            upperCase(t[replay::ReplayLog::kCall]), t[replay::ReplayLog::kNumberSent],
                            t[replay::ReplayLog::kNumberReceived], contacts[i].frequencyHz / 1000});
    }
    return log;
}

// The contacts of `log` that `keep` selects, as the host would log them again.
replay::ReplayLog selected(const replay::ReplayLog& log, const std::vector<char>& keep) {
    replay::ReplayLog out;
    replay::ReplayQso q;
    for (std::size_t i = 0; i < log.size(); ++i) {
        if (!keep[i]) continue;
        const auto t = log.texts(i);
        q.ownCall = t[replay::ReplayLog::kOwnCall];
        q.call = t[replay::ReplayLog::kCall];
        q.mode = t[replay::ReplayLog::kMode];
        q.rstSent = t[replay::ReplayLog::kRstSent];
        q.rstReceived = t[replay::ReplayLog::kRstReceived];
        q.numberSent = t[replay::ReplayLog::kNumberSent];
        q.numberReceived = t[replay::ReplayLog::kNumberReceived];
        q.prefix = t[replay::ReplayLog::kPrefix];
        q.continent = t[replay::ReplayLog::kContinent];
        q.band = t[replay::ReplayLog::kBand];
        q.frequencyHz = log[i].frequencyHz;
        q.when = log[i].when;
        q.time = log[i].time;
        out.add(q, log[i].record);
    }
    return out;
}

// The texts of the given line numbers (sorted) of a file, read again with the Cabrillo reader.
std::map<std::uint64_t, std::string> linesOf(const fs::path& path, const std::vector<std::uint64_t>& wanted) {
    std::map<std::uint64_t, std::string> out;
    if (wanted.empty()) return out;
    std::ifstream in(path, std::ios::binary);
    replay::CabrilloLineReader reader(in);
    replay::CabrilloLine line;
    auto next = wanted.begin();
    while (next != wanted.end() && reader.next(line)) {
        if (line.number < *next) continue;
        std::string text = line.text.size() > 200 ? line.text.substr(0, 200) + "..." : line.text;
        for (char& c : text)
            if (c == '\r' || c == '\n') c = ' ';
        out.emplace(line.number, std::move(text));
        while (next != wanted.end() && *next <= line.number) ++next;
    }
    return out;
}

// A QSO in the layout of a Cabrillo QSO: line.
std::string qsoLineOf(const std::string& own, const Qso& q) {
    using namespace std::chrono;
    const sys_seconds when{seconds{q.time}};
    const year_month_day day{floor<days>(when)};
    const hh_mm_ss<seconds> clock{when - floor<days>(when)};
    char head[64];
    std::snprintf(head, sizeof head, "QSO: %5u %-2s %04d-%02u-%02u %02d%02d ", q.frequencyKHz,
                  q.mode == "SSB" ? "PH" : q.mode.substr(0, 8).c_str(), static_cast<int>(day.year()),
                  static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()),
                  static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()));
    std::string out = head + own.substr(0, 40) + " " + q.sent.substr(0, 40) + " " + q.call.substr(0, 40) + " " +
                      q.received.substr(0, 40);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    return out;
}

bool writeOutput(const fs::path& path, const std::string& text) {
    std::string error;
    if (replay::html::writeFileAtomically(path.string(), text, error)) return true;
    note(error);
    return false;
}

// The logs named on the command line, folders opened one level deep, in name order.
std::vector<fs::path> logFiles(const Options& options, const fs::path& startDir, std::vector<UnusableLog>& unusable) {
    std::vector<fs::path> files;
    for (const std::string& input : options.inputs) {
        const fs::path path = absoluteFrom(startDir, input);
        std::error_code ec;
        if (fs::is_directory(path, ec)) {
            std::vector<fs::path> inFolder;
            for (const auto& entry : fs::directory_iterator(path, ec))
                if (entry.is_regular_file(ec)) inFolder.push_back(entry.path());
            std::sort(inFolder.begin(), inFolder.end());
            files.insert(files.end(), inFolder.begin(), inFolder.end());
        } else if (fs::exists(path, ec)) {
            files.push_back(path);
        } else {
            unusable.push_back({input, "no such file or folder"});
        }
    }
    return files;
}

// Where the plug-in keeps err.txt and its settings while it scores: each contest reset
// truncates the one and replaces the other, which on a disk file system waits for the disk
// (ext4 writes a file out when a rename replaces it). Memory-backed /dev/shm where there is
// one, else a folder in the output folder.
fs::path scoringFolder(const fs::path& outDir) {
#ifndef _WIN32
    std::error_code ec;
    const fs::path shm = "/dev/shm";
    if (fs::is_directory(shm, ec)) {
        const fs::path dir = shm / ("stats-crosscheck-" + std::to_string(::getpid()));
        if (fs::create_directories(dir / "Plugins", ec) && !ec) return dir;
    }
#endif
    return outDir / ".plugin-work";
}

int run(const Options& options, const char* argv0) {
    std::error_code ec;
    const fs::path startDir = fs::current_path(ec);
    if (ec) return fail("cannot determine the current folder: " + ec.message());

    replay::CountryFile countries;
    const replay::CountryFile* countryFile = nullptr;
    // Without --cty, the country file is looked for where the replay looks for it; "none" turns that off.
    std::string ctyName = options.cty;
    if (ctyName.empty()) {
        ctyName = replay::firstExistingFile(
                      replay::countryFileCandidates(host::executableFolder(argv0), startDir, fs::path()))
                      .string();
        if (ctyName.empty())
            note("no country file (--cty FILE): the continents of the calls worked are unknown, so no "
                 "South-American prefix counts as a multiplier");
        else
            note("using the country file " + ctyName);
    }
    if (!ctyName.empty() && ctyName != "none") {
        std::ifstream in(absoluteFrom(startDir, ctyName), std::ios::binary);
        std::string error;
        if (!in) return fail("cannot read the country file " + ctyName);
        if (!countries.load(in, error)) return fail("country file " + ctyName + ": " + error);
        countryFile = &countries;
    }

    const fs::path libraryPath = options.library.empty() ? fs::path(host::executableFolder(argv0)) / host::pluginFileName()
                                                         : absoluteFrom(startDir, options.library);
    host::PluginLibrary library;
    std::string error;
    if (!library.load(libraryPath.string(), error)) return fail(error);

    const fs::path outDir = absoluteFrom(startDir, options.out);
    fs::create_directories(outDir, ec);
    if (ec) return fail("cannot create the output folder " + outDir.string() + ": " + ec.message());
    const fs::path workDir = scoringFolder(outDir);
    fs::create_directories(workDir / "Plugins", ec);
    if (ec) return fail("cannot create the output folder " + outDir.string() + ": " + ec.message());
    // The scoring folder goes on every way out of this function, an early return or an exception.
    struct RemoveOnExit {
        fs::path dir, back;
        ~RemoveOnExit() {
            std::error_code ignored;
            fs::current_path(back, ignored);
            fs::remove_all(dir, ignored);
        }
    } removeWorkDir{workDir, startDir};

    // Reading: each log on its own, on both cores.
    std::vector<UnusableLog> unusable;
    const std::vector<fs::path> files = logFiles(options, startDir, unusable);
    std::vector<Submission> submissions(files.size());
    forEachIndex(files.size(), 2, [&](std::size_t i) {
        // Shown with '/' on every system, relative to the current folder where it lies below it.
        submissions[i].file = files[i].lexically_relative(startDir).generic_string();
        if (submissions[i].file.empty() || submissions[i].file.starts_with("..")) submissions[i].file = files[i].generic_string();
        readSubmission(submissions[i], files[i], countryFile, options);
    });

    // Two logs with one call: neither is used, whatever the order they came in.
    std::map<std::string, std::vector<std::size_t>> byCall;
    for (std::size_t i = 0; i < submissions.size(); ++i)
        if (submissions[i].problem.empty()) byCall[submissions[i].call].push_back(i);
    for (const auto& [call, indexes] : byCall) {
        if (indexes.size() < 2) continue;
        std::string names;
        for (std::size_t i : indexes) names += (names.empty() ? "" : ", ") + submissions[i].file;
        for (std::size_t i : indexes)
            submissions[i].problem = "CALLSIGN " + call + " is in more than one log (" + names +
                                     "): none of them is used";
    }
    std::vector<std::size_t> used;
    for (std::size_t i = 0; i < submissions.size(); ++i) {
        Submission& s = submissions[i];
        if (s.problem.empty()) {
            for (const std::string& n : s.notes) note(n);
            for (const std::string& w : s.warnings) note(s.file + ": " + w);
        }
        if (!s.problem.empty()) {
            note(s.file + ": not used: " + s.problem);
            unusable.push_back({s.file, s.problem});
            s.loaded = {};
            continue;
        }
        if (s.loaded.contacts.empty()) note(s.file + ": " + s.call + " has no QSO");
        used.push_back(i);
    }

    std::vector<StationLog> logs(used.size());
    // The readers' contacts are read again for the scoring, one log at a time, so that they and
    // the matching's copies are never all held at once.
    forEachIndex(used.size(), 2, [&](std::size_t k) {
        logs[k] = stationLog(submissions[used[k]]);
        submissions[used[k]].loaded.contacts = {};
    });
    CheckOptions checkOptions;
    checkOptions.windowSeconds = options.windowSeconds;
    checkOptions.start = options.start;
    checkOptions.end = options.end;
    const CheckResult check = crossCheck(logs, checkOptions);
    const auto& checks = check.checks;

    // Scoring: one plug-in in this process, so one log after the other, each in its own reset.
    fs::current_path(workDir, ec);
    if (ec) return fail("cannot change to the folder " + workDir.string() + ": " + ec.message());
    const host::PluginExports& plugin = library.exports();
    std::vector<LogResult> results(used.size());
    auto reread = [&](std::size_t k) {
        replay::LoadedLog again;
        std::ifstream in(files[used[k]], std::ios::binary);
        replay::readLog(in, submissions[used[k]].file, countryFile, again, [](const std::string&) {});
        return std::move(again.contacts);
    };
    std::future<replay::ReplayLog> next;
    if (!used.empty()) next = std::async(std::launch::async, reread, 0);
    for (std::size_t k = 0; k < used.size(); ++k) {
        const Submission& s = submissions[used[k]];
        LogResult& r = results[k];
        const replay::ReplayLog contacts = next.get();
        if (k + 1 < used.size()) next = std::async(std::launch::async, reread, k + 1);
        r.call = s.call;
        r.file = s.file;
        r.categories = s.categories;
        r.warnings = s.warnings;
        if (contacts.size() != checks[k].size()) {
            note(s.file + ": the file changed while it was checked; it is not scored");
            continue;
        }
        r.skippedLines = s.loaded.skipped;
        r.qsoLines = contacts.size();
        r.clockOffsetMinutes = roundedMinutes(check.clockOffsets[k]);
        r.offsetMatches = check.offsetMatches[k];
        std::vector<char> keep(contacts.size());
        for (std::size_t i = 0; i < contacts.size(); ++i) {
            const QsoCheck& c = checks[k][i];
            const auto v = static_cast<std::size_t>(c.verdict);
            ++r.counts[v];
            keep[i] = c.credited && !(c.verdict == Verdict::kUnique && options.removeUniques);
            if (!keep[i]) ++r.lost[v];
        }
        const host::ContestSetup setup = host::contestSetupFor(
            contacts, s.call, host::ContestChoices{s.call, "", options.start, options.end}, countryFile);
        const host::ReplayResult claimed = host::replayContest(plugin, contacts, setup);
        const host::ReplayResult checked = host::replayContest(plugin, selected(contacts, keep), setup);
        const auto claimedScore = logs::parseScore(claimed.summary);
        const auto checkedScore = logs::parseScore(checked.summary);
        if (claimedScore && checkedScore) {
            r.claimed = *claimedScore;
            r.checked = *checkedScore;
        } else {
            note(s.file + ": the plug-in's summary has no score line");
        }
        r.penaltyQsos = static_cast<long long>(penaltyQsos(options.penalty)) *
                        static_cast<long long>(r.counts[static_cast<std::size_t>(Verdict::kNotInLog)] +
                                               r.counts[static_cast<std::size_t>(Verdict::kBustedCall)]);
        r.finalScore = std::max(0LL, r.checked.qsos - r.penaltyQsos) * r.checked.multipliers;
    }
    fs::current_path(startDir, ec);

    // Report names: safe, and distinct even where two calls give the same safe name.
    std::map<std::string, int> taken;
    for (LogResult& r : results) {
        const std::string base = safeFileName(r.call);
        const int n = taken[base]++;
        r.reportFile = base + (n ? "~" + std::to_string(n + 1) : "") + ".ubn";
    }

    // Reports: each log's flagged lines and the other logs' lines they rest on, read again.
    std::vector<std::vector<std::uint64_t>> wanted(used.size());
    for (std::size_t k = 0; k < used.size(); ++k)
        for (std::size_t i = 0; i < checks[k].size(); ++i) {
            const QsoCheck& c = checks[k][i];
            if (verdictName(c.verdict).empty()) continue;
            wanted[k].push_back(logs[k].qsos[i].line);
            if (c.otherLog != QsoCheck::kNone && c.verdict != Verdict::kNotInLog)
                wanted[c.otherLog].push_back(logs[c.otherLog].qsos[c.otherQso].line);
        }
    std::vector<std::map<std::uint64_t, std::string>> lineTexts(used.size());
    forEachIndex(used.size(), 2, [&](std::size_t k) {
        std::sort(wanted[k].begin(), wanted[k].end());
        if (submissions[used[k]].loaded.format == replay::LogFormat::kCabrillo) {
            lineTexts[k] = linesOf(files[used[k]], wanted[k]);
            return;
        }
        // An ADIF record is shown as the Cabrillo line it would be.
        for (const Qso& q : logs[k].qsos)
            if (std::binary_search(wanted[k].begin(), wanted[k].end(), q.line))
                lineTexts[k].emplace(q.line, "record " + std::to_string(q.line) + ": " + qsoLineOf(logs[k].call, q));
    });
    auto lineText = [&](std::size_t k, std::uint64_t line) {
        const auto it = lineTexts[k].find(line);
        return it == lineTexts[k].end() ? std::string("(line ") + std::to_string(line) + ")" : it->second;
    };
    auto otherLine = [&](const QsoCheck& c) {
        const Qso& o = logs[c.otherLog].qsos[c.otherQso];
        return logs[c.otherLog].call + " line " + std::to_string(o.line) + ": " + lineText(c.otherLog, o.line);
    };
    auto noteOf = [&](std::size_t k, const QsoCheck& c) {
        return c.detail > 0 && static_cast<std::size_t>(c.detail) <= check.notes[k].size()
                   ? check.notes[k][static_cast<std::size_t>(c.detail) - 1]
                   : std::string();
    };
    auto offsetMinutes = [&](std::size_t k) { return roundedMinutes(check.clockOffsets[k]); };
    auto signedText = [](std::int64_t n) { return (n > 0 ? "+" : "") + std::to_string(n); };
    const std::string period = periodText(options);
    std::vector<std::vector<CopiedLine>> copied(used.size());
    std::vector<std::vector<ReportLine>> reportLines(used.size());
    for (std::size_t k = 0; k < used.size(); ++k) {
        std::vector<ReportLine>& lines = reportLines[k];
        for (std::size_t i = 0; i < checks[k].size(); ++i) {
            const QsoCheck& c = checks[k][i];
            if (verdictName(c.verdict).empty()) continue;
            const Qso& q = logs[k].qsos[i];
            const std::string* otherCall = c.otherLog != QsoCheck::kNone ? &logs[c.otherLog].call : nullptr;
            std::string evidence;
            switch (c.verdict) {
                case Verdict::kNotInLog: evidence = "not in the log of " + *otherCall; break;
                case Verdict::kBustedExchange: {
                    const Qso& o = logs[c.otherLog].qsos[c.otherQso];
                    evidence = "received " + q.received + ", " + *otherCall + " sent " + o.sent + ": " + otherLine(c);
                    copied[c.otherLog].push_back({logs[k].call, q.line, lineText(k, q.line),
                                                  "your number " + o.sent + " as " + q.received + " (your line " +
                                                      std::to_string(o.line) + ")"});
                    break;
                }
                case Verdict::kBustedCall: {
                    const Qso& o = logs[c.otherLog].qsos[c.otherQso];
                    evidence = q.call + " is " + *otherCall + ": " + otherLine(c);
                    copied[c.otherLog].push_back({logs[k].call, q.line, lineText(k, q.line),
                                                  "your call as " + q.call + " (your line " + std::to_string(o.line) +
                                                      ")"});
                    break;
                }
                case Verdict::kUnique: {
                    evidence = noteOf(k, c);
                    if (evidence.empty()) evidence = q.call + " is in no other log";
                    break;
                }
                case Verdict::kDupe:
                    evidence = "repeats line " + std::to_string(logs[k].qsos[c.otherQso].line) + ": " +
                               lineText(k, logs[k].qsos[c.otherQso].line);
                    break;
                case Verdict::kOutOfBand: evidence = "band " + q.band + ": the contest is on 40m and 20m"; break;
                case Verdict::kOutOfMode: evidence = "mode " + q.mode + ": the contest is CW and SSB"; break;
                case Verdict::kNoNumber:
                    evidence = q.sent.empty() ? "no number sent" : "no number received";
                    break;
                case Verdict::kOutOfPeriod: evidence = "outside the contest period " + period; break;
                case Verdict::kTimeMismatch: {
                    // The difference is the one left once both clocks are corrected: say so when
                    // the logged times alone would show another.
                    const std::int64_t own = offsetMinutes(k), theirs = offsetMinutes(c.otherLog);
                    const std::string corrected =
                        own || theirs ? "; offsets taken off: this log " + signedText(own) + " min, " + *otherCall +
                                            " " + signedText(theirs) + " min"
                                      : std::string();
                    evidence = signedText(c.detail) + " min against " + otherLine(c) + " (credit kept" + corrected + ")";
                    break;
                }
                case Verdict::kBandMismatch:
                case Verdict::kModeMismatch: {
                    const Qso& o = logs[c.otherLog].qsos[c.otherQso];
                    const bool band = c.verdict == Verdict::kBandMismatch;
                    evidence = *otherCall + " logged " + (band ? o.band : o.mode) + ": " + otherLine(c) +
                               (c.credited ? "; credit kept: this log's frequency places it"
                                : checks[c.otherLog][c.otherQso].credited
                                    ? "; credit lost: " + *otherCall + "'s frequency places it"
                                    : "; credit lost on both sides: neither frequency places it");
                    break;
                }
                case Verdict::kBustedCallInferred: evidence = q.call + " " + noteOf(k, c); break;
                case Verdict::kBustedExchangeInferred: evidence = noteOf(k, c); break;
                case Verdict::kVerified:
                case Verdict::kNoLog: break;
            }
            lines.push_back({c.verdict, q.line, lineText(k, q.line), std::move(evidence)});
        }
        std::sort(lines.begin(), lines.end(), [](const ReportLine& a, const ReportLine& b) { return a.line < b.line; });
    }
    ReportSettings settings{options.windowSeconds, options.removeUniques, options.penalty, period};
    bool written = true;
    for (std::size_t k = 0; k < used.size(); ++k) {
        std::sort(copied[k].begin(), copied[k].end(), [](const CopiedLine& a, const CopiedLine& b) {
            return std::tie(a.call, a.line) < std::tie(b.call, b.line);
        });
        written = writeOutput(outDir / results[k].reportFile, reportText(results[k], reportLines[k], copied[k], settings)) &&
                  written;
    }
    std::sort(results.begin(), results.end(), [](const LogResult& a, const LogResult& b) { return a.call < b.call; });
    written = writeOutput(outDir / "results.csv", csvText(results)) && written;
    written = writeOutput(outDir / "results.html", htmlText(results, unusable, settings)) && written;
    if (!written) return fail("the results in " + outDir.string() + " are incomplete");

    std::array<std::size_t, kVerdictCount> totals{};
    std::size_t qsos = 0;
    for (const LogResult& r : results)
        for (std::size_t v = 0; v < totals.size(); ++v) {
            totals[v] += r.counts[v];
            qsos += r.counts[v];
        }
    auto total = [&](Verdict v) { return totals[static_cast<std::size_t>(v)]; };
    std::printf("%zu log(s) cross-checked, %zu not used; %zu QSOs: %zu verified, %zu NIL, %zu busted call, "
                "%zu busted exchange, %zu unique, %zu with stations that sent no log\n"
                "  set aside: %zu dupe, %zu out of band, %zu out of mode, %zu without a number, %zu out of period; "
                "%zu time mismatch, %zu band mismatch, %zu mode mismatch, %zu busted call (inferred), "
                "%zu busted exchange (inferred)\n"
                "Results: %s\n",
                results.size(), unusable.size(), qsos, total(Verdict::kVerified), total(Verdict::kNotInLog),
                total(Verdict::kBustedCall), total(Verdict::kBustedExchange), total(Verdict::kUnique),
                total(Verdict::kNoLog), total(Verdict::kDupe), total(Verdict::kOutOfBand), total(Verdict::kOutOfMode),
                total(Verdict::kNoNumber), total(Verdict::kOutOfPeriod), total(Verdict::kTimeMismatch),
                total(Verdict::kBandMismatch), total(Verdict::kModeMismatch), total(Verdict::kBustedCallInferred),
                total(Verdict::kBustedExchangeInferred), (outDir / "results.html").string().c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!parseOptions(argc, argv, options, error)) return fail(error, kUsage);
    if (options.help) {
        std::fputs(kUsageText, stdout);
        return 0;
    }
    if (options.version) {
        std::printf("stats-crosscheck %s\n", STATS_VERSION_TEXT);
        return 0;
    }
    try {
        return run(options, argc > 0 ? argv[0] : nullptr);
    } catch (const std::exception& e) {
        return fail(e.what());
    }
}
