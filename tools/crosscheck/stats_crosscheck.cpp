// stats-crosscheck: the contest committee's check of all submitted Cabrillo logs. Every QSO is
// matched against the other station's log, and every log is scored twice through the plug-in's
// exports, as claimed and as checked.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "stats_version.h"
#include "tools/logs/cabrillo_reader.h"
#include "tools/crosscheck/crosscheck.h"
#include "tools/crosscheck/crosscheck_output.h"
#include "tools/logs/cty.h"
#include "tools/logs/cty_search.h"
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

const char* const kUsageText =
    "Usage: stats-crosscheck [options] LOG...\n"
    "Cross-checks the Cabrillo logs of a contest (files, or folders holding them) and scores each\n"
    "log through the plug-in as claimed and as checked.\n"
    "  --out DIR       output folder (default: crosscheck): CALL.ubn per log, results.csv, results.html\n"
    "  --window MIN    QSOs match when their times differ by at most MIN minutes (default 3)\n"
    "  --no-uniques    uniques lose credit in the checked score (default: they keep it)\n"
    "  --cty FILE      country file in the CTY.DAT format (the continents of the calls worked);\n"
    "                  without it: cty.dat beside this program, in the current folder, then\n"
    "                  /usr/share/tlf/cty.dat (named on stderr); \"--cty none\": no country file\n"
    "  --lib FILE      the plug-in (default: the one beside this program)\n"
    "  --version, --help\n";

struct Options {
    std::string out = "crosscheck";
    std::int64_t windowSeconds = 180;
    bool removeUniques = false;
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
    std::array<std::string, kCategoryTags.size()> categories;
};

std::string headerValue(const replay::LoadedLog& log, std::string_view tag) {
    for (const auto& [t, v] : log.header)
        if (t == tag) return v;
    return {};
}

