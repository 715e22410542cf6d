// stats-crosscheck: the contest committee's check of all submitted logs (Cabrillo or ADIF). The
// command line read into a request for the cross-check pipeline, its notes and progress shown on
// stderr, its totals on stdout.

#include <cstdio>
#include <filesystem>
#include <string>

#include "tools/crosscheck/crosscheck_pipeline.h"
#include "tools/crosscheck/crosscheck_options.h"
#include "tools/host/plugin_library.h"
#include "tools/host/startup.h"

namespace fs = std::filesystem;
using namespace crosscheck;

namespace {

// Shows a stage's progress on one line of a terminal, cleared when the run ends.
void showProgress(const Progress& p) {
    static constexpr const char* kStages[] = {"reading", "matching", "scoring", "reporting", "writing"};
    std::fprintf(stderr, "\r\033[Kstats-crosscheck: %s %zu/%zu", kStages[static_cast<int>(p.stage)], p.done, p.total);
    std::fflush(stderr);
}

void printTotals(const CrossCheckRun& run, const fs::path& outDir) {
    auto n = [&](Verdict v) { return run.total(v); };
    std::printf("%zu log(s) cross-checked, %zu not used; %zu QSOs: %zu verified, %zu NIL, %zu busted call, "
                "%zu busted exchange, %zu unique, %zu unique on this band, %zu with stations that sent no log\n"
                "  set aside: %zu dupe, %zu out of band, %zu out of mode, %zu without a number, %zu out of period; "
                "%zu time mismatch, %zu band mismatch, %zu mode mismatch, %zu busted call (inferred), "
                "%zu busted exchange (inferred)\n"
                "Results: %s\n",
                run.logs.size(), run.unusable.size(), run.qsoCount, n(Verdict::kVerified), n(Verdict::kNotInLog),
                n(Verdict::kBustedCall), n(Verdict::kBustedExchange), n(Verdict::kUnique), n(Verdict::kUniqueOnBand), n(Verdict::kNoLog),
                n(Verdict::kDupe), n(Verdict::kOutOfBand), n(Verdict::kOutOfMode), n(Verdict::kNoNumber),
                n(Verdict::kOutOfPeriod), n(Verdict::kTimeMismatch), n(Verdict::kBandMismatch),
                n(Verdict::kModeMismatch), n(Verdict::kBustedCallInferred), n(Verdict::kBustedExchangeInferred),
                (outDir / "results.html").string().c_str());
}

// The country file and the plug-in's path as every tool finds them; the file searched for named
// on stderr. A country file from standard input is left to the pipeline.
bool openStartup(host::Startup& startup, const CommandLine& line, const char* argv0) {
    std::string error;
    const std::string cty = line.cty == "-" ? std::string(host::kNoCountryFile) : line.cty;
    if (!startup.open({"stats-crosscheck", argv0, cty, {}, line.library}, error)) {
        std::fprintf(stderr, "stats-crosscheck: %s\n", error.c_str());
        return false;
    }
    // Without one, a contest from its definition says what it cannot score once it knows its rules.
    if (startup.countryFileSearched() &&
        (startup.countryFile() ||
         contest::scoringKindOf(line.request.contest) == contest::ScoringKind::kPlugin))
        startup.note(startup.countryFile() ? startup.countryFileNote()
                                           : "no country file (--cty FILE): the continents of the calls worked are "
                                             "unknown, so no South-American prefix counts as a multiplier");
    return true;
}

// The cross-check of the command line's logs: start-up, the pipeline, the totals.
int run(CommandLine& line, const char* argv0) {
    host::Startup startup;
    if (!openStartup(startup, line, argv0)) return host::kExitFailure;
    CrossCheckRequest& request = line.request;
    request.baseFolder = startup.startFolder();
    request.countries = startup.countryFile();
    if (line.cty == "-") request.countryFile = "-";
    request.pluginLibrary = startup.libraryPath();
    request.onNote = [&](std::string_view n) { startup.note(std::string(n)); };
    const bool terminal = host::stderrIsTerminal();
    if (terminal) request.onProgress = showProgress;
    request.keepReports = false;  // the reports go to their files; the totals are all this prints
    const CrossCheckRun run = checkLogFiles(request);
    if (terminal) std::fputs("\r\033[K", stderr);
    if (!run.ok()) return startup.fail(run.failure);
    if (!run.anyLogUsed())
        return startup.fail("no log could be used (" + std::to_string(run.unusable.size()) +
                            " set aside, see above): nothing was cross-checked");
    printTotals(run, startup.fromStart(request.outputFolder.string()));
    return host::kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    return host::toolMain<CommandLine>("stats-crosscheck", argc, argv, parseCommandLine, usageText(), run);
}
