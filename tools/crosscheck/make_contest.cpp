// make-contest: writes a synthetic contest for the cross-check: one Cabrillo log per station,
// the list of injected faults and clock offsets (faults.csv) and a country file for its calls (cty.dat).
//   make-contest [--stations N] [--qsos N] [--seed N] [--faults RATE] OUT_DIR

#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "stats_version.h"
#include "tools/crosscheck/contest_generator.h"

namespace fs = std::filesystem;

namespace {

constexpr int kUsage = 2;
// A contest this size takes a few GiB to make; the largest the benchmarks use is 5.5M QSOs.
constexpr std::size_t kMaxQsos = 20'000'000;

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
            faults += contest.logs[i].call + ",0,CLOCK OFFSET,kept," + (minutes > 0 ? "+" : "") +
                      std::to_string(minutes) + " min\n";
    for (const auto& f : contest.faults)
        faults += f.call + "," + std::to_string(f.line) + "," + std::string(crosscheck::verdictName(f.verdict)) + "," +
                  (f.lost ? "lost" : "kept") + "," + f.what + "\n";
    return faults;
}

bool writeContest(const crosscheck::SyntheticContest& contest, const fs::path& outDir) {
    std::error_code ec;
    fs::create_directories(outDir / "logs", ec);
    bool ok = !ec;
    for (std::size_t i = 0; ok && i < contest.logs.size(); ++i)
        ok = writeFile(outDir / "logs" / (contest.logs[i].call + ".log"), crosscheck::cabrilloText(contest, i));
    return ok && writeFile(outDir / "faults.csv", faultsCsv(contest)) &&
           writeFile(outDir / "cty.dat", crosscheck::countryFileText());
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Writes a synthetic contest for the cross-check: one Cabrillo log per station in OUT_DIR/logs, "
                 "the injected faults and clock offsets in OUT_DIR/faults.csv, a country file in OUT_DIR/cty.dat.",
                 "make-contest"};
    crosscheck::GeneratorOptions options;
    std::string outDir;
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.add_option("--stations", options.stations, "stations that send a log (default 20)")
        ->type_name("N")
        ->check(CLI::Range(std::size_t{2}, std::size_t{20000}).description(""));
    app.add_option("--qsos", options.qsosPerStation, "about this many QSOs in each log (default 100)")
        ->type_name("PER_STATION")
        ->check(CLI::Range(std::size_t{1}, std::size_t{10000}).description(""));
    app.add_option("--seed", options.seed, "the random generator's seed (default 1)")
        ->type_name("N")
        ->check(CLI::Validator(
            [](const std::string& text) { return text.starts_with('-') ? "Value " + text + " is negative" : std::string(); },
            ""));
    app.add_option("--faults", options.faultRate, "the share of QSOs that get each kind of fault, 0 to 0.15 (default 0.02)")
        ->type_name("RATE")
        ->check(CLI::Validator(
            [](const std::string& text) {
                const double rate = std::strtod(text.c_str(), nullptr);
                return rate >= 0 && rate <= 0.15 ? std::string() : "Value " + text + " not in range 0 to 0.15";
            },
            ""));
    app.add_option("OUT_DIR", outDir, "the folder to write")->required()->type_name("");
    app.set_version_flag("--version", std::string("make-contest ") + STATS_VERSION_TEXT);
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "make-contest: %s (make-contest --help)\n", e.what());
        return kUsage;
    }
    if (options.stations * options.qsosPerStation > kMaxQsos) {
        std::fprintf(stderr, "make-contest: --stations times --qsos is at most %zu\n", kMaxQsos);
        return kUsage;
    }
    const crosscheck::SyntheticContest contest = crosscheck::generateContest(options);
    if (!writeContest(contest, outDir)) {
        std::fprintf(stderr, "make-contest: cannot write into %s\n", outDir.c_str());
        return 1;
    }
    std::fprintf(stderr, "make-contest: %zu logs, %zu QSOs, %zu faults in %s\n", contest.logs.size(),
                 contest.qsoCount, contest.faults.size(), outDir.c_str());
    return 0;
}