std::string upperCase(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

void readSubmission(Submission& s, const fs::path& path, const replay::CountryFile* countries) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        s.problem = "it is a folder";
        return;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        s.problem = "cannot be read";
        return;
    }
    const bool ok = replay::readLog(in, s.file, countries, s.loaded, [&](const std::string& n) { s.notes.push_back(n); });
    if (!ok) {
        s.problem = "cannot be read to the end";
    } else if (s.loaded.format != replay::LogFormat::kCabrillo) {
        s.problem = "not a Cabrillo log (no START-OF-LOG: line)";
    } else if (const std::string contest = upperCase(headerValue(s.loaded, "CONTEST")); contest != kContest) {
        s.problem = "a log of another contest (CONTEST: " + contest + ")";
    } else if ((s.call = upperCase(headerValue(s.loaded, "CALLSIGN"))).empty()) {
        s.problem = "no CALLSIGN";
    }
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
                            t[replay::ReplayLog::kNumberReceived]});
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
                      replay::countryFileCandidates(replay::executableFolder(argv0), startDir, fs::path()))
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

    const fs::path libraryPath = options.library.empty() ? fs::path(replay::executableFolder(argv0)) / replay::pluginFileName()
                                                         : absoluteFrom(startDir, options.library);
    replay::PluginLibrary library;
    std::string error;
    if (!library.load(libraryPath.string(), error)) return fail(error);

    const fs::path outDir = absoluteFrom(startDir, options.out);
    const fs::path workDir = outDir / ".plugin-work";
    fs::create_directories(workDir / "Plugins", ec);
    if (ec) return fail("cannot create the output folder " + outDir.string() + ": " + ec.message());

    // Reading: each log on its own, on both cores.
    std::vector<UnusableLog> unusable;
    const std::vector<fs::path> files = logFiles(options, startDir, unusable);
    std::vector<Submission> submissions(files.size());
    forEachIndex(files.size(), 2, [&](std::size_t i) {
        // Shown with '/' on every system, relative to the current folder where it lies below it.
        submissions[i].file = files[i].lexically_relative(startDir).generic_string();
        if (submissions[i].file.empty() || submissions[i].file.starts_with("..")) submissions[i].file = files[i].generic_string();
        readSubmission(submissions[i], files[i], countryFile);
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
        if (s.problem.empty())
            for (const std::string& n : s.notes) note(n);
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
    forEachIndex(used.size(), 2, [&](std::size_t k) { logs[k] = stationLog(submissions[used[k]]); });
    CheckOptions checkOptions;
    checkOptions.windowSeconds = options.windowSeconds;
    const std::vector<std::vector<QsoCheck>> checks = crossCheck(logs, checkOptions);

    // Scoring: one plug-in in this process, so one log after the other, each in its own reset.
    fs::current_path(workDir, ec);
    if (ec) return fail("cannot change to the folder " + workDir.string() + ": " + ec.message());
    const replay::PluginExports& plugin = library.exports();
    std::vector<LogResult> results(used.size());
    for (std::size_t k = 0; k < used.size(); ++k) {
        const Submission& s = submissions[used[k]];
        LogResult& r = results[k];
        r.call = s.call;
        r.file = s.file;
        r.categories = s.categories;
        r.skippedLines = s.loaded.skipped;
        const replay::ReplayLog& contacts = s.loaded.contacts;
        std::vector<char> keep(contacts.size());
        for (std::size_t i = 0; i < contacts.size(); ++i) {
            const Verdict v = checks[k][i].verdict;
            ++r.counts[static_cast<std::size_t>(v)];
            keep[i] = v == Verdict::kVerified || v == Verdict::kNoLog || (v == Verdict::kUnique && !options.removeUniques);
        }
        replay::ContestSetup setup;
        setup.ownCall = s.call;
        setup.ownCallGiven = true;
        if (countryFile) setup.ownCountry = countryFile->lookup(s.call).primaryPrefix;
        if (!contacts.empty()) {
            setup.periodStart = contacts[0].time;
            setup.periodEnd = contacts[contacts.size() - 1].time;
        }
        const replay::ReplayResult claimed = replay::replayContest(plugin, contacts, setup);
        const replay::ReplayResult checked = replay::replayContest(plugin, selected(contacts, keep), setup);
        if (!parseScore(claimed.summary, r.claimed) || !parseScore(checked.summary, r.checked))
            note(s.file + ": the plug-in's summary has no score line");
    }
    fs::current_path(startDir, ec);
    fs::remove_all(workDir, ec);

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
        lineTexts[k] = linesOf(files[used[k]], wanted[k]);
    });
    auto lineText = [&](std::size_t k, std::uint64_t line) {
        const auto it = lineTexts[k].find(line);
        return it == lineTexts[k].end() ? std::string("(line ") + std::to_string(line) + ")" : it->second;
    };
    bool written = true;
    for (std::size_t k = 0; k < used.size(); ++k) {
        std::vector<ReportLine> lines;
        for (std::size_t i = 0; i < checks[k].size(); ++i) {
            const QsoCheck& c = checks[k][i];
            if (verdictName(c.verdict).empty()) continue;
            const Qso& q = logs[k].qsos[i];
            std::string evidence;
            switch (c.verdict) {
                case Verdict::kNotInLog: evidence = "not in the log of " + logs[c.otherLog].call; break;
                case Verdict::kBustedExchange: {
                    const Qso& o = logs[c.otherLog].qsos[c.otherQso];
                    evidence = "received " + q.received + ", " + logs[c.otherLog].call + " sent " + o.sent +
                               ": " + logs[c.otherLog].call + " line " + std::to_string(o.line) + ": " +
                               lineText(c.otherLog, o.line);
                    break;
                }
                case Verdict::kBustedCall: {
                    const Qso& o = logs[c.otherLog].qsos[c.otherQso];
                    evidence = q.call + " is " + logs[c.otherLog].call + ": " + logs[c.otherLog].call + " line " +
                               std::to_string(o.line) + ": " + lineText(c.otherLog, o.line);
                    break;
                }
                default: evidence = q.call + " is in no other log"; break;
            }
            lines.push_back({c.verdict, q.line, lineText(k, q.line), std::move(evidence)});
        }
        std::sort(lines.begin(), lines.end(), [](const ReportLine& a, const ReportLine& b) { return a.line < b.line; });
        written = writeOutput(outDir / results[k].reportFile,
                              reportText(results[k], lines, options.windowSeconds, options.removeUniques)) &&
                  written;
    }
    std::sort(results.begin(), results.end(), [](const LogResult& a, const LogResult& b) { return a.call < b.call; });
    written = writeOutput(outDir / "results.csv", csvText(results)) && written;
    written = writeOutput(outDir / "results.html",
                                  htmlText(results, unusable, options.windowSeconds, options.removeUniques)) &&
              written;
    if (!written) return fail("the results in " + outDir.string() + " are incomplete");

    std::array<std::size_t, 6> totals{};
    std::size_t qsos = 0;
    for (const LogResult& r : results)
        for (std::size_t v = 0; v < totals.size(); ++v) {
            totals[v] += r.counts[v];
            qsos += r.counts[v];
        }
    std::printf("%zu log(s) cross-checked, %zu not used; %zu QSOs: %zu verified, %zu NIL, %zu busted call, "
                "%zu busted exchange, %zu unique, %zu with stations that sent no log\n"
                "Results: %s\n",
                results.size(), unusable.size(), qsos, totals[0], totals[3], totals[5], totals[4], totals[2], totals[1],
                (outDir / "results.html").string().c_str());
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
