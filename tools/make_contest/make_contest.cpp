// make-contest: writes a synthetic contest for the cross-check: one Cabrillo log per station,
// the list of injected faults and clock offsets (faults.csv) and a country file for its calls (cty.dat).
//   make-contest [--stations N] [--qsos N] [--seed N] [--faults RATE] [--contest FILE] OUT_DIR

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tools/contest/contest_choice.h"
#include "tools/contest/definition_file.h"
#include "tools/crosscheck/contest_generator.h"
#include "tools/host/command_line.h"
#include "tools/host/startup.h"
#include "tools/logs/csv_field.h"
#include "tools/logs/utf8_path.h"

namespace fs = std::filesystem;

namespace {

// A contest this size takes a few GiB to make; the largest the benchmarks use is 5.5M QSOs.
constexpr std::size_t kMaxQsos = 20'000'000;

struct Options {
    crosscheck::GeneratorOptions contest;
    std::string definitionFile;  // --contest
    contest::ContestDefinition definition;
    std::string outDir;
    bool help = false;
    bool version = false;
};

constexpr const char* kDescription =
    "Writes a synthetic contest for the cross-check: one Cabrillo log per station in OUT_DIR/logs, the injected "
    "faults and clock offsets in OUT_DIR/faults.csv, a country file in OUT_DIR/cty.dat.";

// The options on `app`, read into `o`. CLI11 checks the values in the order they are declared:
// kept, so that of two wrong values the same one is named.
void declareCommandLine(CLI::App& app, Options& o) {
    host::applyConventions(app);
    app.add_option("--stations", o.contest.stations, "stations that send a log (2 to 20000, default 20)")
        ->option_text("N")
        ->check(host::wholeNumber(2, 20000, "stations"));
    app.add_option("--qsos", o.contest.qsosPerStation,
                   "about this many QSOs in each log (1 to 10000, default 100; 20 million in all at most)")
        ->option_text("PER_STATION")
        ->check(host::wholeNumber(1, 10000, "QSOs"));
    app.add_option("--seed", o.contest.seed, "the random generator's seed (default 1)")
        ->option_text("N")
        ->check(CLI::Validator(
            [](const std::string& text) { return text.starts_with('-') ? "'" + text + "' is negative" : std::string(); },
            ""));
    app.add_option("--faults", o.contest.faultRate,
                   "the share of QSOs that get each kind of fault (0 to 0.15, default 0.02)")
        ->option_text("RATE")
        ->check(CLI::Validator(
            [](const std::string& text) {
                char* end = nullptr;
                const double rate = std::strtod(text.c_str(), &end);
                return *end == '\0' && rate >= 0 && rate <= 0.15 ? std::string()
                                                                  : "'" + text + "' is not a rate from 0 to 0.15";
            },
            ""));
    host::addContestOption(app, o.definitionFile);
    app.add_option("OUT_DIR", o.outDir);
    app.add_flag("--version", o.version, "print the version and exit");
    app.add_flag("-h,--help", o.help, "print this text and exit");
}

std::string usageText() {
    Options unused;
    CLI::App app(kDescription, "make-contest");
    declareCommandLine(app, unused);
    return host::helpText(app);
}

bool parseOptions(const std::vector<std::string_view>& args, Options& o, std::string& error) {
    CLI::App app(kDescription, "make-contest");
    declareCommandLine(app, o);
    if (!host::parseCommandLine(app, args, error) || o.help || o.version) return error.empty();
    if (o.outDir.empty()) error = "no OUT_DIR given (see --help)";
    else if (o.contest.stations * o.contest.qsosPerStation > kMaxQsos)
        error = "--stations times --qsos is at most " + std::to_string(kMaxQsos);
    if (!error.empty()) return false;
    try {
        o.definition = contest::resolveContest(o.definitionFile);
    } catch (const contest::DefinitionError& e) {
        error = e.what();
    }
    return error.empty();
}

bool writeFile(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    return !out.fail();
}

// Each log's clock offset (line 0), then each QSO the cross-check must flag.
std::string faultsCsv(const crosscheck::SyntheticContest& contest) {
    std::string faults = "call,line,verdict,credit,what\n";
    for (std::size_t i = 0; i < contest.logs.size(); ++i)
        if (const long long minutes = contest.clockOffsets[i] / 60)
            faults += logs::csvField(contest.logs[i].call) + ",0,CLOCK OFFSET,kept," +
                      logs::csvField((minutes > 0 ? "+" : "") + std::to_string(minutes) + " min") + "\n";
    for (const auto& f : contest.faults)
        faults += logs::csvField(f.call) + "," + std::to_string(f.line) + "," +
                  logs::csvField(crosscheck::verdictName(f.verdict)) + "," + (f.lost ? "lost" : "kept") +
                  "," + logs::csvField(f.what) + "\n";
    return faults;
}

int run(const Options& o, const char*) {
    crosscheck::GeneratorOptions options = o.contest;
    // The generator plays the plug-in's own contest in its host's layout, on 2026-03-07 and 08.
    if (contest::scoringKindOf(o.definition) == contest::ScoringKind::kDefinition)
        options.contest = &o.definition;
    const crosscheck::SyntheticContest contest = crosscheck::generateContest(options);
    const fs::path outDir = o.outDir;
    std::error_code ec;
    fs::create_directories(outDir / "logs", ec);
    bool ok = !ec;
    for (std::size_t i = 0; ok && i < contest.logs.size(); ++i)
        ok = writeFile(outDir / "logs" / (contest.logs[i].call + ".log"), crosscheck::cabrilloText(contest, i));
    ok = ok && writeFile(outDir / "faults.csv", faultsCsv(contest)) &&
         writeFile(outDir / "cty.dat", crosscheck::countryFileText());
    if (!ok) {
        std::fprintf(stderr, "make-contest: cannot write into %s\n", o.outDir.c_str());
        return host::kExitFailure;
    }
    std::fprintf(stderr, "make-contest: %zu logs, %zu QSOs, %zu faults in %s\n", contest.logs.size(),
                 contest.qsoCount, contest.faults.size(), o.outDir.c_str());
    return host::kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    return host::toolMain<Options>("make-contest", argc, argv, parseOptions, usageText(), run);
}
